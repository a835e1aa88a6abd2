// The data directory the build wrote, mounted for the effect, material and texture tests, with
// a device (the null renderer unless a test asks for OpenGL).
#pragma once

#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "core/packages.h"
#include "platform/gfx/gfx_device.h"
#include "render/materials.h"
#include "render/shader.h"
#include "render/texture.h"

#include <gtest/gtest.h>

class BuiltDataTest : public ::testing::Test {
protected:
    // False when the device cannot be made (no OpenGL here).
    bool startDevice(EGfxBackend backend) {
        SGfxDeviceParams params;
        params.backend = backend;
        params.width = 320;
        params.height = 200;
        return gfxCreateDevice(params) == E_GFX_OK;
    }
    void SetUp() override {
        critSectionPoolInit();
        fileLayerInit();
        packagesInit();
        setDataDir(VELODRIX_BUILD_DATA_DIR "/");
        ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    }
    void TearDown() override {
        if (gfxDeviceExists()) gfxDestroyDevice();
        packagesShutdown();
        fileLayerShutdown();
        setDataDir("");
    }
};

// The same on the null renderer, with the built data's effects, textures and materials.
class NullDeviceDataTest : public BuiltDataTest {
protected:
    void SetUp() override {
        BuiltDataTest::SetUp();
        ASSERT_TRUE(startDevice(E_GFX_BACKEND_NULL));
        initShaderRegistry();
        initTextureTable();
        initMaterialPools();
    }
    void TearDown() override {
        releaseAllMaterials();
        destroyAllTextures();
        releaseShaderRegistry();
        BuiltDataTest::TearDown();
    }
};
