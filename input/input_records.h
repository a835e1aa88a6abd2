// The records the input layer fills each poll: the raw pad records (pad 0 also carries the mouse
// and the pointer), the key states, which pads are connected and which pad each player reads.
// Only the input layer writes them (and tests that stand in for a device); the layers above read
// them through rawPadRecord, padConnected and padOfPlayer.
#pragma once

#include "input/input_channels.h"
#include "input/input_devices.h"

extern f32 g_aRawPadRecords[4][RAW_PAD_FIELD_COUNT];
extern u32 g_aKeyStates[KEY_STATE_COUNT];
extern u32 g_aPadConnected[4];
extern u8 g_aPlayerPadMap[INPUT_PLAYER_COUNT];
