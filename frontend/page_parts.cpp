#include "frontend/page_parts.h"

#include "core/game_clock.h"
#include "core/string_table.h"
#include "ui/font_face.h"
#include "ui/switcher.h"
#include "ui/text_draw.h"

#include <algorithm>

namespace {

// Room left between a fitted text and each side of its widget.
constexpr f32 FIT_MARGIN_UNITS = 24.0f;

}  // namespace

ClWidget* createScreen(const char* name, ClWidget* switcher, u32 colour) {
    ClWidget* screen = createWidget(name, switcher);
    if (colour >> 24) screen->setColour("backgroundColor", colour);
    return screen;
}

ClWidget_Label* createTextLabel(const char* name, ClWidget* parent, const SWidgetLayout& layout, const char* key,
                                f32 size, u32 alignment) {
    ClWidget_Label* label = createLabel(name ? name : "", parent, layout, nullptr);
    if (key && *key) label->setLocalizedIdFromKey("localizedID", key);
    label->look().size = size;
    label->look().alignment = alignment;
    return label;
}

ClWidget_Label* createHeading(ClWidget* parent, f32 y, const char* key) {
    ClWidget_Label* heading = createTextLabel(nullptr, parent, centredAt(y, 1800, 130), key, 110);
    heading->look().setFace(HEADING_FACE);
    heading->setColour("textColor", HEADING_COLOUR);
    return heading;
}

ClWidget_Button* createTextButton(const char* name, ClWidget* parent, const SWidgetLayout& layout, const char* key,
                                  const char* onClick) {
    ClWidget_Button* button = createButton(name, parent, layout, nullptr, onClick);
    button->setLocalizedIdFromKey("localizedID", key);
    button->look().size = 60;
    return button;
}

void setLabelText(const char* widgetName, const char* text) {
    if (ClWidget* w = findWidgetByName(widgetName)) w->setText("dynamicText", text);
}

void setLabelWideText(const char* widgetName, const char16_t* text) {
    if (ClWidget* w = findWidgetByName(widgetName)) w->setWideText("dynamicUnicodeText", text);
}

void setLabelKey(const char* widgetName, const char* key) {
    const char16_t* text = key ? getLocalisedString(key) : nullptr;
    setLabelWideText(widgetName, text ? text : u"");
}

f32 measureTextUnits(const char* face, f32 size, const char16_t* text) {
    const SFontFace* found = findFontFaceOrBase(face);
    if (!found || found->lineHeight <= 0.0f || !text) return 0.0f;
    return measureText(*found, text).x * size / found->lineHeight;
}

void setFittedText(ClWidget_Label* label, const std::u16string& text, f32 largest) {
    const f32 room = label->layout().width - 2.0f * FIT_MARGIN_UNITS;
    const f32 width = measureTextUnits(label->look().face, largest, text.c_str());
    label->look().size = width > room && width > 0.0f ? std::max(largest * 0.5f, largest * room / width) : largest;
    label->setWideText("dynamicUnicodeText", text.c_str());
}

std::u16string elideStart(const char* face, f32 size, const std::u16string& text, f32 width) {
    if (measureTextUnits(face, size, text.c_str()) <= width) return text;
    for (size_t cut = 1; cut < text.size(); ++cut) {
        const std::u16string shown = u"..." + text.substr(cut);
        if (measureTextUnits(face, size, shown.c_str()) <= width) return shown;
    }
    return u"...";
}

void showScreen(const char* screenName) { switchWidgetByName("TopLevelSwitcher", screenName); }

f64 realTimeNow() { return gameClock(GAME_CLOCK_SYSTEM).totalTime; }
