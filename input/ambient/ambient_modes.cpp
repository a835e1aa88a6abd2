#include "core/fatal_error.h"
#include "core/random.h"
#include "core/timers.h"
#include "input/ambient/ambient_light.h"

#include <algorithm>

namespace {

constexpr u32 DRIFT_A[3] = {0xFF90C8FC, 0xFF1A1743, 0xFF195FC9};
constexpr u32 DRIFT_B[3] = {0xFF1251FF, 0xFF4B468F, 0xFF1E2458};
constexpr u32 PAUSE_P = 0xFF0000EE;
constexpr u32 PAUSE_Q = 0xFF00BFFF;
constexpr u32 STROBE_COLOURS[5] = {0xFFE01010, 0xFFA0A0A0, 0xFFC0C0C0, 0xFFF02020, 0xFFFF5050};
constexpr u32 METER_RED = 0xFFFF0000;
constexpr u32 METER_WHITE = 0xFFFFFFFF;
constexpr f32 NO_LEVEL = -1.0f;
// Entry 1 of the first preset scheme, until the world pushes its own.
constexpr u32 DEFAULT_BASE_COLOUR = 0xFF0000CD;

struct SAmbientModes {
    s32 mode = E_AMBIENT_NONE;
    f32 driftPeriod = 0, driftTimer = 0;
    bool driftPalette = false;
    f32 pausePeriod = 0, pauseTimer = 0;
    bool pausePalette = false;
    bool strobePhase = false;
    f32 plainTimer = 0, strobeTimer = 0;
    f32 stepPeriod = 0, stepTimer = 0;
    bool flashPending = false;
    u32 flashColour = 0xFFFFFFFF;
    bool chargeActive = false;
    u32 chargeOwner = 0;
    f32 chargeLevel = 0;
    u32 chargeColour = 0;
    f32 meterLevel = NO_LEVEL;
};

SAmbientModes g_modes;
u32 g_uBaseColour = DEFAULT_BASE_COLOUR;

// Sets light i to colours[i] for each listed light.
void show(const u32* colours, u32 count, f32 fade) {
    for (u32 i = 0; i < count; ++i) setAmbientLightColour(i, colours[i], fade);
}

u32 lightsOf(s32 layout) {
    static constexpr u32 counts[5] = {1, 2, 3, 6, 9};
    return counts[std::clamp(layout, 0, 4)];
}

void rebuildDrift() {
    const u32* p = g_modes.driftPalette ? DRIFT_B : DRIFT_A;
    const s32 layout = ambientLightLayout();
    u32 colours[9];
    if (layout == 0) colours[0] = g_modes.driftPalette ? DRIFT_B[2] : DRIFT_A[0];
    else if (layout == 1) colours[0] = p[0], colours[1] = p[2];
    else for (u32 i = 0; i < 9; ++i) colours[i] = p[i % 3];
    show(colours, lightsOf(layout), 4.0f);
}

void rebuildPause() {
    static constexpr char FLAG1[5][10] = {"P", "PQ", "PPQ", "PPQPPQ", "PPQPPQPPQ"};
    static constexpr char FLAG0[5][10] = {"Q", "QP", "QQP", "QQPPPQ", "QQPPPQPPQ"};
    const s32 layout = ambientLightLayout();
    const char* pattern = g_modes.pausePalette ? FLAG1[layout] : FLAG0[layout];
    u32 colours[9];
    for (u32 i = 0; i < lightsOf(layout); ++i) colours[i] = pattern[i] == 'P' ? PAUSE_P : PAUSE_Q;
    show(colours, lightsOf(layout), 3.5f);
}

u32 chargeColour() {
    const f32 level = std::clamp(g_modes.chargeLevel, 0.0f, 1.0f);
    u32 out = g_modes.chargeColour & 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const f32 part = std::min(f32((g_modes.chargeColour >> shift) & 0xFF) * 1.25f, 255.0f);
        out |= u32(s32(part * level)) << shift;
    }
    return out;
}

