// The ship's control (pointer and pad steering inside the ship's area, the seven trigger
// broadcasts, the scripted move) and its gun (volleys by rate and pattern, pellets, flashes).
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/random.h"
#include "core/saved_options.h"
#include "input/input_channels.h"
#include "input/input_devices.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "render/render_worker.h"
#include "render/shader.h"
#include "render/texture.h"
#include "tests/render/render_data_support.h"
#include "tests/support/fatal_catch.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/bullet_generators.h"
#include "world/play/play_record.h"
#include "world/processors/player_ctrl.h"
#include "world/processors/player_gun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr f32 STEP = 1.0f / 60.0f;

// Writes every trigger broadcast it hears as "<index>P" or "<index>R".
class ClTriggerRecorder : public ClProcessor {
public:
    std::vector<std::string>* heard = nullptr;
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

class PlayerCtrlTest : public test_support::FatalThrowingTest {
protected:
    void SetUp() override {
        FatalThrowingTest::SetUp();
        initInput(0, 38);
        initWorld();
        setClockDelta(GAME_CLOCK_GAMEPLAY, STEP);
        g_iInputSettleFrames = 0;
        g_SavedOptions.controllerSensitivity = 5;
        g_SavedOptions.latchedFire = 0;
        setPointer(0.5f, 0.5f);
        m_program.init();
        m_program.kind = E_PROGRAM_PLAYER;
        m_program.emitNewNode(ClMatrix44());
        m_program.emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        m_program.emitAddProcessor(E_PROC_PLAYER_CTRL);
        m_program.emitNewAtom(E_ATOM_ATTACH_POINT, -1, ClMatrix44(), 0);
        m_program.emitRegisterAtom();
        m_program.emitNewNode(ClMatrix44());
        m_program.emitCloseNode();
        m_program.emitCloseNode();
        m_ship = allocEntity(OWNER_LIVE_GAME);
        m_ship->buildFromDNA(&m_program);
        auto* recorder = new ClTriggerRecorder();
        recorder->heard = &m_heard;
        m_ship->root->children[0]->processors.push(recorder);
        m_ship->spawn();
        m_ship->activate();
        m_ship->setRootPosition(ClVec3(162.5f, 0.0f, 200.0f));
        m_ctrl = findPlayerCtrl(m_ship);
    }
    void TearDown() override {
        shutdownWorld();
        m_program.release();
        shutdownInput();
        g_SavedOptions = defaultSavedOptions();
        FatalThrowingTest::TearDown();
    }
    ClVec3 frame() {
        flipFrameBuffers();
        m_heard.clear();
        m_ship->update();
        const ClVec4 at = m_ship->getWorldPosition();
        return ClVec3(at.x, at.y, at.z);
    }

