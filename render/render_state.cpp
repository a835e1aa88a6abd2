#include "render/render_state.h"

#include "platform/gfx/gfx_device.h"
#include "render/materials.h"
#include "render/render_device.h"
#include "render/render_target.h"
#include "render/shader.h"
#include "render/transform_node.h"
#include "render/transform_stacks.h"

namespace {

struct SRenderState {
    ClRenderTargetGroup* target = nullptr;
    ClShader* effect = nullptr;
    const STextureSet* textureSet = nullptr;
    const STransformNode* world = nullptr;
};

SRenderState g_RenderState;
const STransformNode kIdentityNode;

void unbindTextures(ClShader* effect) {
    for (u32 slot = E_TEXTURE_SLOT_DIFFUSE; slot <= E_TEXTURE_SLOT_SPECULAR; ++slot)
        if (effect->hasTextureSlot(slot)) effect->setTexture(slot, nullptr);
}

void setEffectWorld(ClShader* effect, const STransformNode& world) {
    pushNodeWorldTransform(world);
    effect->setWorldTransform(transformStackTop(E_TRANSFORM_WORLD).m, transformStackTop(E_TRANSFORM_VIEW).m,
                              transformStackTop(E_TRANSFORM_PROJECTION).m);
    popNodeWorldTransform();
}

}  // namespace

f32 getRenderTargetWidth() {
    const ClRenderTargetGroup* group = g_RenderState.target;
    return group ? group->target()->textureWidth() : screenWidth();
}

f32 getRenderTargetHeight() {
    const ClRenderTargetGroup* group = g_RenderState.target;
    return group ? group->target()->textureHeight() : screenHeight();
}

f32 getRenderTargetAspect() { return getRenderTargetWidth() / getRenderTargetHeight(); }

void setRenderTarget(ClRenderTargetGroup* group) {
    if (group && !group->target()->deviceTexture()) group = nullptr;
    g_RenderState.target = group;
    if (!gfxDeviceExists()) return;
    if (group)
        gfxSetRenderTarget(group->target()->deviceTexture(), group->target()->depthSurface());
    else
        gfxSetRenderTarget(nullptr, nullptr);
}

void applyMaterial(const SMaterial* material, const STransformNode* world, const SParameterBlock* block) {
    SRenderState& state = g_RenderState;
    bool mustBegin = false;
    bool changed = false;
    if (state.effect != material->shader) {
        if (state.effect) state.effect->end();
        state.textureSet = nullptr;
        state.world = nullptr;
        state.effect = material->shader;
        mustBegin = true;
    }
    if (state.textureSet != material->textureSet) {
        state.textureSet = material->textureSet;
        bindMaterialTextures(material);
        // A material without textures would otherwise draw with the previous material's.
        if (!material->textureSet) unbindTextures(state.effect);
        changed = true;
    }
    if (mustBegin) state.effect->begin();
    if (world != state.world) {
        state.world = world;
        if (world) setEffectWorld(state.effect, *world);
        changed = true;
    }
    if (block) {
        state.effect->applyParameterBlock(block);
        state.effect->commitChanges();
    } else if (changed) {
        state.effect->commitChanges();
    }
}

void endCurrentMaterial() {
    SRenderState& state = g_RenderState;
    if (state.effect) state.effect->end();
    state.effect = nullptr;
    state.textureSet = nullptr;
    state.world = nullptr;
}

const STransformNode* identityTransformNode() { return &kIdentityNode; }

void resetRenderState() {
    resetTransformStacks();
    pushTransform(E_TRANSFORM_WORLD, ClMatrix44());
    g_RenderState = SRenderState{};
}
