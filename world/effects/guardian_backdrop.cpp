#include "world/effects/guardian_backdrop.h"

#include "core/random.h"
#include "core/vec.h"
#include "render/materials.h"
#include "render/shader_globals.h"
#include "render/sprite_queue.h"

void setGuardianNoiseConstants(u32 adderColour) {
    const f32 noiseX = randomUnitFloat();
    const f32 noiseY = randomUnitFloat();
    if (!spriteQueueInitialised()) return;
    setShaderGlobalVec2("g_v2GuardianNoise", ClVec2{noiseX, noiseY});
    setShaderGlobalColour("g_v4GuardianAdder", adderColour);
}

void drawGuardianNoiseQuad(u32 layer, u32 alpha, u32 adderColour) {
    setGuardianNoiseConstants(adderColour);
    if (!spriteQueueInitialised()) return;
    const SMaterial* material =
        getMaterialForEffectAndTextureNames2("game_guardian_bg", "Images/GuardianBG", "Images/NoiseDots");
    addSpriteQuad(layer, material, (alpha << 24) | 0x00FFFFFFu, 0.0f, 0.0f, spriteTargetWidth(), spriteTargetHeight());
}
