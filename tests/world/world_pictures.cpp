#include "tests/world/world_pictures.h"

#include "core/config.h"
#include "core/global_objects.h"
#include "core/saved_options.h"
#include "core/task_layer.h"
#include "render/batcher.h"
#include "render/camera.h"
#include "render/camera_list.h"
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

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {
SSavedOptions g_savedBefore;

// The images the atoms draw with (the game loads them at start-up).
const char* const kAtomImages[] = {
    "Images/Bar_WhiteTight", "Images/square", "Images/BulletWithGlow", "Images/BulletWithGlow-sub",
    "Images/Bullet-Enemy-Rays-rot1", "Images/Bullet-Enemy-Rays-rot2", "Images/Bullet-Player-Double1",
    "Images/Bullet-Player-Double2", "Images/Bullet-Player-Double3", "Images/Bullet-Player-Double1-black",
    "Images/Bullet-Player-Double2-black", "Images/Bullet-Player-Double3-black", "Images/NoiseDots",
    "Images/FlyingNote-1-Bright", "Images/FlyingNote-2-Bright", "Images/FlyingNote-2-Bright-sub",
    "Images/fx-with-big-orange-glow", "Images/Bar-New-White", "Images/Shockwave_small", "Images/smallcircle",
    "Images/Particle-1", "Images/Particle-2", "Images/Particle-3", "Images/Bullet-Blaster", "Images/Bullet-Shotgun",
    "Images/Lensflare-glow", "Images/Lensflare-filled-3",
};
}

void WorldPictureTest::SetUp() {
    BuiltDataTest::SetUp();
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    configClear();
    configSetValue("NOVSYNC", "1");
    configSetValue("FULLSCREEN", "0");
    configSetValue("HARD_FORCED_WIDTH", std::to_string(WORLD_PICTURE_W).c_str());
    configSetValue("HARD_FORCED_HEIGHT", std::to_string(WORLD_PICTURE_H).c_str());
    initDisplayOptionTable();
    taskLayerInit();
    initRenderer();
    initShaderRegistry();
    initMaterialPools();
    initTextureTable();
    initDrawBatchPool();
    if (gfxIsNullRenderer() || !createBatchBuffers(true)) return;
    for (const char* name : kAtomImages) loadTexture(name);
    initSpriteQueue();
    createDebugCamera();
    setUpCameraBlenders();
    installSceneRender();
    g_uMusicLibraryInitialised = 1;
    g_uInGameFlag = 1;
    g_savedBefore = g_SavedOptions;
    // The plain scene: no water reflection, no bloom, so what is drawn lands as it is.
    g_SavedOptions.waterReflection = 0;
    g_SavedOptions.bloom = 0;
    m_ready = true;
}

void WorldPictureTest::TearDown() {
    if (m_ready) {
        g_SavedOptions = g_savedBefore;
        g_uMusicLibraryInitialised = 0;
        g_uInGameFlag = 0;
        g_FrameHandOffSteps = kDefaultFrameHandOffSteps;
        releaseUIDeviceBuffers();
        releaseCameras();
        releaseCameraBlenders();
        shutdownSpriteQueue();
        releaseBatchBuffers();
    }
    releaseAllDrawBatches();
    releaseAllMaterials();
    destroyAllTextures();
    releaseShaderRegistry();
    shutdownRenderer();
    taskLayerShutdown();
    configClear();
    BuiltDataTest::TearDown();
}

void WorldPictureTest::lookAt(const ClVec3& eye, const ClVec3& target) {
    ClCamera* camera = cameraAt(0);
    camera->setPositionLookingAt(eye, target);
    camera->setFieldOfView(45.0f);
    g_aCameraBlenders[0].blendTo(camera, 0.0f, false);
    g_aCameraBlenders[0].updateRenderCamera();
}

ClVec2 WorldPictureTest::project(const ClVec3& world) const {
    const ClVec2 screen = viewCamera()->projectToScreen(world);
    return ClVec2(screen.x * f32(WORLD_PICTURE_W), screen.y * f32(WORLD_PICTURE_H));
}

std::vector<u8> WorldPictureTest::drawFrames(const std::function<void()>& fill, const char* pngName) {
    for (int frame = 0; frame < 3; ++frame) {
        beginBatchFrame();
        fill();
        EXPECT_EQ(1, finishFrame());
    }
    std::vector<u8> rgba(WORLD_PICTURE_W * WORLD_PICTURE_H * 4);
    EXPECT_TRUE(gfxReadPixels(nullptr, rgba.data(), u32(rgba.size())));
    if (const char* dir = std::getenv("VELODRIX_TEST_PNG_DIR"))
        stbi_write_png((std::string(dir) + "/" + pngName).c_str(), int(WORLD_PICTURE_W), int(WORLD_PICTURE_H), 4,
                       rgba.data(), int(WORLD_PICTURE_W * 4));
    return rgba;
}

namespace {
// Calls visit with each pixel of the box that lies inside the picture.
template <typename Visit>
void forEachPixel(const std::vector<u8>& rgba, const SPixelBox& box, Visit visit) {
    for (u32 y = box.y0; y < std::min(box.y1, WORLD_PICTURE_H); ++y)
        for (u32 x = box.x0; x < std::min(box.x1, WORLD_PICTURE_W); ++x) visit(&rgba[4 * (y * WORLD_PICTURE_W + x)]);
}
}  // namespace

u32 WorldPictureTest::litPixels(const std::vector<u8>& rgba, const SPixelBox& box, u32 threshold) {
    u32 lit = 0;
    forEachPixel(rgba, box, [&](const u8* p) { lit += std::max({p[0], p[1], p[2]}) > threshold; });
    return lit;
}

ClVec3 WorldPictureTest::colourSum(const std::vector<u8>& rgba, const SPixelBox& box) {
    ClVec3 sum(0.0f, 0.0f, 0.0f);
    forEachPixel(rgba, box, [&](const u8* p) { sum += ClVec3(p[0], p[1], p[2]); });
    return sum;
}
