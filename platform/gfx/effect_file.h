// Effect files: our text stand-in for compiled Direct3D effects. One file holds one effect with
// one technique and one pass: its parameters (what D3DX reflection would report), the pass state,
// and the GLSL 330 vertex and fragment stages.
//
//   velodrix-effect 1
//   # a comment (only outside the stages)
//   param float4x4 g_mWorldViewProj : WORLDVIEWPROJ
//   param float2 g_av2BlurOffsets[15] : GLOBAL
//   param texture g_tDiffuse < Slot = "diffuse"; >
//   [pass]
//   blend additive          none | alpha | additive | add | multiply | subtract | max
//   depthtest off           on | off   (default on)
//   depthwrite off          on | off   (default on)
//   cull none               none | cw | ccw   (default ccw, as Direct3D's)
//   address clamp           wrap | clamp | mirror: texture addressing of every slot (default wrap)
//   [vertex]
//   ...GLSL without #version or the parameters' uniforms...
//   [fragment]
//   ...GLSL...
//
// Every parameter becomes a uniform of the same name in both stages (a texture a sampler2D);
// effectStageSource() writes those declarations in front of the file's stage text.
#pragma once

#include "platform/types.h"

#include <string>
#include <string_view>
#include <vector>

constexpr u32 EFFECT_FILE_VERSION = 1;
constexpr u32 EFFECT_MAX_PARAMETERS = 64;
constexpr u32 EFFECT_MAX_ANNOTATIONS = 8;
constexpr u32 EFFECT_MAX_ELEMENTS = 64;
constexpr u32 EFFECT_MAX_NAME = 63;

// D3DX's parameter classes and types, as far as effects use them.
enum E_EffectParamClass { E_EFFECT_CLASS_SCALAR, E_EFFECT_CLASS_VECTOR, E_EFFECT_CLASS_MATRIX, E_EFFECT_CLASS_OBJECT };
enum E_EffectParamType { E_EFFECT_TYPE_FLOAT, E_EFFECT_TYPE_TEXTURE };

enum E_EffectBlend {
    E_EFFECT_BLEND_NONE,
    E_EFFECT_BLEND_ALPHA,     // src alpha, inverse src alpha
    E_EFFECT_BLEND_ADDITIVE,  // src alpha, one
    E_EFFECT_BLEND_ADD,       // one, one
    E_EFFECT_BLEND_MULTIPLY,  // dest colour, zero
    E_EFFECT_BLEND_SUBTRACT,  // reverse subtract: dest - src alpha * src
    E_EFFECT_BLEND_MAX,       // per-channel maximum
};
enum E_EffectCull { E_EFFECT_CULL_NONE, E_EFFECT_CULL_CW, E_EFFECT_CULL_CCW };
enum E_EffectAddress { E_EFFECT_ADDRESS_WRAP, E_EFFECT_ADDRESS_CLAMP, E_EFFECT_ADDRESS_MIRROR };
enum E_EffectStage { E_EFFECT_STAGE_VERTEX, E_EFFECT_STAGE_FRAGMENT };

struct SEffectAnnotation {
    std::string name;
    std::string value;  // annotations are strings only
};

// What D3DX's GetParameterDesc answers, plus the annotations.
struct SEffectParameter {
    std::string name;
    std::string semantic;  // empty when none
    E_EffectParamClass paramClass = E_EFFECT_CLASS_SCALAR;
    E_EffectParamType type = E_EFFECT_TYPE_FLOAT;
    u32 rows = 1;
    u32 columns = 1;
    u32 elements = 0;  // 0 for a parameter that is not an array
    std::vector<SEffectAnnotation> annotations;
    u32 line = 0;      // where it is declared
};

struct SEffectPassState {
    E_EffectBlend blend = E_EFFECT_BLEND_NONE;
    bool depthTest = true;
    bool depthWrite = true;
    E_EffectCull cull = E_EFFECT_CULL_CCW;
    E_EffectAddress address = E_EFFECT_ADDRESS_WRAP;
};

struct SEffectStageText {
    std::string text;    // the file's lines of the stage, each ending in '\n'
    u32 firstLine = 0;   // file line of the first of them
};

struct SEffectFile {
    std::string name;  // for messages: the file's path or name
    std::vector<SEffectParameter> parameters;
    SEffectPassState pass;
    SEffectStageText stages[2];
};

// Parses a whole file. On failure returns false and sets error to "<name>:<line>: <reason>".
bool parseEffectFile(std::string_view name, std::string_view text, SEffectFile* out, std::string* error);

// Index of the first parameter with the semantic (exact), or -1.
int findEffectParameterBySemantic(const SEffectFile& file, std::string_view semantic);

// The GLSL source of a stage: version line, the parameters' uniform declarations, then the
// file's text. prefixLines is set to the number of lines in front of the file's text.
std::string effectStageSource(const SEffectFile& file, E_EffectStage stage, u32* prefixLines);

// Maps the line number of a GLSL message about an effectStageSource() text back to the effect file's
// line; 0 when the line lies in the generated prefix or beyond the stage.
u32 effectFileLineOfStageLine(const SEffectFile& file, E_EffectStage stage, u32 glslLine);

// The first "<n>:<line>(" or "<n>(<line>)" line number of a GLSL compiler log; 0 when none.
u32 firstLineOfGlslLog(std::string_view log);
