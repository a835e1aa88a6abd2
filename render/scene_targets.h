// The scene's render-target groups: the scene image and the reflection (screen size), the glow
// source (half size) and the three bloom buffers (BLOOM_TARGET_HEIGHT high, as wide as the
// screen's aspect makes them).
#pragma once

#include "core/types.h"

class ClRenderTargetGroup;
struct SGfxFence;

enum E_SceneTarget : u32 {
    E_SCENE_TARGET_IMAGE = 0,
    E_SCENE_TARGET_REFLECTION,
    E_SCENE_TARGET_GLOW,
    E_SCENE_TARGET_BLOOM0,
    E_SCENE_TARGET_BLOOM1,
    E_SCENE_TARGET_BLOOM2,
    E_SCENE_TARGET_COUNT,
};

constexpr f32 BLOOM_TARGET_HEIGHT = 192.0f;

// After the device: the back buffer cleared to opaque black (depth 1) and presented once, then
// the image, reflection and glow groups. False when one of them could not get its resources.
bool createSceneRenderTargets();
// Replaces the three bloom groups; false when one of them could not get its resources.
bool createBloomTargets();
// Device loss and reset: every existing group releases or re-creates its resources; the
// re-creation is false when one of them could not.
void releaseSceneTargets();
bool recreateSceneTargets();
// Shutdown: every group destroyed.
void destroySceneTargets();
// Null when not created.
ClRenderTargetGroup* sceneTarget(E_SceneTarget which);

// The frame's GPU fence (the input lag reduction waits on it), owned with the targets: made on
// first use of a device, released by releaseSceneTargets and destroySceneTargets, so a
// re-created device gets a new one. Null when none is made or no device exists.
SGfxFence* sceneFence();
SGfxFence* makeSceneFence();
void releaseSceneFence();
