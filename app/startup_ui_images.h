// The interface images the start-up loads, in their order.
#pragma once

#include "core/types.h"

constexpr u32 STARTUP_UI_IMAGE_COUNT = 106;

// Calls load for each name in order.
void forEachStartupUiImage(void (*load)(const char* name));
