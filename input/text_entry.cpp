#include "input/text_entry.h"

#include "input/input_devices.h"

#include <algorithm>
#include <vector>

namespace {

constexpr u32 DEFAULT_RESERVE = 256;

struct SInputTextEntry {
    bool open = false;
    std::vector<u16> typed;
    u32 cursor = 0;
    u32 maximumLength = 0;  // 0: no limit
    u32 reserved = DEFAULT_RESERVE;
    std::vector<u16> allowed, terminators, callbackCodes;
    u16 callbackCharacter = 0;  // the last of the callback codes typed, until taken
    u32 refused = 0;  // characters the allowed list kept out
    bool overwrite = false, capsLock = false, shift = false, control = false, alt = false;
};

struct SKeyRepeat {
    u32 phase = 0;  // 0 idle, 1 waiting for the first repeat, 2 repeating
    f32 timer = 0.0f;
    u32 code = 0;
    // Set by a press: the frame that takes the press measured time from before the key went down,
    // so the delay counts from the next frame on.
    bool pressedThisFrame = false;
    f32 delay = 0.5f;
    f32 interval = 0.1f;
};

SInputTextEntry g_textEntry;
SKeyRepeat g_keyRepeat;

// Plain and shifted characters of the US layout's printable rows, from code 0x02 on.
constexpr char PLAIN_ROW[] = "1234567890-=\0\0qwertyuiop[]\0\0asdfghjkl;'`\0\\zxcvbnm,./";
constexpr char SHIFT_ROW[] = "!@#$%^&*()_+\0\0QWERTYUIOP{}\0\0ASDFGHJKL:\"~\0|ZXCVBNM<>?";

bool contains(const std::vector<u16>& list, u16 c) { return std::find(list.begin(), list.end(), c) != list.end(); }

void repeatIfAllowed(bool allowed, u32 code) {
    if (allowed) startKeyRepeat(code);
}

}  // namespace

u16 textCharacterOfKey(u32 code, bool shift, bool, bool) {
    switch (code) {
    case 0x39: return u16(' ');
    case 0x01: return 0x1B;
    case 0x0F: return 0x09;
    case 0x1C: return 0x0A;
    case 0x9C: return 0x0D;
    case 0x37: return u16('*');
    case 0x47: return u16('7');
    case 0x48: return u16('8');
    case 0x49: return u16('9');
    case 0x4A: return u16('-');
    case 0x4B: return u16('4');
    case 0x4C: return u16('5');
    case 0x4D: return u16('6');
    case 0x4E: return u16('+');
    case 0x4F: return u16('1');
    case 0x50: return u16('2');
    case 0x51: return u16('3');
    case 0x52: return u16('0');
    case 0x53: return u16('.');
    case 0x8D: return u16('=');
    case 0xB3: return u16(',');
    case 0xB5: return u16('/');
    case 0x91: return u16('@');
    case 0x92: return u16(':');
    case 0x93: return u16('_');
    case 0x95: return u16('.');
    default:
        if (code >= 0x02 && code <= 0x35) return u16(u8((shift ? SHIFT_ROW : PLAIN_ROW)[code - 0x02]));
        return 0;
    }
}

s16 beginTextEntry(std::span<const u16> allowed, std::span<const u16> terminators, std::span<const u16> callbackCodes,
                   const char16_t* initialText, u32 capacity, f32, f32, u16) {
    if (g_textEntry.open) endTextEntry();
    SInputTextEntry& e = g_textEntry;
    e.maximumLength = capacity != 0 ? capacity - 1 : 0;
    e.reserved = capacity != 0 ? capacity : DEFAULT_RESERVE;
    e.typed.reserve(e.reserved);
    e.cursor = 0;
    e.allowed.assign(allowed.begin(), allowed.end());
    e.terminators.assign(terminators.begin(), terminators.end());
    e.callbackCodes.assign(callbackCodes.begin(), callbackCodes.end());
    e.callbackCharacter = 0;
    e.refused = 0;
    e.overwrite = e.shift = e.control = e.alt = false;
    e.open = true;
    for (const char16_t* p = initialText; p && *p && e.typed.size() < e.reserved; ++p) {
        e.typed.push_back(u16(*p));
        ++e.cursor;
    }
    stopKeyRepeat();
    e.capsLock = inputBackend().capsLockOn();
    return e.capsLock ? 1 : 0;
}

void endTextEntry() {
    SInputTextEntry& e = g_textEntry;
    std::vector<u16>().swap(e.typed);
    std::vector<u16>().swap(e.allowed);
    std::vector<u16>().swap(e.terminators);
    std::vector<u16>().swap(e.callbackCodes);
    e.cursor = 0;
    e.callbackCharacter = 0;
    e.open = false;
}

