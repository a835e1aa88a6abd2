#include "platform/input/input_backend.h"
#include "platform/input/input_sdl_internal.h"

#include <algorithm>

namespace {

constexpr u32 KEY_RECORD_CAPACITY = 64;
constexpr u32 MOUSE_RECORD_CAPACITY = 128;

s16 negatedAxis(s16 value) { return s16(std::min(32767, -s32(value))); }

// Events are buffered as they arrive; a full buffer drops the newest records, as a device
// buffer that overflows does.
class ClSdlInputBackend final : public IInputBackend {
public:
    void open(bool exclusive) override {
        if (m_open) return;
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        m_padsUp = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
        if (m_padsUp) {
            for (int i = 0; i < SDL_NumJoysticks(); ++i) addPad(i);
        }
        if (exclusive) SDL_SetRelativeMouseMode(SDL_TRUE);
        m_exclusive = exclusive;
        m_open = true;
        m_keyCount = m_mouseCount = 0;
        m_dx = m_dy = 0;
        m_lost = false;
    }

    void close() override {
        if (!m_open) return;
        for (SDL_GameController*& pad : m_pads) {
            if (pad) SDL_GameControllerClose(pad);
            pad = nullptr;
        }
        if (m_exclusive) SDL_SetRelativeMouseMode(SDL_FALSE);
        if (m_padsUp) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
        m_padsUp = false;
        m_open = false;
    }

    bool keyboardExists() const override { return m_open; }
    bool mouseExists() const override { return m_open; }

    s32 readKeyRecords(SInputKeyRecord* out, u32 capacity) override {
        if (m_lost) {
            m_lost = false;
            m_keyCount = 0;
            return -1;
        }
        const u32 n = std::min(capacity, m_keyCount);
        std::copy(m_keys, m_keys + n, out);
        std::copy(m_keys + n, m_keys + m_keyCount, m_keys);
        m_keyCount -= n;
        return s32(n);
    }

    s32 readMouseRecords(SInputMouseRecord* out, u32 capacity) override {
        const u32 n = std::min(capacity, m_mouseCount);
        std::copy(m_mouse, m_mouse + n, out);
        std::copy(m_mouse + n, m_mouse + m_mouseCount, m_mouse);
        m_mouseCount -= n;
        return s32(n);
    }

    void readMouseMotion(s32* dx, s32* dy) override {
        *dx = m_dx;
        *dy = m_dy;
        m_dx = m_dy = 0;
    }

