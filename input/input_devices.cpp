#include "input/input_devices.h"

#include "core/config.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "input/input_channels.h"
#include "input/pad_monkey.h"
#include "input/text_entry.h"
#include "platform/window/window.h"
#include "input/input_records.h"

#include <algorithm>
#include <cmath>
#include <cstring>

f32 g_aRawPadRecords[4][RAW_PAD_FIELD_COUNT];
u32 g_aKeyStates[KEY_STATE_COUNT];
u32 g_aPadConnected[4];
namespace {
u32 g_uTextEntryActive = 0;
}  // namespace

u32 textEntryActive() { return g_uTextEntryActive; }
void setTextEntryActive(u32 active) { g_uTextEntryActive = active; }

namespace {

constexpr u32 KEYBOARD_RECORDS_PER_POLL = 32;
constexpr u32 MOUSE_RECORDS_PER_POLL = 128;

// Codes above 0x53 that have a key state, in index order from 84.
constexpr u8 EXTENDED_KEY_CODES[] = {0x56, 0x57, 0x58, 0x64, 0x65, 0x66, 0x70, 0x73, 0x79, 0x7B, 0x7D, 0x7E, 0x8D,
                                     0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x99, 0x9C, 0x9D, 0xA0, 0xA1,
                                     0xA2, 0xA4, 0xAE, 0xB0, 0xB2, 0xB3, 0xB5, 0xB7, 0xB8, 0xC5, 0xC7, 0xC8, 0xC9,
                                     0xCB, 0xCD, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE3,
                                     0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED};
static_assert(84 + sizeof EXTENDED_KEY_CODES == KEY_STATE_COUNT);

ClInputHWtoEC* g_pDevices = nullptr;

s32 deadZone(s32 value, s32 zone) {
    if (value >= zone) return value - zone;
    if (value <= -zone) return value + zone;
    return 0;
}

f32 stickValue(s32 value) { return std::clamp(f32(value) / PAD_STICK_DIVISOR, -1.0f, 1.0f); }

f32 flag(bool on) { return on ? 1.0f : 0.0f; }

f32 rightStickBearing(f32 x, f32 y) {
    f32 vx = x, vz = -y;
    const f32 length = std::sqrt(vx * vx + vz * vz);
    if (length > 0.0f) {
        vx /= length;
        vz /= length;
    } else {
        vx = 0.0f;
        vz = -1.0f;
    }
    f32 angle = std::acos(std::clamp(-vz, -1.0f, 1.0f));
    if (vx < 0.0f) angle = 6.2831855f - angle;
    return angle * 180.0f / 3.1415927f;
}

}  // namespace

bool SInputTransitions::takeWaiting(bool* isDown) {
    changedThisPoll = count > 0;
    if (count == 0) return false;
    *isDown = down[0];
    for (u32 i = 1; i < count; ++i) down[i - 1] = down[i];
    --count;
    return true;
}

bool SInputTransitions::takeNow(bool isDown) {
    if (!changedThisPoll && count == 0) {
        changedThisPoll = true;
        return true;
    }
    if (count < CAPACITY) ++count;
    down[count - 1] = isDown;
    return false;
}

u32 keyIndexOfCode(u32 code) {
    if (code <= 0x53) return code;
    for (u32 i = 0; i < sizeof EXTENDED_KEY_CODES; ++i) {
        if (EXTENDED_KEY_CODES[i] == code) return 84 + i;
    }
    return 0;
}

s32 ClInputHWtoECPlatform::createDevices() {
    g_pDevices = this;
    std::memset(g_aRawPadRecords, 0, sizeof g_aRawPadRecords);
    std::memset(g_aKeyStates, 0, sizeof g_aKeyStates);
    std::memset(g_aPadConnected, 0, sizeof g_aPadConnected);
    g_uTextEntryActive = 0;
    setKeyRepeatTimings(0.5f, 0.1f);
    beginTextEntry({}, {}, {}, nullptr, 256, 0.5f, 0.1f, 32);

    m_usePadMonkey = configGetInt("USE_PAD_MONKEY") != 0;
    m_noGraphics = configGetInt("NOGFX") == 1;
    m_ignorePads = configGetInt("IGNORE_GAMEPAD_INPUTS") != 0;
    m_ignoreKeyboard = configGetInt("IGNORE_KEYBOARD_INPUTS") != 0;
    m_ignoreMouse = configGetInt("IGNORE_MOUSE_INPUTS") != 0;
    // A mouse held exclusively moves by relative motion only: the window's position of it stays
    // where the pointer was caught.
    const bool exclusive = configGetInt("MOUSE_EXCLUSIVE") >= 1;
    m_absolutePointer = configGetInt("USE_ABSOLUTE_WM_MOUSE_POSITION") != 0 && !exclusive;
    m_pointerX = m_pointerY = 0.0f;
    std::memset(m_mouseButtons, 0, sizeof m_mouseButtons);
    for (SInputTransitions& t : m_buttonTransitions) t.clear();
    for (SInputTransitions& t : m_keyTransitions) t.clear();

    inputBackend().open(exclusive);
    if (m_usePadMonkey) initPadMonkey();
    return 0;
}

