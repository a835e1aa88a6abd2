// The ambient light layer and its modes against a fake runtime that records lights, colours,
// fades and device switches; and the absent runtime of this platform.
#include "core/game_clock.h"
#include "core/saved_options.h"
#include "input/ambient/ambient_light.h"
#include "platform/ambient/ambient_runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct SLightRecord {
    u32 mask = 0;
    bool released = false;
    u32 colour = 0;   // last colour set, packed without alpha
    s64 fadeMs = -1;
    s64 timingMs = 0;
};

class ClFakeAmbientRuntime final : public IAmbientRuntime {
public:
    void release() override { log("release"); }
    SAmbientLight* createLight(u32 mask, u32) override {
        lights.push_back({mask});
        return reinterpret_cast<SAmbientLight*>(uintptr_t(lights.size()));  // its index plus one
    }
    void releaseLight(SAmbientLight* light) override { record(light).released = true; }
    void enableAllDevices(u32 on) override { log(on ? "enable" : "disable"); }
    void update(s32 budget) override { if (budget != 5) log("update " + std::to_string(budget)); }
    void runThreadLoop(u32) override {
        std::unique_lock<std::mutex> lock(mutex);
        stopped.wait(lock, [this] { return stopRequested && !neverStop; });
    }
    void stopThreadLoop(u32) override {
        std::lock_guard<std::mutex> lock(mutex);
        stopRequested = true;
        stopped.notify_all();
    }
    s32 setLightColour(SAmbientLight* light, f32 r, f32 g, f32 b) override {
        auto byte = [](f32 v) { return u32(std::lround(v * 255.0f)); };
        record(light).colour = byte(r) << 16 | byte(g) << 8 | byte(b);
        return 0;
    }
    s32 setLightFadeTime(SAmbientLight* light, s64 ms) override { record(light).fadeMs = ms; return 0; }
    void getLightUpdateTiming(SAmbientLight*, s64* ms, f32* value) override { *ms = 10; *value = 1.0f; }
    void setLightUpdateTiming(SAmbientLight* light, s64 ms, f32) override { record(light).timingMs = ms; }

    void log(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(line);
    }
    SLightRecord& record(SAmbientLight* light) { return lights[size_t(reinterpret_cast<uintptr_t>(light)) - 1]; }
    // Colours of the lights not released, in creation order.
    std::vector<u32> colours() const {
        std::vector<u32> out;
        for (const SLightRecord& l : lights)
            if (!l.released) out.push_back(l.colour);
        return out;
    }

    std::vector<SLightRecord> lights;
    std::vector<std::string> calls;
    std::mutex mutex;
    std::condition_variable stopped;
    bool stopRequested = false;
    bool neverStop = false;
};

ClFakeAmbientRuntime* g_pRuntime = nullptr;
// A runtime whose worker never ends stays reachable until the process ends.
ClFakeAmbientRuntime* g_pStuckRuntime = nullptr;

IAmbientRuntime* fakeFactory(const char*, const char*) { return g_pRuntime; }

class AmbientLayer : public ::testing::Test {
protected:
    void SetUp() override {
        g_pRuntime = runtime = new ClFakeAmbientRuntime;
        ambientSetRuntimeFactory(fakeFactory);
        saved = g_SavedOptions;
    }
    void TearDown() override {
        shutdownAmbientLighting();
        ambientSetRuntimeFactory(nullptr);
        g_SavedOptions = saved;
        if (!runtime->neverStop) delete runtime;
    }
    void start(s32 layout) {
        g_SavedOptions.ambientLayout = layout;
        ASSERT_TRUE(initAmbientLighting(u"Velodrix", nullptr, 1.0f / 30.0f, 5));
    }
    // Runs `count` frames of `dt` seconds; the colours of the lights after them.
    std::vector<u32> frames(int count, f32 dt) {
        for (int i = 0; i < count; ++i) {
            setClockDelta(GAME_CLOCK_SYSTEM, dt);
            updateAmbientLighting();
        }
        return runtime->colours();
    }
    ClFakeAmbientRuntime* runtime = nullptr;
    SSavedOptions saved{};
};

TEST_F(AmbientLayer, LayoutsCreateTheirLightsAndADamagedLayoutIsIgnored) {
    start(3);
    std::vector<s64> masks;
    for (const SLightRecord& l : runtime->lights) masks.push_back(l.mask);
    EXPECT_EQ(masks, (std::vector<s64>{0x080, 0x001, 0x002, 0x060, 0x110, 0x00C}));
    EXPECT_EQ(runtime->lights[0].timingMs, 33);
    // All six released first.
    EXPECT_EQ(setAmbientLightLayout(1), 1u);
    EXPECT_EQ(runtime->colours().size(), size_t(2));
    for (s32 damaged : {-1, 7}) EXPECT_EQ(setAmbientLightLayout(damaged), 0u) << damaged;
    EXPECT_EQ(runtime->colours().size(), size_t(2));
    shutdownAmbientLighting();
    g_SavedOptions.ambientLayout = 99;
    EXPECT_TRUE(initAmbientLighting(u"Velodrix", u"1.0", 1.0f / 30.0f, 5)) << "a damaged save does not stop start-up";
    EXPECT_EQ(runtime->colours().size(), size_t(0));
}

