#include "platform/ambient/ambient_runtime.h"

namespace {
AmbientRuntimeFactory g_factory = nullptr;
}  // namespace

IAmbientRuntime* ambientCreateRuntime(const char* applicationName, const char* versionText) {
    return g_factory ? g_factory(applicationName, versionText) : nullptr;
}

void ambientSetRuntimeFactory(AmbientRuntimeFactory factory) { g_factory = factory; }
