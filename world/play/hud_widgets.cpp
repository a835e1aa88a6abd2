#include "world/play/hud_widgets.h"

#include "core/directories.h"
#include "core/name_hash.h"
#include "core/vec.h"
#include "render/canvases.h"
#include "ui/text_draw.h"
#include "ui/widget.h"

namespace {

constexpr u32 POPUP_LAYER = 1200;
constexpr u32 POPUP_SHADOW_LAYER = 1199;
constexpr f32 POPUP_SHADOW_OFFSET = 3.0f;

}  // namespace

void setHudWidgetVisible(const char* widget, bool visible) {
    if (ClWidget* w = findWidgetByName(widget)) w->setVisible(visible);
}

void setHudWidgetText(const char* widget, const char* property, const char* text) {
    if (ClWidget* w = findWidgetByName(widget)) w->setText(property, text);
}

void setHudWidgetColour(const char* widget, const char* property, u32 colour) {
    if (ClWidget* w = findWidgetByName(widget)) w->setColour(property, colour);
}

void setHudWidgetTint(const char* widget, u32 colour) {
    if (ClWidget* w = findWidgetByName(widget)) w->setTint(colour);
}

void setHudWidgetLocalizedId(const char* widget, const char* key) {
    if (ClWidget* w = findWidgetByName(widget)) w->setLocalizedIdFromKey("localizedID", key);
}

bool hudWidgetOffScreen(const char* widget) {
    const ClWidget* w = findWidgetByName(widget);
    return w && !w->isShown();
}

void drawHudPopupText(const ClVec3& position, f32 size, u32 colour, const char16_t* text) {
    const char* face = getLanguageIndex() == LANGUAGE_INDEX_JAPANESE ? "NiceCapsBoldFont-JAP" : "NiceCapsBoldFont";
    const u32 noise = crc32TextNoCase("Images/Noise");
    const u32 align = E_ALIGN_CENTRE | E_ALIGN_MIDDLE;
    for (int pass = 0; pass < 2; ++pass)
        drawTextAtWorldPosition(nullptr, position, "game_bonustext", noise, face, POPUP_LAYER, size, 0.0f, 0.0f, align,
                                colour, text);
    u32 shadowAlpha = (colour >> 24) * 2;
    if (shadowAlpha > 255) shadowAlpha = 255;
    drawTextAtWorldPosition(nullptr, position, "system_font", 0, face, POPUP_SHADOW_LAYER, size, POPUP_SHADOW_OFFSET,
                            POPUP_SHADOW_OFFSET, align, shadowAlpha << 24, text);
}
