// The effect-file reader: reflection answers, pass states, stage sources and errors.
#include "platform/gfx/effect_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const char* BLUR_EFFECT =
    "velodrix-effect 1\n"
    "# blur\n"
    "param float4x4 g_mWorldViewProj : WORLDVIEWPROJ\n"
    "param float2 g_av2BlurOffsets[15] : GLOBAL\n"
    "param float4 g_v4Colour : PEROBJ\n"
    "param texture g_tDiffuse < Slot = \"diffuse\"; Note = \"x y\"; >\n"
    "[pass]\n"
    "blend additive\n"
    "depthwrite off\n"
    "cull none\n"
    "address clamp\n"
    "[vertex]\n"
    "void main() { gl_Position = vec4(0.0); }\n"
    "[fragment]\n"
    "out vec4 colour;\n"
    "void main() { colour = g_v4Colour; }\n";

SEffectFile parseOrFail(const char* text) {
    SEffectFile file;
    std::string error;
    EXPECT_TRUE(parseEffectFile("Shaders/test.fxo", text, &file, &error)) << error;
    return file;
}

// The error a refused file gives, or "parsed".
std::string errorOf(const std::string& text, const char* name = "Shaders/test.fxo") {
    SEffectFile file;
    std::string error;
    return parseEffectFile(name, text, &file, &error) ? "parsed" : error;
}

TEST(EffectFile, ParametersAnswerReflectionPassStatesHaveDefaultsAndStagesMapTheirLinesBack) {
    const SEffectFile file = parseOrFail(BLUR_EFFECT);
    ASSERT_EQ(file.parameters.size(), 4u);

    const SEffectParameter &matrix = file.parameters[0], &offsets = file.parameters[1], &texture = file.parameters[3];
    EXPECT_EQ(matrix.paramClass, E_EFFECT_CLASS_MATRIX);
    EXPECT_EQ(matrix.rows, 4u);
    EXPECT_EQ(matrix.columns, 4u);
    EXPECT_EQ(matrix.elements, 0u);
    EXPECT_EQ(offsets.name, std::string("g_av2BlurOffsets"));
    EXPECT_EQ(offsets.semantic, std::string("GLOBAL"));
    EXPECT_EQ(offsets.paramClass, E_EFFECT_CLASS_VECTOR);
    EXPECT_EQ(offsets.type, E_EFFECT_TYPE_FLOAT);
    EXPECT_EQ(offsets.columns, 2u);
    EXPECT_EQ(offsets.elements, 15u);
    EXPECT_EQ(offsets.line, 4u);
    EXPECT_EQ(texture.type, E_EFFECT_TYPE_TEXTURE);
    EXPECT_EQ(texture.semantic, std::string());
    ASSERT_EQ(texture.annotations.size(), 2u);
    EXPECT_EQ(texture.annotations[0].name, "Slot");
    EXPECT_EQ(texture.annotations[0].value, "diffuse");
    EXPECT_EQ(texture.annotations[1].value, "x y");
    // Semantics match whole words.
    EXPECT_EQ(findEffectParameterBySemantic(file, "WORLDVIEWPROJ"), 0);
    EXPECT_EQ(findEffectParameterBySemantic(file, "PEROBJ"), 2);
    EXPECT_EQ(findEffectParameterBySemantic(file, "WORLD"), -1);

    const SEffectPassState& b = file.pass;  // depth test by default
    EXPECT_EQ(b.blend, E_EFFECT_BLEND_ADDITIVE);
    EXPECT_EQ(b.depthTest, true);
    EXPECT_EQ(b.depthWrite, false);
    EXPECT_EQ(b.cull, E_EFFECT_CULL_NONE);
    EXPECT_EQ(b.address, E_EFFECT_ADDRESS_CLAMP);
    const SEffectFile plain = parseOrFail("velodrix-effect 1\n[vertex]\n[fragment]\n");
    const SEffectPassState& p = plain.pass;
    EXPECT_EQ(p.blend, E_EFFECT_BLEND_NONE);
    EXPECT_EQ(p.depthWrite, true);
    EXPECT_EQ(p.cull, E_EFFECT_CULL_CCW);
    EXPECT_EQ(p.address, E_EFFECT_ADDRESS_WRAP);
    EXPECT_EQ(plain.parameters.size(), size_t(0));

    // Stage sources declare the parameters and map their lines back.
    EXPECT_EQ(effectStageSource(file, E_EFFECT_STAGE_FRAGMENT, nullptr), std::string("#version 330 core\n"
                                                                                     "uniform mat4 g_mWorldViewProj;\n"
                                                                                     "uniform vec2 g_av2BlurOffsets[15];\n"
                                                                                     "uniform vec4 g_v4Colour;\n"
                                                                                     "uniform sampler2D g_tDiffuse;\n"
                                                                                     "out vec4 colour;\n"
                                                                                     "void main() { colour = g_v4Colour; }\n"));

    // Vertex line 3 is a generated declaration, line 7 past the stage.
    EXPECT_EQ(effectFileLineOfStageLine(file, E_EFFECT_STAGE_FRAGMENT, 7), 16u);
    EXPECT_EQ(effectFileLineOfStageLine(file, E_EFFECT_STAGE_VERTEX, 6), 13u);
    EXPECT_EQ(effectFileLineOfStageLine(file, E_EFFECT_STAGE_VERTEX, 3), 0u);
    EXPECT_EQ(effectFileLineOfStageLine(file, E_EFFECT_STAGE_VERTEX, 7), 0u);
    EXPECT_EQ(firstLineOfGlslLog("0:12(7): error: `x' undeclared\n"), 12u);
    EXPECT_EQ(firstLineOfGlslLog("ERROR: 0(9) : syntax error"), 9u);
    EXPECT_EQ(firstLineOfGlslLog("linker error: no main"), 0u);
}

