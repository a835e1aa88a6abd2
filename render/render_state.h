// The render state every drawing routine shares: the selected render target and the device
// transforms the stacks apply (render/transform_stacks.h). The screen size is the device's
// (render/render_device.h).
#pragma once

#include "core/types.h"
#include "core/matrix44.h"

class ClRenderTargetGroup;

// Of the selected group's target, or of the screen while the back buffer is selected.
f32 getRenderTargetWidth();
f32 getRenderTargetHeight();
f32 getRenderTargetAspect();

// Null selects the back buffer. The device's viewport is reset to the whole target.
void setRenderTarget(ClRenderTargetGroup* group);
ClRenderTargetGroup* currentRenderTarget();

// The transform stacks' side of initRenderer: every stack empty, the identity pushed and applied on
// the world stack, no render target selected.
void resetRenderState();

// Called by the transform stacks when a device transform changes (types 0 to 3) or all of them
// return to the identity.
void deviceTransformChanged(u32 type, const ClMatrix44& matrix);
void deviceTransformsReset();
