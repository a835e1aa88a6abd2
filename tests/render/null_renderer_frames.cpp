#include "core/core_imports.h"
#include "null_renderer_frames.h"

#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/task_layer.h"
#include "render/batcher.h"
#include "render/draw_lists.h"
#include "render/render_device.h"
#include "render/render_worker.h"

#include <stdlib.h>

namespace {

std::function<void()> g_scene;

void runTestScene() {
    if (g_scene) g_scene();
    presentRenderedFrame();
}

}  // namespace

void NullRendererFrames::SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    critSectionPoolInit();
    configClear();
    configSetValue("NOGFX", "1");
    configSetValue("FULLSCREEN", "0");
    taskLayerInit();
    SCoreImports coreImports;
    coreImports.drawListLines = drawListLineTaskType();
    setCoreImports(&coreImports);
    initRenderer();
    g_FrameHandOffSteps = SFrameHandOffSteps{clearDrawListHalf, runTestScene};
}

void NullRendererFrames::TearDownTestSuite() {
    g_FrameHandOffSteps = kDefaultFrameHandOffSteps;
    shutdownRenderer();
    taskLayerShutdown();
    configClear();
}

void NullRendererFrames::SetUp() {
    ASSERT_TRUE(renderDeviceReady());
    ASSERT_TRUE(gfxIsNullRenderer());
    createBatchBuffers(true);
    initDrawBatchPool();
    setCurrentDrawOwner(nullptr);
    clearDrawListHalf(0);
    clearDrawListHalf(1);
    beginBatchFrame();
}

void NullRendererFrames::TearDown() {
    // Commands left over name the tests' stand-in materials; a later suite's frame would draw them.
    clearDrawListHalf(0);
    clearDrawListHalf(1);
    releaseAllDrawBatches();
    releaseBatchBuffers();
}

s32 NullRendererFrames::handOff(std::function<void()> scene) {
    g_scene = std::move(scene);
    const s32 ready = submitFrameToRenderWorker();
    g_scene = nullptr;
    return ready;
}
