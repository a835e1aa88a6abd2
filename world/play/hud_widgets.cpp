#include "world/play/hud_widgets.h"

#include "core/string_helpers.h"

#include <cstring>

void setHudWidgetVisible(const char*, bool) {}
void setHudWidgetText(const char*, const char*, const char*) {}
void setHudWidgetColour(const char*, const char*, u32) {}
void setHudWidgetTint(const char*, u32) {}
void setHudWidgetLocalizedId(const char*, const char*) {}
void drawHudPopupText(const ClVec3&, f32, u32, const char16_t*) {}

void formatThousandsForHud(const char* digits, char* out, u32 size) {
    if (size == 0) return;
    const u32 sign = digits[0] == '-' ? 1u : 0u;
    const u32 length = u32(std::strlen(digits));
    u32 o = 0;
    for (u32 i = 0; i < length && o + 1 < size; ++i) {
        if (i > sign && (length - i) % 3 == 0) {
            out[o++] = ',';
            if (o + 1 >= size) break;
        }
        out[o++] = digits[i];
    }
    out[o] = '\0';
}