TEST_F(AmbientLayer, DisableFadesToBlackAndSwitchesDevicesOffHalfASecondLater) {
    start(0);
    setAllAmbientLightColours(1, 0xFF123456, 1.0f);
    runtime->calls.clear();
    disableAmbientEffects();
    EXPECT_EQ(runtime->lights[0].colour, 0);
    EXPECT_EQ(runtime->lights[0].fadeMs, 250);
    frames(4, 0.1f);
    enableAmbientEffects();  // within the half second: nothing is switched off or on
    disableAmbientEffects();
    frames(7, 0.1f);
    enableAmbientEffects();
    EXPECT_EQ(runtime->calls, (std::vector<std::string>{"disable", "update 300", "enable", "update 300"}));
}

TEST_F(AmbientLayer, MenuDriftAlternatesPalettesEveryFourSeconds) {
    start(2);
    setAmbientMode(E_AMBIENT_FRONT_END);
    const std::vector<u32> b = {0x1251FF, 0x4B468F, 0x1E2458}, a = {0x90C8FC, 0x1A1743, 0x195FC9};
    // Palettes after 0, 1, 64 and 65 frames of 1/16 s.
    std::vector<std::vector<u32>> seen{runtime->colours()};
    for (int count : {1, 63, 1}) seen.push_back(frames(count, 0.0625f));
    EXPECT_EQ(seen, (std::vector<std::vector<u32>>{b, a, a, b}));
    EXPECT_EQ(runtime->lights[0].fadeMs, 4000);
    setAmbientMode(E_AMBIENT_PAUSED);
    EXPECT_EQ(frames(1, 0.0625f), (std::vector<u32>{0x00BFFF, 0x00BFFF, 0x0000EE}));
}

TEST_F(AmbientLayer, PlayStepShowsAFlashForOneStepAndTheChargeColour) {
    start(3);
    setAmbientBaseColour(0xFF203040);
    setAmbientMode(E_AMBIENT_PLAY);
    requestAmbientFlash(0xFFFF0000);
    EXPECT_EQ(frames(2, 1.0f / 30.0f), (std::vector<u32>{0xFF0000, 0x203040, 0xFF0000, 0x203040, 0x203040, 0x203040}));
    EXPECT_EQ(runtime->lights[0].fadeMs, 66);
    EXPECT_EQ(frames(2, 1.0f / 30.0f), std::vector<u32>(6, 0x203040));
    EXPECT_EQ(beginAmbientCharge(7, 0xFF808080), 1u);
    EXPECT_EQ(beginAmbientCharge(8, 0xFF000000), 0u);
    EXPECT_EQ(setAmbientChargeLevel(8, 1.0f), 0u);
    EXPECT_EQ(setAmbientChargeLevel(7, 0.5f), 1u);
    EXPECT_EQ(frames(2, 1.0f / 30.0f), (std::vector<u32>{0x203040, 0x203040, 0x203040, 0x505050, 0x203040, 0x505050}));
    EXPECT_EQ(endAmbientCharge(7), 1u);
}

TEST_F(AmbientLayer, MeterFillsWhiteInItsOrderOncePerPostedLevel) {
    start(4);
    setAmbientMode(E_AMBIENT_BOSS_METER);
    EXPECT_EQ(runtime->colours(), std::vector<u32>(9, 0xFF0000));
    postAmbientMeterLevel(0.5f);
    const u32 W = 0xFFFFFF, R = 0xFF0000;
    EXPECT_EQ(frames(1, 0.01f), (std::vector<u32>{W, R, R, W, R, R, W, R, W}));
    runtime->lights[0].colour = 0;
    frames(1, 0.01f);                      // the posted level is consumed
    setAmbientMode(E_AMBIENT_BOSS_METER);  // the mode in effect: nothing
    EXPECT_EQ(runtime->lights[0].colour, 0u);
}

TEST_F(AmbientLayer, ShutdownEndsAfterItsWaitWhenTheWorkerNeverSignals) {
    runtime->neverStop = true;
    g_pStuckRuntime = runtime;
    start(0);
    shutdownAmbientLighting(50);
    EXPECT_FALSE(ambientLightingPresent());
    EXPECT_EQ(std::count(runtime->calls.begin(), runtime->calls.end(), "release"), 0L);
}

TEST(AmbientLight, TheRuntimeIsAbsentAndModesOutsideTheRangeStop) {
    EXPECT_FALSE(initAmbientLighting(u"Velodrix", u"1.0", 1.0f / 30.0f, 5));
    EXPECT_EXIT(setAmbientMode(5), ::testing::ExitedWithCode(3), "ambient light mode 5");
}

}  // namespace
