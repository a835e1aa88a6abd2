#include "ui/ui_callbacks.h"

#include "ui/ui_imports.h"

#include "core/fatal_error.h"
#include "core/name_hash.h"

#include <unordered_map>

namespace {

std::unordered_map<u32, UiCallback> g_UiCallbacks;
SUiImports g_imports;
// The imported table by name hash, made when the record is set.
std::unordered_map<u32, UiCallback> g_ImportedCallbacks;

}  // namespace

void registerUiCallback(const char* name, UiCallback callback) {
    const auto [it, added] = g_UiCallbacks.emplace(crc32TextNoCase(name), callback);
    if (!added && it->second != callback)
        fatalErrorf("registerUiCallback: another callback is registered as \"%s\" already", name);
}

UiCallback findUiCallbackByHash(u32 nameHash) {
    if (const auto it = g_UiCallbacks.find(nameHash); it != g_UiCallbacks.end()) return it->second;
    const auto it = g_ImportedCallbacks.find(nameHash);
    return it == g_ImportedCallbacks.end() ? nullptr : it->second;
}

void setUiImports(const SUiImports* imports) {
    g_imports = imports ? *imports : SUiImports{};
    g_ImportedCallbacks.clear();
    for (const SUiCallbackEntry& entry : g_imports.callbacks)
        if (!g_ImportedCallbacks.emplace(crc32TextNoCase(entry.name), entry.callback).second)
            fatalErrorf("setUiImports: \"%s\" is in the callback table twice", entry.name);
}

const SUiImports& uiImports() { return g_imports; }

void releaseUiCallbacks() { g_UiCallbacks.clear(); }
