// The ship's charging gun (charge, release, discharge), missile launcher (reload, launch, range,
// wreck) and sonic weapon (a volley per beat, sized by the beat).
#include "core/game_clock.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/entity/entity_node.h"
#include "world/processors/charging_gun.h"
#include "world/processors/missile_launcher.h"
#include "world/processors/player_ctrl.h"
#include "world/processors/sonic_weapon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

using namespace world_test;

namespace {

class WeaponTest : public Seeded<WorldDrawTest, 7> {
protected:
    void SetUp() override {
        Seeded::SetUp();
        g_iFireTrigger = 0;
        setClockDelta(GAME_CLOCK_GAMEPLAY, 0.25f);
    }
    void barrel(const char* atomName) {
        m_dna.node("BarrelNode").processor(E_PROC_UPDATE_WORLD_FRAMES);
        m_dna.namedAtom(E_ATOM_ATTACH_POINT, atomName, translation(5.0f, 0.0f, 0.0f));
        m_dna.close();
    }
    // The ship at (100, 0, 100) with the weapon on its one child node.
    template <typename T>
    T* spawnWeapon(u32 typeId, s32 ownerTag = OWNER_LIVE_GAME) {
        m_dna.processor(typeId).close().close();
        const bool live = ownerTag == OWNER_LIVE_GAME;
        m_ship = live ? spawnActiveEntity(&m_dna.program) : buildEntity(&m_dna.program, ownerTag);
        if (!live) m_ship->spawnForPreview();
        m_ship->setRootPosition(ClVec3(100.0f, 0.0f, 100.0f));
        return static_cast<T*>(m_ship->root->children[0]->findProcessor(typeId));
    }
    void beginShip() {
        m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody();
        m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES);
    }
    // Full charge in 2 s, discharged in 0.5 s; a full shot does 100.
    ClProcessor_PlayerChargingGun* chargingGun() {
        beginShip();
        m_dna.param("ctrl", 0).bulletBlock("DefBullGen", 13, 500.0f, 0.0f, 100.0f);
        m_dna.param("CHD", 0.5f).param("CHT", 2.0f).param("CHMIN", 0.0f);
        barrel("CGBulAP");
        return spawnWeapon<ClProcessor_PlayerChargingGun>(E_PROC_PLAYER_CHARGING_GUN);
    }
    static std::vector<ClEntity*> shots() { return liveOfKind(E_PROGRAM_PLAYER_SHOT); }
    struct SShotValues {
        f32 damage;
        f32 drawnRadius;
        s32 flag;
    };
    static SShotValues shotValues(const ClEntity* shot) {
        const SParamTable& p = shot->root->params;
        return {p.get("BullDmg")->real, p.get("BullRndRad")->real, p.get("BullFlag")->integer};
    }

    // With `loaded` missiles loaded at once.
    ClProcessor_PlayerMissileLauncher* spawnLauncher(u32 bays, u32 loaded = 0, s32 ownerTag = OWNER_LIVE_GAME) {
        beginShip();
        m_dna.param("ctrl", 0).bulletBlock("DefMissileGen", 17, 500.0f, 0.0f, 30.0f);
        m_dna.param("GunRate", 1.0f).param("GunPel", 1).param("GunPat", 0).mainBody();
        for (u32 k = 0; k < bays; ++k) m_dna.namedAtom(E_ATOM_ATTACH_POINT, "MislBay", translation(0.0f, 0.0f, 3.0f * f32(k)));
        auto* launcher = spawnWeapon<ClProcessor_PlayerMissileLauncher>(E_PROC_PLAYER_MISSILE_LAUNCHER, ownerTag);
        for (u32 k = 0; k < loaded; ++k) launcher->loadMissile();
        return launcher;
    }

    DnaWriter m_dna{E_PROGRAM_PLAYER};
    ClEntity* m_ship = nullptr;
};