// Modes 1 and 3: B base, F flash, C charge, by layout and by the charge and flash states.
void rebuildStep(bool strobe) {
    static constexpr const char* TABLE[5][4] = {
        {"B", "F", "C", "C"},
        {"BB", "FF", "CC", "CC"},
        {"BBB", "FBF", "CBC", "CFC"},
        {"BBBBBB", "FBFBBB", "BBBCBC", "FBFCBC"},
        {"BBBBBBBBB", "BBBBBFFBB", "BCCCCBBBB", "BCCCCFFBB"},
    };
    const s32 layout = ambientLightLayout();
    const int column = (g_modes.chargeActive ? 2 : 0) + (g_modes.flashPending ? 1 : 0);
    u32 base = g_uBaseColour;
    if (strobe && g_modes.strobePhase && column != 1) base = STROBE_COLOURS[(sfmtGenRand32() % 0x7fffffffu) % 5];
    const u32 charge = chargeColour();
    u32 colours[9];
    for (u32 i = 0; i < lightsOf(layout); ++i) {
        const char k = TABLE[layout][column][i];
        colours[i] = k == 'F' ? g_modes.flashColour : k == 'C' ? charge : base;
    }
    show(colours, lightsOf(layout), 2.0f * ambientUpdatePeriod());
}

u32 whiteLightsFor(s32 layout, f32 v) {
    if (v == 0.0f) return 0;
    if (layout == 0) return 1;
    static constexpr f32 THRESHOLDS[5] = {0.16f, 0.33f, 0.5f, 0.66f, 0.82f};
    static constexpr u32 WHITES[5][6] = {{}, {1, 1, 1, 1, 2, 2}, {1, 1, 2, 2, 3, 3}, {1, 2, 3, 4, 5, 6}, {1, 3, 4, 6, 7, 9}};
    u32 band = 5;
    for (u32 i = 0; i < 5; ++i) {
        if (v <= THRESHOLDS[i]) {
            band = i;
            break;
        }
    }
    return WHITES[layout][band];
}

void rebuildMeter() {
    if (g_modes.meterLevel == NO_LEVEL) return;
    static constexpr u32 FILL[5][9] = {{0}, {0, 1}, {0, 1, 2}, {0, 3, 1, 4, 2, 5}, {6, 3, 8, 0, 1, 4, 2, 5, 7}};
    const s32 layout = ambientLightLayout();
    const u32 whites = whiteLightsFor(layout, g_modes.meterLevel);
    u32 colours[9];
    for (u32 k = 0; k < lightsOf(layout); ++k) colours[FILL[layout][k]] = k < whites ? METER_WHITE : METER_RED;
    show(colours, lightsOf(layout), 2.0f * ambientUpdatePeriod());
    g_modes.meterLevel = NO_LEVEL;
}

void rebuild(s32 mode) {
    switch (mode) {
    case E_AMBIENT_FRONT_END: rebuildDrift(); break;
    case E_AMBIENT_PLAY: rebuildStep(false); break;
    case E_AMBIENT_PAUSED: rebuildPause(); break;
    case E_AMBIENT_PLAY_STROBE: rebuildStep(true); break;
    case E_AMBIENT_BOSS_METER: rebuildMeter(); break;
    default: break;
    }
}

bool stepRunsOut(f32 dt) {
    countDownTimer(&g_modes.stepTimer, dt);
    if (g_modes.stepTimer > 0.0f) return false;
    g_modes.stepTimer = g_modes.stepPeriod;
    return true;
}

}  // namespace

