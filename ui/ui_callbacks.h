// Callbacks by name: the events of widgets name what they run ("onClick" -> "systemAllowQuit"),
// and the code that owns each behaviour registers it under that name. Main thread only.
#pragma once

#include "core/types.h"

class ClWidget;

// Receives the widget whose event fired.
using UiCallback = void (*)(ClWidget* widget);

// Registers the callback under the name; the same callback again changes nothing, another one
// under a name registered already is fatal.
void registerUiCallback(const char* name, UiCallback callback);
// Null when nothing is registered under the hash.
UiCallback findUiCallbackByHash(u32 nameHash);
// Forgets every callback.
void releaseUiCallbacks();
