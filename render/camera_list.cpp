#include "render/camera_list.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/c_locale.h"
#include "core/global_objects.h"
#include "core/matrix44.h"
#include "core/name_hash.h"
#include "core/text_reader.h"
#include "render/camera.h"
#include "render/camera_blend.h"
#include "render/camera_stacks.h"

#include <stdlib.h>

#include <cmath>
#include <cstdio>

ClCameraBlender g_aCameraBlenders[CAMERA_BLENDER_COUNT];

namespace {

struct SCameraList {
    ClCamera* cameras[CAMERA_LIST_CAPACITY] = {};
    u16 count = 0;
    SCameraFrame frames[CAMERA_FRAME_CAPACITY] = {};
    u32 frameCount = 0;
};

SCameraList g_CameraList;

constexpr u32 kFrameLineLength = 2048;
const char* const kCameraFramesPath = "Camera\\CameraFrames.txt";
// Directions whose angle has a smaller sine count as parallel.
constexpr f32 PARALLEL_SINE = 1e-4f;

// The camera frames' text being read, and the name its messages give it.
struct SFramesText {
    STextReader reader;
    const char* name;
};

// The next content line of a frame record; a record cut short is fatal.
const char* recordLine(char* line, SFramesText& text, const char* what) {
    if (!nextContentLine(text.reader, kFrameLineLength, line))
        fatalErrorf("%s: line %u: the frame ends before its %s", text.name, textLineNumber(text.reader), what);
    return line;
}

// Exactly count finite numbers on the line: a missing number, a word, an infinity or a NaN would
// place the camera nowhere, and a number more belongs to no field, so each stops the program
// naming the line.
void readFloats(const char* line, f32* out, u32 count, const SFramesText& text, const char* what) {
    char token[TEXT_TOKEN_LENGTH];
    for (u32 i = 0; i < count; ++i) {
        token[0] = '\0';
        if (line) line = nextToken(line, token, sizeof token);
        char* end = token;
        out[i] = token[0] ? strtof_l(token, &end, cLocale()) : 0.0f;
        if (token[0] == '\0' || *end != '\0' || !std::isfinite(out[i]))
            fatalErrorf("%s: line %u: the %s needs %u finite numbers (\"%s\" is not one)", text.name,
                        textLineNumber(text.reader), what, count, token);
    }
    token[0] = '\0';
    if (line) nextToken(line, token, sizeof token);
    if (token[0])
        fatalErrorf("%s: line %u: the %s needs %u numbers, and \"%s\" follows them", text.name,
                    textLineNumber(text.reader), what, count, token);
}

ClVec3 readVector(char* line, SFramesText& text, const char* what) {
    f32 v[3];
    readFloats(recordLine(line, text, what), v, 3, text, what);
    return ClVec3(v[0], v[1], v[2]);
}

// A direction of no length gives the camera no orientation.
ClVec3 readDirection(char* line, SFramesText& text, const char* what) {
    const ClVec3 v = readVector(line, text, what);
    if (v.x == 0.0f && v.y == 0.0f && v.z == 0.0f)
        fatalErrorf("%s: line %u: the %s has no length", text.name, textLineNumber(text.reader), what);
    return v;
}

// A side or up direction along the forward one leaves the camera free to roll: no orientation.
ClVec3 readAcrossDirection(char* line, const ClVec3& forward, SFramesText& text, const char* what) {
    const ClVec3 v = readDirection(line, text, what);
    if (forward.cross(v).length() <= PARALLEL_SINE * forward.length() * v.length())
        fatalErrorf("%s: line %u: the %s is parallel to the forward direction", text.name,
                    textLineNumber(text.reader), what);
    return v;
}

// Degrees, more than 0 and less than 180: a wider or negative view projects nothing.
f32 readFieldOfView(char* line, SFramesText& text) {
    f32 fov = 0.0f;
    readFloats(recordLine(line, text, "field of view"), &fov, 1, text, "field of view");
    if (!(fov > 0.0f && fov < 180.0f))
        fatalErrorf("%s: line %u: the field of view %g is not between 0 and 180 degrees", text.name,
                    textLineNumber(text.reader), double(fov));
    return fov;
}

void readFrames(SFramesText& text) {
    static char line[kFrameLineLength];
    char first[TEXT_TOKEN_LENGTH], name[TEXT_TOKEN_LENGTH];
    while (nextContentLine(text.reader, kFrameLineLength, line)) {
        first[0] = name[0] = '\0';
        const char* rest = nextToken(line, first, sizeof first);
        if (first[0] == '\0') continue;
        if (rest) nextToken(rest, name, sizeof name);
        if (g_CameraList.frameCount == CAMERA_FRAME_CAPACITY)
            fatalErrorf("%s: line %u: more than %u camera frames", text.name, textLineNumber(text.reader),
                        CAMERA_FRAME_CAPACITY);
        SCameraFrame& frame = g_CameraList.frames[g_CameraList.frameCount++];
        frame = SCameraFrame{crc32TextNoCase(name), ClVec3(), ClMatrix33(), 90.0f};
        frame.position = readVector(line, text, "position");
        ClMatrix44 axes;
        const ClVec3 forward = readDirection(line, text, "forward direction");
        axes.setBackAxis(forward);
        axes.setColumn0(readAcrossDirection(line, forward, text, "right direction"));
        axes.setColumn1(readAcrossDirection(line, forward, text, "up direction"));
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) frame.orientation.set(r, c, axes.m[4 * r + c]);
        frame.fov = readFieldOfView(line, text);
    }
}

}  // namespace

