// Whole frames of the game's window, device, render worker and scene render under SDL's offscreen
// video driver over the built data, read back from the back buffer as a picture (also written as
// PNG into VELODRIX_TEST_PNG_DIR when that is set), and the colour checks the picture tests share.
#pragma once

#include "core/core_imports.h"
#include "core/config.h"
#include "core/game_clock.h"
#include "core/global_objects.h"
#include "core/saved_options.h"
#include "core/task_layer.h"
#include "platform/gfx/image_decode.h"
#include "render/batcher.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/canvases.h"
#include "render/display_modes.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "render/render_device.h"
#include "render/render_worker.h"
#include "render/scene_inputs.h"
#include "render/scene_render.h"
#include "render/screen_quad.h"
#include "render/shader.h"
#include "render/sprite_queue.h"
#include "render/texture.h"
#include "tests/render/render_data_support.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using SRgb = std::array<int, 3>;
inline SRgb grey(int level) { return {level, level, level}; }

struct SPixelBox {
    u32 x0, y0, x1, y1;  // x1, y1 exclusive
};
// The pixels of a box that passed a test, and the smallest and largest x among them.
struct SPixelRun {
    u32 count, left, right;
};

struct SPicture {
    u32 w = 0, h = 0;
    std::vector<u8> rgba;  // top row first

    SRgb rgb(u32 x, u32 y) const {
        const u8* p = &rgba[4 * (y * w + x)];
        return {p[0], p[1], p[2]};
    }
    // Calls visit(r, g, b, x) for each pixel of the box that lies inside the picture.
    template <typename Visit>
    void visit(const SPixelBox& box, Visit visit) const {
        for (u32 y = box.y0; y < std::min(box.y1, h); ++y)
            for (u32 x = box.x0; x < std::min(box.x1, w); ++x) {
                const u8* p = &rgba[4 * (y * w + x)];
                visit(int(p[0]), int(p[1]), int(p[2]), x);
            }
    }
    template <typename Test>
    SPixelRun run(const SPixelBox& box, Test test) const {
        SPixelRun found{0, w, 0};
        visit(box, [&](int r, int g, int b, u32 x) {
            if (!test(r, g, b)) return;
            ++found.count;
            found.left = std::min(found.left, x);
            found.right = std::max(found.right, x);
        });
        return found;
    }
    template <typename Test>
    u32 count(const SPixelBox& box, Test test) const {
        return run(box, test).count;
    }
    // Pixels whose brightest channel is above the threshold.
    u32 lit(const SPixelBox& box, u32 threshold) const {
        return count(box, [&](int r, int g, int b) { return u32(std::max({r, g, b})) > threshold; });
    }
    ClVec3 colourSum(const SPixelBox& box) const {
        ClVec3 sum(0.0f, 0.0f, 0.0f);
        visit(box, [&](int r, int g, int b, u32) { sum += ClVec3(f32(r), f32(g), f32(b)); });
        return sum;
    }
};

MATCHER_P2(RgbWithin, want, tolerance, "") {
    for (int c = 0; c < 3; ++c)
        if (std::abs(arg[c] - want[c]) > tolerance) return false;
    return true;
}
inline auto RgbNear(SRgb want, int tolerance = 3) { return RgbWithin(want, tolerance); }

// The device and the drawing pools of an m_w x m_h window. Mixed into a fixture that has mounted
// the built data and set the size; startPictures in its SetUp, stopPictures in its TearDown.
class ClOffscreenPictures {
protected:
    ClOffscreenPictures(u32 w, u32 h, bool camera) : m_w(w), m_h(h), m_camera(camera) {}
    void startPictures() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        configClear();
        // What moves with the clocks (ripples, drifting shaders) starts where it would in a fresh game.
        for (SGameClock& clock : g_aGameClocks) clock = SGameClock{};
        for (auto [key, value] : {std::pair<const char*, std::string>{"NOVSYNC", "1"}, {"FULLSCREEN", "0"},
                                  {"HARD_FORCED_WIDTH", std::to_string(m_w)}, {"HARD_FORCED_HEIGHT", std::to_string(m_h)}})
            configSetValue(key, value.c_str());
        initDisplayOptionTable();
        taskLayerInit();
        SCoreImports coreImports;
        coreImports.drawListLines = drawListLineTaskType();
        setCoreImports(&coreImports);
        initRenderer();
        initShaderRegistry();
        initMaterialPools();
        initTextureTable();
        initDrawBatchPool();
        ASSERT_TRUE(createBatchBuffers(true));
        initSpriteQueue();
        if (m_camera) {
            createDebugCamera();
            setUpCameraBlenders();
            g_aCameraBlenders[0].blendTo(cameraAt(0), 0.0f, false);
        }
        installSceneRender();
        setMusicLibraryInitialised(1);
        m_savedOptions = g_SavedOptions;
    }
    void stopPictures() {
        g_SavedOptions = m_savedOptions;
        g_FrameHandOffSteps = kDefaultFrameHandOffSteps;
        releaseUIDeviceBuffers();
        if (m_camera) {
            releaseCameras();
            releaseCameraBlenders();
        }
        // The sprite queue made the canvases; left behind, they choose the frames of a later test's flipbooks.
        releaseCanvases();
        shutdownSpriteQueue();
        releaseBatchBuffers();
        releaseAllDrawBatches();
        releaseAllMaterials();
        destroyAllTextures();
        releaseShaderRegistry();
        shutdownRenderer();
        taskLayerShutdown();
        configClear();
    }

    SPicture readPicture(const char* pngName) const {
        SPicture picture{m_w, m_h, std::vector<u8>(m_w * m_h * 4)};
        EXPECT_TRUE(gfxReadPixels(nullptr, picture.rgba.data(), u32(picture.rgba.size())));
        if (const char* dir = std::getenv("VELODRIX_TEST_PNG_DIR"))
            writePngFile((std::string(dir) + "/" + pngName).c_str(), m_w, m_h, picture.rgba.data());
        return picture;
    }
    // `frames` frames, each filled by fill after the batcher's frame has begun; the last one's picture.
    SPicture drawFrames(const std::function<void()>& fill, const char* pngName, int frames = 3) const {
        for (int frame = 0; frame < frames; ++frame) {
            beginBatchFrame();
            fill();
            EXPECT_EQ(1, finishFrame());
        }
        return readPicture(pngName);
    }

    // The camera at eye looking at target, with the field of view in degrees.
    static void lookAt(const ClVec3& eye, const ClVec3& target, f32 fieldOfView) {
        ClCamera* camera = cameraAt(0);
        camera->setPositionLookingAt(eye, target);
        camera->fov = fieldOfView;
        g_aCameraBlenders[0].blendTo(camera, 0.0f, false);
    }
    // Where the view camera puts a world point, in pixels.
    ClVec2 project(const ClVec3& world) const {
        const ClVec2 screen = viewCamera()->projectToScreen(world);
        return ClVec2(screen.x * f32(m_w), screen.y * f32(m_h));
    }

    u32 m_w, m_h;
    // The debug camera and the blenders, the view looking from the camera's place.
    bool m_camera;

private:
    SSavedOptions m_savedOptions;
};

// The built data mounted and a w x h window of pictures.
class OffscreenPictureTest : public BuiltDataTest, protected ClOffscreenPictures {
protected:
    explicit OffscreenPictureTest(u32 w = 160, u32 h = 90, bool camera = false) : ClOffscreenPictures(w, h, camera) {}
    void SetUp() override {
        BuiltDataTest::SetUp();
        startPictures();
    }
    void TearDown() override {
        stopPictures();
        BuiltDataTest::TearDown();
    }
};
