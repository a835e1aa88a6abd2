// The front end's drawing-side services without a device: the front-end particle systems, the
// wind the mirror lake writes into the particle physics and the preview targets' batcher keys.
#include "core/game_clock.h"
#include "frontend/presentation/front_end_particles.h"
#include "frontend/presentation/mirror_lake.h"
#include "frontend/presentation/preview_targets.h"
#include "render/batcher.h"
#include "render/fx_particles.h"
#include "render/particle_world_inputs.h"
#include "render/scene_inputs.h"
#include "tests/support/vec_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using test_support::vecText;

TEST(FrontEndParticles, SetUpRegistersEXAndFXOnceAndShutdownRetiresBoth) {
    const u32 registered = registeredParticleSystemCount();
    frontEndParticleSetUp();
    frontEndParticleSetUp();
    EXPECT_NE(fxParticles(), nullptr);
    EXPECT_EQ(registered + 2, registeredParticleSystemCount());
    EXPECT_EQ(vecText({particlePhysics().accelerationA}), vecText({ClVec3(0.0f, MIRROR_LAKE_GRAVITY, 0.0f)}));
    EXPECT_EQ(particlePhysics().blastUpwardBias, FRONT_END_BLAST_UPWARD_BIAS);
    frontEndParticleShutdown();
    frontEndParticleShutdown();
    EXPECT_EQ(fxParticles(), nullptr);
    EXPECT_EQ(retiringParticleSystemCount(), 2u);
    destroyRetiredParticleSystems();
    EXPECT_EQ(registered, registeredParticleSystemCount());
    // Both are made again after a shutdown.
    frontEndParticleSetUp();
    EXPECT_EQ(registered + 2, registeredParticleSystemCount());
    frontEndParticleShutdown();
    destroyRetiredParticleSystems();
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
    EXPECT_EQ(vecText({particlePhysics().accelerationA}), vecText({ClVec3(0.0f, MIRROR_LAKE_GRAVITY, 0.0f)}));
    EXPECT_EQ(vecText({particlePhysics().accelerationB}), vecText({ClVec3(MIRROR_LAKE_WIND_ACCELERATION, 0.0f, 0.0f)}));
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
    EXPECT_NE(previewSlot(2).group, nullptr);
    map.destroy();
    EXPECT_EQ(batchTargetCount(), keys);
    EXPECT_EQ(previewSlot(2).group, nullptr);

    std::vector<int> fillers(BATCH_TARGET_KEY_CAPACITY);
    for (int& f : fillers) registerBatchTarget(reinterpret_cast<BatchKey>(&f));
    EXPECT_FALSE(map.create(name, 1, 64.0f, 64.0f));
    EXPECT_EQ(nullptr, previewSlot(1).group);
    for (int& f : fillers) unregisterBatchTarget(reinterpret_cast<BatchKey>(&f));
}

}  // namespace
