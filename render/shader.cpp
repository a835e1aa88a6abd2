#include "render/shader.h"

#include "core/fatal_error.h"
#include "core/hash_map.h"
#include "core/matrix44.h"
#include "core/name_hash.h"
#include "platform/gfx/effect_file.h"
#include "render/data_file_read.h"
#include "render/texture.h"

#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

const char* const g_aBuiltInEffectNames[63] = {
    "BarOnBody", "Bullet_Add", "Debug_Add", "EnergonCube", "EnergonCubeAlpha", "EQ", "Fixed_Add",
    "Fixed_Add_Bias_Limited", "Fixed_Blend", "Fixed_Blend_Real", "Flying_Add", "FP_Add", "FP_Blend", "MirrorLake",
    "MirrorLakeLow", "MirrorWithTex", "MirrorWithTexWithBlend", "Poly_Body_Normal_Player", "Sky", "UI_Glow",
    "Splash_Glow", "UI_Mask", "UI_RTTMasked", "system_blend", "system_blend_2x", "system_blend_color", "system_add",
    "system_add_color", "system_add_nobias", "system_add_perspective", "system_add_bias15", "system_font",
    "system_splash", "system_max", "system_sub_perspective", "system_subtract", "PostFx_BlurH", "PostFx_FinalAdd",
    "PostFx_Shrink4x4", "PostFx_FinalAddAndSubtract", "game_bar_player_1", "game_bar_player_2", "game_bar_enemy_1",
    "game_bar_enemy_2", "game_bar_enemy_red", "game_colorizeRed_addBlue_additiveBlend",
    "game_colorizeRed_addBlue_additiveBlend_perspective", "game_energon", "game_energon_add", "game_tri",
    "game_tri_ghost", "game_noise_scroller", "game_sos", "game_sos_staff", "game_guardian_bg", "game_ui_lines",
    "game_ui_badges", "game_bonustext", "game_tri_glass", "game_tri_glass_red", "game_tri_glass_player",
    "game_tri_enemy_1", "game_tri_player_1",
};

