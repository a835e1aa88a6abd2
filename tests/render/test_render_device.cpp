// The render device and its worker on the null renderer: lost-device release and restoration in
// their order, the hand-off's halves, and the worker's stop.
#include "core/config.h"
#include "core/core_imports.h"
#include "core/crit_section_pool.h"
#include "core/global_objects.h"
#include "core/task_layer.h"
#include "core/worker_pool.h"
#include "platform/os/os.h"
#include "render/device_steps.h"
#include "render/render_device.h"
#include "render/render_imports.h"
#include "render/render_worker.h"
#include "render/scene_render.h"
#include "render/sprite_queue.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_steps;
bool g_batchBuffersRecreated = true;
bool g_sceneTargetsRecreated = true;

// A device step that records its name and gives back the value after it, if any.
#define RECORD(name, ...) [] { g_steps.push_back(name); return __VA_ARGS__; }

class RenderDevice : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        critSectionPoolInit();
        m_locksBefore = critSectionPoolUseCount();
        configClear();
        for (auto [key, value] : {std::pair{"NOGFX", "1"}, {"NOVSYNC", "0"}, {"FSAA", "3"}, {"FULLSCREEN", "0"}}) configSetValue(key, value);
        initDisplayOptionTable();
        g_steps.clear();
        g_batchBuffersRecreated = true;
        g_sceneTargetsRecreated = true;
        g_DeviceResourceSteps = kDefaultDeviceResourceSteps;
        g_DeviceResourceSteps.onEffectsDeviceLost = RECORD("effects lost");
        g_DeviceResourceSteps.onEffectsDeviceReset = RECORD("effects reset");
        g_DeviceResourceSteps.releaseBatchBuffers = RECORD("release batch buffers");
        g_DeviceResourceSteps.recreateBatchBuffers = RECORD("recreate batch buffers", g_batchBuffersRecreated);
        g_DeviceResourceSteps.releaseUiDeviceResources = RECORD("release ui");
        g_DeviceResourceSteps.createUiDeviceResources = RECORD("create ui");
        g_DeviceResourceSteps.createSceneRenderTargets = RECORD("create scene targets", true);
        g_DeviceResourceSteps.releaseSceneTargets = RECORD("release scene targets");
        g_DeviceResourceSteps.recreateSceneTargets = RECORD("recreate scene targets", g_sceneTargetsRecreated);
        g_DeviceResourceSteps.destroySceneTargets = RECORD("destroy scene targets");
        g_DeviceResourceSteps.releasePreviewTargets = RECORD("release preview targets");
        g_DeviceResourceSteps.recreatePreviewTargets = RECORD("recreate preview targets");
        g_FrameHandOffSteps = kDefaultFrameHandOffSteps;
        initRenderer();
    }

    void TearDown() override {
        taskLayerShutdown();
        setCoreImports(nullptr);
        shutdownRenderer();
        g_DeviceResourceSteps = kDefaultDeviceResourceSteps;
        g_FrameHandOffSteps = kDefaultFrameHandOffSteps;
        setRenderImports(nullptr);
        configClear();
        EXPECT_EQ(critSectionPoolUseCount(), m_locksBefore) << "the device lock goes back to the pool";
    }

    // One frame handed to the worker: what it returned, " lost" while the device stays lost, then
    // the device steps it ran.
    static std::string frame() {
        g_steps.clear();
        std::string out = std::to_string(submitFrameToRenderWorker());
        out += renderDeviceLost() ? " lost" : "";
        for (const std::string& step : g_steps) out += ", " + step;
        return out;
    }

    u32 m_locksBefore = 0;
};

