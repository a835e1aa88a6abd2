// Effects: a compiled effect file (platform/gfx/effect_file.h) with the parameters the game
// feeds it, found by semantic and annotation as the effect file declares them, and the registry
// of the program's named effects.
#pragma once

#include "core/types.h"
#include "platform/gfx/gfx_device.h"
#include "render/shader_globals.h"

#include <vector>

struct SEffectFile;
class ClTexture;

enum E_TextureSlot : u32 { E_TEXTURE_SLOT_DIFFUSE = 0, E_TEXTURE_SLOT_REFRACTION = 1, E_TEXTURE_SLOT_SPECULAR = 2 };

constexpr u32 SHADER_MAX_TRANSFORM_PARAMS = 2;
constexpr u32 SHADER_MAX_OBJECT_PARAMS = 16;
constexpr u32 SHADER_MAX_TEXTURE_PARAMS = 3;
constexpr u32 SHADER_MAX_GLOBAL_PARAMS = 16;
constexpr u32 SHADER_OBJECT_NAME_LENGTH = 32;
constexpr u32 SHADER_REGISTRY_CAPACITY = 64;
constexpr u32 PARAMETER_BLOCK_MAX_ENTRIES = 8;

// Per-object values handed to an effect with a draw: each entry feeds the PEROBJ parameter of
// the same name (case-insensitive).
struct SParameterBlockEntry {
    char name[SHADER_OBJECT_NAME_LENGTH];
    u32 kind;   // E_ShaderValueKind
    u32 count;  // floats, or vectors
    f32 values[SHADER_GLOBAL_MAX_VECTORS][4];
};
struct SParameterBlock {
    u32 count;
    SParameterBlockEntry entries[PARAMETER_BLOCK_MAX_ENTRIES];
};

class ClShader {
public:
    ClShader() = default;
    ~ClShader() { release(); }
    ClShader(const ClShader&) = delete;
    ClShader& operator=(const ClShader&) = delete;

    // Adopts a program made from the file and finds its parameters. Fatal: an unsupported
    // GLOBAL or PEROBJ type, more parameters of a kind than the lists hold, a name too long.
    void bindParameters(const SEffectFile& file, SGfxProgram* program);
    void release();

    // Makes the program current with its pass state and uploads the globals it declares; a
    // global never set is fatal. Textures given with setTexture (or the white default for
    // slots without one) are bound.
    void begin();
    void end();
    // Values are uploaded as they are set; kept for the callers' order of calls.
    void commitChanges() {}
    // Null binds the white default. A slot the effect does not declare is fatal.
    void setTexture(u32 slot, ClTexture* texture);
    // Row-vector matrices (16 floats): WORLD gets the world, WORLDVIEWPROJ world x view x projection.
    void setWorldTransform(const f32* world, const f32* view, const f32* projection);
    void applyParameterBlock(const SParameterBlock* block);

    const char* name() const { return m_name; }
    bool hasTextureSlot(u32 slot) const;

private:
    struct STransformParam {
        u32 kind;  // 0 WORLDVIEWPROJ, 1 WORLD
        s32 location;
    };
    struct SObjectParam {
        u32 kind;
        u32 count;
        char name[SHADER_OBJECT_NAME_LENGTH];
        s32 location;
    };
    struct STextureParam {
        u32 slot;
        s32 location;
        ClTexture* texture;
    };
    struct SGlobalParam {
        const SShaderGlobal* global;
        s32 location;
    };

    void uploadValues(s32 location, u32 kind, u32 count, const f32 (*values)[4]) const;
    char m_name[64] = {};
    SGfxProgram* m_program = nullptr;
    SGfxPassState m_pass;
    STransformParam m_transforms[SHADER_MAX_TRANSFORM_PARAMS] = {};
    u32 m_transformCount = 0;
    SObjectParam m_objects[SHADER_MAX_OBJECT_PARAMS] = {};
    u32 m_objectCount = 0;
    STextureParam m_textures[SHADER_MAX_TEXTURE_PARAMS] = {};
    u32 m_textureCount = 0;
    SGlobalParam m_globals[SHADER_MAX_GLOBAL_PARAMS] = {};
    u32 m_globalCount = 0;
};

// The registry. initShaderRegistry creates the tables and registers the 63 built-in effects
// from "Shaders/<name>.fxo"; a missing file, a damaged one or a GLSL error is fatal, naming the
// file (and the line). Main thread.
void initShaderRegistry();
void releaseShaderRegistry();
bool effectsReady();
// Registers one effect under its name; fatal as above.
ClShader* registerEffect(const char* name);
// Unknown names and hashes are fatal.
ClShader* findEffect(const char* name);
// "g_afBlurHorParams" and "g_v2InvScreenSize" (from the back buffer's size) for the
// post-processing effects; run once the effects are registered.
void setBlurShaderConstants();
// Nothing to do on OpenGL: programs survive; kept for the device's lost and reset paths.
void onEffectsDeviceLost();
void onEffectsDeviceReset();

// The names registerEffects registers, in order.
extern const char* const g_aBuiltInEffectNames[63];
