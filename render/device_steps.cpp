#include "render/device_steps.h"

#include "render/batcher.h"
#include "render/render_state.h"
#include "render/scene_targets.h"
#include "render/scene_inputs.h"
#include "render/screen_quad.h"
#include "render/shader.h"

namespace {

// After a reset the batcher keeps its registered target keys.
bool recreateBatchBuffers() { return createBatchBuffers(false); }

}  // namespace

const SDeviceResourceSteps kDefaultDeviceResourceSteps = {
    resetRenderState,
    onEffectsDeviceLost,     onEffectsDeviceReset,
    releaseBatchBuffers,     recreateBatchBuffers,     releaseUIDeviceBuffers,
    createUIDeviceBuffers, createSceneRenderTargets, releaseSceneTargets, recreateSceneTargets,
    destroySceneTargets,     releasePreviewTargets,    recreatePreviewTargets,
};

SDeviceResourceSteps g_DeviceResourceSteps = kDefaultDeviceResourceSteps;
