#include "input/ambient/ambient_light.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/saved_options.h"
#include "core/timers.h"
#include "platform/ambient/ambient_runtime.h"
#include "platform/os/os.h"

#include <pthread.h>

#include <cmath>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

namespace {

struct SLayout {
    u32 count;
    u32 masks[AMBIENT_MAX_LIGHTS];
};

constexpr SLayout LAYOUTS[5] = {
    {1, {0x000}},
    {2, {0x0E0, 0x00E}},
    {3, {0x0E0, 0x111, 0x00E}},
    {6, {0x080, 0x001, 0x002, 0x060, 0x110, 0x00C}},
    {9, {0x001, 0x010, 0x004, 0x040, 0x100, 0x002, 0x080, 0x008, 0x020}},
};

constexpr s32 CHANGE_BUDGET = 300;
constexpr u32 WORKER_THREAD_ID = 1;

// Shared with the worker, which may outlive the layer when it does not end in time.
struct SWorker {
    IAmbientRuntime* runtime = nullptr;
    ClEvent finished{false, false};
};

struct SAmbientLayer {
    IAmbientRuntime* runtime = nullptr;
    std::shared_ptr<SWorker> worker;
    std::thread thread;
    s32 absent = 1;  // 1 absent, 0 present, -1 after shutdown
    bool enabled = false;
    bool suspended = false;
    bool devicesOff = false;
    f32 offFadeTimer = 0.0f;
    f32 period = 1.0f / 30.0f;
    f32 updateTimer = 1.0f / 30.0f;
    s32 budget = 5;
    s32 layout = 0;
    SAmbientLight* lights[AMBIENT_MAX_LIGHTS] = {};
    u32 lightCount = 0;
};

SAmbientLayer g_layer;

bool present() { return g_layer.absent == 0; }

// Units of 256 or more become '_'.
std::string narrow(const char16_t* text) {
    std::string out;
    for (const char16_t* p = text; p && *p && out.size() < 767; ++p) out.push_back(*p < 256 ? char(*p) : '_');
    return out;
}

void releaseLights() {
    for (SAmbientLight*& light : g_layer.lights) {
        if (light && g_layer.runtime) g_layer.runtime->releaseLight(light);
        light = nullptr;
    }
    g_layer.lightCount = 0;
}

void runWorker(std::shared_ptr<SWorker> worker) {
    worker->runtime->runThreadLoop(WORKER_THREAD_ID);
    worker->finished.set();
}

}  // namespace

bool initAmbientLighting(const char16_t* applicationName, const char16_t* versionText, f32 period, s32 budget) {
    g_layer = {};
    g_layer.period = g_layer.updateTimer = period;
    g_layer.budget = budget;
    g_layer.runtime = ambientCreateRuntime(narrow(applicationName).c_str(), narrow(versionText).c_str());
    if (g_layer.runtime) {
        // The finished event exists before the worker that signals it.
        g_layer.worker = std::make_shared<SWorker>();
        g_layer.worker->runtime = g_layer.runtime;
        try {
            g_layer.thread = std::thread(runWorker, g_layer.worker);
            pthread_setname_np(g_layer.thread.native_handle(), "ambient light");
            g_layer.absent = 0;
            g_layer.enabled = true;
        } catch (const std::system_error&) {
            g_layer.worker.reset();
        }
    }
    resetAmbientEffects();
    setAmbientLightLayout(savedOptions().ambientLayout);
    return present();
}

void shutdownAmbientLighting(u32 waitMilliseconds) {
    bool runtimeFree = true;
    if (present()) {
        for (SAmbientLight* light : g_layer.lights) {
            if (light) g_layer.runtime->setLightColour(light, 0.0f, 0.0f, 0.0f);
        }
        g_layer.runtime->update(CHANGE_BUDGET);
        g_layer.runtime->stopThreadLoop(WORKER_THREAD_ID);
        if (g_layer.worker->finished.wait(waitMilliseconds) == E_OSWAIT_SIGNALLED) {
            g_layer.thread.join();
        } else {
            // A worker stuck in the runtime keeps the runtime; shutdown goes on without it.
            g_layer.thread.detach();
            runtimeFree = false;
        }
    }
    if (runtimeFree) {
        releaseLights();
        if (g_layer.runtime) g_layer.runtime->release();
    }
    g_layer.runtime = nullptr;
    g_layer.worker.reset();
    for (SAmbientLight*& light : g_layer.lights) light = nullptr;
    g_layer.lightCount = 0;
    g_layer.absent = -1;
    g_layer.enabled = false;
}

