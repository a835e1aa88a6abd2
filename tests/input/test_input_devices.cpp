// The device reader and the mappers on a fake backend: pad values, key states and what the
// ignore settings keep out.
#include "core/config.h"
#include "input/input_channels.h"
#include "input/input_devices.h"
#include "input/input_mappers.h"
#include "tests/input/fake_input_backend.h"
#include "input/input_records.h"

#include <gtest/gtest.h>


namespace {

class InputDevices : public ::testing::Test {
protected:
    void SetUp() override {
        configClear();
        inputSetBackend(&backend);
        initInput(0, 38);
    }
    void TearDown() override {
        shutdownInput();
        inputSetBackend(nullptr);
        configClear();
    }
    static f32 channel(int id) { return channelValue(getPlayerChannel(0, id)); }
    ClFakeInputBackend backend;
};

TEST_F(InputDevices, PadValuesTakeDeadZonesDivisorTriggersAndBearing) {
    backend.padPresent[2] = true;
    backend.pads[2] = {u16(E_PAD_A | E_PAD_DPAD_LEFT | E_PAD_START), 255, 51, 7848, -32768, 32767, 0};
    g_aPlayerPadMap[2] = 1;
    updateInput();
    const f32* raw = g_aRawPadRecords[1];
    EXPECT_EQ(raw[E_RAW_A], 1.0f);
    EXPECT_EQ(raw[E_RAW_DPAD_LEFT], 1.0f);
    EXPECT_EQ(raw[E_RAW_START], 1.0f);
    EXPECT_EQ(raw[E_RAW_B], 0.0f);
    EXPECT_EQ(raw[E_RAW_LEFT_TRIGGER], 1.0f);
    EXPECT_EQ(raw[E_RAW_RIGHT_TRIGGER], 0.2f);
    EXPECT_EQ(raw[E_RAW_LEFT_X], 0.0f);
    EXPECT_EQ(raw[E_RAW_LEFT_Y], -1.0f);
    EXPECT_EQ(raw[E_RAW_RIGHT_X], 24078.0f / 24918.0f);
    EXPECT_EQ(raw[E_RAW_RIGHT_Y], 0.0f);
    EXPECT_EQ(raw[E_RAW_RIGHT_BEARING], 90.0f);
    EXPECT_EQ(raw[E_RAW_RIGHT_TRIGGER_X10], 2.0f);
    EXPECT_EQ(g_aPadConnected[0], 0u);
    EXPECT_EQ(g_aPadConnected[1], 1u);
    EXPECT_EQ(g_aPadConnected[2], 0u);
    backend.pads[2] = {0, 0, 0, 32767, 0, -32767, 0};
    updateInput();
    EXPECT_EQ(raw[E_RAW_LEFT_X], 1.0f);
    EXPECT_EQ(raw[E_RAW_RIGHT_BEARING], 270.0f);
}

// A key tapped within one poll (Esc) is down for it and released for the next. A held key
// released, pressed and released again within one poll (Up) takes one poll for each.
TEST_F(InputDevices, KeyStatesAreDownReleasedForOnePollAndClearedWhenLost) {
    backend.keys = {{0x39, 0x80}, {0x01, 0x80}, {0x01, 0x00}, {0xC8, 0x80}};
    updateInput();
    EXPECT_EQ(g_aKeyStates[0x39], u32(E_KEY_DOWN));
    EXPECT_EQ(g_aKeyStates[0x01], u32(E_KEY_DOWN));
    const u32 up = keyIndexOfCode(0xC8);
    backend.keys = {{0xC8, 0x00}, {0xC8, 0x80}, {0xC8, 0x00}};
    updateInput();
    EXPECT_EQ(g_aKeyStates[0x01], u32(E_KEY_RELEASED));
    EXPECT_EQ(g_aKeyStates[up], u32(E_KEY_RELEASED));
    updateInput();
    EXPECT_EQ(g_aKeyStates[0x01], u32(E_KEY_UP));
    EXPECT_EQ(g_aKeyStates[up], u32(E_KEY_DOWN));
    updateInput();
    EXPECT_EQ(g_aKeyStates[up], u32(E_KEY_RELEASED));
    backend.lost = true;
    updateInput();
    EXPECT_EQ(g_aKeyStates[0x39], u32(E_KEY_UP));
}

TEST_F(InputDevices, IgnoreSettingsKeepPadsConnectedButSilent) {
    for (const char* key : {"IGNORE_GAMEPAD_INPUTS", "IGNORE_KEYBOARD_INPUTS"}) configSetValue(key, "1");
    shutdownInput();
    initInput(0, 38);
    backend.padPresent[0] = true;
    backend.pads[0] = {E_PAD_A, 0, 0, 0, 0, 0, 0};
    backend.keys = {{0x39, 0x80}};
    updateInput();
    gameplayInputMapper()->mapInputs(0);
    EXPECT_EQ(channel(5), 0.0f);
    EXPECT_EQ(channel(7), 0.0f);
    EXPECT_EQ(g_aPadConnected[0], 1u);
}

}  // namespace