void handleTextKey(u32 down, u32 code, bool repeatAllowed) {
    SInputTextEntry& e = g_textEntry;
    const bool isDown = down != 0;
    std::vector<u16>& t = e.typed;
    switch (code) {
    case 0x0E:  // Backspace
        if (!isDown) break;
        repeatIfAllowed(repeatAllowed, code);
        if (e.cursor > 0) t.erase(t.begin() + --e.cursor);
        return;
    case 0xD3:  // Delete
        if (!isDown) break;
        repeatIfAllowed(repeatAllowed, code);
        if (e.cursor < t.size()) t.erase(t.begin() + e.cursor);
        return;
    case 0xCB:  // Left
        if (!isDown) break;
        repeatIfAllowed(repeatAllowed, code);
        if (e.cursor > 0) --e.cursor;
        return;
    case 0xCD:  // Right
        if (!isDown) break;
        repeatIfAllowed(repeatAllowed, code);
        if (e.cursor < t.size()) ++e.cursor;
        return;
    case 0xC7:  // Home
        if (!isDown) break;
        e.cursor = 0;
        return;
    case 0xCF:  // End
        if (!isDown) break;
        e.cursor = u32(t.size());
        return;
    case 0xD2:  // Insert
        if (!isDown) break;
        e.overwrite = !e.overwrite;
        return;
    case 0x3A:  // Caps Lock
        if (!isDown) break;
        e.capsLock = !e.capsLock;
        return;
    case 0x2A:
    case 0x36:
        e.shift = isDown;
        break;
    case 0x1D:
    case 0x9D:
        e.control = isDown;
        break;
    case 0x38:
    case 0xB8:
        e.alt = isDown;
        break;
    default:
        break;
    }
    if (!isDown) {
        if (code == g_keyRepeat.code) stopKeyRepeat();
        return;
    }
    // The code is checked before the table is read.
    if (code >= 256) return;
    u16 c = textCharacterOfKey(code, e.shift, e.control, e.alt);
    if (c == 0) return;
    if (e.capsLock) {
        if (e.shift && c >= 'A' && c <= 'Z') c = u16(c - 'A' + 'a');
        else if (!e.shift && c >= 'a' && c <= 'z') c = u16(c - 'a' + 'A');
    }
    if (contains(e.terminators, c)) {
        setTextEntryActive(0);
        stopKeyRepeat();
        return;
    }
    if (contains(e.callbackCodes, c)) e.callbackCharacter = c;
    if (e.allowed.empty()) return;
    if (!contains(e.allowed, c)) {
        if (!contains(e.callbackCodes, c)) ++e.refused;
        return;
    }
    if (e.maximumLength != 0 && t.size() + 1 > e.maximumLength) {
        repeatIfAllowed(repeatAllowed, code);
        return;
    }
    if (e.overwrite && e.cursor < t.size()) t[e.cursor] = c;
    else if (t.size() < e.reserved) t.insert(t.begin() + e.cursor, c);
    else return;  // an entry without a limit keeps to the room it reserved
    ++e.cursor;
    repeatIfAllowed(repeatAllowed, code);
}

u32 getTypedText(char16_t* buffer, u32 size) {
    if (!buffer || size == 0) return 0;
    std::fill(buffer, buffer + size, u'\0');
    const u32 n = std::min<u32>(size - 1, u32(g_textEntry.typed.size()));
    for (u32 i = 0; i < n; ++i) buffer[i] = char16_t(g_textEntry.typed[i]);
    return 1;
}

u16 takeTextEntryCallbackCharacter() {
    const u16 c = g_textEntry.callbackCharacter;
    g_textEntry.callbackCharacter = 0;
    return c;
}

u32 textEntryRefusedCount() { return g_textEntry.refused; }

void setKeyRepeatTimings(f32 delaySeconds, f32 intervalSeconds) {
    g_keyRepeat.delay = delaySeconds;
    g_keyRepeat.interval = intervalSeconds;
}

void startKeyRepeat(u32 code) {
    g_keyRepeat.phase = 1;
    g_keyRepeat.timer = g_keyRepeat.delay;
    g_keyRepeat.code = code;
    g_keyRepeat.pressedThisFrame = true;
}

void stopKeyRepeat() {
    g_keyRepeat.phase = 0;
    g_keyRepeat.timer = 0.0f;
    g_keyRepeat.code = 0;
}

void updateKeyRepeat(f32 dt) {
    if (g_keyRepeat.phase == 0) return;
    if (g_keyRepeat.pressedThisFrame) {
        g_keyRepeat.pressedThisFrame = false;
        return;
    }
    g_keyRepeat.timer -= dt;
    if (g_keyRepeat.timer > 0.0f) return;
    g_keyRepeat.phase = 2;
    g_keyRepeat.timer = g_keyRepeat.interval;
    handleTextKey(1, g_keyRepeat.code, false);
}
