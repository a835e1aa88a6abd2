#include "core/game_clock.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom_body.h"
#include "world/atoms/atom_factory.h"
#include "world/atoms/atom_pickupable.h"
#include "world/collision/kill_queue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using test_support::fatalReasonOf;
using world_test::translation;

namespace {

class AtomTest : public test_support::FatalThrowingTest {
protected:
    void SetUp() override {
        FatalThrowingTest::SetUp();
        resetKillQueue();
        g_uFrameCurrent = 0;
        g_uFramePrevious = 1;
        g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = 0.25f;
    }
    void TearDown() override {
        for (ClAtom* atom : m_atoms) {
            atom->release();
            atomFree(atom);
        }
        resetKillQueue();
        FatalThrowingTest::TearDown();
    }

    ClAtom* make(u32 kind) {
        ClAtom* atom = atomCreate(kind);
        atom->init(nullptr, &m_entity, nullptr);
        m_atoms.push_back(atom);
        return atom;
    }
    ClAtom_Body* makeBody() { return static_cast<ClAtom_Body*>(make(E_ATOM_BODY)); }

    static std::vector<u32> effectKinds(const ClAtom* atom) {
        std::vector<u32> kinds;
        for (u32 i = 0; i < atom->effectCount; ++i) kinds.push_back(atom->effects[i]->kind);
        return kinds;
    }
    static std::vector<u32> kindsAfterTicks(ClAtom* atom, int ticks) {
        for (int i = 0; i < ticks; ++i) atom->atomTick();
        return effectKinds(atom);
    }

    ClEntity m_entity;
    std::vector<ClAtom*> m_atoms;
};

TEST_F(AtomTest, EachKindMakesItsClassAndTheOthersAreFatal) {
    for (u32 kind = 0; kind <= ATOM_KIND_COUNT; ++kind) {
        ClAtom* atom = nullptr;
        const std::string reason = fatalReasonOf([&] { atom = atomCreate(kind); });
        if (atom) {
            m_atoms.push_back(atom);
            atom->init(nullptr, &m_entity, nullptr);
            EXPECT_EQ(atom->kind, kind);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(atom) % 16, 0u);
        } else if (atomKindName(kind)) {
            EXPECT_EQ(reason, "atom kind " + std::to_string(kind) + " (" + atomKindName(kind) +
                                  ") has no class in this build");
        } else {
            EXPECT_EQ(reason, "atom kind " + std::to_string(kind) + " does not exist");
        }
    }
    EXPECT_EQ(atomKindName(3), nullptr);
}

TEST_F(AtomTest, TheFirstWorldMatrixFillsBothBuffersSoTheFirstSweepHasNoLength) {
    ClAtom* pickup = make(E_ATOM_PICKUPABLE);
    pickup->setWorldMatrix(translation(10, 5, 20));
    pickup->computeWorldBounds();
    EXPECT_EQ(pickup->getSweptBox().radius, PICKUP_COLLISION_RADIUS);
    EXPECT_EQ(pickup->getCollisionShape()[0].end.y, 0.0f);

    flipFrameBuffers();
    pickup->setWorldMatrix(translation(110, 5, 20));
    pickup->computeWorldBounds();
    const SCollisionSphere& swept = pickup->getCollisionShape()[0];
    EXPECT_EQ(pickup->getSweptBox().radius, 65.0f);
    EXPECT_EQ(pickup->getSweptBox().centre.x, 60.0f);
    EXPECT_EQ(swept.start.x, 10.0f);
    EXPECT_EQ(swept.end.x, 110.0f);
}