void setAmbientMode(s32 mode) {
    if (mode < E_AMBIENT_NONE || mode > E_AMBIENT_BOSS_METER) fatalErrorf("ambient light mode %d out of range", mode);
    if (!ambientEffectsEnabled() || mode == g_modes.mode) return;
    switch (mode) {
    case E_AMBIENT_FRONT_END:
        g_modes.driftPalette = true;
        g_modes.driftPeriod = 4.0f;
        g_modes.driftTimer = 0.0f;
        break;
    case E_AMBIENT_PLAY:
        if (g_modes.mode != E_AMBIENT_PLAY_STROBE) {
            g_modes.flashColour = 0xFFFFFFFF;
            g_modes.flashPending = false;
            g_modes.chargeActive = false;
            g_modes.stepPeriod = 2.0f * ambientUpdatePeriod();
            g_modes.stepTimer = g_modes.stepPeriod;
        }
        break;
    case E_AMBIENT_PAUSED:
        g_modes.pausePalette = true;
        g_modes.pausePeriod = 3.5f;
        g_modes.pauseTimer = 0.0f;
        break;
    case E_AMBIENT_PLAY_STROBE:
        g_modes.plainTimer = randomFloatInRange(2.5f, 3.25f);
        break;
    case E_AMBIENT_BOSS_METER:
        g_modes.meterLevel = 0.0f;
        break;
    default:
        break;
    }
    rebuild(mode);
    g_modes.mode = mode;
}

void reapplyAmbientMode() { setAmbientMode(g_modes.mode); }

u32 requestAmbientFlash(u32 packedColour) {
    if (!ambientEffectsEnabled()) return 0;
    g_modes.flashPending = true;
    g_modes.flashColour = packedColour;
    return 1;
}

u32 beginAmbientCharge(u32 owner, u32 packedColour) {
    if (g_modes.chargeActive) return 0;
    g_modes.chargeLevel = 0.0f;
    g_modes.chargeOwner = owner;
    g_modes.chargeActive = true;
    g_modes.chargeColour = packedColour;
    return 1;
}

u32 setAmbientChargeLevel(u32 owner, f32 level) {
    if (!g_modes.chargeActive || g_modes.chargeOwner != owner) return 0;
    g_modes.chargeLevel = level;
    return 1;
}

u32 endAmbientCharge(u32 owner) {
    if (!g_modes.chargeActive || g_modes.chargeOwner != owner) return 0;
    g_modes.chargeActive = false;
    return 1;
}

void postAmbientMeterLevel(f32 level) { g_modes.meterLevel = level; }

void setAmbientBaseColour(u32 packedColour) { g_uBaseColour = packedColour; }

void resetAmbientEffects() { g_modes = {}; }

void updateAmbientEffects(f32 dt) {
    switch (g_modes.mode) {
    case E_AMBIENT_NONE:
        return;
    case E_AMBIENT_FRONT_END:
        countDownTimer(&g_modes.driftTimer, dt);
        if (g_modes.driftTimer > 0.0f) return;
        g_modes.driftTimer = g_modes.driftPeriod;
        g_modes.driftPalette = !g_modes.driftPalette;
        rebuildDrift();
        return;
    case E_AMBIENT_PLAY:
    case E_AMBIENT_PLAY_STROBE:
        if (g_modes.mode == E_AMBIENT_PLAY_STROBE) {
            if (g_modes.strobePhase) {
                if (countDownTimer(&g_modes.strobeTimer, dt) <= 0.0f) {
                    g_modes.plainTimer = randomFloatInRange(2.5f, 3.25f);
                    g_modes.strobePhase = false;
                }
            } else if (countDownTimer(&g_modes.plainTimer, dt) <= 0.0f) {
                g_modes.strobeTimer = randomFloatInRange(1.25f, 2.75f);
                g_modes.strobePhase = true;
            }
        }
        if (!stepRunsOut(dt)) return;
        rebuildStep(g_modes.mode == E_AMBIENT_PLAY_STROBE);
        g_modes.flashPending = false;
        return;
    case E_AMBIENT_PAUSED:
        countDownTimer(&g_modes.pauseTimer, dt);
        if (g_modes.pauseTimer > 0.0f) return;
        g_modes.pauseTimer = g_modes.pausePeriod;
        g_modes.pausePalette = !g_modes.pausePalette;
        rebuildPause();
        return;
    case E_AMBIENT_BOSS_METER:
        rebuildMeter();
        return;
    default:
        fatalErrorf("ambient light mode %d out of range", g_modes.mode);
    }
}
