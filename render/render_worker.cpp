#include "render/render_worker.h"

#include "core/fatal_error.h"
#include "platform/gfx/gfx_device.h"
#include "platform/os/os.h"
#include "render/camera_list.h"
#include "render/draw_lists.h"
#include "render/render_device.h"

#include <atomic>

namespace {

struct SRenderWorker {
    // Owned through plain pointers: a program that exits while the worker waits (a fatal error
    // during start-up) must neither join it nor destroy the event it waits on from a static
    // destructor.
    ClEvent* frameComplete = nullptr;
    ClEvent* startFrame = nullptr;
    ClThread* thread = nullptr;
    std::atomic<bool> stop{false};
    std::atomic<bool> exited{false};
    std::atomic<u64> framesDrawn{0};
    bool running = false;
};

SRenderWorker g_worker;

// Until the scene render exists, a frame is the cleared back buffer.
void clearAndPresent() {
    gfxSetRenderTarget(nullptr, nullptr);
    gfxClear(E_GFX_CLEAR_TARGET | E_GFX_CLEAR_DEPTH, 0xFF000000u, 1.0f, 0);
    presentRenderedFrame();
}

void workerProcedure(void*) {
    g_worker.startFrame->wait(OS_INFINITE);
    g_worker.startFrame->reset();
    while (!g_worker.stop.load()) {
        {
            ClGfxContextScope context;
            g_FrameHandOffSteps.renderScene();
        }
        ++g_worker.framesDrawn;
        g_worker.frameComplete->set();
        g_worker.startFrame->wait(OS_INFINITE);
        g_worker.startFrame->reset();
    }
    gfxEndDrawingThread();
    g_worker.exited.store(true);
}

}  // namespace

std::atomic<u32> g_RenderFlipIndex{0};

const SFrameHandOffSteps kDefaultFrameHandOffSteps = {clearDrawListHalf, clearAndPresent};
SFrameHandOffSteps g_FrameHandOffSteps = kDefaultFrameHandOffSteps;

void startRenderWorker() {
    g_worker.stop.store(false);
    g_worker.exited.store(false);
    g_worker.framesDrawn.store(0);
    g_worker.frameComplete = new ClEvent(true, false);
    g_worker.startFrame = new ClEvent(true, false);
    g_worker.thread = new ClThread;
    if (!g_worker.thread->start(workerProcedure, nullptr, "render worker")) fatalError("the render worker thread could not start");
    g_worker.running = true;
}

void stopRenderWorker() {
    g_worker.stop.store(true);
    if (g_worker.running) {
        g_worker.startFrame->set();
        while (!g_worker.exited.load()) osSleepEx(1, true);
        g_worker.thread->join();
        delete g_worker.thread;
        g_worker.thread = nullptr;
        g_worker.running = false;
    }
    delete g_worker.frameComplete;
    delete g_worker.startFrame;
    g_worker.frameComplete = nullptr;
    g_worker.startFrame = nullptr;
}

bool renderWorkerRunning() { return g_worker.running; }

void resetRenderFlipIndex() { g_RenderFlipIndex.store(0); }

s32 finishFrame() {
    g_aCameraBlenders[0].update();
    return submitFrameToRenderWorker();
}

s32 submitFrameToRenderWorker() {
    const u32 producerHalf = 1 - renderFlipIndex();
    if (!renderDeviceReady() || !g_worker.running) {
        // No frame is drawn: without this the producers' half would keep filling until its
        // lists hit their limits, and the first frame after a restore would draw it all.
        g_FrameHandOffSteps.clearFrameHalf(producerHalf);
        return handleLostDevice();
    }
    g_RenderFlipIndex.store(producerHalf);
    g_worker.startFrame->set();
    g_worker.frameComplete->wait(OS_INFINITE);
    g_worker.frameComplete->reset();
    return handleLostDevice();
}

void presentRenderedFrame() { setLastPresentResult(gfxPresent()); }

u64 renderWorkerFramesDrawn() { return g_worker.framesDrawn.load(); }