void ClInputHWtoECPlatform::releaseDevices() {
    endTextEntry();
    inputBackend().close();
    if (g_pDevices == this) g_pDevices = nullptr;
}

void ClInputHWtoECPlatform::setPointerPosition(u32 pointer, f32 x, f32 y) {
    if (pointer != 0) return;
    m_pointerX = x;
    m_pointerY = y;
    u32 width = 0, height = 0;
    windowClientSize(&width, &height);
    if (width == 0 || height == 0) return;
    g_aRawPadRecords[0][E_RAW_POINTER_X] = x / f32(width);
    g_aRawPadRecords[0][E_RAW_POINTER_Y] = y / f32(height);
}

u32 ClInputHWtoECPlatform::initPadMonkey() {
    ::initPadMonkey();
    return 1;
}

void ClInputHWtoECPlatform::updatePadMonkey() { ::updatePadMonkey(gameClock(GAME_CLOCK_SYSTEM).frameTime); }

u32 ClInputHWtoECPlatform::processBufferedKeys(const SInputKeyRecord* records, u32 count, u32) {
    if (count == 0) return 0;
    for (u32 i = 0; i < count; ++i) handleTextKey((records[i].data & 0x80) ? 1 : 0, records[i].code, true);
    return 1;
}

void ClInputHWtoECPlatform::updateKeyRepeat() { ::updateKeyRepeat(gameClock(GAME_CLOCK_SYSTEM).frameTime); }

s32 ClInputHWtoECPlatform::poll() {
    std::memset(g_aRawPadRecords, 0, sizeof g_aRawPadRecords);
    if (m_usePadMonkey) {
        updatePadMonkey();
        return 0;
    }
    if (m_noGraphics) return 0;
    pollPads();
    if (inputBackend().keyboardExists()) pollKeyboard();
    pollMouse();
    return 0;
}

void ClInputHWtoECPlatform::pollPads() {
    for (u32 n = 0; n < INPUT_PAD_COUNT; ++n) {
        const u32 player = g_aPlayerPadMap[n] & 3u;
        SInputPadState pad;
        if (!inputBackend().readPad(n, &pad)) {
            g_aPadConnected[player] = 0;
            continue;
        }
        g_aPadConnected[player] = 1;
        if (m_ignorePads) continue;
        f32* raw = g_aRawPadRecords[player];
        raw[E_RAW_LEFT_Y] = stickValue(deadZone(pad.leftY, PAD_LEFT_DEAD_ZONE));
        raw[E_RAW_LEFT_X] = stickValue(deadZone(pad.leftX, PAD_LEFT_DEAD_ZONE));
        raw[E_RAW_RIGHT_Y] = stickValue(deadZone(pad.rightY, PAD_RIGHT_DEAD_ZONE));
        raw[E_RAW_RIGHT_X] = stickValue(deadZone(pad.rightX, PAD_RIGHT_DEAD_ZONE));
        static const struct {
            int field;
            u16 bit;
        } buttons[] = {
            {E_RAW_A, E_PAD_A}, {E_RAW_B, E_PAD_B}, {E_RAW_X, E_PAD_X}, {E_RAW_Y, E_PAD_Y},
            {E_RAW_LEFT_SHOULDER, E_PAD_LEFT_SHOULDER}, {E_RAW_RIGHT_SHOULDER, E_PAD_RIGHT_SHOULDER},
            {E_RAW_LEFT_THUMB, E_PAD_LEFT_THUMB}, {E_RAW_RIGHT_THUMB, E_PAD_RIGHT_THUMB},
            {E_RAW_DPAD_UP, E_PAD_DPAD_UP}, {E_RAW_DPAD_DOWN, E_PAD_DPAD_DOWN},
            {E_RAW_DPAD_LEFT, E_PAD_DPAD_LEFT}, {E_RAW_DPAD_RIGHT, E_PAD_DPAD_RIGHT},
            {E_RAW_START, E_PAD_START}, {E_RAW_BACK, E_PAD_BACK},
        };
        for (const auto& b : buttons) raw[b.field] = flag((pad.buttons & b.bit) != 0);
        raw[E_RAW_LEFT_TRIGGER] = std::clamp(f32(pad.leftTrigger) / 255.0f, 0.0f, 1.0f);
        raw[E_RAW_RIGHT_TRIGGER] = std::clamp(f32(pad.rightTrigger) / 255.0f, 0.0f, 1.0f);
        raw[E_RAW_RIGHT_BEARING] = rightStickBearing(raw[E_RAW_RIGHT_X], raw[E_RAW_RIGHT_Y]);
        raw[E_RAW_RIGHT_TRIGGER_X10] = raw[E_RAW_RIGHT_TRIGGER] * 10.0f;
    }
}

