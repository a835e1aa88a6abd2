// The corruption level and its backdrop, the beams that mark enemies on the beat, and the notes
// that fly from the equaliser to the ship and mend it, from a pool that skips notes when full.
#include <gtest/gtest.h>

#include "audio/analysis/spectrum_analysis.h"
#include "audio/play/song_clock.h"
#include "render/draw_lists.h"
#include "render/render_worker.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/effects/corruption.h"
#include "world/effects/enemy_beams.h"
#include "world/effects/equaliser_cell.h"
#include "world/effects/equaliser_state.h"
#include "world/effects/flying_notes.h"
#include "world/entity/world.h"
#include "world/services/note_list.h"

namespace {

using world_test::DnaWriter;

class Corruption : public world_test::Seeded<WorldDrawTest, 7> {
protected:
    void SetUp() override {
        Seeded::SetUp();
        g_fGuardianLevel = 0.0f;
        m_enemy.node().mainBody();
        m_enemy.close();
    }
    void TearDown() override {
        resetFlyingNotes();
        releaseNoteList();
        Seeded::TearDown();
    }
    ClEntity* enemyAt(f32 x, f32 z) {
        return world_test::spawnActiveEntity(&m_enemy.program, ClVec3(x, 0, z));
    }
    // The ship at (160, 0, 240) with its hull broken, and the note of frame 10 launched at it; the
    // note of frame 400 waits.
    ClEntity* launchNoteAtBrokenShip() {
        m_ship.node().mainBody(m_ship.addGeometry(world_test::makeRingMesh(3, 1.0f)));
        ClEntity* ship = world_test::spawnActiveEntity(&m_ship.close().program, ClVec3(160, 0, 240));
        ship->atoms[0]->deactivate(1);
        ship->findFirstBrokenAtom();
        setPlayerShip(0, ship);
        launchNotes({{10, nullptr, 2, 5, {}}, {400, nullptr, 0, 0, {}}});
        return ship;
    }
    // The note list of the entries, the flying notes set up and their first update, at frame 0.
    static void launchNotes(const std::vector<SNoteListEntry>& notes) {
        resetNoteList();
        for (const SNoteListEntry& note : notes) appendNoteListEntry(note);
        initFlyingNotes();
        g_iSpectrumFrame = 0;
        updateFlyingNotes();
    }
    // The notes in flight draw one quad each, centred on the note.
    static u32 notesInFlight() {
        const u32 half = 1u - renderFlipIndex();
        clearDrawListHalf(half);
        drawFlyingNotes();
        return drawListCounts(half).quads;
    }
    DnaWriter m_enemy;
    DnaWriter m_ship{E_PROGRAM_PLAYER};  // outlives the ship, which the world frees at tear-down
};

TEST_F(Corruption, TheLevelFallsWithNoEnemyRisesAtMost140AndDropsOnAKill) {
    g_fGuardianLevel = 100.0f;
    drawGuardianBackground(0.25f);
    EXPECT_EQ(g_fGuardianLevel, 50.0f);
    drawGuardianBackground(1.0f);
    EXPECT_EQ(g_fGuardianLevel, 0.0f);
    EXPECT_EQ(g_fGuardianRise, 0.0f);

    m_enemy.program.weight = 2000;
    ClEntity* enemy = enemyAt(100, 100);
    drawGuardianBackground(0.5f);
    EXPECT_EQ(g_fGuardianLevel, 70.0f);
    EXPECT_EQ(g_fGuardianRise, 1.0f);
    m_enemy.program.weight = 10;
    enemy->kill();
    EXPECT_EQ(g_fGuardianLevel, 10.0f);
}

TEST_F(Corruption, TheBackdropShowsOnlyAbove500AndReachesHalfAlpha) {
    EXPECT_EQ(guardianBackdropAlpha(500.0f), 0u);
    EXPECT_EQ(guardianBackdropAlpha(750.0f), 64u);
    EXPECT_EQ(guardianBackdropAlpha(1000.0f), 128u);
}

TEST_F(Corruption, ABeatMarksOnlyTheFirstSixEligibleEnemies) {
    std::vector<ClEntity*> enemies = {enemyAt(400, 100)};  // outside the play area
    for (int i = 0; i < 10; ++i) enemies.push_back(enemyAt(20.0f + 25.0f * f32(i), 100));
    rollBeamsOnBeat();
    EXPECT_EQ(enemies[0]->beams.beams.count, 0u) << "outside the play area";
    for (u32 i = 1; i < enemies.size(); ++i) EXPECT_EQ(enemies[i]->beams.beams.count, i <= 6 ? 6u : 0u) << "enemy " << i;
    const SEnemyBeam& beam = enemies[1]->beams.beams[0];
    EXPECT_GE(beam.colour >> 24, 20u);
    EXPECT_LE(beam.colour >> 24, 31u);
    EXPECT_EQ(beam.segment.length, 150.0f);
}

TEST_F(Corruption, ANoteFliesUpToTheShipAndMendsItAndADestroyedShipGetsNone) {
    ClEntity* ship = launchNoteAtBrokenShip();
    ASSERT_EQ(notesInFlight(), 1u);
    // The first update moves the note from its cell at the launch speed.
    ClVec3 cell, centre;
    getEqCellPosition(&cell, 5, 2, spectrumAnalysis().header.bandCount);
    for (const ClVec4& corner : drawListQuads(1u - renderFlipIndex())[0].corners)
        centre += scaleVec3(ClVec3(corner.x, corner.y, corner.z), 0.25f);
    EXPECT_NEAR((centre - cell).length(), FLYING_NOTE_LAUNCH_SPEED * FLYING_NOTE_STEP, 1e-4f);
    EXPECT_EQ(g_NoteList.cursor, 1);
    u32 updates = 1;
    for (; notesInFlight() != 0 && updates < 600; ++updates) updateFlyingNotes();
    EXPECT_LT(updates, 600);
    EXPECT_TRUE(ship->atoms[0]->atomIsAlive());
    EXPECT_TRUE(ship->atoms[0]->active) << "shown and hit again";
    EXPECT_EQ(ship->noBrokenAtom, 1u);

    ship->destroy();
    g_iSpectrumFrame = 100;
    updateFlyingNotes();
    EXPECT_EQ(g_NoteList.cursor, 2);
    EXPECT_EQ(notesInFlight(), 0u);
}

TEST_F(Corruption, AFullFlyingNotePoolSkipsTheNextNote) {
    world_test::spawnShip(m_ship, ClVec3(160, 0, 2000));
    launchNotes(std::vector<SNoteListEntry>(FLYING_NOTE_CAPACITY + 1, SNoteListEntry{}));
    EXPECT_EQ(g_NoteList.cursor, s32(FLYING_NOTE_CAPACITY + 1));
}

// The ship's record is released while a note flies to it and handed out again to another entity:
// the note forgets its target, steers to nothing and mends nothing on arrival.
TEST_F(Corruption, ANoteForgetsATargetWhoseRecordWasReleasedAndTakenAgain) {
    ClEntity* ship = launchNoteAtBrokenShip();
    ASSERT_EQ(notesInFlight(), 1u);

    setPlayerShip(0, nullptr);
    freeEntity(ship);
    ClEntity* successor = world_test::spawnActiveEntity(&m_ship.program, ClVec3(160, 0, 240));
    ASSERT_EQ(successor, ship);  // the same record, in its next use
    successor->atoms[0]->deactivate(1);
    successor->findFirstBrokenAtom();
    updateFlyingNotes();
    ASSERT_EQ(notesInFlight(), 1u);
    for (u32 updates = 0; notesInFlight() != 0 && updates < 600; ++updates) updateFlyingNotes();
    EXPECT_EQ(notesInFlight(), 0u);
    EXPECT_FALSE(successor->atoms[0]->atomIsAlive());
}

}  // namespace
