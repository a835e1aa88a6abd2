// The world's guards against bad data and full pools: values read from data are refused with a
// message or clamped, a full flying-note pool skips the next note, and a bomb's blast, which
// never moves, still hits a ship that does not move either.
#include <gtest/gtest.h>

#include "audio/play/song_clock.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/collision/world_collision.h"
#include "world/effects/flying_notes.h"
#include "world/entity/entity_node.h"
#include "world/entity/processor.h"
#include "world/entity/world.h"
#include "world/play/player_state.h"
#include "world/processors/boss_support.h"
#include "world/services/note_list.h"
#include "world/world_step.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace world_test;

namespace {

// The programs outlive the world's teardown, which frees their entities.
class WorldGuards : public WorldTest {
protected:
    DnaWriter m_ship{E_PROGRAM_PLAYER};
    DnaWriter m_enemy;
    DnaWriter m_shield;
};

std::vector<const ClEntity*> s_hitShips;
void recordShipHit(const SContact& contact) {
    s_hitShips.push_back(contact.first->entity);
    s_hitShips.push_back(contact.second->entity);
}

}  // namespace

TEST_F(WorldGuards, BadDataValuesAreClampedOrRefused) {
    // A range with its maximum below its minimum gives the minimum, whatever the draw.
    EXPECT_EQ(std::vector<s32>({bossRandomInRange(5, 2), bossRandomInRange(5, 2), bossRandomInRange(-1, -9)}),
              std::vector<s32>({5, 5, -1}));

    // An atom spawned with no hit points counts whole while it has any left.
    m_enemy.node().mainBody();
    ClEntity* body = spawnActiveEntity(&m_enemy.close().program);
    ClAtom* atom = body->atoms[0];
    std::vector<f32> fractions;
    for (f32 hitPoints : {5.0f, 0.0f, -1.0f}) {
        atom->spawnHitPoints = 0.0f;
        atom->hitPoints = hitPoints;
        fractions.push_back(atomStrengthFraction(atom));
    }
    EXPECT_EQ(fractions, std::vector<f32>({1.0f, 0.0f, 0.0f}));

    // A beat shield whose turret has two atoms stops at its spawn.
    DnaWriter& shield = m_shield;
    shield.node().param("bsh", 1.0f).processor(E_PROC_ENEMY_BEAT_SHIELD);
    shield.node();
    shield.atom(E_ATOM_BODY);
    shield.atom(E_ATOM_BODY);
    shield.close().close();
    EXPECT_NE(test_support::fatalReasonOf([&] { spawnActiveEntity(&shield.program); }).find("needs 3 atoms"),
              std::string::npos);
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
    g_aContactHandlers[E_PROGRAM_PLAYER * CONTACT_KIND_COUNT + E_PROGRAM_ENEMY_SHOT] = recordShipHit;
    s_hitShips.clear();
    m_ship.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody(m_ship.addGeometry(makeRingMesh(6, 3.0f)));
    ClEntity* ship = spawnActiveEntity(&m_ship.close().program);
    ship->setRootPosition(ClVec3(110, 0, 100));
    m_enemy.node().param("exp_rad", 40.0f).param("exp_dmg", 5.0f).processor(E_PROC_EXPLODE_WHEN_I_DIE).mainBody();
    ClEntity* bomb = spawnActiveEntity(&m_enemy.close().program);
    bomb->setRootPosition(ClVec3(100, 0, 100));
    stepWorld();
    // Killed as the kill queue kills it; the blast it leaves is worked off in the next frame.
    bomb->killed = 1;
    bomb->destroy();
    worldStep(nullptr);
    EXPECT_NE(std::find(s_hitShips.begin(), s_hitShips.end(), ship), s_hitShips.end());
    releaseHitEffects();
}
