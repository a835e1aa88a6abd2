#include "render/render_state.h"

#include "render/render_device.h"
#include "render/render_target.h"
#include "render/transform_stacks.h"

namespace {

struct SRenderState {
    ClRenderTargetGroup* target = nullptr;
};

SRenderState g_RenderState;

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

void setRenderTarget(ClRenderTargetGroup* group) { g_RenderState.target = group; }

ClRenderTargetGroup* currentRenderTarget() { return g_RenderState.target; }

void resetRenderState() {
    resetTransformStacks();
    pushTransform(E_TRANSFORM_WORLD, ClMatrix44(), true);
    g_RenderState.target = nullptr;
}

void deviceTransformChanged(u32, const ClMatrix44&) {}

void deviceTransformsReset() {}