void createDebugCamera() {
    g_CameraList.cameras[0] = new ClCameraDebug;
    g_CameraList.count = 1;
    g_CameraList.frameCount = 0;
}

bool registerCamera(ClCamera* camera) {
    if (!camera) return false;
    if (g_CameraList.count == CAMERA_LIST_CAPACITY) {
        std::fprintf(stderr, "camera list: all %u entries are taken; a camera was refused\n", CAMERA_LIST_CAPACITY);
        return false;
    }
    g_CameraList.cameras[g_CameraList.count++] = camera;
    return true;
}

void unregisterCamera(ClCamera* camera) {
    for (u16 i = 0; i < g_CameraList.count; ++i) {
        if (g_CameraList.cameras[i] != camera) continue;
        for (ClCameraBlender& blender : g_aCameraBlenders) blender.forgetCamera(camera);
        forgetCameraInStacks(camera);
        delete camera;
        for (u16 j = i + 1; j < g_CameraList.count; ++j) g_CameraList.cameras[j - 1] = g_CameraList.cameras[j];
        g_CameraList.cameras[--g_CameraList.count] = nullptr;
        return;
    }
}

void updateCameras() {
    if (ClCamera* top = getViewSlotTopCamera(0)) top->frameHook();
    for (u16 i = 0; i < g_CameraList.count; ++i)
        if (g_CameraList.cameras[i]->active) g_CameraList.cameras[i]->update();
}

void releaseCameras() {
    for (u16 i = 0; i < g_CameraList.count; ++i) {
        for (ClCameraBlender& blender : g_aCameraBlenders) blender.forgetCamera(g_CameraList.cameras[i]);
        forgetCameraInStacks(g_CameraList.cameras[i]);
        delete g_CameraList.cameras[i];
        g_CameraList.cameras[i] = nullptr;
    }
    g_CameraList.count = 0;
    g_CameraList.frameCount = 0;
}

u32 cameraCount() { return g_CameraList.count; }
ClCamera* cameraAt(u32 index) { return index < g_CameraList.count ? g_CameraList.cameras[index] : nullptr; }

void loadCameraFrames() {
    SFramesText text{STextReader{}, kCameraFramesPath};
    if (!openTextReader(text.reader, kCameraFramesPath))
        fatalErrorf("cannot open the camera frames \"%s\"", kCameraFramesPath);
    readFrames(text);
    closeTextReader(text.reader);
}

