#include "render/device_steps.h"

#include "render/batcher.h"
#include "render/render_state.h"
#include "render/scene_targets.h"
#include "render/shader.h"

namespace {

// After a reset the batcher keeps its registered target keys.
bool recreateBatchBuffers() { return createBatchBuffers(false); }

// Steps of subsystems not built yet; each keeps its place in the order.
void createDebugShapes() {}
void releaseDebugShapes() {}
void releaseUiDeviceResources() {}
void createUiDeviceResources() {}
void releasePreviewTargets() {}
void recreatePreviewTargets() {}

}  // namespace

const SDeviceResourceSteps kDefaultDeviceResourceSteps = {
    resetRenderState,
    onEffectsDeviceLost,     onEffectsDeviceReset,     createDebugShapes,   releaseDebugShapes,
    releaseBatchBuffers,     recreateBatchBuffers,     releaseUiDeviceResources,
    createUiDeviceResources, createSceneRenderTargets, releaseSceneTargets, recreateSceneTargets,
    destroySceneTargets,     releasePreviewTargets,    recreatePreviewTargets,
};

SDeviceResourceSteps g_DeviceResourceSteps = kDefaultDeviceResourceSteps;
