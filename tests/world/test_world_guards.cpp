// The world's guards against bad data and full pools: values read from data are refused with a
// message or clamped, a full flying-note pool skips the next note, and a bomb's blast, which
// never moves, still hits a ship that does not move either.
#include <gmock/gmock.h>

#include "audio/play/song_clock.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/collision/world_collision.h"
#include "world/effects/flying_notes.h"
#include "world/entity/processor.h"
#include "world/processors/boss_support.h"
#include "world/services/note_list.h"
#include "world/world_step.h"

using namespace world_test;

namespace {

// The programs outlive the world's teardown, which frees their entities.
class WorldGuards : public WorldTest {
protected:
    DnaWriter m_ship{E_PROGRAM_PLAYER}, m_enemy, m_shield;
};

bool s_shipHit = false;

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
    EXPECT_EQ(std::vector<f32>({f32(bossRandomInRange(5, 2)), f32(bossRandomInRange(5, 2)), f32(bossRandomInRange(-1, -9)),
                                fraction(5.0f), fraction(0.0f), fraction(-1.0f)}),
              std::vector<f32>({5.0f, 5.0f, -1.0f, 1.0f, 0.0f, 0.0f}));

    // A beat shield whose turret has two atoms stops at its spawn.
    m_shield.node().param("bsh", 1.0f).processor(E_PROC_ENEMY_BEAT_SHIELD).node();
    m_shield.atom(E_ATOM_BODY);
    m_shield.atom(E_ATOM_BODY);
    m_shield.close().close();
    EXPECT_THAT(test_support::fatalReasonOf([&] { spawnActiveEntity(&m_shield.program); }),
                testing::HasSubstr("needs 3 atoms"));
}

TEST_F(WorldGuards, AFullFlyingNotePoolSkipsTheNextNote) {
    spawnShip(m_ship, ClVec3(160, 0, 2000));
    resetNoteList();
    for (u32 i = 0; i <= FLYING_NOTE_CAPACITY; ++i) appendNoteListEntry(SNoteListEntry{0, nullptr, 0, 0, {}});
    initFlyingNotes();
    g_iSpectrumFrame = 0;
    updateFlyingNotes();
    EXPECT_EQ(std::make_pair(g_NoteList.cursor, flyingNoteCount()),
              std::make_pair(s32(FLYING_NOTE_CAPACITY + 1), FLYING_NOTE_CAPACITY));
    resetFlyingNotes();
    releaseNoteList();
}

TEST_F(WorldGuards, ABombsBlastHitsAShipThatDoesNotMove) {
    initHitEffects();
    // The ship is the only player entity, so a contact of this pair is the ship's.
    g_aContactHandlers[E_PROGRAM_PLAYER * CONTACT_KIND_COUNT + E_PROGRAM_ENEMY_SHOT] = [](const SContact&) { s_shipHit = true; };
    s_shipHit = false;
    m_ship.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody(m_ship.addGeometry(makeRingMesh(6, 3.0f)));
    spawnActiveEntity(&m_ship.close().program)->setRootPosition(ClVec3(110, 0, 100));
    m_enemy.node().param("exp_rad", 40.0f).param("exp_dmg", 5.0f).processor(E_PROC_EXPLODE_WHEN_I_DIE).mainBody();
    ClEntity* bomb = spawnActiveEntity(&m_enemy.close().program);
    bomb->setRootPosition(ClVec3(100, 0, 100));
    stepWorld();
    // Killed as the kill queue kills it; the blast it leaves is worked off in the next frame.
    bomb->killed = 1;
    bomb->destroy();
    worldStep(nullptr);
    EXPECT_TRUE(s_shipHit);
    releaseHitEffects();
}