TEST(EffectFile, DamagedFilesNameFileAndLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "Shaders/test.fxo:0: empty effect file"},
        {"velodrix-effect 2\n", "Shaders/test.fxo:1: 'velodrix-effect 1' expected first"},
        {"velodrix-effect 1\nparam double x\n", "Shaders/test.fxo:2: unknown parameter type 'double'"},
        {"velodrix-effect 1\nparam float a\nparam float a\n", "Shaders/test.fxo:3: parameter a declared twice"},
        {"velodrix-effect 1\nparam float a[0]\n", "Shaders/test.fxo:2: array size 0 outside 1 to 64"},
        {"velodrix-effect 1\nparam float a[65]\n", "Shaders/test.fxo:2: array size 65 outside 1 to 64"},
        {"velodrix-effect 1\nparam float a[99999999]\n", "Shaders/test.fxo:2: array size expected"},
        {"velodrix-effect 1\nparam float a[4\n", "Shaders/test.fxo:2: ']' expected"},
        {"velodrix-effect 1\nparam texture t < Slot = \"diffuse >\n", "Shaders/test.fxo:2: unterminated annotation value"},
        {"velodrix-effect 1\nparam texture t < Slot = \"a\" >\n", "Shaders/test.fxo:2: ';' expected after annotation Slot"},
        {"velodrix-effect 1\nparam float a : GLOBAL extra\n", "Shaders/test.fxo:2: unexpected 'extra' after parameter a"},
        {"velodrix-effect 1\n[pass]\nblend screen\n", "Shaders/test.fxo:3: unknown blend mode 'screen'"},
        {"velodrix-effect 1\n[pass]\ndepthtest maybe\n", "Shaders/test.fxo:3: depthtest takes on or off, not 'maybe'"},
        {"velodrix-effect 1\n[pass]\ncull sideways\n", "Shaders/test.fxo:3: cull takes none, cw or ccw, not 'sideways'"},
        {"velodrix-effect 1\n[pass]\n[pass]\n", "Shaders/test.fxo:3: a second [pass]: effects have one pass"},
        {"velodrix-effect 1\n[pass]\nparam float a\n", "Shaders/test.fxo:3: unknown pass state 'param'"},
        {"velodrix-effect 1\n[fragment]\n", "Shaders/test.fxo:2: [fragment] must follow [vertex]"},
        {"velodrix-effect 1\n[vertex]\nvoid main() {}\n", "Shaders/test.fxo:0: the [vertex] and [fragment] stages are missing"},
    };
    for (const auto& [text, error] : cases) EXPECT_EQ(errorOf(text), error) << text;
    std::string tooMany = "velodrix-effect 1\n";
    for (int i = 0; i <= 64; ++i) tooMany += "param float p" + std::to_string(i) + "\n";
    EXPECT_EQ(errorOf(tooMany, "big"), "big:66: more than 64 parameters");
}

}  // namespace