void loadCameraFramesFromText(const char* text, u32 length, const char* sourceName) {
    SFramesText frames{STextReader{nullptr, text, text ? length : 0}, sourceName};
    readFrames(frames);
}

const SCameraFrame* findCameraFrame(u32 nameHash) {
    for (u32 i = 0; i < g_CameraList.frameCount; ++i)
        if (g_CameraList.frames[i].nameHash == nameHash) return &g_CameraList.frames[i];
    return nullptr;
}

const SCameraFrame* getCameraFrame(const char* name) {
    const SCameraFrame* frame = findCameraFrame(crc32TextNoCase(name));
    if (!frame) fatalErrorf("camera frame \"%s\" does not exist", name);
    return frame;
}


void ClCameraBlender::setUp() {
    m_blendCamera = new ClCamera;
    m_renderCamera = new ClCamera;
    m_duration = m_elapsed = 0.0f;
    m_fromCamera = cameraAt(0);
    m_toCamera = nullptr;
}

void ClCameraBlender::release() {
    delete m_blendCamera;
    delete m_renderCamera;
    m_blendCamera = m_renderCamera = nullptr;
}

void ClCameraBlender::blendTo(ClCamera* camera, f32 time, bool fromRendered) {
    m_lastPushedCamera = camera;
    // Without a camera to start from there is nothing to blend: a cut.
    if (time == 0.0f || (!m_fromCamera && !blending() && !fromRendered) || !m_renderCamera) {
        m_fromCamera = camera;
        m_toCamera = nullptr;
        m_duration = m_elapsed = 0.0f;
        return;
    }
    if (blending() || fromRendered) {
        m_blendCamera->node.position = m_renderCamera->node.position;
        m_blendCamera->node.orientation = m_renderCamera->node.orientation;
        m_blendCamera->fov = m_renderCamera->fov;
        m_fromCamera = m_blendCamera;
    }
    m_toCamera = camera;
    m_duration = time;
    m_elapsed = 0.0f;
}

void ClCameraBlender::update() {
    if (blending()) {
        m_elapsed += gameClock(GAME_CLOCK_GAMEPLAY).frameTime;
        if (m_elapsed >= m_duration) {
            m_fromCamera = m_toCamera;
            m_toCamera = nullptr;
            m_duration = m_elapsed = 0.0f;
        }
    }
    updateRenderCamera();
}

void ClCameraBlender::updateRenderCamera() {
    if (!m_renderCamera) return;
    if (!blending() || !m_toCamera || !m_fromCamera) {
        if (m_fromCamera) m_renderCamera->copyFrom(*m_fromCamera);
        return;
    }
    const f32 t = m_elapsed / m_duration;
    const f32 f = blendCurveValue(E_BLEND_COSINE, t);
    m_renderCamera->node.position =
        m_fromCamera->node.position + scaleVec3(m_toCamera->node.position - m_fromCamera->node.position, f);
    m_renderCamera->node.orientation =
        blendOrientation(m_fromCamera->node.orientation, m_toCamera->node.orientation, t, E_BLEND_COSINE);
    m_renderCamera->fov = m_fromCamera->fov + (m_toCamera->fov - m_fromCamera->fov) * f;
}

void ClCameraBlender::forgetCamera(const ClCamera* camera) {
    if (m_fromCamera == camera) m_fromCamera = nullptr;
    if (m_toCamera == camera) {
        m_toCamera = nullptr;
        m_duration = m_elapsed = 0.0f;
    }
    if (m_lastPushedCamera == camera) m_lastPushedCamera = nullptr;
}

void setUpCameraBlenders() {
    for (ClCameraBlender& blender : g_aCameraBlenders) blender.setUp();
}

void releaseCameraBlenders() {
    for (ClCameraBlender& blender : g_aCameraBlenders) blender.release();
}

ClCamera* viewCamera() { return g_aCameraBlenders[0].getViewCamera(); }

void shakeViewCamera(const ClVec3& axisWeights, f32 duration, f32 magnitude) {
    if (ClCamera* camera = g_aCameraBlenders[0].getTargetCamera()) camera->startShake(axisWeights, duration, magnitude);
}
