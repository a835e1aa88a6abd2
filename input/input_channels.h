// Control channels: what game code, the modes and the user interface read instead of keys,
// buttons and sticks. Each channel is double-buffered by one global flip index, so the other
// side holds last frame's value; a channel is "on" above 0.1.
#pragma once

#include "core/types.h"

constexpr int INPUT_PLAYER_COUNT = 4;
constexpr int INPUT_DEBUG_CAMERA_CHANNELS = 32;
constexpr f32 INPUT_CHANNEL_ON_THRESHOLD = 0.1f;

// Channel ids the core reads.
constexpr int E_CHANNEL_ESCAPE_IN_PLAY = 8;
constexpr int E_CHANNEL_MENU_BACK = 16;
constexpr int E_CHANNEL_MENU_ESCAPE = 20;

struct SInputChannel {
    f32 value[2];
};

extern u8 g_uInputFlipIndex;
extern s32 g_iInputLockCounter;
// The pad that player `player` (0 to 3) reads.
u32 padOfPlayer(u32 player);
// Set while menus take the input (pause, tips, front end); set at first.
u32 menuInputFlag();
void setMenuInputFlag(u32 menusTakeInput);
// The factor the pointer's motion is scaled by.
extern f32 g_fInputSensitivity;

// Start-up: the device reader and the mappers, the channel arrays of the four players (channelCount each) and the debug-camera
// block, all zero, and the identity pad map.
void initInput(u32 reserved, u32 channelCount);
// Frees the channel arrays; nothing without initInput.
u32 shutdownInput();
bool inputIsInitialised();

// Once per frame from the tick: polls the devices and runs the key repeat, flips the channels, counts the lock down and clears the new
// current side for the mappers to fill.
s32 updateInput();

// Player p's channel c; null before initInput or out of range.
SInputChannel* getPlayerChannel(int player, int channel);
SInputChannel* getDebugCameraChannel(int channel);
f32 channelValue(const SInputChannel* channel);
f32 channelPreviousValue(const SInputChannel* channel);

// Rising edge: now above 0.1, last frame not; never while the input is locked.
u32 isChannelPressed(const SInputChannel* channel);
// Falling edge; never while the input is locked.
u32 isChannelReleased(const SInputChannel* channel);
// Above 0.1 now; the lock does not matter.
u32 isChannelHeld(const SInputChannel* channel);

// Edges report nothing in this frame and the next.
void lockInputTwoFrames();
void resetPlayerPadMap();
void clearPlayerChannels();

// The sensitivity factor from the options value s (0 to 10): 1 - (5 - s) x 0.125 up to 5,
// 1 + (s - 5) / 5 above.
f32 inputSensitivityFor(f32 optionValue);
// The factor from the interface pointer sensitivity of the saved options.
void updateInputSensitivity();
// The same from the in-game pointer-sensitivity option: the pointer's speed in play.
void updateInGameInputSensitivity();
// True when the pointer is taken from the window's own mouse position, so that the sensitivity
// factor moves nothing; false before initInput.
bool pointerFollowsWindow();