TEST_F(WeaponTest, ChargingGunFiresOnReleaseScaledByTheChargeAndCannotChargeWhileDischarging) {
    ClProcessor_PlayerChargingGun* gun = chargingGun();

    gun->onFirePressed();  // a quarter of a second: f = 0.125 x 0.95 + 0.05
    gun->onFireReleased();
    ASSERT_EQ(shots().size(), 1u);
    const auto [damage, drawn, flag] = shotValues(shots()[0]);
    EXPECT_EQ(damage, 16.875f);
    EXPECT_EQ(drawn, 20.1f * 0.16875f);
    EXPECT_EQ(flag, 16);

    gun->onFirePressed();
    // Discharging: the barrel's ball shows it, and nothing charges (so the release fires nothing).
    EXPECT_EQ(gun->shotFor(gun->barrels[0]).bullFlag, 5);
    gun->onFireReleased();

    gun->update();
    gun->update();  // 0.5 s: discharged
    for (int frame = 0; frame < 12; ++frame) gun->onFirePressed();  // 3 s, past the full charge
    gun->onFireReleased();
    std::vector<SShotValues> fired;
    for (ClEntity* shot : shots()) fired.push_back(shotValues(shot));
    std::sort(fired.begin(), fired.end(), [](const SShotValues& a, const SShotValues& b) { return a.damage < b.damage; });
    // A full charge, however long it was held.
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_EQ(fired[1].damage, 100.0f);
    EXPECT_EQ(fired[1].drawnRadius, 20.1f);
    EXPECT_EQ(fired[1].flag, 100);
}

TEST_F(WeaponTest, ChargingGunBarrelThatIsBrokenNeitherChargesNorFires) {
    ClProcessor_PlayerChargingGun* gun = chargingGun();
    gun->onFirePressed();
    gun->barrels[0].ball->buildStamp = 1;  // no mesh at the build step: broken
    gun->barrels[0].ball->geometry = makeRingMesh(3, 1.0f);
    gun->onFirePressed();
    gun->onFireReleased();
    // The charge is kept through the release.
    EXPECT_EQ(shots().size(), size_t(0));
    EXPECT_EQ(gun->barrels[0].charge, 0.25f);
    delete gun->barrels[0].ball->geometry;
    gun->barrels[0].ball->geometry = nullptr;
}

TEST_F(WeaponTest, MissileBaysReloadOneAtATimeAndRideTheShip) {
    ClProcessor_PlayerMissileLauncher* launcher = spawnLauncher(4);
    std::vector<u32> counts;
    for (int frame = 0; frame < 10; ++frame) stepWorld(0.25f), counts.push_back(launcher->loadedCount);
    // The timer restarts at the period once it is below 0.
    EXPECT_EQ(counts, (std::vector<u32>{1, 1, 1, 2, 2, 2, 3, 3, 3, 4}));
    m_ship->setRootPosition(ClVec3(50.0f, 0.0f, 60.0f));
    const ClVec4 at = entityRefGet(launcher->loaded[3].entity)->getWorldPosition();
    EXPECT_EQ(at.x, 50.0f) << "on bay 3";
    EXPECT_EQ(at.y, 0.0f) << "on bay 3";
    EXPECT_EQ(at.z, 69.0f) << "on bay 3";
}

TEST_F(WeaponTest, MissileThirteenBaysLoadTwelveMissiles) {
    ClProcessor_PlayerMissileLauncher* launcher = spawnLauncher(13);
    for (int k = 0; k < 14; ++k) launcher->loadMissile();
    EXPECT_EQ(launcher->loadedCount, 12u);
}

TEST_F(WeaponTest, MissileHeldTriggerLaunchesTheLastLoadedAtItsIntervalAndMissilesDieOutOfRange) {
    ClProcessor_PlayerMissileLauncher* launcher = spawnLauncher(3, 3);
    ClEntity* last = entityRefGet(launcher->loaded[2].entity);
    ClEntity* middle = entityRefGet(launcher->loaded[1].entity);
    launcher->onFirePressed();
    launcher->onFirePressed();  // within 1/15 s
    EXPECT_EQ(launcher->loadedCount, 2u);
    EXPECT_EQ(entityRefGet(launcher->loaded[1].entity), middle);

    // 500 units a second along x from x = 100: beyond 1200 in the ninth quarter second.
    u32 frames = 0;
    while (last->state != E_ENTITY_DESTROYED && frames < 20) {
        setClockDelta(GAME_CLOCK_GAMEPLAY, 0.25f);
        flipFrameBuffers();
        last->update();
        ++frames;
    }
    EXPECT_EQ(frames, 9u);
    EXPECT_EQ(last->root->params.get("BullHit")->integer, 0);
}

