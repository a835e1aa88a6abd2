// The camera list (it owns every camera; entry 0 is the debug camera), the camera frames read from
// "Camera/CameraFrames.txt", and the camera blenders whose render cameras the renderer draws with.
#pragma once

#include "core/matrix33.h"
#include "core/types.h"
#include "core/vec.h"

class ClCamera;

constexpr u32 CAMERA_LIST_CAPACITY = 66;
constexpr u32 CAMERA_BLENDER_COUNT = 4;

struct SCameraFrame {
    u32 nameHash;
    ClVec3 position;
    ClMatrix33 orientation;  // columns right, up, backward
    f32 fov;                 // degrees
};

// Start-up: the debug camera as entry 0 (inactive) and an empty frame pool.
void createDebugCamera();
// Appends a non-null camera the list then owns; a full list refuses it with a log line and
// returns false (the caller keeps the camera).
bool registerCamera(ClCamera* camera);
// Destroys the camera and closes the gap; every blender and camera stack forgets it.
void unregisterCamera(ClCamera* camera);
// The hook of view slot 0's top camera, then update() of every active camera in list order.
void updateCameras();
void releaseCameras();
u32 cameraCount();
ClCamera* cameraAt(u32 index);

// Reads the frames; a missing file, a record cut short or a fifth frame is fatal (with the line).
void loadCameraFrames();
// The same from text held in memory; sourceName names it in messages.
void loadCameraFramesFromText(const char* text, u32 length, const char* sourceName);
const SCameraFrame* findCameraFrame(u32 nameHash);
// A missing frame is fatal.
const SCameraFrame* getCameraFrame(const char* name);

class ClCameraBlender {
public:
    // Creates the blend and render cameras; the blend starts from the debug camera.
    void setUp();
    void release();
    // Time 0 cuts. Otherwise blends over time seconds from the current camera, or from what is on
    // screen when a blend runs or fromRendered is set. A blend from no camera is a cut.
    void blendTo(ClCamera* camera, f32 time, bool fromRendered);
    // Advances by the game clock's step, then updates the render camera.
    void update();
    void updateRenderCamera();
    ClCamera* getViewCamera() const { return m_renderCamera; }
    ClCamera* getTargetCamera() const { return m_lastPushedCamera; }
    // Forgets every reference to a camera about to be destroyed.
    void forgetCamera(const ClCamera* camera);
    bool blending() const { return m_duration > 0.0f; }
    ClCamera* fromCamera() const { return m_fromCamera; }

private:
    f32 m_elapsed = 0.0f;
    f32 m_duration = 0.0f;
    ClCamera* m_blendCamera = nullptr;
    ClCamera* m_fromCamera = nullptr;
    ClCamera* m_toCamera = nullptr;
    ClCamera* m_renderCamera = nullptr;
    ClCamera* m_lastPushedCamera = nullptr;
};

extern ClCameraBlender g_aCameraBlenders[CAMERA_BLENDER_COUNT];
// Device creation and release: all four blenders.
void setUpCameraBlenders();
void releaseCameraBlenders();
// The render camera of blender 0 (null before set-up).
ClCamera* viewCamera();
// Shakes the camera blender 0 is heading for (the play's camera), when there is one.
void shakeViewCamera(const ClVec3& axisWeights, f32 duration, f32 magnitude);
