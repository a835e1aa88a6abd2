#include "core/fatal_error.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {
FatalErrorHook g_fatalErrorHook = nullptr;
}

void setFatalErrorHook(FatalErrorHook hook) { g_fatalErrorHook = hook; }

void fatalError(const char* reason) {
    if (g_fatalErrorHook) g_fatalErrorHook(reason);
    std::fprintf(stderr, "velodrix: fatal error: %s\n", reason ? reason : "(no reason given)");
    std::fflush(stderr);
    std::_Exit(3);
}

void fatalErrorf(const char* format, ...) {
    char reason[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(reason, sizeof reason, format, arguments);
    va_end(arguments);
    fatalError(reason);
}
