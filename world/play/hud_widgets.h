// The play state's reach into the interface: named widgets and world-positioned texts. A widget
// the current page does not hold is skipped.
#pragma once

#include "core/types.h"

struct ClVec3;

void setHudWidgetVisible(const char* widget, bool visible);
void setHudWidgetText(const char* widget, const char* property, const char* text);
void setHudWidgetColour(const char* widget, const char* property, u32 colour);
void setHudWidgetTint(const char* widget, u32 colour);
void setHudWidgetLocalizedId(const char* widget, const char* key);
// The widget is held and off screen: it, or a page above it, is hidden.
bool hudWidgetOffScreen(const char* widget);
// A popup text at a world position: twice in its colour with the bonus-text look, then once as
// a black shadow offset by (3, 3) whose alpha is twice the text's, at most 255.
void drawHudPopupText(const ClVec3& position, f32 size, u32 colour, const char16_t* text);
