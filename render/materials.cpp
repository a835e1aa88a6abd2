#include "render/materials.h"

#include "core/fatal_error.h"
#include "core/fixed_pool.h"
#include "render/shader.h"
#include "render/texture.h"

namespace {

ClFixedPool<STextureSet, TEXTURE_SET_POOL_SIZE> g_TextureSetPool;
ClFixedPool<SMaterial, MATERIAL_POOL_SIZE> g_MaterialPool;

// Pool order: the records in use sit at the front of the table.
STextureSet* findOrTakeTextureSet(u32 count, ClTexture* const* textures) {
    for (u32 i = 0; i < g_TextureSetPool.used; ++i) {
        STextureSet* set = g_TextureSetPool.table[i];
        if (set->count != count) continue;
        bool same = true;
        for (u32 t = 0; t < count; ++t) same = same && set->textures[t] == textures[t];
        if (same) return set;
    }
    STextureSet* set = g_TextureSetPool.take();
    if (set == nullptr) fatalErrorf("more than %u texture sets", TEXTURE_SET_POOL_SIZE);
    set->count = count;
    for (u32 t = 0; t < TEXTURE_SET_MAX_TEXTURES; ++t) set->textures[t] = t < count ? textures[t] : nullptr;
    return set;
}

SMaterial* findOrTakeMaterial(ClShader* shader, u32 count, ClTexture* const* textures) {
    STextureSet* set = count > 0 ? findOrTakeTextureSet(count, textures) : nullptr;
    for (u32 i = 0; i < g_MaterialPool.used; ++i) {
        SMaterial* material = g_MaterialPool.table[i];
        if (material->textureSet == set && material->shader == shader) return material;
    }
    SMaterial* material = g_MaterialPool.take();
    if (material == nullptr) fatalErrorf("more than %u materials", MATERIAL_POOL_SIZE);
    material->textureSet = set;
    material->shader = shader;
    return material;
}

}  // namespace

void initMaterialPools() {
    g_TextureSetPool.init();
    g_MaterialPool.init();
}

void releaseAllMaterials() {
    for (u32 i = 0; i < g_MaterialPool.used; ++i) ++g_MaterialPool.table[i]->generation;
    for (u32 i = 0; i < g_TextureSetPool.used; ++i) ++g_TextureSetPool.table[i]->generation;
    g_MaterialPool.releaseAll();
    g_TextureSetPool.releaseAll();
}

SMaterial* getMaterialForEffect(const char* effectName) { return findOrTakeMaterial(findEffect(effectName), 0, nullptr); }

SMaterial* getMaterialForEffectAndTextureName(const char* effectName, const char* textureName) {
    ClShader* shader = findEffect(effectName);
    ClTexture* textures[1] = {findTexture(textureName)};
    return findOrTakeMaterial(shader, 1, textures);
}

SMaterial* getMaterialForEffectAndTextureNames2(const char* effectName, const char* name0, const char* name1) {
    ClShader* shader = findEffect(effectName);
    ClTexture* textures[2] = {findTexture(name0), findTexture(name1)};
    return findOrTakeMaterial(shader, 2, textures);
}

SMaterial* getMaterialForEffectAndTexture(const char* effectName, ClTexture* texture) {
    return findOrTakeMaterial(findEffect(effectName), 1, &texture);
}

SMaterial* getMaterialForEffectAndTextures2(const char* effectName, ClTexture* t0, ClTexture* t1) {
    ClShader* shader = findEffect(effectName);
    ClTexture* textures[2] = {t0, t1};
    return findOrTakeMaterial(shader, 2, textures);
}

void purgeTextureFromMaterials(ClTexture* texture) {
    // Walk backwards: a release moves the last record in use into the freed position.
    for (u32 i = g_TextureSetPool.used; i-- > 0;) {
        STextureSet* set = g_TextureSetPool.table[i];
        bool holds = false;
        for (u32 t = 0; t < set->count; ++t) holds = holds || set->textures[t] == texture;
        if (!holds) continue;
        for (u32 m = g_MaterialPool.used; m-- > 0;) {
            SMaterial* material = g_MaterialPool.table[m];
            if (material->textureSet != set) continue;
            ++material->generation;
            g_MaterialPool.release(material);
        }
        ++set->generation;
        g_TextureSetPool.release(set);
    }
}

void bindMaterialTextures(const SMaterial* material) {
    const STextureSet* set = material->textureSet;
    if (set == nullptr) return;
    for (u32 t = 0; t < set->count; ++t) material->shader->setTexture(t, set->textures[t]);
}

u32 getLiveMaterialCount() { return g_MaterialPool.used; }
u32 getLiveTextureSetCount() { return g_TextureSetPool.used; }
