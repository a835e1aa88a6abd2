// The device reader: once per frame it turns keyboard, mouse and pads into a raw record of 41
// floats per player, the key-state table and the pointer fields, which the mappers then read.
// The same object runs the random input tester instead of the devices when it is switched on,
// and hands key records to text entry while a text field captures the keyboard.
#pragma once

#include "core/types.h"
#include "platform/input/input_backend.h"

constexpr int RAW_PAD_FIELD_COUNT = 41;
constexpr int KEY_STATE_COUNT = 145;

// Fields of the raw pad record.
enum ERawPadField : int {
    E_RAW_A = 0,
    E_RAW_B = 1,
    E_RAW_X = 2,
    E_RAW_Y = 3,
    E_RAW_LEFT_SHOULDER = 6,
    E_RAW_RIGHT_SHOULDER = 7,
    E_RAW_LEFT_TRIGGER = 8,
    E_RAW_RIGHT_TRIGGER = 9,
    E_RAW_LEFT_THUMB = 10,
    E_RAW_RIGHT_THUMB = 11,
    E_RAW_DPAD_UP = 12,
    E_RAW_DPAD_DOWN = 13,
    E_RAW_DPAD_LEFT = 14,
    E_RAW_DPAD_RIGHT = 15,
    E_RAW_LEFT_Y = 16,
    E_RAW_LEFT_X = 17,
    E_RAW_RIGHT_Y = 18,
    E_RAW_RIGHT_X = 19,
    E_RAW_BACK = 20,
    E_RAW_START = 21,
    E_RAW_RIGHT_BEARING = 23,     // degrees, 0 up, clockwise
    E_RAW_RIGHT_TRIGGER_X10 = 24,
    E_RAW_POINTER_PRESENT = 27,   // record 0 only, as are the pointer fields below
    E_RAW_POINTER_Y = 28,         // 0..1 of the client height
    E_RAW_POINTER_X = 29,
    E_RAW_WHEEL = 30,             // +1 or -1 in a frame with wheel motion
    E_RAW_MOUSE_LEFT = 31,
    E_RAW_MOUSE_RIGHT = 32,
    E_RAW_MOUSE_MIDDLE = 33,
};

// Key states by key index: 0 up, 1 down, 2 released during the last poll. A key that went down
// and up within one poll is down for that poll and released at the next (SInputTransitions).
enum EKeyState : u32 { E_KEY_UP = 0, E_KEY_DOWN = 1, E_KEY_RELEASED = 2 };

constexpr s16 PAD_LEFT_DEAD_ZONE = 7849;
constexpr s16 PAD_RIGHT_DEAD_ZONE = 8689;
constexpr f32 PAD_STICK_DIVISOR = 24918.0f;

// Pad `pad`'s raw record (0 to 3; pad 0 also carries the mouse and the pointer), as the last poll
// left it.
const f32* rawPadRecord(u32 pad);
// Whether pad `pad` (0 to 3) was connected at the last poll.
bool padConnected(u32 pad);
// Set by a front-end field that captures text; text entry clears it on a terminator.
u32 textEntryActive();
void setTextEntryActive(u32 active);

// The key-state index of a DirectInput key code (0 for codes without one).
u32 keyIndexOfCode(u32 code);

// The ups and downs of one key or mouse button that arrive within one poll after its first: each
// is taken at a later poll of its own, so that a quick tap or click (down and up between two
// reads) still gives one frame down and one frame up, and a second click right after a release
// still gives its own press.
struct SInputTransitions {
    static constexpr u32 CAPACITY = 4;
    bool down[CAPACITY] = {};
    u8 count = 0;
    bool changedThisPoll = false;

    // At the start of a poll: the next waiting transition, if any (down is written).
    bool takeWaiting(bool* isDown);
    // A record of this poll: true when it is to be taken now; false when it waits its turn (when
    // more wait than the capacity, the last waiting one is replaced).
    bool takeNow(bool isDown);
    void clear() { *this = SInputTransitions{}; }
};

class ClInputHWtoEC {
public:
    virtual ~ClInputHWtoEC() = default;
    virtual s32 createDevices() = 0;
    virtual s32 poll() = 0;
    virtual void releaseDevices() = 0;
    virtual void setPointerPosition(u32, f32, f32) {}
    virtual u32 initPadMonkey() = 0;
    virtual void updatePadMonkey() = 0;
    virtual u32 processBufferedKeys(const SInputKeyRecord* records, u32 count, u32 ignored) = 0;
    virtual void updateKeyRepeat() = 0;
};

class ClInputHWtoECPlatform final : public ClInputHWtoEC {
public:
    // Reads the input settings and opens the backend's devices.
    s32 createDevices() override;
    s32 poll() override;
    void releaseDevices() override;
    // Pointer 0's accumulated position in client pixels.
    void setPointerPosition(u32 pointer, f32 x, f32 y) override;
    u32 initPadMonkey() override;
    void updatePadMonkey() override;
    u32 processBufferedKeys(const SInputKeyRecord* records, u32 count, u32 ignored) override;
    void updateKeyRepeat() override;
    // The pointer is the window's mouse position, not the summed motion.
    bool pointerFollowsWindow() const { return m_absolutePointer; }

private:
    void pollPads();
    void pollKeyboard();
    void pollMouse();

    bool m_usePadMonkey = false;
    bool m_noGraphics = false;
    bool m_ignorePads = false;
    bool m_ignoreKeyboard = false;
    bool m_ignoreMouse = false;
    bool m_absolutePointer = false;
    f32 m_pointerX = 0.0f;
    f32 m_pointerY = 0.0f;
    u32 m_mouseButtons[3] = {};
    SInputTransitions m_buttonTransitions[3];
    SInputTransitions m_keyTransitions[KEY_STATE_COUNT];
};

// Every pad's motors off: at start-up and at shutdown. Nothing starts a vibration.
void stopAllRumble();
void shutdownRumble();
