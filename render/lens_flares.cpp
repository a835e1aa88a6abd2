#include "render/lens_flares.h"

#include "render/texture.h"

const char* const g_aLensFlareTextureNames[LENS_FLARE_TEXTURE_COUNT] = {
    "Images/Lensflare-rays", "Images/Lensflare-glow",  "Images/Lensflare-filled-3",
    "Images/Lensflare-filled", "Images/Lensflare-ring", "Images/Lensflare-semifilledhalo",
};

namespace {
ClTexture* g_apLensFlareTextures[LENS_FLARE_TEXTURE_COUNT] = {};
u32 g_uLiveLensFlares = 0;
}  // namespace

void loadLensFlareTextures() {
    for (u32 i = 0; i < LENS_FLARE_TEXTURE_COUNT; ++i)
        g_apLensFlareTextures[i] = loadTexture(g_aLensFlareTextureNames[i], false, nullptr, false, nullptr, TEXTURE_READ_MODE);
    g_uLiveLensFlares = 0;
}

void runLensFlarePass() { g_uLiveLensFlares = 0; }

void releaseLensFlares() {
    g_uLiveLensFlares = 0;
    for (ClTexture*& texture : g_apLensFlareTextures) texture = nullptr;
}
