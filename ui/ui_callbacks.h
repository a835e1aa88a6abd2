// Callbacks by name: the events of widgets name what they run ("onClick" -> "systemAllowQuit"):
// ui's own and the table the layers above hand over through ui/ui_imports.h. Main thread only.
#pragma once

#include "core/types.h"

class ClWidget;

// Receives the widget whose event fired.
using UiCallback = void (*)(ClWidget* widget);

// Null when no callback has a name of the hash.
UiCallback findUiCallbackByHash(u32 nameHash);
