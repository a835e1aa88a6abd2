// A device backend the tests fill: queued key and mouse records, pointer motion, pad states by
// ordinal, and a log of every rumble call.
#pragma once

#include "platform/input/input_backend.h"

#include <algorithm>
#include <vector>

struct RumbleCall {
    u32 pad;  // ordinal
    u16 low;  // motor speeds
    u16 high;
};

class ClFakeInputBackend final : public IInputBackend {
public:
    void open(bool) override {}
    void close() override {}
    bool keyboardExists() const override { return true; }
    bool mouseExists() const override { return true; }
    s32 readKeyRecords(SInputKeyRecord* out, u32 capacity) override {
        if (!lost) return take(keys, out, capacity);
        lost = false;
        keys.clear();
        return -1;
    }
    s32 readMouseRecords(SInputMouseRecord* out, u32 capacity) override { return take(mouse, out, capacity); }
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
    std::vector<RumbleCall> rumble;

private:
    // Moves up to `capacity` queued records out, oldest first.
    template <typename T>
    static s32 take(std::vector<T>& queue, T* out, u32 capacity) {
        const size_t n = std::min<size_t>(queue.size(), capacity);
        std::copy_n(queue.begin(), n, out);
        queue.erase(queue.begin(), queue.begin() + ptrdiff_t(n));
        return s32(n);
    }
};