namespace {

ClHashMap g_EffectTable;
bool g_bEffectsReady = false;

SGfxPassState passStateOf(const SEffectPassState& pass) {
    SGfxPassState state;
    state.blendEnable = pass.blend != E_EFFECT_BLEND_NONE;
    switch (pass.blend) {
    case E_EFFECT_BLEND_NONE: break;
    case E_EFFECT_BLEND_ALPHA: state.srcBlend = E_GFX_BLEND_SRC_ALPHA, state.destBlend = E_GFX_BLEND_INV_SRC_ALPHA; break;
    case E_EFFECT_BLEND_ADDITIVE: state.srcBlend = E_GFX_BLEND_SRC_ALPHA, state.destBlend = E_GFX_BLEND_ONE; break;
    case E_EFFECT_BLEND_ADD: state.srcBlend = E_GFX_BLEND_ONE, state.destBlend = E_GFX_BLEND_ONE; break;
    case E_EFFECT_BLEND_MULTIPLY: state.srcBlend = E_GFX_BLEND_DEST_COLOUR, state.destBlend = E_GFX_BLEND_ZERO; break;
    case E_EFFECT_BLEND_SUBTRACT:
        state.srcBlend = E_GFX_BLEND_SRC_ALPHA, state.destBlend = E_GFX_BLEND_ONE;
        state.blendOp = E_GFX_BLENDOP_REV_SUBTRACT;
        break;
    case E_EFFECT_BLEND_MAX:
        state.srcBlend = E_GFX_BLEND_ONE, state.destBlend = E_GFX_BLEND_ONE;
        state.blendOp = E_GFX_BLENDOP_MAX;
        break;
    }
    state.depthEnable = pass.depthTest;
    state.depthWrite = pass.depthWrite;
    state.cull = pass.cull == E_EFFECT_CULL_NONE ? E_GFX_CULL_NONE : pass.cull == E_EFFECT_CULL_CW ? E_GFX_CULL_CW : E_GFX_CULL_CCW;
    const EGfxAddress address = pass.address == E_EFFECT_ADDRESS_CLAMP    ? E_GFX_ADDRESS_CLAMP
                                : pass.address == E_EFFECT_ADDRESS_MIRROR ? E_GFX_ADDRESS_MIRROR
                                                                          : E_GFX_ADDRESS_WRAP;
    for (SGfxSamplerState& sampler : state.samplers) sampler.addressU = sampler.addressV = address;
    return state;
}

// Kind and count of a GLOBAL or PEROBJ parameter; fatal for anything but float scalars and
// 2- to 4-float vectors. A float's count is at least 1; a plain vector's is 0.
void valueShapeOf(const SEffectFile& file, const SEffectParameter& param, u32* kind, u32* count) {
    if (param.type == E_EFFECT_TYPE_FLOAT && param.paramClass == E_EFFECT_CLASS_SCALAR) {
        *kind = E_SHADER_VALUE_FLOATS;
        *count = param.elements > 0 ? param.elements : 1;
        return;
    }
    if (param.type == E_EFFECT_TYPE_FLOAT && param.paramClass == E_EFFECT_CLASS_VECTOR && param.columns >= 2) {
        *kind = E_SHADER_VALUE_VEC2 + (param.columns - 2);
        *count = param.elements;
        return;
    }
    fatalErrorf("%s:%u: parameter %s with semantic %s must be a float or a float vector", file.name.c_str(), param.line,
                param.name.c_str(), param.semantic.c_str());
}

s32 textureSlotOf(const SEffectParameter& param) {
    static const char* const slots[] = {"diffuse", "refraction", "specular"};
    for (const SEffectAnnotation& annotation : param.annotations) {
        for (u32 slot = 0; slot < 3; ++slot) {
            if (strcasecmp(annotation.value.c_str(), slots[slot]) == 0) return s32(slot);
        }
    }
    return -1;
}

u32 lineCount(const char* text) {
    u32 lines = 0;
    for (; *text; ++text) lines += *text == '\n';
    return lines;
}

// The program of an effect file, or a fatal error naming the file and the line of its GLSL error.
SGfxProgram* compileEffect(const SEffectFile& file) {
    const std::string vertex = effectStageSource(file, E_EFFECT_STAGE_VERTEX, nullptr);
    const std::string fragment = effectStageSource(file, E_EFFECT_STAGE_FRAGMENT, nullptr);
    char log[2048] = {};
    SGfxProgram* program = gfxCreateProgram(vertex.c_str(), fragment.c_str(), log, sizeof(log));
    if (program) return program;
    // The log does not say which stage failed: try the line in each, the vertex stage's shifted
    // by the text the device puts after its version line.
    const u32 glslLine = firstLineOfGlslLog(log);
    const u32 epilogue = lineCount(GFX_GLSL_EPILOGUE);
    u32 line = glslLine > epilogue ? effectFileLineOfStageLine(file, E_EFFECT_STAGE_VERTEX, glslLine - epilogue) : 0;
    if (std::strstr(log, "fragment") || line == 0) {
        const u32 fragmentLine = effectFileLineOfStageLine(file, E_EFFECT_STAGE_FRAGMENT, glslLine);
        if (fragmentLine) line = fragmentLine;
    }
    fatalErrorf("%s:%u: the effect does not compile: %s", file.name.c_str(), line, log);
}

}  // namespace

