#include <gtest/gtest.h>

#include "core/game_clock.h"
#include "render/debris_particles.h"
#include "render/draw_lists.h"
#include "render/fx_particles.h"
#include "render/mega_particles.h"
#include "render/particle_system.h"
#include "render/particle_world_inputs.h"
#include "render/render_worker.h"
#include "tests/support/vec_text.h"

#include <cmath>

namespace {

using test_support::vecText;

void setBlastUpwardBias(f32 bias) {
    SParticlePhysics physics = particlePhysics();
    physics.blastUpwardBias = bias;
    setParticlePhysics(physics);
}

// Counts its updates and destruction; empty once its particles are gone.
class ClCountingSystem : public ClParticleSystem {
public:
    explicit ClCountingSystem(u32 particles, u32* destroyed = nullptr) : m_particles(particles), m_destroyed(destroyed) {}
    ~ClCountingSystem() override {
        if (m_destroyed) ++*m_destroyed;
    }
    void update() override {
        ++updates;
        if (m_particles) --m_particles;
    }
    void hook() override {}
    bool isEmpty() const override { return m_particles == 0; }
    void onRetire() override { ++retired; }
    u32 updates = 0, retired = 0;

private:
    u32 m_particles;
    u32* m_destroyed;
};

class Particles : public ::testing::Test {
protected:
    void SetUp() override {
        resetRenderFlipIndex();
        clearDrawListHalf(1);
        g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = 0.5f;
        setParticleMusicLevel(0.0f);
    }
    void TearDown() override {
        destroyRetiredParticleSystems();
        g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = 0.0f;
        clearDrawListHalf(1);  // the commands drawn here, for no later frame to draw
    }
    // Particles that live 2 s.
    static SMegaEmit burst(s32 count) {
        return SMegaEmit{count, nullptr, 0xFF112233u, ClVec3(0, 10, 0), ClVec3(0, 1, 0), 0.0f, 0.0f, 0.0f, 0.0f,
                         4.0f, 0.0f, 0.0f, 0.0f, 2.0f, 0.0f, 0.0f};
    }
};

TEST_F(Particles, RetiredSystemsUpdateUntilEmptyThenGo) {
    u32 destroyed = 0;
    auto* lasting = new ClCountingSystem(2, &destroyed);
    auto* empty = new ClCountingSystem(0, &destroyed);
    registerParticleSystem(lasting);
    registerParticleSystem(empty);
    registerParticleSystem(nullptr);
    EXPECT_EQ(2u, registeredParticleSystemCount());
    retireParticleSystem(lasting);
    retireParticleSystem(empty);
    EXPECT_EQ(1u, lasting->retired);
    updateParticleSystems();  // lasting keeps one particle; empty goes
    EXPECT_EQ(1u, destroyed);
    EXPECT_EQ(1u, registeredParticleSystemCount());
    updateParticleSystems();
    EXPECT_EQ(2u, destroyed);
    EXPECT_EQ(0u, registeredParticleSystemCount());
    EXPECT_EQ(0u, retiringParticleSystemCount());
    destroyRetiredParticleSystems();  // nothing retiring: nothing happens
}

TEST_F(Particles, FullRegistryAndRetiringListsRefuse) {
    u32 destroyed = 0;
    ClCountingSystem* systems[PARTICLE_SYSTEM_SLOT_CAPACITY + 1];
    for (auto*& system : systems) registerParticleSystem(system = new ClCountingSystem(5, &destroyed));
    EXPECT_EQ(PARTICLE_SYSTEM_SLOT_CAPACITY, registeredParticleSystemCount());
    updateParticleSystems();
    EXPECT_EQ(0u, systems[PARTICLE_SYSTEM_SLOT_CAPACITY]->updates);  // the 257th is never updated
    for (u32 i = 0; i < PARTICLE_SYSTEM_SLOT_CAPACITY; ++i) retireParticleSystem(systems[i]);
    // No retiring slot left: destroyed at once, live particles and all.
    retireParticleSystem(systems[PARTICLE_SYSTEM_SLOT_CAPACITY]);
    EXPECT_EQ(1u, destroyed);
    destroyRetiredParticleSystems();
    EXPECT_EQ(PARTICLE_SYSTEM_SLOT_CAPACITY + 1, destroyed);
    EXPECT_EQ(0u, registeredParticleSystemCount());
}

TEST_F(Particles, RandomWithVariance) {
    EXPECT_EQ(10.0f, randomWithVariance(10.0f, 0.0f));
    for (int i = 0; i < 1000; ++i) {
        const f32 value = randomWithVariance(50.3f, 0.9f);
        EXPECT_GE(value, 5.03f - 1e-5f) << value;
        EXPECT_LE(value, 95.57f + 1e-5f) << value;
    }
}

TEST_F(Particles, MegaEmitFillsThePoolAndNothingWhilePaused) {
    ClMegaParticleSystem mega;
    g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = 0.0f;
    mega.emit(0, burst(10));
    const u32 paused = mega.liveCount();
    g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = 0.5f;
    mega.emit(0, burst(4090));
    mega.emit(0, burst(10));
    EXPECT_EQ(0u, paused);
    EXPECT_EQ(MEGA_PARTICLE_CAPACITY, mega.liveCount());
}

TEST_F(Particles, MegaParticlesFallDriftAndDieAtTheirFloors) {
    ClMegaParticleSystem mega;
    ClMegaParticleSystemEX ex;
    SMegaEmit falling = burst(1);
    falling.position = ClVec3(0, 1, 0);
    falling.gravity = -8.0f;
    falling.drift = 2.0f;
    mega.emit(0, falling);
    ex.emit(0, falling);
    setParticleMusicLevel(4.0f);
    mega.update();  // v.y = -4, v.z = 4 x 0.25 x 0.5 x 2 = 1; y = 1 - 2 = -1
    ex.update();    // below its floor of 0
    ASSERT_EQ(1u, mega.liveCount());
    ASSERT_EQ(0u, ex.liveCount());
    EXPECT_EQ(-1.0f, mega.live(0)->position.y);
    EXPECT_EQ(0.5f, mega.live(0)->position.z);
    mega.update();  // v.y = -8: y = -5
    mega.update();  // y = -11, below -8, while life lasts
    EXPECT_EQ(0u, mega.liveCount());
    EXPECT_EQ(2u, drawListCounts(1).sprites);
}

TEST_F(Particles, ExFadesAndStreaksTrailTheirVelocity) {
    ClMegaParticleSystemEX ex;
    SMegaEmit moving = burst(1);
    moving.speed = 4.0f;
    moving.streak = 0.25f;
    ex.emit(0, moving);
    g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = 1.0f;
    ex.update();
    ASSERT_EQ(1u, drawListCounts(1).lines);
    const SLineCommand& line = drawListLines(1)[0];
    // Alpha 255 x 1 s / 2 s = 127.5.
    EXPECT_EQ(0x7F112233u, line.colour);
    EXPECT_EQ(13.0f, line.start.y);
    EXPECT_EQ(14.0f, line.end.y);
    ex.update();
    ex.update();
    EXPECT_TRUE(ex.isEmpty());
}

TEST(BlastPush, OnlyWithinTheRadiusAndNeverAtTheCentre) {
    const SBlast blast{ClVec3(0, 0, 0), 10.0f, 6.0f};
    setBlastUpwardBias(0.0f);
    ClVec3 edge, velocity;
    computeBlastPush(blast, ClVec3(), ClVec3(10, 0, 0), &edge);  // the full strength
    EXPECT_EQ(6.0f, edge.x);
    computeBlastPush(blast, ClVec3(), ClVec3(10.5f, 0, 0), &velocity);
    computeBlastPush(blast, ClVec3(), ClVec3(0, 0, 0), &velocity);
    computeBlastPush(SBlast{ClVec3(), 0.0f, 6.0f}, ClVec3(), ClVec3(0, 0, 0), &velocity);
    EXPECT_EQ(0.0f, velocity.length());
    setBlastUpwardBias(0.95f);
}

SMaterial* noMaterial(const char*, const char*) { return nullptr; }

class DebrisAndFx : public Particles {
protected:
    void SetUp() override {
        Particles::SetUp();
        runBlastPass();
        g_particleGameStep = 1.0f / 60.0f;
        spin.setIdentity();
        quarterTurn.setIdentity();
        quarterTurn.setRotationAxisAngle(ClVec3(0, 0, 1), 1.5707964f);
        fx.materialLookup = noMaterial;
    }
    ClMatrix44 spin, quarterTurn;
    ClFXParticleSystem fx;
};

TEST_F(DebrisAndFx, LinesSpinFallWithoutAgeingAndAFullPoolRefuses) {
    ClDebrisLineParticleSystem lines;
    for (u32 i = 0; i <= DEBRIS_PARTICLE_CAPACITY; ++i)
        lines.addLine(ClVec3(0, 102, 0), ClVec3(0, 98, 0), quarterTurn, 1.5f, 0xFF00FF00u, nullptr, ClVec3(0, 0, 0));
    EXPECT_EQ(DEBRIS_PARTICLE_CAPACITY, lines.liveCount());
    g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = 1.0f;
    lines.update();  // v.y = -20, y = 80; the half-vector (0, 2) turns to (-2, 0)
    const SDebrisLine& p = *lines.live(0);
    const SLineCommand& line = drawListLines(1)[0];
    EXPECT_EQ(vecText({p.centre}, 1e-5f), "(0 80 0)");
    EXPECT_EQ(vecText({p.halfA}, 1e-5f), "(-2 0 0)");
    EXPECT_EQ(vecText({ClVec3(line.start.x, line.start.y, line.start.z)}, 1e-5f), "(2 80 0)");
    EXPECT_EQ(DEBRIS_LINE_LAYER_MASK, line.layerMask);
    EXPECT_EQ(DEBRIS_PARTICLE_CAPACITY, drawListCounts(1).lines);
    lines.update();  // y = 40
    lines.update();  // y = -20: gone
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(DebrisAndFx, ShardsFlyApartAndStopSpinningWhileTheStepIsPaused) {
    ClDebrisTriParticleSystem shards;
    shards.addTriangle(ClVec3(10, 100, 0), quarterTurn, 0xFF102030u, nullptr, ClVec3(0, 100, 0));
    const SDebrisShard& p = *shards.live(0);
    EXPECT_NEAR(1.0f / 1.95f, p.velocity.x / p.velocity.y, 1e-5f);
    g_particleGameStep = 0.0001f;
    const ClVec3 before = p.centre;
    shards.update();
    EXPECT_NE(before.y, p.centre.y);
    EXPECT_EQ(10.0f, p.corners[0].x);
    g_particleGameStep = 0.02f;
    shards.update();
    // (10, -10) turned a quarter is (10, 10).
    EXPECT_EQ(vecText({ClVec3(p.corners[0].x, p.corners[0].y, 0)}, 1e-5f), "(10 10 0)");
}

TEST_F(DebrisAndFx, BlastPassPushesTheNewDebrisOnceThenEmptiesBothLists) {
    setBlastUpwardBias(0.0f);
    ClDebrisLineParticleSystem lines;
    lines.addLine(ClVec3(5, 1, 0), ClVec3(5, -1, 0), spin, 1.0f, 0, nullptr, ClVec3());
    recordBlast(SBlast{ClVec3(0, 0, 0), 10.0f, 8.0f}, ClVec3());
    recordBlast(SBlast{ClVec3(100, 0, 0), 10.0f, 8.0f}, ClVec3());  // out of reach
    runBlastPass();
    EXPECT_EQ(6.0f, lines.live(0)->velocity.x);
    recordBlast(SBlast{ClVec3(0, 0, 0), 10.0f, 8.0f}, ClVec3());
    runBlastPass();  // not new any more
    EXPECT_FLOAT_EQ(6.0f, lines.live(0)->velocity.x);
    // The passes left no blast behind and a release empties the new list: the piece taken in the
    // released one's place is pushed once, by the one new blast.
    lines.releaseAll();
    lines.addLine(ClVec3(5, 1, 0), ClVec3(5, -1, 0), spin, 1.0f, 0, nullptr, ClVec3());
    lines.releaseAll();
    lines.addLine(ClVec3(5, 1, 0), ClVec3(5, -1, 0), spin, 1.0f, 0, nullptr, ClVec3());
    recordBlast(SBlast{ClVec3(0, 0, 0), 10.0f, 8.0f}, ClVec3());
    runBlastPass();
    EXPECT_EQ(6.0f, lines.live(0)->velocity.x);
    setBlastUpwardBias(0.95f);
}

TEST_F(DebrisAndFx, UnsteeredSpritesDrawDoubleSizeAndDieAtTheirLifetimeAndSteeredOnesDrawATrail) {
    SFxParticle* sprite = fx.addSprite(ClVec3(1, 2, 3), 1.0f, 5.0f, 1.0f, 0xFF0000FFu, 0x00FF0000u, nullptr, nullptr, 44);
    ASSERT_NE(nullptr, sprite);
    const u32 generation = sprite->generation;
    fx.update();  // steered at birth: drawn without ageing
    fx.update();  // tail 0.5
    ASSERT_EQ(2u, drawListCounts(1).sprites);
    EXPECT_EQ(10.0f, drawListSprites(1)[1].size);
    fx.update();  // tail 1.0: finished, not drawn
    fx.update();
    EXPECT_EQ(2u, drawListCounts(1).sprites);
    EXPECT_TRUE(fx.isEmpty());
    EXPECT_FALSE(fxParticleIsCurrent(sprite, generation));

    // A steered sprite draws a gradient trail.
    SFxParticle* steered = fx.addSprite(ClVec3(0, 0, 0), 2.0f, 4.0f, 0.0f, 0xFF000000u, 0x00000000u, nullptr, nullptr, 44);
    fx.steerParticle(steered, ClVec3(3, 0, 0));  // head 0.5 s, length 3
    fx.steerParticle(steered, ClVec3(3, 0, 4));  // head 1.0 s, length 7
    fx.update();
    EXPECT_EQ(1u, drawListCounts(1).gradientLines);
    EXPECT_EQ(7.0f, steered->length);
    EXPECT_EQ(1.0f, steered->direction.x);
}

TEST_F(DebrisAndFx, ExplosionWithoutRoomForItsGlowRisesWithoutOne) {
    ClMegaParticleSystem mega;
    setMegaParticleSystem(&mega);
    for (u32 i = 0; i + 1 < FX_PARTICLE_CAPACITY; ++i) fx.addExpandingFlash(2, ClVec3());
    fx.addExplosion(ClVec3(0, 0, 0));
    EXPECT_EQ(FX_PARTICLE_CAPACITY, fx.liveCount());
    EXPECT_EQ(3u, mega.liveCount());
    g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = 0.01f;
    fx.update();  // the flashes end; the glow rises 3 units with a null link
    ASSERT_EQ(1u, fx.liveCount());
    EXPECT_FLOAT_EQ(3.0f, fx.live(0)->position.y);
    setMegaParticleSystem(nullptr);
}

TEST_F(DebrisAndFx, RingsSkipBadRadiiAndCapTheirSteps) {
    ClMegaParticleSystem mega;
    setMegaParticleSystem(&mega);
    fx.addExplosionRing(ClVec3(), -5.0f, 0xFFFFFFFFu);
    fx.addExplosionRing(ClVec3(), NAN, 0xFFFFFFFFu);
    // the cores alone
    EXPECT_EQ(0u, mega.liveCount());
    EXPECT_EQ(2u, fx.liveCount());
    // Steps of 2 pi / 6 add up to just under 2 pi in floats: a seventh point.
    fx.addExplosionRing(ClVec3(), 10.0f, 0xFFFFFFFFu);
    const u32 ring = mega.liveCount();
    fx.addExplosionRing(ClVec3(), 1e9f, 0xFFFFFFFFu);
    EXPECT_EQ(7u, ring);
    EXPECT_EQ(7u + FX_RING_STEP_LIMIT, mega.liveCount());
    setMegaParticleSystem(nullptr);
}

TEST_F(DebrisAndFx, FlashesGrowFadeAndAFullQuadListDropsTheDraw) {
    fx.addExpandingFlash(0, ClVec3());
    g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = 1.0f;
    fx.update();
    EXPECT_EQ(1u, drawListCounts(1).quads);
    EXPECT_EQ(450.0f, fx.live(0)->size);
    for (u32 i = 0; i < QUAD_COMMAND_CAPACITY; ++i) appendQuadCommandCorners(ClVec3(), ClVec3(), ClVec3(), ClVec3(), 0, nullptr, 1);
    g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = 0.5f;
    fx.update();  // 1.5 s of 1.9752: still live, not drawn
    EXPECT_FALSE(fx.isEmpty());
    fx.update();
    EXPECT_TRUE(fx.isEmpty());
    EXPECT_DEATH(fx.addExpandingFlash(3, ClVec3()), "unknown flash kind 3");
}

}  // namespace
