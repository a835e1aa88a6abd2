#include "render/render_state.h"

#include "render/frame_half.h"
#include "render/render_target.h"
#include "render/transform_stacks.h"

namespace {

struct SRenderState {
    f32 screenWidth = 0.0f;
    f32 screenHeight = 0.0f;
    ClRenderTargetGroup* target = nullptr;
};

SRenderState g_RenderState;

}  // namespace

void setScreenSize(f32 width, f32 height) {
    g_RenderState.screenWidth = width;
    g_RenderState.screenHeight = height;
}

f32 screenWidth() { return g_RenderState.screenWidth; }
f32 screenHeight() { return g_RenderState.screenHeight; }
f32 screenHalfWidth() { return g_RenderState.screenWidth * 0.5f; }
f32 screenHalfHeight() { return g_RenderState.screenHeight * 0.5f; }

f32 getRenderTargetWidth() {
    const ClRenderTargetGroup* group = g_RenderState.target;
    return group ? group->target()->textureWidth() : g_RenderState.screenWidth;
}

f32 getRenderTargetHeight() {
    const ClRenderTargetGroup* group = g_RenderState.target;
    return group ? group->target()->textureHeight() : g_RenderState.screenHeight;
}

f32 getRenderTargetAspect() { return getRenderTargetWidth() / getRenderTargetHeight(); }

void setRenderTarget(ClRenderTargetGroup* group) { g_RenderState.target = group; }

ClRenderTargetGroup* currentRenderTarget() { return g_RenderState.target; }

void resetRenderState() {
    resetTransformStacks();
    pushTransform(E_TRANSFORM_WORLD, ClMatrix44(), true);
    g_RenderState.target = nullptr;
    resetFrameHalf();
}

void deviceTransformChanged(u32, const ClMatrix44&) {}

void deviceTransformsReset() {}
