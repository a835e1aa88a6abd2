#include "ui/ui_callbacks.h"

#include "ui/ui_imports.h"
#include "ui/ui_system.h"

#include "core/fatal_error.h"
#include "core/name_hash.h"

#include <unordered_map>

namespace {

// ui's own callbacks.
constexpr SUiCallbackEntry UI_CALLBACKS[] = {
    {"systemAllowQuit", [](ClWidget*) { systemAllowQuit(); }},
};

// ui's own and the imported table by name hash; filled again whenever the record is set.
std::unordered_map<u32, UiCallback> g_Callbacks;

void addCallbacks(std::span<const SUiCallbackEntry> table) {
    for (const SUiCallbackEntry& entry : table)
        if (!g_Callbacks.emplace(crc32TextNoCase(entry.name), entry.callback).second)
            fatalErrorf("setUiImports: \"%s\" is in the callback table twice", entry.name);
}

}  // namespace

UiCallback findUiCallbackByHash(u32 nameHash) {
    if (g_Callbacks.empty()) addCallbacks(UI_CALLBACKS);
    const auto it = g_Callbacks.find(nameHash);
    return it == g_Callbacks.end() ? nullptr : it->second;
}

void setUiImports(const SUiImports* imports) {
    g_Callbacks.clear();
    addCallbacks(UI_CALLBACKS);
    if (imports) addCallbacks(imports->callbacks);
}
