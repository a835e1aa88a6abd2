// The ambient light runtime: peripherals that show coloured lights around the player. No such
// runtime exists on Linux, so ambientCreateRuntime answers that it is absent; tests install a
// factory of their own that records what is asked of the lights.
#pragma once

#include "platform/types.h"

struct SAmbientLight;

class IAmbientRuntime {
public:
    virtual ~IAmbientRuntime() = default;
    // Ends the runtime; the object is gone afterwards.
    virtual void release() = 0;
    // Null when the runtime created no light for that location mask.
    virtual SAmbientLight* createLight(u32 locationMask, u32 flag) = 0;
    virtual void releaseLight(SAmbientLight* light) = 0;
    virtual void enableAllDevices(u32 on) = 0;
    virtual void update(s32 budget) = 0;
    // Runs the runtime's own loop on the calling thread until stopThreadLoop.
    virtual void runThreadLoop(u32 threadId) = 0;
    virtual void stopThreadLoop(u32 threadId) = 0;
    // 0 on success; colour parts 0..1.
    virtual s32 setLightColour(SAmbientLight* light, f32 red, f32 green, f32 blue) = 0;
    virtual s32 setLightFadeTime(SAmbientLight* light, s64 milliseconds) = 0;
    virtual void getLightUpdateTiming(SAmbientLight* light, s64* milliseconds, f32* value) = 0;
    virtual void setLightUpdateTiming(SAmbientLight* light, s64 milliseconds, f32 value) = 0;
};

using AmbientRuntimeFactory = IAmbientRuntime* (*)(const char* applicationName, const char* versionText);

// The runtime for this application, or null when none is present (always, on Linux, unless a
// factory was installed).
IAmbientRuntime* ambientCreateRuntime(const char* applicationName, const char* versionText);
// Null restores the absent runtime.
void ambientSetRuntimeFactory(AmbientRuntimeFactory factory);
