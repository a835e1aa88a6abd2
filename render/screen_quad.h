// One textured quad drawn at once in screen space (the post-processing passes and the UI), and
// the device resources it draws through.
#pragma once

#include "core/types.h"

struct SMaterial;

// Device creation and reset; release before a reset and at shutdown.
void createUIDeviceBuffers();
void releaseUIDeviceBuffers();

// Pixels of the current target under the current transforms (the caller pushes the sprite
// projection). The material is ended afterwards, so that the next quad with the same effect
// begins it again and uploads the globals set in between.
void drawScreenQuad(const SMaterial* material, f32 x, f32 y, f32 width, f32 height, u32 colour, u32 flags);
