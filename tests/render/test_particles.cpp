#include <gtest/gtest.h>

#include "core/game_clock.h"
#include "render/draw_lists.h"
#include "render/mega_particles.h"
#include "render/particle_system.h"
#include "render/particle_world_inputs.h"
#include "render/render_worker.h"

namespace {

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
        g_fFrameTime = 0.5f;
        g_particleMusicLevel = 0.0f;
    }
    void TearDown() override {
        destroyRetiredParticleSystems();
        g_fFrameTime = 0.0f;
        clearDrawListHalf(1);  // the commands drawn here, for no later frame to draw
    }
    static SMegaEmit burst(s32 count, f32 life = 2.0f) {
        return SMegaEmit{count, nullptr, 0xFF112233u, ClVec3(0, 10, 0), ClVec3(0, 1, 0), 0.0f, 0.0f, 0.0f, 0.0f,
                         4.0f, 0.0f, 0.0f, 0.0f, life, 0.0f, 0.0f};
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
    EXPECT_EQ(std::pair(1u, 1u), std::pair(destroyed, registeredParticleSystemCount()));
    updateParticleSystems();
    EXPECT_EQ(std::tuple(2u, 0u, 0u), std::tuple(destroyed, registeredParticleSystemCount(), retiringParticleSystemCount()));
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
    EXPECT_EQ(std::pair(PARTICLE_SYSTEM_SLOT_CAPACITY + 1, 0u), std::pair(destroyed, registeredParticleSystemCount()));
}

TEST_F(Particles, RandomWithVariance) {
    EXPECT_EQ(10.0f, randomWithVariance(10.0f, 0.0f));
    for (int i = 0; i < 1000; ++i) {
        const f32 value = randomWithVariance(50.3f, 0.9f);
        EXPECT_TRUE(value >= 5.03f - 1e-5f && value <= 95.57f + 1e-5f) << value;
    }
}

TEST_F(Particles, MegaEmitFillsThePoolAndNothingWhilePaused) {
    ClMegaParticleSystem mega;
    g_fFrameTime = 0.0f;
    mega.emit(0, burst(10));
    const u32 paused = mega.liveCount();
    g_fFrameTime = 0.5f;
    mega.emit(0, burst(4090));
    mega.emit(0, burst(10));
    EXPECT_EQ(std::pair(0u, MEGA_PARTICLE_CAPACITY), std::pair(paused, mega.liveCount()));
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
    g_particleMusicLevel = 4.0f;
    mega.update();  // v.y = -4, v.z = 4 x 0.25 x 0.5 x 2 = 1; y = 1 - 2 = -1
    ex.update();    // below its floor of 0
    ASSERT_EQ(std::pair(1u, 0u), std::pair(mega.liveCount(), ex.liveCount()));
    EXPECT_EQ(std::pair(-1.0f, 0.5f), std::pair(mega.live(0)->position.y, mega.live(0)->position.z));
    mega.update();  // v.y = -8: y = -5
    mega.update();  // y = -11, below -8, while life lasts
    EXPECT_EQ(std::pair(0u, 2u), std::pair(mega.liveCount(), drawListCounts(1).sprites));
}

TEST_F(Particles, ExFadesAndStreaksTrailTheirVelocity) {
    ClMegaParticleSystemEX ex;
    SMegaEmit moving = burst(1, 2.0f);
    moving.speed = 4.0f;
    moving.streak = 0.25f;
    ex.emit(0, moving);
    g_fFrameTime = 1.0f;
    ex.update();
    ASSERT_EQ(1u, drawListCounts(1).lines);
    const SLineCommand& line = drawListLines(1)[0];
    // Alpha 255 x 1 s / 2 s = 127.5.
    EXPECT_EQ(std::tuple(0x7F112233u, 13.0f, 14.0f), std::tuple(line.colour, line.start.y, line.end.y));
    ex.update();
    ex.update();
    EXPECT_TRUE(ex.isEmpty());
}

TEST(BlastPush, OnlyWithinTheRadiusAndNeverAtTheCentre) {
    const SBlast blast{ClVec3(0, 0, 0), 10.0f, 6.0f};
    g_particlePhysics.blastUpwardBias = 0.0f;
    ClVec3 edge, halfway, velocity;
    computeBlastPush(blast, ClVec3(), ClVec3(10, 0, 0), &edge);  // the full strength
    computeBlastPush(blast, ClVec3(), ClVec3(0, 0, 5), &halfway);  // three quarters
    EXPECT_EQ(std::pair(6.0f, 4.5f), std::pair(edge.x, halfway.z));
    computeBlastPush(blast, ClVec3(), ClVec3(10.5f, 0, 0), &velocity);
    computeBlastPush(blast, ClVec3(), ClVec3(0, 0, 0), &velocity);
    computeBlastPush(SBlast{ClVec3(), 0.0f, 6.0f}, ClVec3(), ClVec3(0, 0, 0), &velocity);
    EXPECT_EQ(0.0f, velocity.length());
    g_particlePhysics.blastUpwardBias = 0.95f;
}

}  // namespace