    ClDNAProgram m_program;
    ClEntity* m_ship = nullptr;
    ClProcessor_PlayerCtrl* m_ctrl = nullptr;
    std::vector<std::string> m_heard;
};

TEST_F(PlayerCtrlTest, ThePointerMovesTheShipWithinItsAreaOnceTheInputHasSettled) {
    ASSERT_NE(m_ctrl, nullptr);
    g_iInputSettleFrames = 2;
    setPointer(0.6f, 0.5f);
    EXPECT_FLOAT_EQ(frame().x, 162.5f) << "still while settling; the sample is taken all the same";
    g_iInputSettleFrames = 0;
    EXPECT_FLOAT_EQ(frame().x, 162.5f);

    setPointer(0.61f, 0.5f);
    EXPECT_NEAR(frame().x, 162.5f + 0.01f * 20000.0f / 60.0f, 1e-3f) << "0.01 of the screen is 3.3 units";
    setPointer(0.61f, 1.0f);
    EXPECT_FLOAT_EQ(frame().z, 269.75f);
    setPointer(0.0f, 0.0f);
    const ClVec3 corner = frame();
    EXPECT_EQ(std::make_pair(corner.x, corner.z), std::make_pair(0.0f, 25.0f));
    setPointer(1.0f, 1.0f);
    const ClVec3 opposite = frame();
    EXPECT_EQ(std::make_pair(opposite.x, opposite.z), std::make_pair(325.0f, 269.75f));
}

TEST_F(PlayerCtrlTest, TheStickMovesAcrossInProportionAndUpOrDownOnlyWhenHeld) {
    setChannel(SHIP_CHANNEL_RIGHT, 0.5f);
    setChannel(SHIP_CHANNEL_UP, 0.1f);
    ClVec3 at = frame();
    EXPECT_NEAR(at.x, 162.5f + 0.5f * 270.0f / 60.0f, 1e-4f);
    EXPECT_FLOAT_EQ(at.z, 200.0f) << "0.1 is not held";
    setChannel(SHIP_CHANNEL_RIGHT, 0.0f);
    setChannel(SHIP_CHANNEL_UP, 1.0f);
    g_SavedOptions.controllerSensitivity = 10;
    at = frame();
    EXPECT_NEAR(at.z, 200.0f - 2.0f * 270.0f / 60.0f, 1e-4f);
}

TEST_F(PlayerCtrlTest, SevenTriggersGoOutEveryFrameAndAScriptedMoveSilencesThem) {
    setChannel(SHIP_CHANNEL_FIRE_FIRST + 1, 1.0f);  // fire 2 pressed this frame
    frame();
    EXPECT_EQ(m_heard, (std::vector<std::string>{"0R", "1P", "2R", "3R", "4P", "5R", "6P"}));
    setChannel(SHIP_CHANNEL_FIRE_FIRST + 1, 1.0f, 1.0f);  // still held: the latch stays
    frame();
    EXPECT_EQ(m_heard, (std::vector<std::string>{"0R", "1P", "2R", "3R", "4P", "5R", "6P"}));

    m_ctrl->startScriptedMove(ClVec3(100.0f, 0.0f, 100.0f), 2.0f);
    ClVec3 at;
    for (int i = 0; i < 60; ++i) at = frame();
    EXPECT_TRUE(m_heard.empty());
    EXPECT_NEAR(at.x, 131.25f, 1e-3f) << "halfway after a second";
    for (int i = 0; i < 70; ++i) at = frame();
    EXPECT_EQ(std::make_pair(at.x, at.z), std::make_pair(100.0f, 100.0f));
    m_ctrl->scriptedMove = 0;
    frame();
    EXPECT_EQ(m_heard.size(), FIRE_TRIGGER_COUNT);
}

// --- the gun --------------------------------------------------------------------------------------

constexpr u32 PRODUCER_HALF = 1;

struct SGunSetup {
    s32 ctrl = 6;
    f32 rate = 10.0f;
    s32 pellets = 1;
    s32 pattern = 0;
    u32 barrels = 1;
    f32 speed = 0.0f;
    f32 speedSpread = 0.0f;
};

class PlayerGunTest : public BuiltDataTest {
protected:
    void SetUp() override {
        BuiltDataTest::SetUp();
        setFatalErrorHook(test_support::throwOnFatal);
        ASSERT_TRUE(startDevice(E_GFX_BACKEND_NULL));
        initShaderRegistry();
        initTextureTable();
        initMaterialPools();
        resetRenderFlipIndex();
        clearDrawListHalf(PRODUCER_HALF);
        initWorld();
        registerBulletGenerators();
        resetPlayRecord();
        sfmtInitGenRand(5);
        setClockDelta(GAME_CLOCK_GAMEPLAY, STEP);
    }
    void TearDown() override {
        shutdownWorld();
        unregisterBulletGenerators();
        m_program.release();
        clearDrawListHalf(PRODUCER_HALF);
        releaseAllMaterials();
        destroyAllTextures();
        releaseShaderRegistry();
        setFatalErrorHook(nullptr);
        BuiltDataTest::TearDown();
    }
    // A ship at (100, 0, 100) with one gun node whose barrels' nozzles sit 10 units apart in x.
    ClProcessor_PlayerGun* buildShip(const SGunSetup& s) {
        m_program.init();
        m_program.kind = E_PROGRAM_PLAYER;
        m_program.emitNewNode(ClMatrix44());
        m_program.emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        m_program.emitNewAtom(E_ATOM_ATTACH_POINT, -1, ClMatrix44(), 0);
        m_program.emitRegisterAtom();
        m_program.emitNewNode(ClMatrix44());
        m_program.emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        m_program.emitParamInt("ctrl", s.ctrl);
        m_program.emitParamFloat("GunRate", s.rate);
        m_program.emitParamInt("GunPel", s.pellets);
        m_program.emitParamInt("GunPat", s.pattern);
        m_program.emitParamInt("MyBullGen", s32(crc32TextNoCase("DefBullGen")));
        m_program.emitParamInt("BullType", 2);
        m_program.emitParamInt("BullLev", 0);
        m_program.emitParamFloat("BullRad", 2.0f);
        m_program.emitParamFloat("BullRndRad", 2.0f);
        m_program.emitParamFloat("BullDmg", 10.0f);
        m_program.emitParamFloat("BullVel", s.speed);
        m_program.emitParamFloat("BullVelVar", s.speedSpread);
        m_program.emitParamInt("BullCol", -1);
        m_program.emitParamInt("BullFlag", 0);
        m_program.emitAddProcessor(E_PROC_PLAYER_GUN);
        for (u32 k = 0; k < s.barrels; ++k) {
            m_program.emitNewNode(ClMatrix44());
            m_program.emitNameNode("BarrelNode");
            m_program.emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
            ClMatrix44 offset;
            offset.setTranslationXYZ(10.0f * f32(k), 0.0f, 0.0f);
            m_program.emitNewAtom(E_ATOM_ATTACH_POINT, -1, offset, 0);
            m_program.emitNameAtom("NozzleAtom");
            m_program.emitCloseNode();
        }
        m_program.emitCloseNode();
        m_program.emitCloseNode();
        m_ship = allocEntity(OWNER_LIVE_GAME);
        m_ship->buildFromDNA(&m_program);
        m_ship->spawn();
        m_ship->activate();
        m_ship->setRootPosition(ClVec3(100.0f, 0.0f, 100.0f));
        return static_cast<ClProcessor_PlayerGun*>(m_ship->root->children[0]->findProcessor(E_PROC_PLAYER_GUN));
    }
    // The bullets alive now, in spawn order.
    static std::vector<ClEntity*> bullets() {
        std::vector<ClEntity*> out;
        for (u32 i = 0; i < entityListCount(E_LIST_LIVE); ++i)
            if (entityListAt(E_LIST_LIVE, i)->program->kind == E_PROGRAM_PLAYER_SHOT) out.push_back(entityListAt(E_LIST_LIVE, i));
        return out;
    }

