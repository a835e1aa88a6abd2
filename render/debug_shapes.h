// Built-in wireframe shapes for debugging overlays in the 3D scene (a unit cube, a sphere of
// diameter 1, a camera, a gem and the axes, all centred on the origin), drawn once per frame from a
// small request pool. Nothing in the game places requests, so the pass normally draws nothing.
#pragma once

#include "core/matrix44.h"
#include "core/types.h"

#include <vector>

// The camera is made of 13 polylines (body box, view frustum, up triangle); the gem is one indexed
// polyline over 18 vertices.
enum E_DebugShape : u32 {
    E_DEBUG_SHAPE_CUBE = 0,
    E_DEBUG_SHAPE_SPHERE,
    E_DEBUG_SHAPE_CAMERA,
    E_DEBUG_SHAPE_GEM,
    E_DEBUG_SHAPE_AXES,
    E_DEBUG_SHAPE_COUNT
};

constexpr u32 DEBUG_SPHERE_POINTS = 516;
constexpr u32 DEBUG_SHAPE_REQUEST_CAPACITY = 1;  // per shape

// Device creation and reset, and device loss and shutdown.
void createDebugShapes();
void releaseDebugShapes();
bool debugShapesCreated();

// Main thread: a shape placed by world; a full pool drops it.
void requestDebugShape(E_DebugShape shape, const ClMatrix44& world, u32 colour);
// Main thread: one line or one filled triangle in world coordinates, one of each per frame.
void requestDebugLine(const ClVec3& start, const ClVec3& end, u32 colour);
void requestDebugTriangle(const ClVec3& a, const ClVec3& b, const ClVec3& c, u32 colour);
// Hand-off: the requests become this frame's draws.
void copyDebugShapeRequests();
// Render worker, inside the scene under the camera's transforms.
void drawDebugShapes();
// Every frame, and on the main thread while the device is lost.
void releaseDebugShapeRequests();

// Requests waiting for the next hand-off, over every shape.
u32 debugShapeRequestCount();

const std::vector<u16>& debugShapeIndices(E_DebugShape shape);
