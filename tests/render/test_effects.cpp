// The effect registry over the built data on the null renderer: every effect file binds and
// declares its globals consistently; fatal rules of registration and begin. Compiling them on
// OpenGL is tested with the batch drawing.
#include "render/materials.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render_data_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using EffectsDeathTest = NullDeviceDataTest;

TEST_F(EffectsDeathTest, RegistrationAndBeginFailuresAreFatal) {
    EXPECT_EXIT(registerEffect("NoSuchEffect"), ::testing::ExitedWithCode(3),
                "effect file Shaders\\\\NoSuchEffect.fxo is missing or cannot be read");
    EXPECT_EXIT(findEffect("system_nothing"), ::testing::ExitedWithCode(3), "unknown effect system_nothing");
    EXPECT_EXIT(findEffect("game_bar_enemy_red")->begin(), ::testing::ExitedWithCode(3),
                "begins before shader constant \"g_v4BarEnemyRed\" was set");
    EXPECT_EXIT(findEffect("system_add")->setTexture(E_TEXTURE_SLOT_SPECULAR, nullptr), ::testing::ExitedWithCode(3),
                "has no texture slot 2");

    findEffect("PostFx_FinalAddAndSubtract")->begin();  // its constant is set at start-up
    findEffect("PostFx_FinalAddAndSubtract")->end();
}

using Materials = NullDeviceDataTest;

TEST_F(Materials, SharedRecordsDependOnEffectAndTextureOrder) {
    ClTexture* noise = loadTexture("Images/Noise");
    ClTexture* dots = loadTexture("Images/NoiseDots");
    ASSERT_NE(noise, nullptr);
    ASSERT_NE(dots, nullptr);

    SMaterial* ab = getMaterialForEffectAndTextures2("game_guardian_bg", noise, dots);
    EXPECT_EQ(getMaterialForEffectAndTextureNames2("game_guardian_bg", "Images/Noise", "Images/NoiseDots"), ab);
    SMaterial* ba = getMaterialForEffectAndTextures2("game_guardian_bg", dots, noise);
    EXPECT_NE(ba, ab) << "another texture order is another material";
    EXPECT_NE(ba->textureSet, ab->textureSet) << "another texture order is another material";

    SMaterial* added = getMaterialForEffectAndTexture("system_add", noise);
    SMaterial* blended = getMaterialForEffectAndTexture("system_blend", noise);
    // One set serves both effects.
    EXPECT_NE(added, blended);
    EXPECT_EQ(added->textureSet, blended->textureSet);
    EXPECT_EQ(getMaterialForEffect("system_add"), getMaterialForEffect("SYSTEM_ADD"));
    EXPECT_EQ(nullptr, getMaterialForEffect("system_add")->textureSet);
    EXPECT_EQ(getLiveMaterialCount(), 5u);
    EXPECT_EQ(getLiveTextureSetCount(), 3u);
    EXPECT_EQ(ab->poolIndex, 0u);
    EXPECT_EQ(ba->poolIndex, 1u);

    // A texture the table does not hold binds the white default: no fatal error at draw time.
    SMaterial* missing = getMaterialForEffectAndTextureName("system_add", "Images/NotThere");
    EXPECT_EQ(missing->textureSet->textures[0], nullptr);
    bindMaterialTextures(missing);

    // Purging the dot texture releases both guardian materials and their sets; holders see the
    // generation move on.
    const u32 generation = ab->generation;
    purgeTextureFromMaterials(dots);
    // Untouched materials stay.
    EXPECT_EQ(getLiveMaterialCount(), 4u);
    EXPECT_EQ(getLiveTextureSetCount(), 2u);
    EXPECT_NE(ab->generation, generation);
    EXPECT_EQ(getMaterialForEffectAndTexture("system_add", noise), added);
}

}  // namespace
