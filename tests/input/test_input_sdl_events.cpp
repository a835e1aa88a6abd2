// SDL events pushed into the window's one event loop reach the channels through the SDL backend
// and the mappers (offscreen video driver; the pad is SDL's virtual game controller).
#include "core/config.h"
#include "input/input_channels.h"
#include "input/input_devices.h"
#include "input/input_mappers.h"
#include "platform/window/window.h"
#include "input/input_records.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

class InputSdlEvents : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ASSERT_TRUE(windowInitVideo());
        ASSERT_TRUE(windowCreate("", 0, 0, 640, 360, false)) << windowErrorText();
        configClear();
        initInput(0, 38);
        drain();
    }
    void TearDown() override {
        for (SDL_Joystick* pad : m_pads) SDL_JoystickClose(pad);
        for (int i = SDL_NumJoysticks() - 1; i >= 0; --i) SDL_JoystickDetachVirtual(i);
        drain();
        shutdownInput();
        windowDestroy();
        windowShutdownVideo();
    }
    static void drain() {
        SWindowMessage message;
        while (windowPeekMessage(&message)) continue;
    }
    // Pushes an event of the type, after fill has set its fields.
    template <typename F>
    static void push(Uint32 type, F fill) {
        SDL_Event e{};
        e.type = type;
        fill(e);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    static void key(SDL_Scancode code, bool down) {
        push(down ? SDL_KEYDOWN : SDL_KEYUP, [code](SDL_Event& e) { e.key.keysym.scancode = code; });
    }
    static int attachPad() {
        return SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
    }
    // A virtual pad plugged in and opened; the tear-down closes and unplugs every pad.
    SDL_Joystick* plugPad() {
        const int index = attachPad();
        drain();
        SDL_Joystick* pad = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
        if (pad) m_pads.push_back(pad);
        return pad;
    }
    static f32 channel(int id, int player = 0) { return channelValue(getPlayerChannel(player, id)); }
    // One frame through the mapper for player 0.
    static void frame(ClInputMapperBase* mapper) {
        drain();
        updateInput();
        mapper->mapInputs(0);
    }

    std::vector<SDL_Joystick*> m_pads;
};

TEST_F(InputSdlEvents, KeysWheelButtonsAndMotionReachTheMenusChannelsAndKeysGoUpWithTheFocus) {
    key(SDL_SCANCODE_ESCAPE, true);
    key(SDL_SCANCODE_9, true);
    push(SDL_MOUSEWHEEL, [](SDL_Event& e) { e.wheel.y = 1; });
    push(SDL_MOUSEBUTTONDOWN, [](SDL_Event& e) { e.button.button = SDL_BUTTON_LEFT; });
    push(SDL_MOUSEMOTION, [](SDL_Event& e) { e.motion.xrel = 320, e.motion.yrel = 900; });
    frame(menusInputMapper());
    EXPECT_EQ(channel(20), 1.0f);
    EXPECT_EQ(channel(32), 1.0f);
    EXPECT_EQ(channel(18), 1.0f);
    EXPECT_EQ(channel(13), 1.0f);
    EXPECT_EQ(channel(16), 0.0f);
    key(SDL_SCANCODE_ESCAPE, false);
    push(SDL_MOUSEWHEEL, [](SDL_Event& e) { e.wheel.y = -1; });
    frame(menusInputMapper());
    EXPECT_EQ(channel(20), 0.0f);
    EXPECT_EQ(channel(32), 1.0f);
    EXPECT_EQ(channel(13), 1.0f) << "buttons are kept, the wheel is not";
    EXPECT_EQ(channel(18), 0.0f) << "buttons are kept, the wheel is not";
    EXPECT_EQ(channel(19), 1.0f);
    // The keys still held are let go when the window loses the focus.
    push(SDL_WINDOWEVENT, [](SDL_Event& e) { e.window.event = SDL_WINDOWEVENT_FOCUS_LOST; });
    frame(menusInputMapper());
    EXPECT_EQ(channel(32), 0.0f);
}