void ClInputHWtoECPlatform::pollKeyboard() {
    SInputKeyRecord records[KEYBOARD_RECORDS_PER_POLL];
    const s32 count = inputBackend().readKeyRecords(records, KEYBOARD_RECORDS_PER_POLL);
    if (count < 0) {
        // Lost with the focus: no key may stay down.
        std::memset(g_aKeyStates, 0, sizeof g_aKeyStates);
        for (SInputTransitions& t : m_keyTransitions) t.clear();
        return;
    }
    for (u32 key = 0; key < KEY_STATE_COUNT; ++key) {
        if (g_aKeyStates[key] == E_KEY_RELEASED) g_aKeyStates[key] = E_KEY_UP;
        bool down = false;
        if (m_keyTransitions[key].takeWaiting(&down)) g_aKeyStates[key] = down ? E_KEY_DOWN : E_KEY_RELEASED;
    }
    if (m_ignoreKeyboard) return;
    if (g_uTextEntryActive != 0) {
        processBufferedKeys(records, u32(count), 0);
        return;
    }
    for (s32 i = 0; i < count; ++i) {
        const u32 key = keyIndexOfCode(records[i].code);
        const bool down = (records[i].data & 0x80) != 0;
        if (m_keyTransitions[key].takeNow(down)) g_aKeyStates[key] = down ? E_KEY_DOWN : E_KEY_RELEASED;
    }
}

void ClInputHWtoECPlatform::pollMouse() {
    IInputBackend& backend = inputBackend();
    if (!backend.mouseExists()) return;
    f32* raw = g_aRawPadRecords[0];
    SInputMouseRecord records[MOUSE_RECORDS_PER_POLL];
    const s32 count = backend.readMouseRecords(records, MOUSE_RECORDS_PER_POLL);
    for (u32 b = 0; b < 3; ++b) {
        bool down = false;
        if (m_buttonTransitions[b].takeWaiting(&down)) m_mouseButtons[b] = down ? 1 : 0;
    }
    for (s32 i = 0; i < count; ++i) {
        const SInputMouseRecord& r = records[i];
        if (r.kind == E_MOUSE_RECORD_WHEEL) {
            if (r.data != 0 && !m_ignoreMouse) raw[E_RAW_WHEEL] = r.data > 0 ? 1.0f : -1.0f;
        } else if (r.kind <= E_MOUSE_RECORD_BUTTON2) {
            const u32 b = r.kind - E_MOUSE_RECORD_BUTTON0;
            const bool down = (r.data & 0x80) != 0;
            if (m_buttonTransitions[b].takeNow(down)) m_mouseButtons[b] = down ? 1 : 0;
        }
    }
    s32 dx = 0, dy = 0;
    backend.readMouseMotion(&dx, &dy);
    if (!m_ignoreMouse) {
        raw[E_RAW_MOUSE_LEFT] = flag(m_mouseButtons[0] != 0);
        raw[E_RAW_MOUSE_RIGHT] = flag(m_mouseButtons[1] != 0);
        raw[E_RAW_MOUSE_MIDDLE] = flag(m_mouseButtons[2] != 0);
        u32 width = 0, height = 0;
        windowClientSize(&width, &height);
        m_pointerX += f32(dx) * g_fInputSensitivity;
        m_pointerY += f32(dy) * g_fInputSensitivity;
        if (menuInputFlag() != 0) {
            m_pointerX = std::clamp(m_pointerX, 0.0f, f32(width));
            m_pointerY = std::clamp(m_pointerY, 0.0f, f32(height));
        }
        f32 x = m_pointerX, y = m_pointerY;
        if (m_absolutePointer) windowPointerPosition(&x, &y);
        // Without a client area there is nothing to normalise by.
        raw[E_RAW_POINTER_X] = width != 0 ? x / f32(width) : 0.0f;
        raw[E_RAW_POINTER_Y] = height != 0 ? y / f32(height) : 0.0f;
    }
    raw[E_RAW_POINTER_PRESENT] = 1.0f;
}

void stopAllRumble() {
    for (u32 pad = 0; pad < INPUT_PAD_COUNT; ++pad) inputBackend().setPadRumble(pad, 0, 0);
}

void shutdownRumble() { stopAllRumble(); }

const f32* rawPadRecord(u32 pad) { return g_aRawPadRecords[pad & 3u]; }
bool padConnected(u32 pad) { return g_aPadConnected[pad & 3u] != 0; }