    ClDNAProgram m_program;
    ClEntity* m_ship = nullptr;
};

TEST_F(PlayerGunTest, ALongFrameFiresEveryVolleyDueInItWithItsFlashesAndSpeeds) {
    ClProcessor_PlayerGun* gun = buildShip({.pellets = 5, .speed = 100.0f, .speedSpread = 0.2f});
    g_iFireTrigger = 2;
    setClockDelta(GAME_CLOCK_GAMEPLAY, 0.35f);
    gun->update();
    gun->onFirePressed();
    EXPECT_TRUE(bullets().empty()) << "not the gun's trigger";

    g_iFireTrigger = 6;
    gun->onFirePressed();
    const std::vector<ClEntity*> fired = bullets();
    ASSERT_EQ(fired.size(), 15u) << "0.1 - 0.35 s overdue: three volleys of five";
    EXPECT_EQ(drawListCounts(PRODUCER_HALF).sprites, 6u) << "two flash sprites per volley";
    EXPECT_GT(gun->volleyTimer, 0.0f);
    f32 low = 1e9f, high = 0.0f;
    for (ClEntity* bullet : fired) {
        const f32 speed = bullet->root->params.get("BullVel")->real;
        low = std::min(low, speed);
        high = std::max(high, speed);
    }
    EXPECT_GE(low, 80.0f);
    EXPECT_LE(high, 120.0f);
    EXPECT_LT(low, high) << "each pellet draws its own speed";
    EXPECT_FLOAT_EQ(gun->barrels[0].recoil, BARREL_RECOIL);
}

TEST_F(PlayerGunTest, BarrelsTakingTurnsFireOneAVolleyInOrder) {
    ClProcessor_PlayerGun* gun = buildShip({.pellets = 2, .pattern = 1, .barrels = 3});
    g_iFireTrigger = FIRE_TRIGGER_ALWAYS;
    std::vector<f32> volleyX;
    for (int volley = 0; volley < 4; ++volley) {
        const size_t before = bullets().size();
        gun->volleyTimer = 0.0f;
        gun->onFirePressed();
        const std::vector<ClEntity*> now = bullets();
        ASSERT_EQ(now.size(), before + 2);
        volleyX.push_back(now.back()->getWorldPosition().x);
    }
    EXPECT_EQ(volleyX, (std::vector<f32>{100.0f, 110.0f, 120.0f, 100.0f}));
    EXPECT_EQ(drawListCounts(PRODUCER_HALF).sprites, 8u);
}

}  // namespace
