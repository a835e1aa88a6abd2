#include "input/input_channels.h"

#include "core/saved_options.h"
#include "input/input_devices.h"
#include "input/input_mappers.h"
#include "input/input_records.h"

#include <cstring>
#include <memory>
#include <vector>

u8 g_uInputFlipIndex = 0;
s32 g_iInputLockCounter = 0;
u8 g_aPlayerPadMap[INPUT_PLAYER_COUNT] = {0, 1, 2, 3};
namespace {
u32 g_uMenuInputFlag = 1;
}  // namespace

u32 menuInputFlag() { return g_uMenuInputFlag; }
void setMenuInputFlag(u32 menusTakeInput) { g_uMenuInputFlag = menusTakeInput; }
f32 g_fInputSensitivity = 1.0f;

namespace {

bool g_bInputInitialised = false;
u32 g_uChannelCount = 0;
std::vector<SInputChannel> g_aPlayerChannels[INPUT_PLAYER_COUNT];
SInputChannel g_aDebugCameraChannels[INPUT_DEBUG_CAMERA_CHANNELS];
std::unique_ptr<ClInputHWtoECPlatform> g_pPlatformInput;

bool isOn(f32 value) { return value > INPUT_CHANNEL_ON_THRESHOLD; }

}  // namespace

void initInput(u32, u32 channelCount) {
    g_pPlatformInput = std::make_unique<ClInputHWtoECPlatform>();
    g_pPlatformInput->createDevices();
    createInputMappers();
    g_uChannelCount = channelCount;
    for (std::vector<SInputChannel>& channels : g_aPlayerChannels) channels.assign(channelCount, SInputChannel{});
    std::memset(g_aDebugCameraChannels, 0, sizeof g_aDebugCameraChannels);
    g_uInputFlipIndex = 0;
    g_iInputLockCounter = 0;
    resetPlayerPadMap();
    g_bInputInitialised = true;
}

u32 shutdownInput() {
    if (!g_bInputInitialised) return 1;
    g_pPlatformInput->releaseDevices();
    g_pPlatformInput.reset();
    for (std::vector<SInputChannel>& channels : g_aPlayerChannels) {
        channels.clear();
        channels.shrink_to_fit();
    }
    g_uChannelCount = 0;
    destroyInputMappers();
    g_bInputInitialised = false;
    return 1;
}

bool inputIsInitialised() { return g_bInputInitialised; }

s32 updateInput() {
    if (g_pPlatformInput) {
        g_pPlatformInput->poll();
        g_pPlatformInput->updateKeyRepeat();
    }
    g_uInputFlipIndex = u8(1 - g_uInputFlipIndex);
    if (g_iInputLockCounter != 0) --g_iInputLockCounter;
    clearPlayerChannels();
    for (SInputChannel& channel : g_aDebugCameraChannels) channel.value[g_uInputFlipIndex] = 0.0f;
    return 1;
}

SInputChannel* getPlayerChannel(int player, int channel) {
    if (player < 0 || player >= INPUT_PLAYER_COUNT || channel < 0 || u32(channel) >= g_uChannelCount) return nullptr;
    return &g_aPlayerChannels[player][size_t(channel)];
}

SInputChannel* getDebugCameraChannel(int channel) {
    if (channel < 0 || channel >= INPUT_DEBUG_CAMERA_CHANNELS) return nullptr;
    return &g_aDebugCameraChannels[channel];
}

f32 channelValue(const SInputChannel* channel) { return channel->value[g_uInputFlipIndex]; }

f32 channelPreviousValue(const SInputChannel* channel) { return channel->value[1 - g_uInputFlipIndex]; }

u32 isChannelPressed(const SInputChannel* channel) {
    if (g_iInputLockCounter != 0) return 0;
    return isOn(channelValue(channel)) && !isOn(channelPreviousValue(channel)) ? 1 : 0;
}

u32 isChannelReleased(const SInputChannel* channel) {
    if (g_iInputLockCounter != 0) return 0;
    return !isOn(channelValue(channel)) && isOn(channelPreviousValue(channel)) ? 1 : 0;
}

u32 isChannelHeld(const SInputChannel* channel) { return isOn(channelValue(channel)) ? 1 : 0; }

void lockInputTwoFrames() { g_iInputLockCounter = 2; }

void resetPlayerPadMap() {
    for (int player = 0; player < INPUT_PLAYER_COUNT; ++player) g_aPlayerPadMap[player] = u8(player);
}

void clearPlayerChannels() {
    for (std::vector<SInputChannel>& channels : g_aPlayerChannels) {
        for (SInputChannel& channel : channels) channel.value[g_uInputFlipIndex] = 0.0f;
    }
}

f32 inputSensitivityFor(f32 optionValue) {
    const f32 s = optionValue;
    return s <= 5.0f ? 1.0f - (5.0f - s) * 0.125f : 1.0f + (s - 5.0f) / 5.0f;
}

void updateInputSensitivity() { g_fInputSensitivity = inputSensitivityFor(savedOptions().interfacePointerSensitivity); }

void updateInGameInputSensitivity() { g_fInputSensitivity = inputSensitivityFor(savedOptions().inGamePointerSensitivity); }

bool pointerFollowsWindow() { return g_pPlatformInput && g_pPlatformInput->pointerFollowsWindow(); }

u32 padOfPlayer(u32 player) { return g_aPlayerPadMap[player & 3u]; }
