#include "render/screen_quad.h"

#include "platform/gfx/gfx_device.h"
#include "render/batcher.h"
#include "render/fmv_picture.h"
#include "render/render_state.h"

#include <cstddef>

namespace {

SGfxVertexDecl* g_pScreenQuadDecl = nullptr;

const SGfxVertexElement kScreenQuadElements[] = {
    {offsetof(SBatchVertex, x), E_GFX_DECL_FLOAT3, E_GFX_USAGE_POSITION, 0},
    {offsetof(SBatchVertex, colour), E_GFX_DECL_COLOUR, E_GFX_USAGE_COLOUR, 0},
    {offsetof(SBatchVertex, nx), E_GFX_DECL_FLOAT3, E_GFX_USAGE_NORMAL, 0},
    {offsetof(SBatchVertex, u), E_GFX_DECL_FLOAT2, E_GFX_USAGE_TEXCOORD, 0},
};

}  // namespace

void createUIDeviceBuffers() {
    if (!g_pScreenQuadDecl && gfxDeviceExists()) g_pScreenQuadDecl = gfxCreateVertexDecl(kScreenQuadElements, 4, sizeof(SBatchVertex));
}

void releaseUIDeviceBuffers() {
    if (g_pScreenQuadDecl) gfxReleaseVertexDecl(g_pScreenQuadDecl);
    g_pScreenQuadDecl = nullptr;
    releaseFmvPictureTexture();
}

void drawScreenQuad(const SMaterial* material, f32 x, f32 y, f32 width, f32 height, u32 colour, u32) {
    if (!g_pScreenQuadDecl) createUIDeviceBuffers();
    if (!g_pScreenQuadDecl || !material) return;
    const f32 x0 = x - 0.5f, y0 = y - 0.5f, x1 = x0 + width, y1 = y0 + height;
    const SBatchVertex quad[4] = {
        {x0, y0, 0.0f, colour, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
        {x1, y0, 0.0f, colour, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f},
        {x0, y1, 0.0f, colour, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f},
        {x1, y1, 0.0f, colour, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f},
    };
    applyMaterial(material, identityTransformNode(), nullptr);
    gfxSetVertexDecl(g_pScreenQuadDecl);
    gfxDrawPrimitiveUP(E_GFX_PRIM_TRIANGLE_STRIP, 2, quad, 4);
    endCurrentMaterial();
}
