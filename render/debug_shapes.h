// Built-in wireframe shapes for debugging overlays in the 3D scene (a unit cube, a sphere of
// diameter 1 and the axes, all centred on the origin), drawn once per frame from a small request
// pool. Nothing in the game places requests, so the pass normally draws nothing.
#pragma once

#include "core/matrix44.h"
#include "core/types.h"

enum E_DebugShape : u32 { E_DEBUG_SHAPE_CUBE = 0, E_DEBUG_SHAPE_SPHERE, E_DEBUG_SHAPE_AXES, E_DEBUG_SHAPE_COUNT };

constexpr u32 DEBUG_SPHERE_POINTS = 516;
constexpr u32 DEBUG_SHAPE_REQUEST_CAPACITY = 1;  // per shape

// Device creation and reset, and device loss and shutdown.
void createDebugShapes();
void releaseDebugShapes();
bool debugShapesCreated();

// Main thread: a shape placed by world; a full pool drops it.
void requestDebugShape(E_DebugShape shape, const ClMatrix44& world, u32 colour);
// Hand-off: the requests become this frame's draws.
void copyDebugShapeRequests();
// Render worker, inside the scene under the camera's transforms.
void drawDebugShapes();
// Every frame, and on the main thread while the device is lost.
void releaseDebugShapeRequests();

// The polylines of a shape: points (x, y, z triples) and the point count of each line.
u32 debugShapeLineCount(E_DebugShape shape);
u32 debugShapeLinePoints(E_DebugShape shape, u32 line);
