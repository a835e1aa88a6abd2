// Keyboard, mouse and up to four game pads, read the way the input layer polls them: buffered
// key records with DirectInput key codes, buffered wheel and button records, the relative pointer
// motion since the last read, and each pad's state in XInput's form (button bits, signed 16-bit
// sticks with y up, 8-bit triggers) by a pad ordinal that stays put while the pad is plugged in.
//
// The SDL backend gets its events from the window's one event loop (platform/window). Tests put
// their own backend in place with inputSetBackend. Main thread only.
#pragma once

#include "platform/types.h"

constexpr u32 INPUT_PAD_COUNT = 4;

struct SInputKeyRecord {
    u8 code;  // DirectInput key code
    u8 data;  // bit 0x80: went down; clear: went up
};

enum EInputMouseRecordKind : u8 {
    E_MOUSE_RECORD_WHEEL = 0,
    E_MOUSE_RECORD_BUTTON0 = 1,  // left
    E_MOUSE_RECORD_BUTTON1 = 2,  // right
    E_MOUSE_RECORD_BUTTON2 = 3,  // middle
};

struct SInputMouseRecord {
    u8 kind;   // EInputMouseRecordKind
    s32 data;  // wheel: signed steps; buttons: 0x80 down, 0 up
};

// XInput's button bits.
enum EInputPadButton : u16 {
    E_PAD_DPAD_UP = 0x0001,
    E_PAD_DPAD_DOWN = 0x0002,
    E_PAD_DPAD_LEFT = 0x0004,
    E_PAD_DPAD_RIGHT = 0x0008,
    E_PAD_START = 0x0010,
    E_PAD_BACK = 0x0020,
    E_PAD_LEFT_THUMB = 0x0040,
    E_PAD_RIGHT_THUMB = 0x0080,
    E_PAD_LEFT_SHOULDER = 0x0100,
    E_PAD_RIGHT_SHOULDER = 0x0200,
    E_PAD_A = 0x1000,
    E_PAD_B = 0x2000,
    E_PAD_X = 0x4000,
    E_PAD_Y = 0x8000,
};

struct SInputPadState {
    u16 buttons;
    u8 leftTrigger;   // 0..255
    u8 rightTrigger;
    s16 leftX, leftY;    // y positive up
    s16 rightX, rightY;
};

class IInputBackend {
public:
    virtual ~IInputBackend() = default;
    // Opens what the machine has; exclusive takes the pointer in relative mode.
    virtual void open(bool exclusive) = 0;
    virtual void close() = 0;
    virtual bool keyboardExists() const = 0;
    virtual bool mouseExists() const = 0;
    // The key records since the last read, oldest first, at most capacity. -1 when the keyboard
    // was lost since then (the window lost the focus): the caller clears its key states.
    virtual s32 readKeyRecords(SInputKeyRecord* out, u32 capacity) = 0;
    virtual s32 readMouseRecords(SInputMouseRecord* out, u32 capacity) = 0;
    // Pointer motion in pixels since the last read.
    virtual void readMouseMotion(s32* dx, s32* dy) = 0;
    // False when no pad holds that ordinal.
    virtual bool readPad(u32 ordinal, SInputPadState* out) = 0;
    virtual void setPadRumble(u32 ordinal, u16 lowSpeed, u16 highSpeed) = 0;
    virtual bool capsLockOn() const = 0;
};

// The backend in use: the SDL one unless a test set another.
IInputBackend& inputBackend();
// Null puts the SDL backend back.
void inputSetBackend(IInputBackend* backend);

// The DirectInput key code of an SDL scancode (0 when the key has none).
u8 inputKeyCodeOfScancode(s32 scancode);
