#include "render/fmv_picture.h"

#include "platform/gfx/gfx_device.h"
#include "render/fmv_player.h"
#include "render/materials.h"
#include "render/render_state.h"
#include "render/screen_quad.h"
#include "render/shader.h"
#include "render/sprite_queue.h"
#include "render/texture.h"

namespace {

// Wraps the device texture so that materials can bind it; the texture itself is owned here.
ClTexture g_FmvTexture;

}  // namespace

void releaseFmvPictureTexture() {
    SGfxTexture* texture = g_FmvTexture.deviceTexture();
    g_FmvTexture.wrapDeviceTexture(nullptr);
    gfxReleaseTexture(texture);
}

void drawFmvPicture() {
    u32 width = 0, height = 0;
    const u8* picture = isFmvPlaying() ? fmvPicture(&width, &height) : nullptr;
    if (!picture || !effectsReady()) return;
    SGfxTexture* texture = g_FmvTexture.deviceTexture();
    if (texture && (gfxTextureWidth(texture) != width || gfxTextureHeight(texture) != height)) {
        releaseFmvPictureTexture();
        texture = nullptr;
    }
    if (!texture) {
        texture = gfxCreateTexture(width, height, picture, false);
        if (!texture) return;
        g_FmvTexture.wrapDeviceTexture(texture);
    } else if (!gfxUpdateTexture(texture, picture)) {
        return;
    }
    setRenderTarget(nullptr);
    gfxClear(E_GFX_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    const f32 targetWidth = getRenderTargetWidth(), targetHeight = getRenderTargetHeight();
    const f32 scale = targetWidth * f32(height) < targetHeight * f32(width) ? targetWidth / f32(width)
                                                                           : targetHeight / f32(height);
    const f32 shownWidth = f32(width) * scale, shownHeight = f32(height) * scale;
    pushSpriteProjection();
    drawScreenQuad(getMaterialForEffectAndTexture("system_splash", &g_FmvTexture), (targetWidth - shownWidth) * 0.5f,
                   (targetHeight - shownHeight) * 0.5f, shownWidth, shownHeight, 0xFFFFFFFFu, 0);
    popSpriteTransforms();
}
