#include "ui/ui_callbacks.h"

#include "core/fatal_error.h"
#include "core/name_hash.h"

#include <unordered_map>

namespace {

std::unordered_map<u32, UiCallback> g_UiCallbacks;

}  // namespace

void registerUiCallback(const char* name, UiCallback callback) {
    const auto [it, added] = g_UiCallbacks.emplace(crc32TextNoCase(name), callback);
    if (!added && it->second != callback)
        fatalErrorf("registerUiCallback: another callback is registered as \"%s\" already", name);
}

UiCallback findUiCallbackByHash(u32 nameHash) {
    const auto it = g_UiCallbacks.find(nameHash);
    return it == g_UiCallbacks.end() ? nullptr : it->second;
}

void releaseUiCallbacks() { g_UiCallbacks.clear(); }