TEST_F(InputSdlEvents, ControllerAxesAndButtonsKeepTheirOrdinalsAcrossAHotPlug) {
    const int first = attachPad();
    SDL_Joystick* pad1 = plugPad();
    ASSERT_NE(pad1, nullptr) << SDL_GetError();
    SDL_JoystickSetVirtualAxis(pad1, SDL_CONTROLLER_AXIS_LEFTY, -32768);     // pushed up
    SDL_JoystickSetVirtualAxis(pad1, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
    SDL_JoystickSetVirtualButton(pad1, SDL_CONTROLLER_BUTTON_B, 1);
    frame(gameplayInputMapper());
    gameplayInputMapper()->mapInputs(1);
    EXPECT_TRUE(padConnected(0));
    EXPECT_TRUE(padConnected(1));
    EXPECT_FALSE(padConnected(2));
    EXPECT_EQ(channel(34, 1), 1.0f);
    EXPECT_EQ(channel(5, 1), 1.0f);
    EXPECT_EQ(channel(6, 1), 1.0f);

    // The first pad leaves and comes back: the second keeps ordinal 1, the new one takes 0.
    SDL_JoystickDetachVirtual(first);
    frame(gameplayInputMapper());
    EXPECT_FALSE(padConnected(0));
    EXPECT_TRUE(padConnected(1)) << "the second pad keeps its ordinal";
    ASSERT_GE(attachPad(), 0);
    frame(gameplayInputMapper());
    EXPECT_TRUE(padConnected(0)) << "the new pad takes the free ordinal";
    EXPECT_TRUE(padConnected(1));
    EXPECT_EQ(g_aRawPadRecords[1][E_RAW_B], 1.0f);
}

TEST_F(InputSdlEvents, TheArrowKeysReturnAndThePadsDirectionsSteerTheMenus) {
    key(SDL_SCANCODE_DOWN, true);
    key(SDL_SCANCODE_RETURN, true);
    frame(menusInputMapper());
    EXPECT_EQ(channel(10), 1.0f);
    EXPECT_EQ(channel(13), 1.0f);
    key(SDL_SCANCODE_DOWN, false);
    key(SDL_SCANCODE_RETURN, false);
    key(SDL_SCANCODE_LEFT, true);
    frame(menusInputMapper());
    EXPECT_EQ(channel(11), 1.0f);
    EXPECT_EQ(channel(10), 0.0f);
    key(SDL_SCANCODE_LEFT, false);

    SDL_Joystick* pad = plugPad();
    ASSERT_NE(pad, nullptr) << SDL_GetError();
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP, 1);
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1);
    frame(menusInputMapper());
    EXPECT_EQ(channel(9), 1.0f);
    EXPECT_EQ(channel(12), 1.0f);
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP, 0);
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0);
    // In play the pad's Start opens the pause menu as Esc does.
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_START, 1);
    frame(gameplayInputMapper());
    EXPECT_EQ(channel(8), 1.0f);
}

// With the absolute path the pointer is where the window's mouse handling last saw the mouse;
// a mouse held exclusively keeps the summed motion.
TEST_F(InputSdlEvents, TheAbsolutePathTakesTheWindowsPointerUnlessTheMouseIsHeldExclusively) {
    shutdownInput();
    configSetValue("USE_ABSOLUTE_WM_MOUSE_POSITION", "1");
    initInput(0, 38);
    windowSetPointerPosition(480.0f, 90.0f);
    push(SDL_MOUSEMOTION, [](SDL_Event& e) { e.motion.xrel = 5, e.motion.yrel = 5; });
    frame(menusInputMapper());
    EXPECT_EQ(g_aRawPadRecords[0][E_RAW_POINTER_X], 0.75f);
    EXPECT_EQ(g_aRawPadRecords[0][E_RAW_POINTER_Y], 0.25f);

    shutdownInput();
    configSetValue("MOUSE_EXCLUSIVE", "1");
    initInput(0, 38);
    push(SDL_MOUSEMOTION, [](SDL_Event& e) { e.motion.xrel = 64, e.motion.yrel = 36; });
    frame(menusInputMapper());
    EXPECT_EQ(g_aRawPadRecords[0][E_RAW_POINTER_X], 0.1f);
    EXPECT_EQ(g_aRawPadRecords[0][E_RAW_POINTER_Y], 0.1f);
    windowSetPointerPosition(-1000.0f, -1000.0f);
}

}  // namespace
