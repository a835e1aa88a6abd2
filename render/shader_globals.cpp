#include "render/shader_globals.h"

#include "core/fatal_error.h"
#include "core/fixed_pool.h"
#include "core/hash_map.h"
#include "core/name_hash.h"

#include <cstring>
#include <strings.h>

namespace {

ClFixedPool<SShaderGlobal, SHADER_GLOBAL_POOL_SIZE> g_GlobalPool;
ClHashMap g_GlobalTable;

const char* kindName(u32 kind) {
    switch (kind) {
    case E_SHADER_VALUE_FLOATS: return "float";
    case E_SHADER_VALUE_VEC2: return "float2";
    case E_SHADER_VALUE_VEC3: return "float3";
    case E_SHADER_VALUE_VEC4: return "float4";
    }
    return "unknown";
}

SShaderGlobal* lookUp(const char* name) {
    auto* global = reinterpret_cast<SShaderGlobal*>(g_GlobalTable.findByName(name));
    // Two names with one hash would share a record: refuse rather than mix their values.
    if (global && strcasecmp(global->name, name) != 0) {
        fatalErrorf("shader constants \"%s\" and \"%s\" have the same name hash", global->name, name);
    }
    return global;
}

SShaderGlobal* findForSet(const char* name, u32 kind, u32 otherKind = 0) {
    SShaderGlobal* global = lookUp(name);
    if (global == nullptr) fatalErrorf("shader constant \"%s\" is set but no effect declares it", name);
    if (global->kind != kind && global->kind != otherKind) {
        fatalErrorf("shader constant \"%s\" is a %s, set as a %s", name, kindName(global->kind), kindName(kind));
    }
    global->hasBeenSet = true;
    return global;
}

void checkArrayLength(const SShaderGlobal& global, u32 n) {
    const u32 limit = global.count > 1 ? global.count : 1;
    if (n > limit || n > SHADER_GLOBAL_MAX_VECTORS) {
        fatalErrorf("shader constant \"%s\" holds %u values, %u were set", global.name, limit, n);
    }
}

}  // namespace

void initShaderGlobals() {
    g_GlobalPool.init();
    g_GlobalTable.init(SHADER_GLOBAL_TABLE_CAPACITY);
}

void releaseShaderGlobals() {
    g_GlobalPool.releaseAll();
    g_GlobalTable.release();
}

SShaderGlobal* declareShaderGlobal(const char* name, u32 kind, u32 count) {
    if (std::strlen(name) >= SHADER_GLOBAL_NAME_LENGTH) {
        fatalErrorf("shader constant name \"%s\" is longer than %u characters", name, SHADER_GLOBAL_NAME_LENGTH - 1);
    }
    const u32 storage = kind == E_SHADER_VALUE_FLOATS ? SHADER_GLOBAL_MAX_FLOATS : SHADER_GLOBAL_MAX_VECTORS;
    if (kind < E_SHADER_VALUE_FLOATS || kind > E_SHADER_VALUE_VEC4 || count > storage) {
        fatalErrorf("shader constant \"%s\": %u values of kind %u do not fit its storage", name, count, kind);
    }
    SShaderGlobal* global = lookUp(name);
    if (global) {
        if (global->kind != kind) {
            fatalErrorf("shader constant \"%s\" declared as %s and as %s", name, kindName(global->kind), kindName(kind));
        }
        return global;
    }
    global = g_GlobalPool.take();
    if (global == nullptr) fatalErrorf("more than %u shader constants (\"%s\")", SHADER_GLOBAL_POOL_SIZE, name);
    if (!g_GlobalTable.insertByName(name, reinterpret_cast<uintptr_t>(global))) {
        fatalErrorf("the shader constant table refused \"%s\"", name);
    }
    global->kind = kind;
    global->count = count;
    std::memset(global->values, 0, sizeof(global->values));
    global->hasBeenSet = false;
    std::strcpy(global->name, name);
    return global;
}

const SShaderGlobal* findShaderGlobal(const char* name) { return lookUp(name); }

void setShaderGlobalFloat(const char* name, f32 value) {
    findForSet(name, E_SHADER_VALUE_FLOATS)->values[0][0] = value;
}

void setShaderGlobalFloatArray(const char* name, const f32* values, u32 n) {
    SShaderGlobal* global = findForSet(name, E_SHADER_VALUE_FLOATS);
    if (n > global->count) fatalErrorf("shader constant \"%s\" holds %u floats, %u were set", name, global->count, n);
    std::memcpy(global->values, values, n * sizeof(f32));
}

void setShaderGlobalVec2(const char* name, const ClVec2& value) { setShaderGlobalVec2Array(name, &value, 1); }

void setShaderGlobalVec2Array(const char* name, const ClVec2* values, u32 n) {
    SShaderGlobal* global = findForSet(name, E_SHADER_VALUE_VEC2);
    checkArrayLength(*global, n);
    for (u32 i = 0; i < n; ++i) {
        f32* v = global->values[i];
        v[0] = values[i].x, v[1] = values[i].y, v[2] = 0.0f, v[3] = 0.0f;
    }
}

void setShaderGlobalVec3(const char* name, const ClVec3& value) {
    f32* v = findForSet(name, E_SHADER_VALUE_VEC3, E_SHADER_VALUE_VEC4)->values[0];
    v[0] = value.x, v[1] = value.y, v[2] = value.z, v[3] = 0.0f;
}

void setShaderGlobalColour(const char* name, u32 argb) {
    f32* v = findForSet(name, E_SHADER_VALUE_VEC4)->values[0];
    v[0] = f32((argb >> 16) & 0xFF) / 255.0f;
    v[1] = f32((argb >> 8) & 0xFF) / 255.0f;
    v[2] = f32(argb & 0xFF) / 255.0f;
    v[3] = f32(argb >> 24) / 255.0f;
}

u32 shaderGlobalUploadCount(const SShaderGlobal& global) {
    if (global.kind == E_SHADER_VALUE_FLOATS) return global.count;
    return global.count > 1 ? global.count : 1;
}
