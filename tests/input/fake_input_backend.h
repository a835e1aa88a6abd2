// A device backend the tests fill: queued key and mouse records, pointer motion, pad states by
// ordinal, and a log of every rumble call.
#pragma once

#include "platform/input/input_backend.h"

#include <vector>

struct SRumbleCall {
    u32 ordinal;
    u16 low, high;
    bool operator==(const SRumbleCall&) const = default;
};

class ClFakeInputBackend final : public IInputBackend {
public:
    void open(bool) override {}
    void close() override {}
    bool keyboardExists() const override { return true; }
    bool mouseExists() const override { return true; }
    s32 readKeyRecords(SInputKeyRecord* out, u32 capacity) override {
        if (lost) {
            lost = false;
            keys.clear();
            return -1;
        }
        u32 n = 0;
        for (; n < keys.size() && n < capacity; ++n) out[n] = keys[n];
        keys.erase(keys.begin(), keys.begin() + n);
        return s32(n);
    }
    s32 readMouseRecords(SInputMouseRecord* out, u32 capacity) override {
        u32 n = 0;
        for (; n < mouse.size() && n < capacity; ++n) out[n] = mouse[n];
        mouse.clear();
        return s32(n);
    }
    void readMouseMotion(s32* x, s32* y) override {
        *x = dx;
        *y = dy;
        dx = dy = 0;
    }
    bool readPad(u32 ordinal, SInputPadState* out) override {
        if (!padPresent[ordinal]) return false;
        *out = pads[ordinal];
        return true;
    }
    void setPadRumble(u32 ordinal, u16 low, u16 high) override { rumble.push_back({ordinal, low, high}); }
    bool capsLockOn() const override { return capsLock; }

    std::vector<SInputKeyRecord> keys;
    std::vector<SInputMouseRecord> mouse;
    s32 dx = 0, dy = 0;
    bool lost = false;
    bool capsLock = false;
    bool padPresent[INPUT_PAD_COUNT] = {};
    SInputPadState pads[INPUT_PAD_COUNT] = {};
    std::vector<SRumbleCall> rumble;
};