TEST_F(WeaponTest, MissileLosingALoadedMissileWrecksTheLauncher) {
    ClProcessor_PlayerMissileLauncher* launcher = spawnLauncher(3, 3);
    ClEntity* first = entityRefGet(launcher->loaded[0].entity);
    ClEntity* third = entityRefGet(launcher->loaded[2].entity);
    entityRefGet(launcher->loaded[1].entity)->destroy();
    // Its body part is gone, the bays still stand.
    EXPECT_EQ(launcher->loadedCount, 0u);
    EXPECT_EQ(first->state, u32(E_ENTITY_DESTROYED));
    EXPECT_EQ(third->state, u32(E_ENTITY_DESTROYED));
    EXPECT_EQ(launcher->node->atoms[0]->active, 0u);
    EXPECT_EQ(launcher->node->anyActive, 1u);
}

TEST_F(WeaponTest, MissilePreviewLoadsEveryBayWaitsFourSecondsThenEmptiesInASalvo) {
    ClProcessor_PlayerMissileLauncher* launcher = spawnLauncher(3, 0, 0);
    std::vector<u32> counts;
    for (int frame = 0; frame < 26; ++frame) {
        launcher->updatePreview();
        counts.push_back(launcher->loadedCount);
    }
    std::vector<u32> expected{1, 1, 1, 2, 2, 2};
    expected.insert(expected.end(), 17, 3u);
    expected.insert(expected.end(), {2u, 1u, 0u});
    EXPECT_EQ(counts, expected);
    EXPECT_EQ(launcher->salvo, 0u);
}

TEST_F(WeaponTest, SonicWeaponFiresOncePerFrameWithABeatSizedByItsStrength) {
    beginShip();
    m_dna.param("BullType", 11).param("SonicL", 1).param("SonicT", 1).param("MaxDmg", 40.0f);
    barrel("NozzleAtom");
    barrel("NozzleAtom");
    auto* sonic = spawnWeapon<ClProcessor_PlayerSonic>(E_PROC_PLAYER_SONIC);
    EXPECT_EQ(liveBeatSubscriptions(), 1u);

    // Strength: drawn radius, collision radius, damage.
    for (auto [strength, drawn, radius, damage] : {std::tuple{6.0f, 67.5f, 16.875f, 40.0f}, {12.0f, 120.0f, 30.0f, 50.0f},
                                                   {2.0f, 15.0f, 3.75f, 30.0f}, {0.5f, 15.0f, 3.75f, 30.0f}}) {
        const size_t before = shots().size();
        ClProcessor_PlayerSonic::onBeat(SBeat{0.0f, 1.0f, 0, 0, {}}, 0, sonic);
        ClProcessor_PlayerSonic::onBeat(SBeat{0.0f, strength, 0, 0, {}}, 1, sonic);
        sonic->update();
        sonic->update();
        ASSERT_EQ(shots().size(), before + 2) << "two beats, two barrels: one volley";
        const SParamTable& p = shots().back()->root->params;
        EXPECT_EQ(p.get("BullRndRad")->real, drawn);
        EXPECT_EQ(p.get("BullRad")->real, radius);
        EXPECT_EQ(p.get("BullDmg")->real, damage);
        EXPECT_EQ(p.get("BullVel")->real, SONIC_BULLET_SPEED);
    }
    EXPECT_FLOAT_EQ(sonic->recoil, 4.0f * 0.97f);
    m_ship->destroy();
    EXPECT_EQ(liveBeatSubscriptions(), 0u);
}

}  // namespace
