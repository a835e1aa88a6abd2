// The front end's drawing-side services without a device: the front-end particle systems, the
// wind the mirror lake writes into the particle physics, the preview targets' batcher keys, and
// the loading state's one background load.
#include "core/async_asset.h"
#include "core/file_completions.h"
#include "core/file_layer.h"
#include "core/game_clock.h"
#include "core/timers.h"
#include "frontend/presentation/front_end_particles.h"
#include "frontend/presentation/loading_state.h"
#include "frontend/presentation/mirror_lake.h"
#include "frontend/presentation/preview_targets.h"
#include "render/batcher.h"
#include "render/fx_particles.h"
#include "render/mega_particles.h"
#include "render/particle_world_inputs.h"
#include "render/scene_inputs.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<f32> physics() {
    const SParticlePhysics& p = particlePhysics();
    return {p.accelerationA.x, p.accelerationA.y, p.accelerationA.z, p.accelerationB.x, p.accelerationB.y,
            p.accelerationB.z, p.blastUpwardBias};
}

TEST(FrontEndParticles, SetUpRegistersEXAndFXOnceAndShutdownRetiresBoth) {
    const u32 registered = registeredParticleSystemCount();
    frontEndParticleSetUp();
    ClMegaParticleSystemEX* ex = g_megaParticleSystemEX;
    frontEndParticleSetUp();
    EXPECT_NE(ex, nullptr);
    EXPECT_NE(fxParticles(), nullptr);
    EXPECT_EQ(ex, g_megaParticleSystemEX);
    EXPECT_EQ(registered + 2, registeredParticleSystemCount());
    EXPECT_EQ(std::vector<f32>({0, MIRROR_LAKE_GRAVITY, 0, 0, 0, 0, FRONT_END_BLAST_UPWARD_BIAS}), physics());
    frontEndParticleShutdown();
    frontEndParticleShutdown();
    EXPECT_EQ(g_megaParticleSystemEX, nullptr);
    EXPECT_EQ(fxParticles(), nullptr);
    EXPECT_EQ(retiringParticleSystemCount(), 2u);
    destroyRetiredParticleSystems();
    EXPECT_EQ(registered, registeredParticleSystemCount());
}

// The ripples drift along the wind at the ripple speed; the constants rewrite both accelerations
// from the gameplay clock.
TEST(MirrorLake, TheRipplesDriftDownwindAndTheConstantsRewriteGravityAndWind) {
    const f64 t = 3600.0, h = 0.01;
    const SMirrorLakeParams now = mirrorLakeParamsAt(t), next = mirrorLakeParamsAt(t + h);
    const f32 perWind = MIRROR_LAKE_RIPPLE_SPEED / MIRROR_LAKE_WIND_ACCELERATION;
    EXPECT_NEAR(now.wind.x * perWind, (next.rippleScroll.x - now.rippleScroll.x) / h, 1e-3f);
    EXPECT_NEAR(now.wind.z * perWind, (next.rippleScroll.y - now.rippleScroll.y) / h, 1e-3f);

    g_aGameClocks[GAME_CLOCK_GAMEPLAY].totalTime = 0.0;
    setMirrorLakeShaderParams();
    EXPECT_EQ(std::vector<f32>({0, MIRROR_LAKE_GRAVITY, 0, MIRROR_LAKE_WIND_ACCELERATION, 0, 0, 0.95f}), physics());
}

TEST(PreviewTargets, AGroupIsABatcherKeyInItsSlotUntilDestroyedAndNothingIsMadeWithoutAFreeKey) {
    char name[PREVIEW_TARGET_NAME_LENGTH];
    formatMiniMapTargetName(name, sizeof name, 3);
    EXPECT_STREQ("RTT_MM3", name);
    const u32 keys = batchTargetCount();
    ClPreviewTarget map, sameSlot;
    ASSERT_TRUE(map.create(name, 2, 64.0f, 64.0f));
    EXPECT_FALSE(sameSlot.create(SHIP_EDIT_PREVIEW_TARGET_NAME, 2, 64.0f, 64.0f));
    EXPECT_EQ(batchTargetCount(), keys + 1);
    EXPECT_EQ(previewSlot(2).group, map.group());
    map.destroy();
    EXPECT_EQ(batchTargetCount(), keys);
    EXPECT_EQ(previewSlot(2).group, nullptr);

    std::vector<int> fillers(BATCH_TARGET_KEY_CAPACITY);
    for (int& f : fillers) registerBatchTarget(reinterpret_cast<BatchKey>(&f));
    EXPECT_FALSE(map.create(name, 1, 64.0f, 64.0f));
    EXPECT_EQ(nullptr, previewSlot(1).group);
    for (int& f : fillers) unregisterBatchTarget(reinterpret_cast<BatchKey>(&f));
}

TEST(LoadingState, OneLoadAtATimeWhoseBytesStayUntilTheNextAndAFailureEndsIt) {
    fileLayerInit(), timersInit();
    test_support::ClTempDir dir;
    const auto tickUntilEnded = [] {
        for (int i = 0; i < 100 && loadingStateStatus() == E_LOADING_PENDING; ++i)
            pumpFileCompletions(), stepAsyncAssetLoader();
    };
    EXPECT_FALSE(loadingStateBegin(dir.write("a.bin", "first").c_str(), true)) << "not set up";
    loadingStateSetUp();
    ASSERT_TRUE(loadingStateBegin(dir.file("a.bin").c_str(), true));
    tickUntilEnded();
    u32 size = 0;
    const u8* data = loadingStateData(&size);
    EXPECT_EQ("first", std::string(reinterpret_cast<const char*>(data), size));
    ASSERT_TRUE(loadingStateBegin(dir.file("missing.bin").c_str(), true));
    EXPECT_EQ(1u, getAsyncAssetCount()) << "the previous load is released";
    tickUntilEnded();
    EXPECT_EQ(E_LOADING_FAILED, loadingStateStatus());
    loadingStateRelease();
    EXPECT_EQ(0u, getAsyncAssetCount());
    timersShutdown(), fileLayerShutdown();
}

}  // namespace
