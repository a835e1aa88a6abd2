// Global shader constants: named values ("g_...") that game code sets by name and every effect
// declaring them (semantic GLOBAL) receives when it begins. One record per name, shared by all
// effects that declare it; the first declaration fixes its kind and count.
#pragma once

#include "core/types.h"
#include "core/vec.h"

// Value kinds, shared with per-object parameters and parameter blocks.
enum E_ShaderValueKind : u32 {
    E_SHADER_VALUE_FLOATS = 2,  // count floats, one after another
    E_SHADER_VALUE_VEC2 = 3,
    E_SHADER_VALUE_VEC3 = 4,
    E_SHADER_VALUE_VEC4 = 5,  // colours
};

constexpr u32 SHADER_GLOBAL_POOL_SIZE = 128;
constexpr u32 SHADER_GLOBAL_TABLE_CAPACITY = 128;
constexpr u32 SHADER_GLOBAL_MAX_VECTORS = 16;
constexpr u32 SHADER_GLOBAL_MAX_FLOATS = SHADER_GLOBAL_MAX_VECTORS * 4;
constexpr u32 SHADER_GLOBAL_NAME_LENGTH = 40;  // 39 characters and the terminator

struct SShaderGlobal {
    u32 kind;
    // Floats: at least 1. Vectors: the array length, 0 for a plain vector.
    u32 count;
    // Vectors are stored as 4 floats each whatever their kind; floats one after another.
    alignas(16) f32 values[SHADER_GLOBAL_MAX_VECTORS][4];
    bool hasBeenSet;
    char name[SHADER_GLOBAL_NAME_LENGTH];
    u32 poolIndex;
};

void initShaderGlobals();
// Returns every constant to its pool and frees the table.
void releaseShaderGlobals();

// Declares a constant for an effect: a new record, or the existing one when the kind matches.
// Fatal: another kind, a count beyond the storage, a name too long, the pool full.
SShaderGlobal* declareShaderGlobal(const char* name, u32 kind, u32 count);
// Null when no effect declared it.
const SShaderGlobal* findShaderGlobal(const char* name);

// Setters; each marks the constant as set. A name no effect declared, or a constant of another
// kind, is fatal. Array setters are bounded by the constant's count (at least 1) and by 16.
void setShaderGlobalFloat(const char* name, f32 value);
void setShaderGlobalFloatArray(const char* name, const f32* values, u32 n);
void setShaderGlobalVec2(const char* name, const ClVec2& value);
void setShaderGlobalVec2Array(const char* name, const ClVec2* values, u32 n);
// The fourth component becomes 0.
void setShaderGlobalVec3(const char* name, const ClVec3& value);
// Packed ARGB; each channel divided by 255 into (r, g, b, a).
void setShaderGlobalColour(const char* name, u32 argb);

// The number of values an upload sends: the float count, or the vector count with a plain
// vector as 1.
u32 shaderGlobalUploadCount(const SShaderGlobal& global);
