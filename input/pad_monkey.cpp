#include "input/pad_monkey.h"

#include "core/config.h"
#include "core/random.h"
#include "input/input_channels.h"
#include "input/input_devices.h"
#include "input/input_imports.h"
#include "input/input_records.h"

#include <algorithm>
#include <cstring>

namespace {

struct SMonkeyInput {
    bool analog;   // the press gets a random sign
    bool oneShot;  // the press lasts one update
    s32 minReps, maxReps;
    f32 minHold, maxHold;
};

struct SMonkeyPress {
    s32 field;
    f32 value;
    f32 hold;
    f32 gap;
    u32 phase;  // 1 pressed, 0 released
    f32 timer;
    s32 repetitions;
    bool oneShot;
};

constexpr u32 WEIGHTED_LIST_CAPACITY = 1024;
constexpr f32 POINTER_STEP_PERIOD = 0.05f;
constexpr s32 POINTER_CYCLE_STEPS = 30;

struct SPadMonkey {
    SPadMonkeyTuning tuning;
    SMonkeyInput inputs[RAW_PAD_FIELD_COUNT];
    s32 weights[RAW_PAD_FIELD_COUNT];
    SMonkeyPress presses[PAD_MONKEY_PRESS_CAPACITY];
    u32 activeCount;
    f32 spawnTimer;
    f32 spawnScale;
    f32 pointerX, pointerY;
    f32 stepTimer;
    s32 stepCounter;
};

SPadMonkey g_monkey;

void readTuning(const char* key, f32* value) {
    const f32 read = configGetFloat(key);
    if (read > 0.0f) *value = read;
}

void readTuning(const char* key, s32* value) {
    const s32 read = configGetInt(key);
    if (read > 0) *value = read;
}

void removePress(u32 index) { g_monkey.presses[index] = g_monkey.presses[--g_monkey.activeCount]; }

void agePresses(f32 dt) {
    for (u32 i = 0; i < g_monkey.activeCount;) {
        SMonkeyPress& p = g_monkey.presses[i];
        p.timer -= dt;
        if (p.timer < 0.0f || p.oneShot) {
            if (p.phase == 0 || p.oneShot) {
                p.phase = 1;
                p.timer = p.hold;
            } else {
                p.timer = p.gap;
                p.phase = 0;
                if (--p.repetitions <= 0) {
                    removePress(i);
                    continue;
                }
            }
        }
        ++i;
    }
}

void startPress(f32 dt) {
    g_monkey.spawnTimer -= dt;
    if (g_monkey.spawnTimer > 0.0f) return;
    s32 list[WEIGHTED_LIST_CAPACITY];
    u32 length = 0;
    for (s32 field = 0; field < RAW_PAD_FIELD_COUNT; ++field) {
        for (s32 k = 0; k < g_monkey.weights[field] && length < WEIGHTED_LIST_CAPACITY; ++k) list[length++] = field;
    }
    if (length == 0) return;
    const s32 field = list[randomIntBelow(s32(length))];
    const SMonkeyInput& input = g_monkey.inputs[field];
    SMonkeyPress press{};
    press.field = field;
    press.gap = g_monkey.tuning.betweenTime;
    press.phase = 1;
    press.oneShot = input.oneShot;
    press.hold = input.minHold + (input.maxHold - input.minHold) * randomUnitFloat();
    press.timer = press.hold;
    press.value = input.analog ? (sfmtGenRand32() < 0x80000000u ? -1.0f : 1.0f) : 1.0f;
    press.repetitions = input.minReps + randomIntBelow(input.maxReps - input.minReps + 1);
    if (g_monkey.activeCount < PAD_MONKEY_PRESS_CAPACITY) g_monkey.presses[g_monkey.activeCount++] = press;
    g_monkey.spawnTimer = g_monkey.spawnScale * ((press.gap + press.hold) * f32(press.repetitions));
}

void applyPresses() {
    for (u32 n = 0; n < INPUT_PLAYER_COUNT; ++n) {
        const u32 player = g_aPlayerPadMap[n] & 3u;
        if (n != 0) {
            g_aPadConnected[player] = 0;
            continue;
        }
        g_aPadConnected[player] = 1;
        f32* raw = g_aRawPadRecords[player];
        for (u32 i = 0; i < g_monkey.activeCount;) {
            const SMonkeyPress& p = g_monkey.presses[i];
            if (p.phase == 1) raw[p.field] = std::clamp(raw[p.field] + p.value, -1.0f, 1.0f);
            if (p.oneShot) {
                removePress(i);
                continue;
            }
            ++i;
        }
    }
}

void randomPointerStep() {
    const f32 scale = randomIntBelow(15) == 4 ? 6.0f : 1.0f;
    g_monkey.stepTimer = POINTER_STEP_PERIOD;
    g_monkey.pointerX = std::clamp(g_monkey.pointerX + (randomUnitFloat() * 0.48f - 0.24f) * scale, 0.0f, 1.0f);
    g_monkey.pointerY = std::clamp(g_monkey.pointerY + (randomUnitFloat() * 0.48f - 0.24f) * scale, 0.0f, 1.0f);
}

void movePointer(f32 dt) {
    g_monkey.stepTimer -= dt;
    if (g_monkey.stepTimer <= 0.0f) {
        if (--g_monkey.stepCounter == 0) {
            g_monkey.stepCounter = POINTER_CYCLE_STEPS;
            randomPointerStep();
        } else {
            f32 x = 0.0f, y = 0.0f;
            if (g_monkey.stepCounter < 20) randomPointerRegionCentre(&x, &y);
            if (x != 0.0f || y != 0.0f) {
                g_monkey.pointerX = x;
                g_monkey.pointerY = y;
                g_monkey.stepTimer = POINTER_STEP_PERIOD;
            } else {
                randomPointerStep();
            }
        }
    }
    g_aRawPadRecords[0][E_RAW_POINTER_PRESENT] = 1.0f;
    g_aRawPadRecords[0][E_RAW_POINTER_X] = g_monkey.pointerX;
    g_aRawPadRecords[0][E_RAW_POINTER_Y] = g_monkey.pointerY;
}

}  // namespace

