// The render state every drawing routine shares: the selected render target and the device
// transforms the stacks apply (render/transform_stacks.h). The screen size is the device's
// (render/render_device.h).
#pragma once

#include "core/types.h"
#include "core/matrix44.h"

class ClRenderTargetGroup;
struct SMaterial;
struct SParameterBlock;
struct STransformNode;

// Of the selected group's target, or of the screen while the back buffer is selected.
f32 getRenderTargetWidth();
f32 getRenderTargetHeight();
f32 getRenderTargetAspect();

// Null selects the back buffer and its depth surface; a group its texture and depth surface. A
// group without a texture (its resources released) selects the back buffer instead. The device
// resets the viewport to the whole target.
void setRenderTarget(ClRenderTargetGroup* group);

// Makes the material current, changing only what differs from the current one: a new effect
// ends the old one and begins; a new texture set is bound; a new world node is set (its world
// block pushed on the stacks for the effect's WORLD and WORLDVIEWPROJ). A block's values are
// written to the effect. Render worker.
void applyMaterial(const SMaterial* material, const STransformNode* world, const SParameterBlock* block);
// Ends the current effect, if any, and forgets effect, texture set and world.
void endCurrentMaterial();
// The node batched runs are drawn with: at the origin, unrotated, unscaled.
const STransformNode* identityTransformNode();

// The transform stacks' side of initRenderer: every stack empty, the identity pushed on the world
// stack, no render target selected.
void resetRenderState();
