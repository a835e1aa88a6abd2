// What ui asks of the layers above it: the routines that widget events name ("onClick" ->
// "systemInitTitleMenu"). They come as the one table of this record, which the program fills
// once at start-up (app/layer_imports.cpp) with the front end's; ui's own (ui/ui_callbacks.cpp)
// are found the same way. Main thread only.
#pragma once

#include "ui/ui_callbacks.h"

#include <span>

struct SUiCallbackEntry {
    const char* name;
    UiCallback callback;
};

struct SUiImports {
    // A name twice in the table, or one of ui's own, is fatal.
    std::span<const SUiCallbackEntry> callbacks;
};

// Takes the record's callbacks by name; null forgets them (ui's own stay).
void setUiImports(const SUiImports* imports);
