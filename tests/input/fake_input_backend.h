// A device backend the tests fill: queued key records, pad states by ordinal and the caps lock;
// no mouse moves and nothing rumbles.
#pragma once

#include "platform/input/input_backend.h"

#include <algorithm>
#include <vector>

class ClFakeInputBackend final : public IInputBackend {
public:
    void open(bool) override {}
    void close() override {}
    bool keyboardExists() const override { return true; }
    bool mouseExists() const override { return true; }
    // Up to `capacity` queued records, oldest first; -1 once when the keyboard was lost.
    s32 readKeyRecords(SInputKeyRecord* out, u32 capacity) override {
        if (lost) {
            lost = false;
            keys.clear();
            return -1;
        }
        const size_t n = std::min<size_t>(keys.size(), capacity);
        std::copy_n(keys.begin(), n, out);
        keys.erase(keys.begin(), keys.begin() + ptrdiff_t(n));
        return s32(n);
    }
    s32 readMouseRecords(SInputMouseRecord*, u32) override { return 0; }
    void readMouseMotion(s32* x, s32* y) override { *x = *y = 0; }
    bool readPad(u32 ordinal, SInputPadState* out) override {
        if (!padPresent[ordinal]) return false;
        *out = pads[ordinal];
        return true;
    }
    void setPadRumble(u32, u16, u16) override {}
    bool capsLockOn() const override { return capsLock; }

    std::vector<SInputKeyRecord> keys;
    bool lost = false;
    bool capsLock = false;
    bool padPresent[INPUT_PAD_COUNT] = {};
    SInputPadState pads[INPUT_PAD_COUNT] = {};
};
