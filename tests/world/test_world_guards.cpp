// The world's guards against bad data: values read from data are refused with a message or clamped.
#include <gmock/gmock.h>

#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/entity/processor.h"
#include "world/processors/boss_support.h"

#include <algorithm>
#include <cstdint>

using namespace world_test;

namespace {

// The programs outlive the world's teardown, which frees their entities.
class WorldGuards : public WorldTest {
protected:
    DnaWriter m_enemy, m_shield;
};

}  // namespace

TEST_F(WorldGuards, BadDataValuesAreClampedOrRefused) {
    // A range with its maximum below its minimum gives the minimum, whatever the draw; an atom
    // spawned with no hit points counts whole while it has any left.
    m_enemy.node().mainBody();
    ClAtom* atom = spawnActiveEntity(&m_enemy.close().program)->atoms[0];
    auto fraction = [atom](f32 hitPoints) {
        atom->spawnHitPoints = 0.0f;
        atom->hitPoints = hitPoints;
        return atomStrengthFraction(atom);
    };
    EXPECT_EQ(bossRandomInRange(5, 2), 5);
    EXPECT_EQ(bossRandomInRange(5, 2), 5);
    EXPECT_EQ(bossRandomInRange(-1, -9), -1);
    // A range holds both its ends and nothing past them.
    s32 least = INT32_MAX, most = INT32_MIN;
    for (int draw = 0; draw < 200; ++draw) {
        const s32 drawn = bossRandomInRange(2, 4);
        least = std::min(least, drawn);
        most = std::max(most, drawn);
    }
    EXPECT_EQ(least, 2);
    EXPECT_EQ(most, 4);
    EXPECT_EQ(fraction(5.0f), 1.0f);
    EXPECT_EQ(fraction(0.0f), 0.0f);
    EXPECT_EQ(fraction(-1.0f), 0.0f);

    // A beat shield whose turret has two atoms stops at its spawn.
    m_shield.node().param("bsh", 1.0f).processor(E_PROC_ENEMY_BEAT_SHIELD).node();
    m_shield.atom(E_ATOM_BODY);
    m_shield.atom(E_ATOM_BODY);
    m_shield.close().close();
    EXPECT_THAT(test_support::fatalReasonOf([&] { spawnActiveEntity(&m_shield.program); }),
                testing::HasSubstr("needs 3 atoms"));
}