void ClShader::bindParameters(const SEffectFile& file, SGfxProgram* program) {
    release();
    m_program = program;
    std::strncpy(m_name, file.name.c_str(), sizeof(m_name) - 1);
    m_pass = passStateOf(file.pass);

    const char* const transformSemantics[] = {"WORLDVIEWPROJ", "WORLD"};
    for (u32 kind = 0; kind < 2; ++kind) {
        const int index = findEffectParameterBySemantic(file, transformSemantics[kind]);
        if (index >= 0) m_transforms[m_transformCount++] = {kind, gfxUniformLocation(program, file.parameters[index].name.c_str())};
    }
    for (const SEffectParameter& param : file.parameters) {
        if (param.semantic != "GLOBAL") continue;
        if (m_globalCount == SHADER_MAX_GLOBAL_PARAMS) fatalErrorf("%s:%u: more than 16 GLOBAL parameters", file.name.c_str(), param.line);
        u32 kind = 0;
        u32 count = 0;
        valueShapeOf(file, param, &kind, &count);
        m_globals[m_globalCount++] = {declareShaderGlobal(param.name.c_str(), kind, count),
                                      gfxUniformLocation(program, param.name.c_str())};
    }
    for (const SEffectParameter& param : file.parameters) {
        if (param.semantic != "PEROBJ") continue;
        if (m_objectCount == SHADER_MAX_OBJECT_PARAMS) fatalErrorf("%s:%u: more than 16 PEROBJ parameters", file.name.c_str(), param.line);
        if (param.name.size() >= SHADER_OBJECT_NAME_LENGTH) fatalErrorf("%s:%u: PEROBJ name longer than 31 characters", file.name.c_str(), param.line);
        SObjectParam& object = m_objects[m_objectCount++];
        valueShapeOf(file, param, &object.kind, &object.count);
        std::strcpy(object.name, param.name.c_str());
        object.location = gfxUniformLocation(program, param.name.c_str());
    }
    for (const SEffectParameter& param : file.parameters) {
        const s32 slot = textureSlotOf(param);
        if (slot < 0) continue;
        if (m_textureCount == SHADER_MAX_TEXTURE_PARAMS) fatalErrorf("%s:%u: more than 3 texture slots", file.name.c_str(), param.line);
        m_textures[m_textureCount++] = {u32(slot), gfxUniformLocation(program, param.name.c_str()), nullptr};
    }
}

void ClShader::release() {
    if (m_program) gfxReleaseProgram(m_program);
    m_program = nullptr;
    m_transformCount = m_objectCount = m_textureCount = m_globalCount = 0;
}

void ClShader::uploadValues(s32 location, u32 kind, u32 count, const f32 (*values)[4]) const {
    if (kind == E_SHADER_VALUE_FLOATS) {
        gfxSetUniformFloats(m_program, location, &values[0][0], count);
    } else {
        gfxSetUniformVec4s(m_program, location, &values[0][0], count > 1 ? count : 1);
    }
}

void ClShader::begin() {
    gfxSetProgram(m_program);
    gfxApplyPassState(m_pass);
    for (u32 i = 0; i < m_textureCount; ++i) {
        const STextureParam& param = m_textures[i];
        gfxSetUniformTexture(m_program, param.location, param.slot, param.texture ? param.texture->deviceTexture() : nullptr);
    }
    for (u32 i = 0; i < m_globalCount; ++i) {
        const SShaderGlobal& global = *m_globals[i].global;
        if (!global.hasBeenSet) fatalErrorf("effect %s begins before shader constant \"%s\" was set", m_name, global.name);
        uploadValues(m_globals[i].location, global.kind, shaderGlobalUploadCount(global), global.values);
    }
}

void ClShader::end() {
    gfxResetPassState();
    gfxSetProgram(nullptr);
}

bool ClShader::hasTextureSlot(u32 slot) const {
    for (u32 i = 0; i < m_textureCount; ++i) {
        if (m_textures[i].slot == slot) return true;
    }
    return false;
}

void ClShader::setTexture(u32 slot, ClTexture* texture) {
    for (u32 i = 0; i < m_textureCount; ++i) {
        if (m_textures[i].slot != slot) continue;
        m_textures[i].texture = texture;
        gfxSetUniformTexture(m_program, m_textures[i].location, slot, texture ? texture->deviceTexture() : nullptr);
        return;
    }
    fatalErrorf("effect %s has no texture slot %u", m_name, slot);
}