TEST_F(AtomTest, DeactivateTakesDependantsDownOnceAndQueuesTheEntityOnce) {
    ClAtom *a = make(E_ATOM_BODY), *b = make(E_ATOM_BODY), *c = make(E_ATOM_BODY);
    a->dependants.push(b);
    b->dependants.push(a);  // a cycle ends at the atom already down
    b->dependants.push(c);
    a->deactivate(1);
    EXPECT_EQ(a->active + b->active + c->active, 0u);
    EXPECT_EQ(killQueueCount(), 0u);
    for (ClAtom* atom : {a, b, c}) atom->resetToSpawn();
    a->deactivate(0);
    EXPECT_EQ(a->active + b->active + c->active, 0u);
    EXPECT_EQ(killQueueCount(), 1u);
}

TEST_F(AtomTest, AFadeReplacesHitFlashesButKeepsTheOthersAndAFifthIsDropped) {
    ClAtom_Body* body = makeBody();
    body->addEffect({E_ATOM_EFFECT_HIT_FLASH, 1.0f, 0, 0});
    body->addEffect({E_ATOM_EFFECT_EDGE_FLASH, 1.0f, 3, 0});
    body->addEffect({E_ATOM_EFFECT_RED_HELD, 1.0f, 0, 0});
    body->addEffect({E_ATOM_EFFECT_COLOUR_FADE, 1.0f, 0, 0});
    EXPECT_EQ(effectKinds(body), (std::vector<u32>{3, 1, 4}));
    body->addEffect({E_ATOM_EFFECT_RED, 1.0f, 0, 0});
    body->addEffect({E_ATOM_EFFECT_RED, 2.0f, 0, 0});
    EXPECT_EQ(effectKinds(body), (std::vector<u32>{3, 1, 4, 2}));
    EXPECT_EQ(body->effects[3]->duration, 1.0f);
    EXPECT_EQ(fatalReasonOf([&] { body->addEffect({5, 1.0f, 0, 0}); }), "atom effect kind 5 does not exist");
}

TEST_F(AtomTest, TimedEffectsRunOutOnABodyOnly) {
    ClAtom_Body* body = makeBody();
    ClAtom* anchor = make(E_ATOM_ATTACH_POINT);
    for (ClAtom* atom : {static_cast<ClAtom*>(body), anchor}) {
        atom->addEffect({E_ATOM_EFFECT_HIT_FLASH, 1.0f, 0, 0});
        atom->addEffect({E_ATOM_EFFECT_RED, 0.5f, 0, 0});
        atom->addEffect({E_ATOM_EFFECT_RED_HELD, 0.5f, 0, 0});
    }
    using Kinds = std::vector<u32>;
    EXPECT_EQ(kindsAfterTicks(body, 1), (Kinds{0, 2, 3}));
    EXPECT_EQ(kindsAfterTicks(body, 1), (Kinds{0, 3}));
    EXPECT_EQ(kindsAfterTicks(body, 2), (Kinds{3}));
    // The red look never starts on a part that is not a Body.
    EXPECT_EQ(kindsAfterTicks(anchor, 1), (Kinds{0, 3}));
    EXPECT_EQ(kindsAfterTicks(anchor, 100), (Kinds{0, 3}));
}

TEST_F(AtomTest, AColourFadeLeadsTheBodyToItsTriangleColourThenEnds) {
    ClAtom_Body* body = makeBody();
    SColourAnimator triangle;
    triangle.setConstant(0xFF00FF00u);
    body->triangleColour = &triangle;
    body->colourAnimator.setConstant(0xFF000000u);
    body->addEffect({E_ATOM_EFFECT_COLOUR_FADE, 0.5f, 0, 0});
    body->atomTick();
    EXPECT_EQ(body->colourAnimator.current, 0xFF007F00u);
    body->atomTick();
    EXPECT_EQ(body->colourAnimator.current, 0xFF00FF00u);
    EXPECT_EQ(body->effectCount, 1u);
    body->atomTick();  // the animator has stopped: the fade ends
    EXPECT_EQ(body->effectCount, 0u);

    body->addEffect({E_ATOM_EFFECT_COLOUR_FADE, 0.5f, 0, 0});
    body->dropEffects();
    EXPECT_EQ(body->effectCount, 0u);
}

}  // namespace
