// Building blocks the front end's pages are made of: full-screen screens, headings, captions and
// buttons whose texts come from the string table by key. Canvas units of "FULL" (1080 high).
#pragma once

#include "core/types.h"
#include "ui/widget_kinds.h"

constexpr u32 TOP_CENTRE = E_ALIGN_CENTRE | E_ALIGN_TOP;
constexpr u32 TOP_LEFT = E_ALIGN_LEFT | E_ALIGN_TOP;
constexpr u32 TOP_RIGHT = E_ALIGN_RIGHT | E_ALIGN_TOP;
constexpr u32 BOTTOM_CENTRE = E_ALIGN_CENTRE | E_ALIGN_BOTTOM;
constexpr u32 SCREEN_COLOUR = 0xFF141C2Cu;
constexpr u32 PANEL_COLOUR = 0xD0101828u;
constexpr u32 HEADING_COLOUR = 0xFFFFD040u;
constexpr u32 NOTICE_COLOUR = 0xFFFF7060u;
// Hints and plain information beside a page's choices; NOTICE_COLOUR is for what went wrong.
constexpr u32 HINT_COLOUR = 0xFFA0B0C8u;
constexpr const char* HEADING_FACE = "NiceCapsBoldFont";

// A layout of the size whose top edge sits y units below the parent's top, centred across it.
inline SWidgetLayout centredAt(f32 y, f32 width, f32 height) { return {0.0f, y, width, height, TOP_CENTRE, TOP_CENTRE}; }

// A child of the switcher covering its parent, filled with the colour (alpha 0: none).
ClWidget* createScreen(const char* name, ClWidget* switcher, u32 colour = SCREEN_COLOUR);
// A text from the string table's key (empty key: a text set later); a null name leaves the
// widget unnamed.
ClWidget_Label* createTextLabel(const char* name, ClWidget* parent, const SWidgetLayout& layout, const char* key,
                                f32 size, u32 alignment = E_ALIGN_CENTRE | E_ALIGN_MIDDLE);
// A gold heading in the heading face.
ClWidget_Label* createHeading(ClWidget* parent, f32 y, const char* key);
ClWidget_Button* createTextButton(const char* name, ClWidget* parent, const SWidgetLayout& layout, const char* key,
                                  const char* onClick);
// Sets the widget's shown text (UTF-8).
void setLabelText(const char* widgetName, const char* text);
void setLabelWideText(const char* widgetName, const char16_t* text);
// The widget's text from the string table's key (as a wide text: a label keeps one kind); a
// null key empties it.
void setLabelKey(const char* widgetName, const char* key);

// The width a text (without colour tags) takes in the face at the size, in canvas units; 0
// when the face is missing.
f32 measureTextUnits(const char* face, f32 size, const char16_t* text);
// Sets the label's text at the largest size that fits the width it is laid out with (less a
// margin each side), not above `largest` and not below half of it.
void setFittedText(ClWidget_Label* label, const std::u16string& text, f32 largest);
// The text with leading characters left out, behind "...", until it fits the width.
std::u16string elideStart(const char* face, f32 size, const std::u16string& text, f32 width);
// Switches "TopLevelSwitcher" to the screen.
void showScreen(const char* screenName);
// The real-time clock's total, in seconds.
f64 realTimeNow();
