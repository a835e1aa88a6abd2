// What ui asks of the layers above it: the routines that widget events name ("onClick" ->
// "systemAllowQuit"). They reach ui by name through one registry, the callbacks by name of
// ui/ui_callbacks.h: ui's own are registered there, and the front end's come either registered
// by name (registerUiCallback) or as the one table of this record, which the program fills once
// at start-up (app/layer_imports.cpp). Main thread only.
#pragma once

#include "ui/ui_callbacks.h"

#include <span>

struct SUiCallbackEntry {
    const char* name;
    UiCallback callback;
};

struct SUiImports {
    // Looked up after the registered callbacks; a name twice in the table is fatal.
    std::span<const SUiCallbackEntry> callbacks;
};

// Copies the record; null clears it.
void setUiImports(const SUiImports* imports);
const SUiImports& uiImports();
