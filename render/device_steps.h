// The device-resource steps that device creation, loss, restoration and shutdown run, in their
// fixed order, through one table. Entries whose owners have not been built yet are named empty
// steps. Tests replace entries to watch the order; the game never changes them.
#pragma once

#include "core/types.h"

struct SDeviceResourceSteps {
    // The renderer's own state at start-up: transform stacks, identity world, no current material.
    void (*resetRendererState)();
    void (*onEffectsDeviceLost)();
    void (*onEffectsDeviceReset)();
    void (*releaseBatchBuffers)();
    // Re-creates the batcher's buffers, keeping its registered target keys; false on failure.
    bool (*recreateBatchBuffers)();
    void (*releaseUiDeviceResources)();
    void (*createUiDeviceResources)();
    // The scene's render-target groups: created with a cleared screen after the device, released
    // on loss, re-created after a reset, destroyed at shutdown.
    // Creation and re-creation are false when a group could not get its resources.
    bool (*createSceneRenderTargets)();
    void (*releaseSceneTargets)();
    bool (*recreateSceneTargets)();
    void (*destroySceneTargets)();
    // The preview groups of the preview slots.
    void (*releasePreviewTargets)();
    void (*recreatePreviewTargets)();
};

extern SDeviceResourceSteps g_DeviceResourceSteps;
extern const SDeviceResourceSteps kDefaultDeviceResourceSteps;
