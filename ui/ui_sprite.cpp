#include "ui/ui_sprite.h"

#include "core/float_helpers.h"
#include "core/name_hash.h"
#include "render/materials.h"
#include "render/sprite_queue.h"

#include <unordered_map>

namespace {

std::unordered_map<u32, SUiSprite> g_UiSprites;

}  // namespace

void registerUiSprite(const char* name, const SUiSprite& sprite) { g_UiSprites[crc32TextNoCase(name)] = sprite; }

const SUiSprite* findUiSprite(const char* name) {
    const auto it = g_UiSprites.find(crc32TextNoCase(name));
    return it == g_UiSprites.end() ? nullptr : &it->second;
}

void releaseUiSprites() { g_UiSprites.clear(); }

bool drawUiSprite(const char* spriteName, const char* effect, u32 colour, const char* canvasName, u32 layer, f32 x,
                  f32 y, f32 width, f32 height, f32 fill, f32 scale, u32 alignment) {
    const SUiSprite* sprite = findUiSprite(spriteName);
    const SCanvas* canvas = findCanvas(canvasName);
    const f32 fraction = clamp01(fill);
    if (!sprite || !canvas || fraction <= 0.0f) return false;
    const f32 w = width * scale * canvas->scale;
    const f32 h = height * scale * canvas->scale;
    const ClVec2 corner = alignRectInCurrentCanvas(*canvas, x * canvas->scale, y * canvas->scale, w, h, alignment,
                                                   E_ALIGN_LEFT | E_ALIGN_TOP, false);
    const ClVec2 texMax(sprite->texMin.x + (sprite->texMax.x - sprite->texMin.x) * fraction, sprite->texMax.y);
    addSpriteQuadUV(layer, getMaterialForEffectAndTexture(effect, sprite->texture), colour, corner.x, corner.y,
                    w * fraction, h, sprite->texMin, texMax);
    return true;
}
