// A 160 x 90 window under SDL's offscreen driver over the built data: the renderer with its
// shaders, materials, textures, draw batches and sprite queue, and the scene render installed.
#pragma once

#include "core/config.h"
#include "core/global_objects.h"
#include "core/task_layer.h"
#include "platform/gfx/image_decode.h"
#include "render/batcher.h"
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
#include "render_data_support.h"

#include <cstdlib>
#include <string>
#include <vector>

constexpr u32 FRAME_W = 160, FRAME_H = 90;

class OffscreenFrameTest : public BuiltDataTest {
protected:
    void SetUp() override {
        BuiltDataTest::SetUp();
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        configClear();
        for (auto [key, value] : {std::pair{"NOVSYNC", "1"}, {"FULLSCREEN", "0"}, {"HARD_FORCED_WIDTH", "160"},
                                  {"HARD_FORCED_HEIGHT", "90"}})
            configSetValue(key, value);
        initDisplayOptionTable();
        taskLayerInit();
        initRenderer();
        initShaderRegistry();
        initMaterialPools();
        initTextureTable();
        initDrawBatchPool();
        ASSERT_TRUE(createBatchBuffers(true));
        initSpriteQueue();
        installSceneRender();
        g_uMusicLibraryInitialised = 1;
    }
    void TearDown() override {
        g_uMusicLibraryInitialised = 0;
        g_FrameHandOffSteps = kDefaultFrameHandOffSteps;
        releaseUIDeviceBuffers();
        shutdownSpriteQueue();
        releaseBatchBuffers();
        releaseAllDrawBatches();
        releaseAllMaterials();
        destroyAllTextures();
        releaseShaderRegistry();
        shutdownRenderer();
        taskLayerShutdown();
        configClear();
        BuiltDataTest::TearDown();
    }
    // The back buffer as RGBA, also written as a PNG into VELODRIX_TEST_PNG_DIR when that is set.
    static std::vector<u8> readFrame(const char* pngName) {
        std::vector<u8> rgba(FRAME_W * FRAME_H * 4);
        EXPECT_TRUE(gfxReadPixels(nullptr, rgba.data(), u32(rgba.size())));
        if (const char* dir = std::getenv("VELODRIX_TEST_PNG_DIR"))
            writePngFile((std::string(dir) + "/" + pngName).c_str(), FRAME_W, FRAME_H, rgba.data());
        return rgba;
    }
};
