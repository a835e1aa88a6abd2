// The ship's control (pointer and pad steering inside the ship's area, the seven trigger
// broadcasts, the scripted move) and its gun (volleys by rate and pattern, pellets, flashes).
#include "core/game_clock.h"
#include "core/saved_options.h"
#include "input/input_channels.h"
#include "input/input_devices.h"
#include "render/draw_lists.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/entity/entity_node.h"
#include "world/processors/player_ctrl.h"
#include "world/processors/player_gun.h"
#include "input/input_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace world_test;

namespace {

// Writes every trigger broadcast it hears as "<index>P" or "<index>R".
class ClTriggerRecorder : public ClProcessor {
public:
    explicit ClTriggerRecorder(std::vector<std::string>* heardList) : heard(heardList) {}
    std::vector<std::string>* heard;
    void onFirePressed() override { heard->push_back(std::to_string(g_iFireTrigger) + "P"); }
    void onFireReleased() override { heard->push_back(std::to_string(g_iFireTrigger) + "R"); }
};

void setChannel(int channel, f32 now, f32 before = 0.0f) {
    SInputChannel* ch = getPlayerChannel(0, channel);
    ch->value[g_uInputFlipIndex] = now;
    ch->value[1 - g_uInputFlipIndex] = before;
}

void setPointer(f32 x, f32 y) {
    g_aRawPadRecords[0][E_RAW_POINTER_X] = x;
    g_aRawPadRecords[0][E_RAW_POINTER_Y] = y;
}

class PlayerCtrlTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        initInput(0, 38);
        setInputSettleFrames(0);
        g_SavedOptions.controllerSensitivity = 5;
        setPointer(0.5f, 0.5f);
        m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_PLAYER_CTRL).mainBody();
        m_dna.node().close().close();
        m_ship = spawnActiveEntity(&m_dna.program, ClVec3(162.5f, 0.0f, 200.0f));
        m_ship->root->children[0]->processors.push(new (std::nothrow) ClTriggerRecorder(&m_heard));
        m_ctrl = findPlayerCtrl(m_ship);
    }
    void TearDown() override {
        WorldTest::TearDown();
        shutdownInput();
        g_SavedOptions = defaultSavedOptions();
    }
    ClVec3 frame() {
        flipFrameBuffers();
        m_heard.clear();
        m_ship->update();
        return positionOf(m_ship);
    }
    ClVec3 frameAt(f32 pointerX, f32 pointerY) {
        setPointer(pointerX, pointerY);
        return frame();
    }

    DnaWriter m_dna{E_PROGRAM_PLAYER};
    ClEntity* m_ship = nullptr;
    ClProcessor_PlayerCtrl* m_ctrl = nullptr;
    std::vector<std::string> m_heard;
};

TEST_F(PlayerCtrlTest, PointerAndStickMoveTheShipWithinItsAreaOnceTheInputHasSettled) {
    setInputSettleFrames(2);
    setChannel(SHIP_CHANNEL_RIGHT, 1.0f);
    EXPECT_FLOAT_EQ(frameAt(0.6f, 0.5f).x, 162.5f) << "still while settling; the sample is taken all the same";
    setInputSettleFrames(0);
    setChannel(SHIP_CHANNEL_RIGHT, 0.0f);
    EXPECT_FLOAT_EQ(frame().x, 162.5f);

    EXPECT_NEAR(frameAt(0.61f, 0.5f).x, 162.5f + 0.01f * 20000.0f / 60.0f, 1e-3f) << "0.01 of the screen is 3.3 units";
    EXPECT_FLOAT_EQ(frameAt(0.61f, 1.0f).z, 269.75f);
    const ClVec3 low = frameAt(0.0f, 0.0f);
    const ClVec3 high = frameAt(1.0f, 1.0f);
    EXPECT_EQ(low.x, 0.0f);
    EXPECT_EQ(low.z, 25.0f);
    EXPECT_EQ(high.x, 325.0f);
    EXPECT_EQ(high.z, 269.75f);

    setChannel(SHIP_CHANNEL_LEFT, 0.5f);
    setChannel(SHIP_CHANNEL_UP, 0.1f);
    const ClVec3 at = frame();
    EXPECT_NEAR(at.x, 325.0f - 0.5f * 270.0f / 60.0f, 1e-4f) << "across in proportion to the stick";
    EXPECT_FLOAT_EQ(at.z, 269.75f) << "0.1 is not held";
    setChannel(SHIP_CHANNEL_UP, 1.0f);
    g_SavedOptions.controllerSensitivity = 10;
    EXPECT_NEAR(frame().z, 269.75f - 2.0f * 270.0f / 60.0f, 1e-4f);
}

