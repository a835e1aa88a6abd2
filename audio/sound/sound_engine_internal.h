// The sound engine's run-time records, shared by the engine (voices, handles, update) and the
// bank side (instances of definitions). Not for other subsystems.
#pragma once

#include "audio/sound/music_stream.h"
#include "audio/sound/sound_bank_format.h"
#include "audio/sound/sound_engine.h"
#include "audio/sound/sound_timeline.h"
#include "core/fixed_pool.h"
#include "platform/sound/sound_system.h"

struct SSoundInstance;

// A linear fade: the current value is start + (end - start) x elapsed / duration.
struct SSoundFade {
    f32 elapsed = 0.0f;
    f32 duration = 0.0f;
    f32 current = 1.0f;
    f32 start = 1.0f;
    f32 end = 1.0f;
};

enum ESoundReleaseMode : s32 {
    E_SOUNDRELEASE_HELD = -1,        // the caller's handle keeps it
    E_SOUNDRELEASE_WHEN_ENDED = 0,   // freed when the sound ends
    E_SOUNDRELEASE_AFTER_FADE = 1,   // freed when its fade-out ends
};

struct SSoundVoice {
    SSoundInstance* instance = nullptr;
    u32 sampleIndex = 0;
    ClSound sound;
    ClChannel channel;
    bool isMusic = false;
    u32 timelineHash = 0;
    bool hasTimeline = false;
    STimelinePlayerRef timelinePlayer;
    SSoundFade fadeIn;
    SSoundFade fadeOut;
    bool fadingOut = false;
    s32 releaseMode = E_SOUNDRELEASE_WHEN_ENDED;
    f32 volume = 1.0f;
    f32 pan = 0.0f;
    f32 pitch = 1.0f;
    f32 inputMixLevels[SOUND_INPUT_MIX_CAPACITY] = {};
    // What was last sent to the channel; -1 (or NaN for pan) forces the next send.
    f32 sentVolume = -1.0f;
    f32 sentPan = 0.0f;
    f32 sentFrequency = -1.0f;
    bool panSent = false;
    bool paused = false;
    u32 pausedPositionMs = 0;
    f32 storedTime = 0.0f;
    f32 startOffset = 0.0f;
    f32 fixedTime = 0.0f;      // the voice time under FIXED_DT
    bool waitingToStart = false;
    SCueRecord* handle = nullptr;
    u32 poolIndex = 0;
};

struct SSoundSampleSlot {
    ClSound sound;
    ClChannelGroup dryGroup;
    ClChannelGroup wetGroup;
    bool hasTimeline = false;
    u32 timelineHash = 0;
    IMusicStream* musicStream = nullptr;  // a streamed music file; owns the sound then
    u32 index = 0;
};

struct SSoundInstance {
    SSoundSampleSlot slots[SOUND_DEFINITION_MAX_SAMPLES];
    SSoundDefinition* definition = nullptr;
    f32 bankParameter = 0.0f;
    bool streamed = false;  // in the engine's list of streamed instances
    ClFixedPool<SSoundVoice, SOUND_INSTANCE_VOICE_COUNT> voices;
};

// Calls into the sound layer go through this guard: the FMOD lock for the scope.
class ClSoundLock {
public:
    ClSoundLock();
    ~ClSoundLock();
    ClSoundLock(const ClSoundLock&) = delete;
    ClSoundLock& operator=(const ClSoundLock&) = delete;
};

// Made by the bank side, or null when no memory is left. Every voice is free.
SSoundInstance* createSoundInstance(SSoundDefinition* definition, f32 bankParameter, const char16_t* directory,
                                    bool musicFile);
// Frees every voice of the instance (their handles go stale), its stream players, sounds and
// groups, and the instance.
void destroySoundInstance(SSoundInstance* instance);
// The engine's part of that: every voice of the instance stops and is freed with its handle.
void freeInstanceVoices(SSoundInstance* instance);

void addStreamedInstance(SSoundInstance* instance);
void removeStreamedInstance(SSoundInstance* instance);

// The maker of music stream players chosen for this run.
IMusicStream* makeMusicStream(s32 formatId, const char16_t* widePath);
