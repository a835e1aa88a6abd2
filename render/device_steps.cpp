#include "render/device_steps.h"

namespace {

// Steps of subsystems not built yet; each keeps its place in the order.
void resetRendererState() {}
void createDebugShapes() {}
void releaseDebugShapes() {}
void releaseUiDeviceResources() {}
void createUiDeviceResources() {}
void releasePreviewTargets() {}
void recreatePreviewTargets() {}
void onEffectsDeviceLost() {}
void onEffectsDeviceReset() {}
void releaseBatchBuffers() {}
void recreateBatchBuffers() {}
void createSceneRenderTargets() {}
void releaseSceneTargets() {}
void recreateSceneTargets() {}
void destroySceneTargets() {}

}  // namespace

const SDeviceResourceSteps kDefaultDeviceResourceSteps = {
    resetRendererState,
    onEffectsDeviceLost,     onEffectsDeviceReset,     createDebugShapes,   releaseDebugShapes,
    releaseBatchBuffers,     recreateBatchBuffers,     releaseUiDeviceResources,
    createUiDeviceResources, createSceneRenderTargets, releaseSceneTargets, recreateSceneTargets,
    destroySceneTargets,     releasePreviewTargets,    recreatePreviewTargets,
};

SDeviceResourceSteps g_DeviceResourceSteps = kDefaultDeviceResourceSteps;
