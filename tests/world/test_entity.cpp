// The entity pool, its lists and lifecycle, the tree walks and the world's teardown.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/crit_section_pool.h"
#include "core/global_objects.h"
#include "core/owner_blocks.h"
#include "render/scene_inputs.h"
#include "world/atoms/atom.h"
#include "world/entity/entity_node.h"
#include "world/entity/entity_ref.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"
#include "world/services/world_imports.h"
#include "tests/world/world_test_support.h"

#include <cstring>

using ::testing::HasSubstr;
using test_support::fatalReasonOf;
using world_test::DnaWriter;

namespace {

class EntityLifecycle : public world_test::WorldTest {
protected:
    void SetUp() override {
        world_test::WorldTest::SetUp();
        m_enemy.node("hull").mainBody();
        m_enemy.node("arm").atom(E_ATOM_ATTACH_POINT);
        m_enemy.close().close();
    }
    DnaWriter m_enemy;
};

TEST_F(EntityLifecycle, ShotsAreFreedAtTheEndOfTheFrameTheyAreDestroyedIn) {
    DnaWriter shot(E_PROGRAM_PLAYER_SHOT);
    shot.node().close();
    ClEntity* bullet = world_test::spawnActiveEntity(&shot.program);
    world_test::spawnActiveEntity(&m_enemy.program);
    bullet->destroy();
    queueEntityForFreeing(bullet);  // already queued: nothing more
    EXPECT_EQ(entityListCount(E_LIST_FREE_QUEUE), 1u);
    world_test::stepWorld();
    EXPECT_EQ(usedEntityCount(), 1u);
    EXPECT_EQ(entityListCount(E_LIST_LIVE), 1u);
}

TEST_F(EntityLifecycle, DestroyingASpawnedOnlyOrTwiceDestroyedEntityStopsAtTheFlush) {
    for (bool spawnedOnly : {true, false}) {
        ClEntity* entity = spawnedOnly ? world_test::buildEntity(&m_enemy.program)
                                       : world_test::spawnActiveEntity(&m_enemy.program);
        if (spawnedOnly) entity->spawn();
        entity->destroy();
        if (!spawnedOnly) entity->destroy();
        EXPECT_THAT(fatalReasonOf([] { flushDestroyedEntities(); }), HasSubstr("not in the activated list"));
        unlockWorld();  // the flush stopped while holding the lock
        freeEntity(entity);
    }
    EXPECT_EQ(entityListCount(E_LIST_DESTROYED), 0u);
}

TEST_F(EntityLifecycle, OnlyActiveEnemiesInsideTheArenaWeighIn) {
    m_enemy.program.weight = 30;
    DnaWriter shot(E_PROGRAM_ENEMY_SHOT);
    shot.node().close();
    shot.program.weight = 1000;
    const f32 places[4][2] = {{10, 10}, {325, 269.75f}, {326, 10}, {10, 269.7501f}};
    for (const auto& place : places)
        world_test::spawnActiveEntity(&m_enemy.program, ClVec3(place[0], 0, place[1]));
    world_test::spawnActiveEntity(&shot.program, ClVec3(10, 0, 10));
    world_test::buildEntity(&m_enemy.program)->spawn();  // not active yet
    EXPECT_EQ(sumActiveEnemyWeight(), 60.0f);
}

TEST_F(EntityLifecycle, OwnerTagsFreePreviewsAndNameTheirRenderTargets) {
    ClEntity* shown = world_test::buildEntity(&m_enemy.program, 3);
    shown->spawnForPreview();
    world_test::buildEntity(&m_enemy.program, 3);
    ClEntity* other = world_test::buildEntity(&m_enemy.program, 5);
    EXPECT_EQ(entityListCount(E_LIST_PREVIEW), 1u);
    freeEntitiesByOwner(3);
    EXPECT_EQ(usedEntityCount(), 1u);
    EXPECT_EQ(entityListCount(E_LIST_PREVIEW), 0u);
    EXPECT_EQ(other->ownerTag, 5);

    setPreviewSlotGroup(7, nullptr);
    EXPECT_EQ(getPreviewRenderTarget(OWNER_LIVE_GAME), nullptr);
    auto* target = getPreviewRenderTarget(7);
    EXPECT_EQ(target, previewSlot(7).group);
    EXPECT_EQ(previewSlot(7).active, 1u);
    EXPECT_THAT(fatalReasonOf([] { getPreviewRenderTarget(8); }), HasSubstr("owner tag 8"));
    EXPECT_THAT(fatalReasonOf([] { getPreviewRenderTarget(-2); }), HasSubstr("owner tag -2"));
}

TEST_F(EntityLifecycle, TheShipAsksForTheRepairTipWhenItsGraceEndsBroken) {
    static std::vector<std::string> tips;
    tips.clear();
    SWorldImports imports;
    imports.queueMegaTip = [](const char* name) { tips.push_back(name); };
    setWorldImports(&imports);
    DnaWriter ship(E_PROGRAM_PLAYER);
    ClEntity* entity = world_test::spawnShip(ship, ClVec3(100, 0, 100));
    entity->atoms[0]->deactivate(1);
    entity->timer = 0.025f;
    world_test::stepWorld();
    EXPECT_TRUE(tips.empty());
    world_test::stepWorld();
    world_test::stepWorld();
    EXPECT_EQ(tips, (std::vector<std::string>{"MegaTip_Repair"}));
    EXPECT_EQ(entity->timer, 0.0f);
    EXPECT_EQ(entity->focusAtomIndex, 0);
    setWorldImports(nullptr);
}

TEST_F(EntityLifecycle, AtomsCutOffFromEveryMainAtomBreakUpAndAQuietlyExplodedTreeKeepsNoFlagsNorBounds) {
    DnaWriter dna;
    const u32 main = dna.node().mainBody();
    dna.node("wing", world_test::translation(0, 30, 0)).atom(E_ATOM_ATTACH_POINT);
    dna.program.emitPairWithAtom(main);
    dna.close().node("loose").atom(E_ATOM_ATTACH_POINT);
    dna.close().close();
    ClEntity* entity = world_test::spawnActiveEntity(&dna.program);
    ClEntityNode* wing = entity->root->children[0];
    wing->setWorldMatrix(world_test::translation(0, 30, 0));
    wing->atoms[0]->setWorldMatrix(world_test::translation(0, 30, 0));
    entity->propagateVisit();
    EXPECT_EQ(entity->atoms[1]->active, 1u);
    EXPECT_EQ(entity->atoms[2]->active, 0u);

    entity->atoms[0]->deactivate(1);  // the wing is cut off now
    entity->propagateVisit();
    EXPECT_EQ(entity->atoms[1]->active, 0u);

    entity->root->resetAtoms();
    explodeAllAtoms(entity->root, 1);
    EXPECT_EQ(entity->root->anyActive, 0u);
    EXPECT_EQ(wing->anyActive, 0u);
    EXPECT_EQ(entity->root->updateAliveFlags(), 0u);
    entity->root->computeBounds();
    EXPECT_EQ(entity->root->bounds[g_uFrameCurrent].kind, u32(E_BOUNDS_UNBOUNDED));
    EXPECT_EQ(entity->root->sweptBox.kind, u32(E_BOUNDS_UNBOUNDED));
}

TEST_F(EntityLifecycle, FacingKeepsItsRowsOrthonormalAndIgnoresAZeroDirection) {
    ClVec3 rows[3];
    ASSERT_TRUE(buildFrameFromDirection(ClVec3(0, 0, 2), ClVec3(0, 0, 1), rows));
    EXPECT_EQ(rows[0].z, 1.0f);
    EXPECT_NEAR(rows[1].length(), 1.0f, 5e-6f);
    EXPECT_NEAR(rows[2].length(), 1.0f, 5e-6f);
    EXPECT_NEAR(rows[1].dot(rows[0]), 0.0f, 5e-6f);
    EXPECT_NEAR(rows[2].dot(rows[0]), 0.0f, 5e-6f);
    EXPECT_NEAR(rows[1].dot(rows[2]), 0.0f, 5e-6f);
    EXPECT_FALSE(buildFrameFromDirection(ClVec3(), ClVec3(0, 1, 0), rows));

    ClEntity* entity = world_test::spawnActiveEntity(&m_enemy.program, ClVec3(5, 6, 7));
    entity->setFacing(ClVec3(1, 0, 0), ClVec3(0, 1, 0));
    const ClMatrix44 facing = entity->root->currentWorldMatrix();
    entity->setFacing(ClVec3(), ClVec3(0, 1, 0));
    EXPECT_EQ(std::memcmp(facing.m, entity->root->currentWorldMatrix().m, sizeof(facing.m)), 0);
}

// The record that built the item is built again while the item lives on in another entity: the
// new tree must not be carved over the item.
TEST_F(EntityLifecycle, AGraftedItemMovesWithItsAtomsAndKeepsItsBlocksWhenItsFirstRecordIsBuiltAgain) {
    // A ship whose hull carries an item: a body named "AnchorCL" paired with the hull, with a barrel.
    DnaWriter ship(E_PROGRAM_PLAYER);
    const s32 mesh = ship.addGeometry(world_test::makeRingMesh(4, 1.0f));
    const u32 hull = ship.node().mainBody(mesh);
    ship.node("item").atom(E_ATOM_BODY, mesh);
    ship.program.emitNameAtom("AnchorCL");
    ship.program.emitPairWithAtom(hull);
    ship.node("barrel").atom(E_ATOM_ATTACH_POINT);
    ship.close().close().close();
    ClEntity* from = world_test::buildEntity(&ship.program);
    ClEntity* to = world_test::buildEntity(&m_enemy.program);
    ClEntityNode* item = from->root->children[0];
    ClAtom* anchor = item->atoms[0];
    EXPECT_EQ(from->root->findAtomByName("AnchorCL"), anchor) << "past the root's own hull";
    const u32 record = entityRecordNumber(from);
    if (ownerBlocksReserved()) {
        ASSERT_EQ(ownerOfBlock(item), s32(record));
    }
    item->graftOnto(to->root);

    EXPECT_EQ(to->root->children[1], item);
    EXPECT_EQ(item->children[0]->entity, to);
    // Unlinked from the old parent's hull; registered with the new parent, whose atoms had no links.
    EXPECT_EQ(from->root->children.count, 0u);
    EXPECT_EQ(anchor->linkedAtoms.count, 0u);
    EXPECT_EQ(from->atoms[0]->linkedAtoms.count, 0u);
    EXPECT_EQ(from->atoms.count, 1u);
    EXPECT_EQ(to->atoms.count, 4u);
    EXPECT_EQ(anchor->ownsGeometry, 1u);
    EXPECT_EQ(to->registeredAtoms[1], anchor);
    EXPECT_NE(anchor->geometry, ship.program.geometries[0]);

    freeEntity(from);
    ClEntity* again = world_test::buildEntity(&ship.program);
    ASSERT_EQ(entityRecordNumber(again), record);
    EXPECT_EQ(item->parent, to->root);
    EXPECT_EQ(item->entity, to);
    EXPECT_EQ(item->atoms.count, 1u);
    EXPECT_EQ(item->atoms[0], anchor);
    EXPECT_EQ(anchor->entity, to) << "after the rebuild";
    EXPECT_EQ(again->root->children[0]->parent, again->root);
}

TEST_F(EntityLifecycle, AnExhaustedPoolStops) {
    for (u32 i = 0; i < ENTITY_CAPACITY; ++i) allocEntity(OWNER_LIVE_GAME);
    EXPECT_THAT(fatalReasonOf([] { allocEntity(OWNER_LIVE_GAME); }), HasSubstr("entity pool is exhausted"));
    unlockWorld();
}

// A gun's held bullet, a loaded missile or a note's target is kept as a reference; once the
// record is released the reference is empty (the record's next use is each holder's own test).
TEST_F(EntityLifecycle, AReferenceToAReleasedRecordIsEmpty) {
    ClEntity* entity = world_test::spawnActiveEntity(&m_enemy.program);
    const SEntityRef held = makeEntityRef(entity);
    ASSERT_EQ(entityRefGet(held), entity);
    entity->destroy();
    world_test::stepWorld();
    freeEntity(entity);
    EXPECT_EQ(entityRefGet(held), nullptr);
}

#if defined(__SANITIZE_ADDRESS__)
TEST(EntityPoolDeathTest, AFreedRecordCannotBeReadThroughAStalePointer) {
    EXPECT_DEATH(
        {
            critSectionPoolInit();
            initWorld();
            ClEntity* entity = allocEntity(OWNER_LIVE_GAME);
            freeEntity(entity);
            volatile u32 state = entity->state;
            (void)state;
        },
        "use-after-poison");
}
#endif

}  // namespace