TEST_F(PlayerCtrlTest, SevenTriggersGoOutEveryFrameAndAScriptedMoveSilencesThem) {
    const std::vector<std::string> fire2Latched = {"0R", "1P", "2R", "3R", "4P", "5R", "6P"};
    setChannel(SHIP_CHANNEL_FIRE_FIRST + 1, 1.0f);  // fire 2 pressed this frame
    frame();
    EXPECT_EQ(m_heard, fire2Latched);
    setChannel(SHIP_CHANNEL_FIRE_FIRST + 1, 1.0f, 1.0f);  // held on: the latch stays
    frame();
    EXPECT_EQ(m_heard, fire2Latched);

    m_ctrl->startScriptedMove(ClVec3(100.0f, 0.0f, 100.0f), 2.0f);
    ClVec3 at;
    for (int i = 0; i < 60; ++i) at = frame();
    EXPECT_TRUE(m_heard.empty());
    EXPECT_NEAR(at.x, 131.25f, 1e-3f) << "halfway after a second";
    for (int i = 0; i < 70; ++i) at = frame();
    EXPECT_EQ(at.x, 100.0f);
    EXPECT_EQ(at.z, 100.0f);
    m_ctrl->scriptedMove = 0;
    frame();
    EXPECT_EQ(m_heard.size(), FIRE_TRIGGER_COUNT);
}

class PlayerGunTest : public Seeded<WorldDrawTest, 5> {
protected:
    void SetUp() override {
        Seeded::SetUp();
        g_iFireTrigger = FIRE_TRIGGER_ALWAYS;
    }
    // A ship at (100, 0, 100) whose gun (trigger 6, 10 volleys a second) has barrels with their
    // nozzles 10 units apart in x.
    ClProcessor_PlayerGun* buildShip(s32 pellets, s32 pattern, u32 barrelCount, f32 speed, f32 spread) {
        m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody();
        m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).param("ctrl", 6).param("GunRate", 10.0f);
        m_dna.param("GunPel", pellets).param("GunPat", pattern).bulletBlock("DefBullGen", 2, speed, spread, 10.0f);
        m_dna.processor(E_PROC_PLAYER_GUN);
        for (u32 k = 0; k < barrelCount; ++k) {
            m_dna.node("BarrelNode").processor(E_PROC_UPDATE_WORLD_FRAMES);
            m_dna.namedAtom(E_ATOM_ATTACH_POINT, "NozzleAtom", translation(10.0f * f32(k), 0.0f, 0.0f));
            m_dna.close();
        }
        m_dna.close().close();
        ClEntity* ship = spawnActiveEntity(&m_dna.program, ClVec3(100.0f, 0.0f, 100.0f));
        return static_cast<ClProcessor_PlayerGun*>(ship->root->children[0]->findProcessor(E_PROC_PLAYER_GUN));
    }
    static std::vector<ClEntity*> bullets() { return liveOfKind(E_PROGRAM_PLAYER_SHOT); }

    DnaWriter m_dna{E_PROGRAM_PLAYER};
};

TEST_F(PlayerGunTest, ALongFrameFiresEveryVolleyDueInItWithItsFlashesAndSpeeds) {
    ClProcessor_PlayerGun* gun = buildShip(5, 0, 1, 100.0f, 0.2f);
    setClockDelta(GAME_CLOCK_GAMEPLAY, 0.35f);
    gun->update();
    g_iFireTrigger = 2;
    gun->onFirePressed();
    EXPECT_TRUE(bullets().empty()) << "not the gun's trigger";

    g_iFireTrigger = 6;
    gun->onFirePressed();
    const std::vector<ClEntity*> fired = bullets();
    ASSERT_EQ(fired.size(), 15u) << "0.25 s overdue at 0.1 s +- 10 %: three volleys of five";
    EXPECT_EQ(producerCounts().sprites, 6u) << "two flash sprites a volley";
    std::vector<f32> speeds;
    for (ClEntity* bullet : fired) speeds.push_back(bullet->root->params.get("BullVel")->real);
    const auto [low, high] = std::minmax_element(speeds.begin(), speeds.end());
    EXPECT_GE(*low, 80.0f) << "each pellet draws its own speed within 20 %";
    EXPECT_LE(*high, 120.0f) << "each pellet draws its own speed within 20 %";
    EXPECT_LT(*low, *high) << "each pellet draws its own speed within 20 %";
    EXPECT_FLOAT_EQ(gun->barrels[0].recoil, BARREL_RECOIL);
}

TEST_F(PlayerGunTest, BarrelsTakingTurnsFireOneAVolleyInOrder) {
    ClProcessor_PlayerGun* gun = buildShip(2, 1, 3, 0.0f, 0.0f);
    std::vector<f32> volleyX;
    for (int volley = 0; volley < 4; ++volley) {
        gun->volleyTimer = 0.0f;
        gun->onFirePressed();
        ASSERT_EQ(bullets().size(), size_t(2 * (volley + 1)));
        volleyX.push_back(bullets().back()->getWorldPosition().x);
    }
    EXPECT_EQ(volleyX, (std::vector<f32>{100.0f, 110.0f, 120.0f, 100.0f}));
}

}  // namespace
