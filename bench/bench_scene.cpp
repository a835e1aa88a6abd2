// The whole scene render of a busy frame at 1280x720 under SDL's offscreen driver (Mesa's
// software rasteriser): 2,500 sprites in the 3D layers and 2,500 quads in the 2D bands, 10,000
// lines (a quarter of them glowing), the water reflection on, in game; wall time per frame with
// bloom on and with bloom off.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include "core/core_imports.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "core/global_objects.h"
#include "core/packages.h"
#include "core/saved_options.h"
#include "core/task_layer.h"
#include "platform/gfx/gfx_device.h"
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
#include "render/shader.h"
#include "render/sprite_queue.h"
#include "render/texture.h"

namespace {

constexpr u32 kSprites = 2500;
constexpr u32 kQuads2D = 2500;
constexpr u32 kLines = 10000;

bool g_bReady = false;

void startScene() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    critSectionPoolInit();
    fileLayerInit();
    packagesInit();
    setDataDir(VELODRIX_BUILD_DATA_DIR "/");
    if (archiveMount("ASPEC", 4, nullptr) != 1u) return;
    configClear();
    configSetValue("NOVSYNC", "1");
    configSetValue("FULLSCREEN", "0");
    configSetValue("HARD_FORCED_WIDTH", "1280");
    configSetValue("HARD_FORCED_HEIGHT", "720");
    initDisplayOptionTable();
    taskLayerInit();
    SCoreImports coreImports;
    coreImports.drawListLines = drawListLineTaskType();
    setCoreImports(&coreImports);
    initRenderer();
    if (gfxIsNullRenderer()) return;
    initShaderRegistry();
    initMaterialPools();
    initTextureTable();
    initDrawBatchPool();
    if (!createBatchBuffers(true)) return;
    initSpriteQueue();
    createDebugCamera();
    setUpCameraBlenders();
    g_aCameraBlenders[0].blendTo(cameraAt(0), 0.0f, false);
    installSceneRender();
    setMusicLibraryInitialised(1);
    setInGameFlag(1);
    setWaterClearColour(0xFF204060u);
    g_SavedOptions.waterReflection = 1;
    g_bReady = true;
}

void drawBusyFrame() {
    const SMaterial* additive = getMaterialForEffect("Debug_Add");
    beginBatchFrame();
    for (u32 i = 0; i < kSprites; ++i) {
        const f32 x = f32(i % 50) - 25.0f;
        const f32 z = f32(i / 50) - 25.0f;
        appendSpriteCommand(ClVec3(x, 1.0f, z), 0.4f, 0xFFFFFFFFu, additive, i % 4 == 0 ? 0xA4 : 0x24, 0.0f);
    }
    for (u32 i = 0; i < kQuads2D; ++i)
        addSpriteQuad(1200 + (i % 3) * 50, additive, 0xFF40C0FFu, f32(i % 64) * 20.0f, f32(i / 64) * 18.0f, 12, 12);
    for (u32 i = 0; i < kLines; ++i) {
        const f32 x = f32(i % 100) * 0.5f - 25.0f;
        const f32 z = f32(i / 100) * 0.5f - 25.0f;
        appendLineCommand(ClVec3(x, 0.0f, z), ClVec3(x + 0.4f, 0.5f, z), 0.05f, 0xFFFF8000u, additive, 1.0f, 0,
                          i % 4 == 0 ? 0xA2 : 0x22);
    }
    finishFrame();
}

void sceneFrame(benchmark::State& state) {
    if (!g_bReady) {
        state.SkipWithError("no OpenGL device under the offscreen driver");
        return;
    }
    g_SavedOptions.bloom = u32(state.range(0));
    for (auto _ : state) drawBusyFrame();
}
BENCHMARK(sceneFrame)->ArgName("bloom")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    startScene();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
