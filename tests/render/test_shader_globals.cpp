// Global shader constants: declaration, setters and their fatal rules.
#include "render/shader_globals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ShaderGlobals : public ::testing::Test {
protected:
    void SetUp() override { initShaderGlobals(); }
    void TearDown() override { releaseShaderGlobals(); }
};

TEST_F(ShaderGlobals, SettersStoreWorkedValuesInTheOneRecordEveryEffectShares) {
    const SShaderGlobal* stored = declareShaderGlobal("g_av2Offsets", E_SHADER_VALUE_VEC2, 15);
    const SShaderGlobal* weights = declareShaderGlobal("g_afWeights", E_SHADER_VALUE_FLOATS, 15);
    declareShaderGlobal("g_v4Tint", E_SHADER_VALUE_VEC4, 0);
    const SShaderGlobal* tint = findShaderGlobal("G_V4TINT");
    ASSERT_NE(tint, nullptr) << "names are found whatever their case";
    const bool setAtFirst = tint->hasBeenSet;
    setShaderGlobalColour("g_v4Tint", 0x80FF0000);
    EXPECT_FALSE(setAtFirst);
    EXPECT_TRUE(tint->hasBeenSet);
    EXPECT_EQ(tint->values[0][0], 1.0f);
    EXPECT_EQ(tint->values[0][1], 0.0f);
    EXPECT_EQ(tint->values[0][3], 128.0f / 255.0f);

    setShaderGlobalVec3("g_v4Tint", ClVec3(1, 2, 3, 7));  // into a float4 constant: w = 0
    EXPECT_EQ(tint->values[0][2], 3.0f);
    EXPECT_EQ(tint->values[0][3], 0.0f);

    const ClVec2 offsets[2] = {{0.5f, -1.0f}, {2.0f, 3.0f}};
    setShaderGlobalVec2Array("g_av2Offsets", offsets, 2);
    EXPECT_EQ(stored->values[1][0], 2.0f);
    EXPECT_EQ(stored->values[1][1], 3.0f);
    EXPECT_EQ(stored->values[1][2], 0.0f) << "a float2 leaves the rest of its row empty";

    const f32 values[3] = {0.25f, 0.5f, 0.25f};
    setShaderGlobalFloatArray("g_afWeights", values, 3);
    setShaderGlobalFloat("g_afWeights", 9.0f);
    const f32* floats = &weights->values[0][0];  // stored one after another
    EXPECT_EQ(floats[0], 9.0f);
    EXPECT_EQ(floats[1], 0.5f);
    // An array uploads every value, a plain vector one.
    EXPECT_EQ(shaderGlobalUploadCount(*weights), 15u);
    EXPECT_EQ(shaderGlobalUploadCount(*tint), 1u);

    // One record serves every effect that declares it.
    SShaderGlobal* first = declareShaderGlobal("g_fSkySign", E_SHADER_VALUE_FLOATS, 1);
    setShaderGlobalFloat("g_fSkySign", -1.0f);
    SShaderGlobal* second = declareShaderGlobal("g_fSkySign", E_SHADER_VALUE_FLOATS, 1);
    // A second declaration changes nothing.
    EXPECT_EQ(first, second);
    EXPECT_TRUE(second->hasBeenSet);
    EXPECT_EQ(second->values[0][0], -1.0f);
    EXPECT_EQ(findShaderGlobal("g_fUnknown"), nullptr);
}

using ShaderGlobalsDeathTest = ShaderGlobals;

TEST_F(ShaderGlobalsDeathTest, MisuseIsFatal) {
    declareShaderGlobal("g_v2Pair", E_SHADER_VALUE_VEC2, 0);
    declareShaderGlobal("g_afFour", E_SHADER_VALUE_FLOATS, 4);
    static const ClVec2 pairs[2] = {};
    static const f32 floats[5] = {};
    const struct {
        void (*misuse)();
        const char* message;
    } cases[] = {
        {[] { setShaderGlobalFloat("g_fNobody", 1.0f); }, "shader constant \"g_fNobody\" is set but no effect declares it"},
        {[] { setShaderGlobalColour("g_v2Pair", 0); }, "shader constant \"g_v2Pair\" is a float2, set as a float4"},
        {[] { declareShaderGlobal("g_v2Pair", E_SHADER_VALUE_VEC3, 0); }, "shader constant \"g_v2Pair\" declared as float2 and as float3"},
        {[] { setShaderGlobalVec2Array("g_v2Pair", pairs, 2); }, "shader constant \"g_v2Pair\" holds 1 values, 2 were set"},
        {[] { setShaderGlobalFloatArray("g_afFour", floats, 5); }, "shader constant \"g_afFour\" holds 4 floats, 5 were set"},
        {[] { declareShaderGlobal("g_av4Big", E_SHADER_VALUE_VEC4, 17); }, "17 values of kind 5 do not fit its storage"},
        {[] { declareShaderGlobal("g_afBig", E_SHADER_VALUE_FLOATS, 65); }, "65 values of kind 2 do not fit its storage"},
        {[] { declareShaderGlobal("g_a_name_of_forty_characters_xxxxxxxxxxx", E_SHADER_VALUE_FLOATS, 1); }, "is longer than 39 characters"},
        {[] {
             for (u32 i = 0; i <= SHADER_GLOBAL_POOL_SIZE; ++i) declareShaderGlobal(("g_f" + std::to_string(i)).c_str(), E_SHADER_VALUE_FLOATS, 1);
         },
         "more than 128 shader constants"},
    };
    for (const auto& c : cases) EXPECT_EXIT(c.misuse(), ::testing::ExitedWithCode(3), c.message) << c.message;
}

}  // namespace