    bool readPad(u32 ordinal, SInputPadState* out) override {
        if (ordinal >= INPUT_PAD_COUNT || !m_pads[ordinal]) return false;
        SDL_GameController* pad = m_pads[ordinal];
        static const struct {
            SDL_GameControllerButton button;
            u16 bit;
        } buttons[] = {
            {SDL_CONTROLLER_BUTTON_A, E_PAD_A},
            {SDL_CONTROLLER_BUTTON_B, E_PAD_B},
            {SDL_CONTROLLER_BUTTON_X, E_PAD_X},
            {SDL_CONTROLLER_BUTTON_Y, E_PAD_Y},
            {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, E_PAD_LEFT_SHOULDER},
            {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, E_PAD_RIGHT_SHOULDER},
            {SDL_CONTROLLER_BUTTON_LEFTSTICK, E_PAD_LEFT_THUMB},
            {SDL_CONTROLLER_BUTTON_RIGHTSTICK, E_PAD_RIGHT_THUMB},
            {SDL_CONTROLLER_BUTTON_DPAD_UP, E_PAD_DPAD_UP},
            {SDL_CONTROLLER_BUTTON_DPAD_DOWN, E_PAD_DPAD_DOWN},
            {SDL_CONTROLLER_BUTTON_DPAD_LEFT, E_PAD_DPAD_LEFT},
            {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, E_PAD_DPAD_RIGHT},
            {SDL_CONTROLLER_BUTTON_START, E_PAD_START},
            {SDL_CONTROLLER_BUTTON_BACK, E_PAD_BACK},
        };
        SInputPadState state{};
        for (const auto& b : buttons) {
            if (SDL_GameControllerGetButton(pad, b.button)) state.buttons = u16(state.buttons | b.bit);
        }
        // SDL's triggers run 0..32767, XInput's 0..255.
        state.leftTrigger = u8(std::max<s32>(0, SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT)) * 255 / 32767);
        state.rightTrigger = u8(std::max<s32>(0, SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT)) * 255 / 32767);
        state.leftX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
        state.leftY = negatedAxis(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY));
        state.rightX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_RIGHTX);
        state.rightY = negatedAxis(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_RIGHTY));
        *out = state;
        return true;
    }

    void setPadRumble(u32 ordinal, u16 lowSpeed, u16 highSpeed) override {
        if (ordinal < INPUT_PAD_COUNT && m_pads[ordinal]) SDL_GameControllerRumble(m_pads[ordinal], lowSpeed, highSpeed, 0);
    }

    bool capsLockOn() const override { return (SDL_GetModState() & KMOD_CAPS) != 0; }

    void handle(const SDL_Event& e) {
        if (!m_open) return;
        switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            if (e.key.repeat) return;  // the game repeats keys itself
            const u8 code = inputKeyCodeOfScancode(e.key.keysym.scancode);
            if (code != 0 && m_keyCount < KEY_RECORD_CAPACITY) m_keys[m_keyCount++] = {code, u8(e.type == SDL_KEYDOWN ? 0x80 : 0)};
            return;
        }
        case SDL_MOUSEMOTION:
            m_dx += e.motion.xrel;
            m_dy += e.motion.yrel;
            return;
        case SDL_MOUSEWHEEL: {
            const s32 steps = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
            if (steps != 0) pushMouse(E_MOUSE_RECORD_WHEEL, steps);
            return;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const s32 data = e.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
            if (e.button.button == SDL_BUTTON_LEFT) pushMouse(E_MOUSE_RECORD_BUTTON0, data);
            else if (e.button.button == SDL_BUTTON_RIGHT) pushMouse(E_MOUSE_RECORD_BUTTON1, data);
            else if (e.button.button == SDL_BUTTON_MIDDLE) pushMouse(E_MOUSE_RECORD_BUTTON2, data);
            return;
        }
        case SDL_CONTROLLERDEVICEADDED:
            addPad(e.cdevice.which);
            return;
        case SDL_CONTROLLERDEVICEREMOVED:
            for (SDL_GameController*& pad : m_pads) {
                if (pad && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == e.cdevice.which) {
                    SDL_GameControllerClose(pad);
                    pad = nullptr;
                }
            }
            return;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) m_lost = true;
            return;
        default:
            return;
        }
    }

private:
    void pushMouse(u8 kind, s32 data) {
        if (m_mouseCount < MOUSE_RECORD_CAPACITY) m_mouse[m_mouseCount++] = {kind, data};
    }

    // A new pad takes the lowest free ordinal, so pads already in use keep theirs.
    void addPad(int deviceIndex) {
        if (!m_padsUp || !SDL_IsGameController(deviceIndex)) return;
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
        for (SDL_GameController* pad : m_pads) {
            if (pad && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id) return;
        }
        for (SDL_GameController*& pad : m_pads) {
            if (!pad) {
                pad = SDL_GameControllerOpen(deviceIndex);
                return;
            }
        }
    }

    bool m_open = false;
    bool m_padsUp = false;
    bool m_exclusive = false;
    bool m_lost = false;
    SInputKeyRecord m_keys[KEY_RECORD_CAPACITY] = {};
    u32 m_keyCount = 0;
    SInputMouseRecord m_mouse[MOUSE_RECORD_CAPACITY] = {};
    u32 m_mouseCount = 0;
    s32 m_dx = 0;
    s32 m_dy = 0;
    SDL_GameController* m_pads[INPUT_PAD_COUNT] = {};
};

ClSdlInputBackend g_sdlBackend;
IInputBackend* g_pBackend = nullptr;

}  // namespace

IInputBackend& inputBackend() { return g_pBackend ? *g_pBackend : g_sdlBackend; }

void inputSetBackend(IInputBackend* backend) { g_pBackend = backend; }

void inputSdlHandleEvent(const SDL_Event& event) { g_sdlBackend.handle(event); }