TEST_F(RenderDevice, ALostPresentReleasesAndAResetRestoresInTheirOrder) {
    EXPECT_EQ(g_steps, (std::vector<std::string>{"create scene targets"}));
    ASSERT_TRUE(renderDeviceReady());
    // NOGFX 1 presents immediately whatever NOVSYNC says; FSAA 3 is no multisampling.
    EXPECT_FALSE(gfxDeviceParams().vsync);
    EXPECT_EQ(gfxDeviceParams().multisample, 0u);
    static int g_pausedGames;
    g_pausedGames = 0;
    SRenderImports hooks;
    hooks.goToActionRequested = [] { return 1; };
    hooks.pauseActionGame = [] { ++g_pausedGames; };
    setRenderImports(&hooks);

    // A task of one part, to see whether the frame tick hands work to the pool.
    static std::atomic<u32> g_partsRun;
    g_partsRun = 0;
    SCoreImports imports;
    imports.drawListLines = {[](void* argument, SWorkerTask* task) { taskStartPart(task, argument); },
                             [](void*) { ++g_partsRun; }, [](void*) {}};
    setCoreImports(&imports);
    ASSERT_EQ(taskLayerInit(), 1);

    gfxTestLoseDevice(1);
    EXPECT_EQ(frame(), "0 lost, effects lost, release batch buffers, release ui, release scene targets, "
                       "release preview targets");
    EXPECT_EQ(u32(g_pausedGames), 1u);
    EXPECT_EQ(deviceWasLost(), 1u);
    // The pool gets no work while the device is lost.
    SWorkerTask* task = nullptr;
    ASSERT_EQ(taskCreate(TASK_TYPE_DRAW_LIST_LINES, nullptr, &task), 1);
    taskLayerDispatch();
    // A part handed out keeps its worker busy until it has run.
    EXPECT_EQ(workerPoolAnyBusy(), 0);
    EXPECT_EQ(g_partsRun.load(), 0u);

    // The first reset fails: the device tries again on the next frame, where the reset succeeds
    // but the batcher's buffers cannot be made, so it is released again.
    EXPECT_EQ(frame(), "0 lost, release scene targets");
    g_batchBuffersRecreated = false;
    EXPECT_EQ(frame(), "0 lost, release scene targets, effects reset, recreate batch buffers, effects lost, "
                       "release batch buffers, release ui");
    g_batchBuffersRecreated = true;
    // Then the scene's targets cannot be made: released again, the device stays lost.
    g_sceneTargetsRecreated = false;
    EXPECT_EQ(frame(), "0 lost, effects reset, recreate batch buffers, create ui, recreate scene targets, "
                       "release scene targets, effects lost, release batch buffers, release ui");
    taskLayerDispatch();
    EXPECT_EQ(workerPoolAnyBusy(), 0);
    EXPECT_EQ(g_partsRun.load(), 0u);
    g_sceneTargetsRecreated = true;
    EXPECT_EQ(frame(), "1, effects reset, recreate batch buffers, create ui, recreate scene targets, "
                       "recreate preview targets");
    EXPECT_EQ(deviceWasLost(), 0u);
    for (u32 tick = 0; tick < 10000 && (taskLayerDispatch(), !taskIsDone(task)); ++tick) osSleep(1);
    EXPECT_EQ(g_partsRun.load(), 1u);
    EXPECT_EQ(frame(), "1");
    EXPECT_EQ(taskRelease(task), 1);
}

// A second window cannot be made while one exists: the box names the window layer's reason as
// its error code, and the program ends with status 1.
TEST_F(RenderDevice, AWindowThatCannotBeMadeIsReportedWithItsReason) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(createMainWindowAndDevice(), ::testing::ExitedWithCode(1),
                "Failed to create main window; error code \\[the window exists\\]");
}

// That a frame which cannot be drawn is not flipped to and its half is emptied is checked frame
// by frame in DrawListHandOff; the scene's clearing of that frame empties the quad queue too.
TEST_F(RenderDevice, ANotReadyDeviceClearsTheFilledHalfsQuadsInsteadOfDrawingThem) {
    g_FrameHandOffSteps.clearFrameHalf = clearFrameHalf;
    gfxTestLoseDevice(1000);
    submitFrameToRenderWorker();  // presents, finds the device lost
    addSpriteQuad(3, nullptr, 0xFFFFFFFFu, 0.0f, 0.0f, 8.0f, 8.0f);
    ASSERT_EQ(spriteQueueCount(), 1u);
    EXPECT_EQ(submitFrameToRenderWorker(), 0);
    EXPECT_EQ(spriteQueueCount(), 0u);
}

TEST_F(RenderDevice, StoppingTheWaitingWorkerEndsItAfterOneWakeUp) {
    ASSERT_TRUE(renderWorkerRunning());
    const u64 drawn = renderWorkerFramesDrawn();
    stopRenderWorker();
    EXPECT_FALSE(renderWorkerRunning());
    EXPECT_EQ(renderWorkerFramesDrawn(), drawn);
    stopRenderWorker();  // a second stop is harmless
}

}  // namespace
