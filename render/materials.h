// Materials: shared records pairing an effect with up to three textures (a texture set). Asking
// twice for the same effect and textures in the same order gives the same record. Main thread.
#pragma once

#include "core/types.h"

class ClShader;
class ClTexture;

constexpr u32 MATERIAL_POOL_SIZE = 1024;
constexpr u32 TEXTURE_SET_POOL_SIZE = 1024;
constexpr u32 TEXTURE_SET_MAX_TEXTURES = 3;

struct STextureSet {
    u32 count;  // 1 to 3; texture i uses slot i
    ClTexture* textures[TEXTURE_SET_MAX_TEXTURES];
    u32 generation;  // advances whenever the record is released
    u32 poolIndex;   // the draw lists sort blended quads by it
};

struct SMaterial {
    STextureSet* textureSet;  // null for a material without textures
    ClShader* shader;
    u32 generation;  // advances whenever the record is released: a holder that kept an older
                     // value holds a purged material and must fetch it again
    u32 poolIndex;
};

void initMaterialPools();
// Returns every material and texture set to its pool.
void releaseAllMaterials();

// Unknown effects are fatal; a full pool is fatal. A texture name the texture table does not
// hold gives a null texture, which binds the white default.
SMaterial* getMaterialForEffect(const char* effectName);
SMaterial* getMaterialForEffectAndTextureName(const char* effectName, const char* textureName);
SMaterial* getMaterialForEffectAndTextureNames2(const char* effectName, const char* name0, const char* name1);
SMaterial* getMaterialForEffectAndTexture(const char* effectName, ClTexture* texture);
SMaterial* getMaterialForEffectAndTextures2(const char* effectName, ClTexture* t0, ClTexture* t1);

// Releases every texture set holding the texture and every material using such a set.
void purgeTextureFromMaterials(ClTexture* texture);

// Binds the material's textures to its effect's slots (a slot the effect lacks is fatal).
void bindMaterialTextures(const SMaterial* material);
u32 getLiveMaterialCount();
u32 getLiveTextureSetCount();
