#include "input/input_mappers.h"

#include "input/input_channels.h"
#include "input/input_devices.h"
#include "input/input_records.h"

#include <algorithm>
#include <memory>

namespace {

std::unique_ptr<ClInputMapperGAMENormalGameplay> g_pGameplayMapper;
std::unique_ptr<ClInputMapperMenus> g_pMenusMapper;

// DirectInput codes of the bound keys.
constexpr u32 KEY_ESCAPE = 0x01;
constexpr u32 KEY_SPACE = 0x39;
constexpr u32 KEY_A = 0x1E;
constexpr u32 KEY_F2 = 0x3C;
constexpr u32 KEY_F3 = 0x3D;
constexpr u32 KEY_DIGIT_1 = 0x02;  // 1 to 9, then 0 at 0x0B
constexpr u32 KEY_RETURN = 0x1C;
constexpr u32 KEY_PAD_ENTER = 0x9C;
constexpr u32 KEY_UP = 0xC8;
constexpr u32 KEY_DOWN = 0xD0;
constexpr u32 KEY_LEFT = 0xCB;
constexpr u32 KEY_RIGHT = 0xCD;

// Menu channels the menus mapper steers besides its click and back.
constexpr int CHANNEL_MENU_UP = 9;
constexpr int CHANNEL_MENU_DOWN = 10;
constexpr int CHANNEL_MENU_LEFT = 11;
constexpr int CHANNEL_MENU_RIGHT = 12;
constexpr int CHANNEL_MENU_CLICK = 13;

f32 keyDown(u32 code) { return g_aKeyStates[keyIndexOfCode(code)] == E_KEY_DOWN ? 1.0f : 0.0f; }
f32 above(f32 value, f32 threshold) { return value > threshold ? 1.0f : 0.0f; }
f32 c(f32 x, f32 lo, f32 hi) { return std::clamp(x, lo, hi); }

void add(int player, int channel, f32 value) {
    if (SInputChannel* ch = getPlayerChannel(player, channel)) ch->value[g_uInputFlipIndex] += value;
}

// Channels 21 to 33, shared by play and the menus.
void mapSharedKeys(int player) {
    add(player, 21, keyDown(KEY_A));
    add(player, 22, keyDown(KEY_F2));
    add(player, 23, keyDown(KEY_F3));
    for (u32 k = 0; k < 10; ++k) add(player, 24 + int(k), keyDown(KEY_DIGIT_1 + k));
}

}  // namespace

void ClInputMapperGAMENormalGameplay::mapInputs(int player) {
    const f32* r = g_aRawPadRecords[player & 3];
    add(player, 5, r[E_RAW_MOUSE_LEFT] + r[E_RAW_A] + r[E_RAW_LEFT_TRIGGER]);
    add(player, 6, r[E_RAW_MOUSE_RIGHT] + r[E_RAW_B] + r[E_RAW_RIGHT_TRIGGER]);
    add(player, 7, keyDown(KEY_SPACE));
    // The pad's Start opens the pause menu as Esc does.
    add(player, E_CHANNEL_ESCAPE_IN_PLAY, keyDown(KEY_ESCAPE) + r[E_RAW_START]);
    add(player, 34, c(r[E_RAW_LEFT_Y], 0, 1) + c(r[E_RAW_RIGHT_Y], 0, 1) + r[E_RAW_DPAD_UP]);
    add(player, 35, -c(r[E_RAW_LEFT_Y], -1, 0) - c(r[E_RAW_RIGHT_Y], -1, 0) + r[E_RAW_DPAD_DOWN]);
    add(player, 36, -c(r[E_RAW_LEFT_X], -1, 0) - c(r[E_RAW_RIGHT_X], -1, 0) + r[E_RAW_DPAD_LEFT]);
    add(player, 37, c(r[E_RAW_LEFT_X], 0, 1) + c(r[E_RAW_RIGHT_X], 0, 1) + r[E_RAW_DPAD_RIGHT]);
    mapSharedKeys(player);
}

void ClInputMapperMenus::mapInputs(int player) {
    const f32* r = g_aRawPadRecords[player & 3];
    add(player, E_CHANNEL_MENU_ESCAPE, keyDown(KEY_ESCAPE));
    add(player, CHANNEL_MENU_CLICK, r[E_RAW_A] + r[E_RAW_MOUSE_LEFT] + keyDown(KEY_RETURN) + keyDown(KEY_PAD_ENTER));
    // The d-pad and the arrow keys move the focus.
    add(player, CHANNEL_MENU_UP, r[E_RAW_DPAD_UP] + keyDown(KEY_UP));
    add(player, CHANNEL_MENU_DOWN, r[E_RAW_DPAD_DOWN] + keyDown(KEY_DOWN));
    add(player, CHANNEL_MENU_LEFT, r[E_RAW_DPAD_LEFT] + keyDown(KEY_LEFT));
    add(player, CHANNEL_MENU_RIGHT, r[E_RAW_DPAD_RIGHT] + keyDown(KEY_RIGHT));
    add(player, E_CHANNEL_MENU_BACK, r[E_RAW_B] + r[E_RAW_MOUSE_RIGHT]);
    add(player, 18, above(r[E_RAW_WHEEL], 0.0f));
    add(player, 19, r[E_RAW_WHEEL] < 0.0f ? 1.0f : 0.0f);
    mapSharedKeys(player);
}

ClInputMapperBase* gameplayInputMapper() { return g_pGameplayMapper.get(); }
ClInputMapperBase* menusInputMapper() { return g_pMenusMapper.get(); }

void createInputMappers() {
    g_pGameplayMapper = std::make_unique<ClInputMapperGAMENormalGameplay>();
    g_pMenusMapper = std::make_unique<ClInputMapperMenus>();
}

void destroyInputMappers() {
    g_pGameplayMapper.reset();
    g_pMenusMapper.reset();
}

