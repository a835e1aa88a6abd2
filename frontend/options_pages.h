// The pages the options screen leads to:
//   "OptionsControls": the menu and in-game pointer sensitivities (0 to 10, 5 normal; unavailable
//     while the pointer is the desktop's own mouse), the controller sensitivity (1 to 10, 5
//     normal; 0 would hold the ship still) and latched fire;
//   "OptionsGraphics": bloom, the line style, input-lag reduction, and full screen and vertical
//     sync, which the window takes when the game starts;
//   "OptionsAmbientLight": the ambient light runtime's options, unavailable without one.
// Each change is applied at once where the game can (the menu pointer through
// updateInputSensitivity) and written to the user save.
#pragma once

#include "core/types.h"

#include <string>

class ClWidget;

constexpr f32 POINTER_SENSITIVITY_LOWEST = 0.0f;
constexpr f32 CONTROLLER_SENSITIVITY_LOWEST = 1.0f;
constexpr f32 SENSITIVITY_HIGHEST = 10.0f;

void buildOptionsPages(ClWidget* topLevel);

// The string table's text of the key (empty when it has none), and "On" or "Off".
std::u16string optionsText(const char* key);
std::u16string onOffText(bool on);
// Greys a widget out and makes it take nothing, or gives it back.
void setOptionDisabled(const char* widget, bool disabled);

// The ambient light layer is present (its options can be used).
bool systemDetectamBXEnable();
void systemToggleamBXEnable();
void systemDecreaseamBXQuality();
void systemIncreaseamBXQuality();