void initPadMonkey() {
    SPadMonkeyTuning& t = g_monkey.tuning;
    t = {0.05f, 0.03f, 0.03f, 1, 5, 0.075f, 0.075f, 1, 1};
    readTuning("PAD_MONKEY_BETWEEN_TIME", &t.betweenTime);
    readTuning("PAD_MONKEY_DIGITAL_MIN_HOLD", &t.digitalMinHold);
    readTuning("PAD_MONKEY_DIGITAL_MAX_HOLD", &t.digitalMaxHold);
    readTuning("PAD_MONKEY_DIGITAL_MIN_REPS", &t.digitalMinReps);
    readTuning("PAD_MONKEY_DIGITAL_MAX_REPS", &t.digitalMaxReps);
    readTuning("PAD_MONKEY_ANALOG_MIN_HOLD", &t.analogMinHold);
    readTuning("PAD_MONKEY_ANALOG_MAX_HOLD", &t.analogMaxHold);
    readTuning("PAD_MONKEY_ANALOG_MIN_REPS", &t.analogMinReps);
    readTuning("PAD_MONKEY_ANALOG_MAX_REPS", &t.analogMaxReps);

    std::memset(g_monkey.inputs, 0, sizeof g_monkey.inputs);
    std::memset(g_monkey.weights, 0, sizeof g_monkey.weights);
    for (s32 field = E_RAW_A; field <= E_RAW_DPAD_RIGHT; ++field) {
        g_monkey.inputs[field] = {false, false, t.digitalMinReps, t.digitalMaxReps, t.digitalMinHold, t.digitalMaxHold};
    }
    for (s32 field = E_RAW_LEFT_Y; field <= E_RAW_RIGHT_X; ++field) {
        g_monkey.inputs[field] = {true, false, t.analogMinReps, t.analogMaxReps, t.analogMinHold, t.analogMaxHold};
    }
    g_monkey.inputs[E_RAW_MOUSE_LEFT] = {false, true, 1, 1, 0.025f, 0.025f};
    g_monkey.inputs[E_RAW_MOUSE_RIGHT] = {false, true, 1, 1, 0.025f, 0.025f};
    g_monkey.weights[E_RAW_MOUSE_LEFT] = 10;
    g_monkey.weights[E_RAW_MOUSE_RIGHT] = 3;
    g_monkey.activeCount = 0;
    g_monkey.spawnTimer = 0.0f;
    g_monkey.spawnScale = 1.0f;
    g_monkey.pointerX = g_monkey.pointerY = 0.0f;
    g_monkey.stepTimer = 0.0f;
    g_monkey.stepCounter = POINTER_CYCLE_STEPS;
}

void updatePadMonkey(f32 dt) {
    agePresses(dt);
    startPress(dt);
    applyPresses();
    movePointer(dt);
}

s32 randomIntBelow(s32 n) { return n > 0 ? s32((sfmtGenRand32() % 0x7fffffffu) % u32(n)) : 0; }