void ClShader::setWorldTransform(const f32* world, const f32* view, const f32* projection) {
    for (u32 i = 0; i < m_transformCount; ++i) {
        if (m_transforms[i].kind == 1) {
            gfxSetUniformMatrix(m_program, m_transforms[i].location, world);
            continue;
        }
        ClMatrix44 w, v, p;
        std::memcpy(w.m, world, sizeof(w.m));
        std::memcpy(v.m, view, sizeof(v.m));
        std::memcpy(p.m, projection, sizeof(p.m));
        const ClMatrix44 worldViewProj = w.multiply(v).multiply(p);
        gfxSetUniformMatrix(m_program, m_transforms[i].location, worldViewProj.m);
    }
}

void ClShader::applyParameterBlock(const SParameterBlock* block) {
    if (block == nullptr) return;
    const u32 entries = block->count < PARAMETER_BLOCK_MAX_ENTRIES ? block->count : PARAMETER_BLOCK_MAX_ENTRIES;
    for (u32 i = 0; i < m_objectCount; ++i) {
        for (u32 e = 0; e < entries; ++e) {
            const SParameterBlockEntry& entry = block->entries[e];
            if (strcasecmp(entry.name, m_objects[i].name) != 0) continue;
            if (entry.kind < E_SHADER_VALUE_FLOATS || entry.kind > E_SHADER_VALUE_VEC4) {
                fatalErrorf("parameter block entry %s has unsupported kind %u", entry.name, entry.kind);
            }
            const u32 limit = entry.kind == E_SHADER_VALUE_FLOATS ? SHADER_GLOBAL_MAX_FLOATS : SHADER_GLOBAL_MAX_VECTORS;
            uploadValues(m_objects[i].location, entry.kind, entry.count < limit ? entry.count : limit, entry.values);
        }
    }
}

ClShader* registerEffect(const char* name) {
    const std::string path = std::string("Shaders\\") + name + ".fxo";
    std::vector<u8> bytes;
    if (!readDataFile(path.c_str(), &bytes)) fatalErrorf("effect file %s is missing or cannot be read", path.c_str());
    SEffectFile file;
    std::string error;
    if (!parseEffectFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &file, &error)) {
        fatalErrorf("%s", error.c_str());
    }
    auto* shader = new ClShader();
    shader->bindParameters(file, compileEffect(file));
    if (!g_EffectTable.insertByName(name, reinterpret_cast<uintptr_t>(shader))) {
        fatalErrorf("the effect table is full (%u effects) at %s", g_EffectTable.getCount(), name);
    }
    return shader;
}

void setBlurShaderConstants() {
    const f32 params[8] = {0, 0, 0, 0, 0, 0, 0.5f, 1.0f};
    setShaderGlobalFloatArray("g_afBlurHorParams", params, 8);
    const u32 width = gfxBackBufferWidth();
    const u32 height = gfxBackBufferHeight();
    setShaderGlobalVec2("g_v2InvScreenSize", ClVec2(width ? 1.0f / f32(width) : 0.0f, height ? 1.0f / f32(height) : 0.0f));
}

void initShaderRegistry() {
    g_EffectTable.init(SHADER_REGISTRY_CAPACITY);
    initShaderGlobals();
    for (const char* name : g_aBuiltInEffectNames) registerEffect(name);
    g_bEffectsReady = true;
    setBlurShaderConstants();
}

void releaseShaderRegistry() {
    g_bEffectsReady = false;
    releaseShaderGlobals();
    g_EffectTable.forEachValue([](uintptr_t value, void*) { delete reinterpret_cast<ClShader*>(value); }, nullptr);
    g_EffectTable.release();
}

bool effectsReady() { return g_bEffectsReady; }

ClShader* findEffect(const char* name) {
    auto* shader = reinterpret_cast<ClShader*>(g_EffectTable.findByName(name));
    if (shader == nullptr) fatalErrorf("unknown effect %s", name);
    return shader;
}

void onEffectsDeviceLost() {}
void onEffectsDeviceReset() {}