bool ambientLightingPresent() { return present(); }

bool ambientEffectsEnabled() { return present() && g_layer.enabled; }

f32 ambientUpdatePeriod() { return g_layer.period; }

void updateAmbientLighting() {
    if (!present()) return;
    const f32 dt = gameClock(GAME_CLOCK_SYSTEM).frameTime;
    if (g_layer.enabled) {
        updateAmbientEffects(dt);
    } else if (g_layer.offFadeTimer > 0.0f) {
        countDownTimer(&g_layer.offFadeTimer, dt);
    } else if (!g_layer.devicesOff) {
        g_layer.runtime->enableAllDevices(0);
        g_layer.runtime->update(CHANGE_BUDGET);
        g_layer.devicesOff = true;
    }
    g_layer.updateTimer -= dt;
    if (g_layer.updateTimer <= 0.0f) {
        g_layer.runtime->update(g_layer.budget);
        g_layer.updateTimer = g_layer.period;
    }
}

u32 setAmbientLightLayout(s32 layout) {
    if (!present() || layout < 0 || layout > 4) return 0;
    releaseLights();
    const SLayout& l = LAYOUTS[layout];
    const s64 periodMs = s64(g_layer.period * 1000.0f);
    for (u32 i = 0; i < l.count; ++i) {
        SAmbientLight* light = g_layer.runtime->createLight(l.masks[i], 1);
        if (!light) continue;
        s64 ms = 0;
        f32 value = 0.0f;
        g_layer.runtime->getLightUpdateTiming(light, &ms, &value);
        g_layer.runtime->setLightUpdateTiming(light, periodMs, value);
        g_layer.lights[i] = light;
        ++g_layer.lightCount;
    }
    g_layer.runtime->update(CHANGE_BUDGET);
    g_layer.layout = layout;
    return 1;
}

s32 ambientLightLayout() { return g_layer.layout; }

u32 setAmbientLightColour(u32 light, u32 packedColour, f32 fadeSeconds) {
    if (!present() || light >= AMBIENT_MAX_LIGHTS || !g_layer.lights[light]) return 0;
    SAmbientLight* l = g_layer.lights[light];
    if (g_layer.runtime->setLightColour(l, f32((packedColour >> 16) & 0xFF) / 255.0f, f32((packedColour >> 8) & 0xFF) / 255.0f,
                                        f32(packedColour & 0xFF) / 255.0f) != 0)
        return 0;
    return g_layer.runtime->setLightFadeTime(l, s64(fadeSeconds * 1000.0f)) == 0 ? 1 : 0;
}

u32 setAllAmbientLightColours(s32 count, u32 packedColour, f32 fadeSeconds) {
    u32 all = 1;
    for (s32 i = 0; i < count; ++i) all &= setAmbientLightColour(u32(i), packedColour, fadeSeconds);
    return all;
}

u32 disableAmbientEffects() {
    if (!present() || !g_layer.enabled) return 0;
    setAllAmbientLightColours(s32(AMBIENT_MAX_LIGHTS), 0xFF000000u, 0.25f);
    g_layer.offFadeTimer = 0.5f;
    g_layer.enabled = false;
    return 1;
}

u32 enableAmbientEffects() {
    if (!present() || g_layer.enabled) return 0;
    g_layer.offFadeTimer = 0.0f;
    g_layer.enabled = true;
    if (g_layer.devicesOff) {
        g_layer.runtime->enableAllDevices(1);
        g_layer.runtime->update(CHANGE_BUDGET);
        g_layer.devicesOff = false;
    }
    reapplyAmbientMode();
    return 1;
}

u32 suspendAmbientEffects() {
    if (!present() || g_layer.suspended) return 0;
    if (g_layer.enabled) disableAmbientEffects();
    g_layer.suspended = true;
    return 1;
}

void resumeAmbientEffects() {
    if (!present() || !g_layer.suspended) return;
    enableAmbientEffects();
    g_layer.suspended = false;
}
