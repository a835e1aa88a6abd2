#include "audio/sound/sound_engine.h"

#include "audio/decode/codec_registry.h"
#include "audio/sound/codec_music_stream.h"
#include "audio/sound/sound_bank.h"
#include "audio/sound/sound_engine_internal.h"
#include "core/array.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/random.h"

#include <algorithm>
#include <cfloat>
#include <string>

struct SCueRecord {
    SSoundVoice* voice = nullptr;
    u32 generation = 0;
    bool inUse = false;
    u32 poolIndex = 0;
};

namespace {

constexpr u32 SOUND_MEMORY_TYPES_ALL = 0xFFFFFFFFu;
constexpr s32 SOUND_INPUT_CHANNELS = 16;
constexpr f32 DOPPLER_SCALE = 0.0f;
constexpr f32 DISTANCE_FACTOR = 1.0f;
constexpr f32 ROLLOFF_SCALE = 0.5f;
// A stop before a fade-out starts waits at least this long.
constexpr f32 MINIMUM_FADE_SECONDS = 0.0f;

struct SDelayedStart {
    SSoundVoice* voice = nullptr;
    f32 wait = 0.0f;
    u32 poolIndex = 0;
};

struct SSoundEngineState {
    bool running = false;
    ClSoundSystem* system = nullptr;
    SCritSection* lock = nullptr;
    f32 masterVolume = 1.0f;
    bool fixedDt = false;
    ESoundOutputType output = E_SOUNDOUTPUT_AUTODETECT;
    ClFixedPool<SCueRecord, CUE_HANDLE_POOL_SIZE> handles;
    ClFixedPool<SDelayedStart, DELAYED_START_POOL_SIZE> delayed;
    ClArray<SSoundInstance*> streamed;
    // The options' factors, which may be set before the engine starts.
    f32 scaleBase[SOUND_VOLUME_SCALE_COUNT] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
};

SSoundEngineState g_engine;

f32 clockStep(int clock) {
    const f32 step = gameClock(clock).frameTime;
    return step > 0.0f ? std::min(step, FLT_MAX) : 0.0f;
}

void advanceFade(SSoundFade* fade, f32 step) {
    if (fade->duration <= 0.0f) {
        fade->current = fade->end;
        return;
    }
    fade->elapsed = std::min(fade->elapsed + step, fade->duration);
    fade->current = fade->start + (fade->end - fade->start) * fade->elapsed / fade->duration;
}

f32 chooseValue(const SSoundRandomValue& value) {
    return value.mode ? randomFloatInRange(value.low, value.high) : value.fixed;
}

// The selection weights in sample order, against a draw in [0, 1).
u32 chooseSample(const SSoundDefinition* definition) {
    if (definition->sampleCount <= 1) return 0;
    const f32 draw = f32(f64(sfmtGenRand32()) * (1.0 / 4294967296.0));
    f32 sum = 0.0f;
    for (u32 i = 0; i < definition->sampleCount; ++i) {
        sum += definition->weights[i];
        if (sum >= draw) return i;
    }
    return definition->sampleCount - 1;
}

f32 scaleProduct(const u32* slots, u32 count) {
    f32 product = 1.0f;
    for (u32 i = 0; i < count; ++i)
        if (slots[i] < SOUND_VOLUME_SCALE_COUNT) product *= g_engine.scaleBase[slots[i]];
    return product;
}

SSoundSampleSlot* voiceSlot(SSoundVoice* voice) { return &voice->instance->slots[voice->sampleIndex]; }

IMusicStream* voiceStream(SSoundVoice* voice) { return voice->isMusic ? voiceSlot(voice)->musicStream : nullptr; }

SSoundVoice* resolve(SCueHandle handle) {
    SCueRecord* record = handle.record;
    if (!g_engine.running || !record || !record->inUse || record->generation != handle.generation) return nullptr;
    return record->voice;
}

f32 fadeValue(const SSoundVoice* voice) { return voice->fadingOut ? voice->fadeOut.current : voice->fadeIn.current; }

bool isVoiceFinished(SSoundVoice* voice) {
    if (voice->waitingToStart) return false;
    if (voice->isMusic) {
        const IMusicStream* stream = voiceStream(voice);
        if (!stream) return true;
        const s32 state = stream->state();
        return state == E_MUSICSTREAM_STOPPED || state == E_MUSICSTREAM_ERROR || !voice->channel;
    }
    if (!voice->channel) return true;
    // Another thread holding the lock: the voice counts as still playing this time.
    if (!critSectionTryEnter(g_engine.lock)) return false;
    bool playing = false;
    voice->channel.isPlaying(&playing);
    critSectionLeave(g_engine.lock);
    return !playing;
}

f32 voicePosition(SSoundVoice* voice) {
    if (!voice->channel) return voice->storedTime;
    u32 milliseconds = 0;
    ClSoundLock lock;
    if (voice->channel.getPosition(&milliseconds, E_SOUNDTIMEUNIT_MS) != E_SOUND_OK) return 0.0f;
    return f32(milliseconds) * 0.001f + voice->startOffset;
}

f32 sampleFrequency(SSoundVoice* voice) {
    const f32 stored = voice->instance->definition->defaultFrequencies[voice->sampleIndex];
    if (stored > 0.0f) return stored;
    // Unknown in the data: the sound's own rate.
    f32 frequency = 0.0f;
    if (voice->sound) voice->sound.getDefaults(&frequency, nullptr, nullptr, nullptr);
    return frequency;
}

// Volume, pan, pitch and input mix to the channel. Under the lock.
void applyVoiceToChannel(SSoundVoice* voice) {
    const SSoundDefinition* definition = voice->instance->definition;
    const f32 fade = fadeValue(voice);
    const f32 volume = voice->volume * fade *
                       scaleProduct(definition->scaleSlots, definition->scaleCount) *
                       g_engine.masterVolume;
    if (volume != voice->sentVolume) {
        voice->channel.setVolume(volume);
        voice->sentVolume = volume;
    }
    if (!voice->panSent || voice->pan != voice->sentPan) {
        voice->channel.setPan(voice->pan);
        voice->sentPan = voice->pan;
        voice->panSent = true;
    }
    const f32 frequency = sampleFrequency(voice) * voice->pitch;
    if (frequency > 0.0f && frequency != voice->sentFrequency) {
        voice->channel.setFrequency(frequency);
        voice->sentFrequency = frequency;
    }
    if (definition->inputMixCount > 0) {
        f32 levels[SOUND_INPUT_MIX_CAPACITY];
        for (u32 i = 0; i < definition->inputMixCount; ++i) {
            const SSoundInputMix& mix = definition->inputMix[i];
            levels[i] = voice->inputMixLevels[i] * fade * scaleProduct(mix.scaleSlots, mix.scaleCount) *
                        g_engine.masterVolume;
        }
        voice->channel.setInputChannelMix(levels, s32(definition->inputMixCount));
    }
}

void updateVoice(SSoundVoice* voice) {
    if (voice->channel) {
        ClSoundLock lock;
        applyVoiceToChannel(voice);
    }
    if (voice->paused || !voice->hasTimeline) return;
    f32 time;
    if (g_engine.fixedDt) {
        voice->fixedTime += clockStep(GAME_CLOCK_GAMEPLAY);
        time = voice->fixedTime;
    } else {
        time = voicePosition(voice);
    }
    setTimelinePlayerTime(voice->timelinePlayer, time);
}

// Silences the voice at once: its channel (or stream) stops and its timeline player ends. The
// layer's stop is synchronous, so nothing needs to be polled afterwards.
void stopVoiceNow(SSoundVoice* voice) {
    if (IMusicStream* stream = voiceStream(voice)) {
        ClSoundLock lock;
        stream->stop();
    } else if (voice->channel) {
        ClSoundLock lock;
        voice->channel.stop();
    }
    voice->channel = {};
    stopTimelinePlayer(voice->timelinePlayer);
    voice->timelinePlayer = {};
}

void dropDelayedStart(SSoundVoice* voice) {
    for (u32 i = 0; i < g_engine.delayed.used; ++i) {
        SDelayedStart* start = g_engine.delayed.table[i];
        if (start->voice == voice) {
            start->voice = nullptr;
            g_engine.delayed.release(start);
            break;
        }
    }
    voice->waitingToStart = false;
}

void freeVoice(SSoundVoice* voice) {
    if (voice->waitingToStart) dropDelayedStart(voice);
    stopVoiceNow(voice);
    if (SCueRecord* record = voice->handle) {
        record->voice = nullptr;
        record->inUse = false;
        ++record->generation;
        g_engine.handles.release(record);
    }
    voice->handle = nullptr;
    voice->instance->voices.release(voice);
}

// 0 when a fade-out started (the voice is freed when it ends), non-zero when the voice stopped
// at once.
s32 stopVoiceWithFade(SSoundVoice* voice, f32 seconds) {
    const f32 length = std::max(seconds, MINIMUM_FADE_SECONDS);
    if (length > 0.0f) {
        const f32 from = voice->fadeIn.current;
        voice->fadeOut = SSoundFade{0.0f, length, from, from, 0.0f};
        voice->fadingOut = true;
        voice->releaseMode = E_SOUNDRELEASE_AFTER_FADE;
        stopTimelinePlayer(voice->timelinePlayer);
        voice->timelinePlayer = {};
        return 0;
    }
    stopVoiceNow(voice);
    return 1;
}

// The voice's sample and its random values are chosen now; it begins at the next update.
void startVoice(SSoundVoice* voice, SSoundInstance* instance) {
    const SSoundDefinition* definition = instance->definition;
    voice->instance = instance;
    voice->sampleIndex = chooseSample(definition);
    voice->fadeIn = SSoundFade{};
    voice->fadeOut = SSoundFade{};
    voice->fadingOut = false;
    voice->volume = std::clamp(chooseValue(definition->volume), 0.0f, 1.0f);
    voice->pan = std::clamp(chooseValue(definition->pan), -1.0f, 1.0f);
    voice->pitch = std::max(chooseValue(definition->pitch), 0.0f);
    for (u32 i = 0; i < definition->inputMixCount; ++i)
        voice->inputMixLevels[i] = std::clamp(chooseValue(definition->inputMix[i].level), 0.0f, 1.0f);

    SDelayedStart* start = g_engine.delayed.take();
    if (!start) {
        // Too many starts pending this frame: the voice does not play.
        voice->waitingToStart = false;
        voice->storedTime = 0.0f;
        return;
    }
    start->voice = voice;
    start->wait = 0.0f;
    voice->waitingToStart = true;
}

void beginVoice(SSoundVoice* voice) {
    SSoundSampleSlot* slot = voiceSlot(voice);
    const SSoundDefinition* definition = voice->instance->definition;
    voice->isMusic = slot->musicStream != nullptr;
    voice->sound = slot->sound;
    voice->hasTimeline = slot->hasTimeline;
    voice->timelineHash = slot->timelineHash;
    voice->storedTime = 0.0f;
    voice->startOffset = 0.0f;
    voice->fixedTime = 0.0f;
    voice->sentVolume = -1.0f;
    voice->sentFrequency = -1.0f;
    voice->panSent = false;
    voice->channel = {};

    ClSoundLock lock;
    if (IMusicStream* stream = slot->musicStream) {
        if (stream->play(true)) voice->channel = stream->channel();
        voice->sound = stream->sound();
    } else if (slot->sound) {
        slot->sound.setLoopCount(definition->loop ? -1 : 0);
        if (g_engine.system->playSound(slot->sound, true, &voice->channel) != E_SOUND_OK) voice->channel = {};
    }
    if (!voice->channel) return;
    voice->channel.setChannelGroup(slot->dryGroup);
    applyVoiceToChannel(voice);
    if (slot->hasTimeline) voice->timelinePlayer = startTimelinePlayer(slot->timelineHash);
    if (voice->paused) {
        setTimelinePlayerPaused(voice->timelinePlayer, true);
        return;
    }
    if (IMusicStream* stream = slot->musicStream)
        stream->unpause();
    else
        voice->channel.setPaused(false);
}

void pauseVoice(SSoundVoice* voice) {
    if (voice->paused) return;
    if (voice->channel) {
        ClSoundLock lock;
        if (IMusicStream* stream = voiceStream(voice))
            stream->pause();
        else
            voice->channel.setPaused(true);
        u32 milliseconds = 0;
        voice->channel.getPosition(&milliseconds, E_SOUNDTIMEUNIT_MS);
        voice->pausedPositionMs = milliseconds;
    }
    setTimelinePlayerPaused(voice->timelinePlayer, true);
    voice->paused = true;
}

void resumeVoice(SSoundVoice* voice) {
    if (!voice->paused) return;
    voice->paused = false;
    if (!voice->channel) return;
    {
        ClSoundLock lock;
        if (IMusicStream* stream = voiceStream(voice)) {
            // A stream begun while paused was never unpaused: it is still "playing".
            if (stream->state() == E_MUSICSTREAM_PAUSED)
                stream->resume();
            else
                stream->unpause();
        } else {
            voice->channel.setPaused(false);
        }
    }
    setTimelinePlayerPaused(voice->timelinePlayer, false);
    if (!voice->hasTimeline) return;
    const f32 time = f32(voice->pausedPositionMs) * 0.001f;
    setTimelinePlayerTime(voice->timelinePlayer, time);
}

void resetVoice(SSoundVoice* voice) {
    const u32 poolIndex = voice->poolIndex;
    *voice = SSoundVoice{};
    voice->poolIndex = poolIndex;
}

void pollStreamedInstances() {
    for (SSoundInstance* instance : g_engine.streamed) {
        for (SSoundSampleSlot& slot : instance->slots) {
            IMusicStream* stream = slot.musicStream;
            if (!stream) continue;
            stream->step();
            if (stream->state() == E_MUSICSTREAM_ERROR) {
                ClSoundLock lock;
                stream->release();
                delete stream;
                slot.musicStream = nullptr;
                slot.sound = {};
            } else if (stream->state() == E_MUSICSTREAM_READY) {
                slot.sound = stream->sound();
            }
        }
    }
}

void advanceFades(f32 step) {
    for (u32 i = 0; i < g_engine.delayed.used; ++i) {
        SSoundVoice* voice = g_engine.delayed.table[i]->voice;
        advanceFade(&voice->fadeIn, step);
    }
    for (u32 i = 0; i < g_engine.handles.used; ++i) {
        SSoundVoice* voice = g_engine.handles.table[i]->voice;
        if (!voice->channel) continue;
        advanceFade(voice->fadingOut ? &voice->fadeOut : &voice->fadeIn, step);
    }
}

void runDelayedStarts(f32 realStep) {
    for (u32 i = g_engine.delayed.used; i-- > 0;) {
        SDelayedStart* start = g_engine.delayed.table[i];
        SSoundVoice* voice = start->voice;
        if (start->wait > 0.0f) {
            if (!voice->paused) start->wait -= realStep;
            continue;
        }
        const IMusicStream* stream = voiceSlot(voice)->musicStream;
        if (stream && stream->state() < E_MUSICSTREAM_READY) continue;
        voice->waitingToStart = false;
        start->voice = nullptr;
        // Releasing moves the last live record here; it was visited already.
        g_engine.delayed.release(start);
        beginVoice(voice);
    }
}

void updateHandleVoices() {
    SSoundVoice* finished[CUE_HANDLE_POOL_SIZE];
    u32 finishedCount = 0;
    for (u32 i = 0; i < g_engine.handles.used; ++i) {
        SSoundVoice* voice = g_engine.handles.table[i]->voice;
        if (voice->waitingToStart) continue;
        updateVoice(voice);
        bool release = false;
        if (voice->releaseMode == E_SOUNDRELEASE_WHEN_ENDED)
            release = isVoiceFinished(voice);
        else if (voice->releaseMode == E_SOUNDRELEASE_AFTER_FADE)
            release = voice->fadeOut.elapsed >= voice->fadeOut.duration || isVoiceFinished(voice);
        if (release) finished[finishedCount++] = voice;
    }
    for (u32 i = 0; i < finishedCount; ++i) freeVoice(finished[i]);
}

// The sound layer has no plug-ins: the counts are asked for in the start-up order and are 0.
void enumeratePlugins() {
    const ESoundPluginType types[] = {E_SOUNDPLUGIN_CODEC, E_SOUNDPLUGIN_DSP, E_SOUNDPLUGIN_OUTPUT};
    for (ESoundPluginType type : types) {
        s32 count = 0;
        g_engine.system->getNumPlugins(type, &count);
    }
}

void startSoundSystem() {
    // The sound layer sets up its own tables at init: no memory pool is handed over.
    if (soundMemoryInitialize(nullptr, 0, SOUND_MEMORY_TYPES_ALL) != E_SOUND_OK)
        fatalError("sound engine: the sound memory could not be set up");

    g_engine.system = new ClSoundSystem;
    ClSoundSystem* system = g_engine.system;
    system->setOutput(g_engine.output);
    std::string pluginPath = getDataDir();
    while (!pluginPath.empty() && (pluginPath.back() == '\\' || pluginPath.back() == '/')) pluginPath.pop_back();
    system->setPluginPath(pluginPath.c_str());
    enumeratePlugins();

    if (system->setSoftwareChannels(s32(SOUND_ENGINE_CHANNELS)) != E_SOUND_OK)
        fatalError("sound engine: the software channels could not be set");
    system->setSoftwareFormat(s32(SOUND_OUTPUT_RATE), E_SOUNDFORMAT_PCM16, 0, SOUND_INPUT_CHANNELS,
                              E_SOUNDRESAMPLER_LINEAR);
    const ESoundResult result = system->init(s32(SOUND_ENGINE_CHANNELS), 0, nullptr);
    if (result != E_SOUND_OK) fatalErrorf("sound engine: the sound system could not start (%d)", s32(result));
    s32 rate = 0, outputChannels = 0, inputChannels = 0, bits = 0;
    ESoundFormat format;
    ESoundResampler resampler;
    system->getSoftwareFormat(&rate, &format, &outputChannels, &inputChannels, &resampler, &bits);
    system->set3DSettings(DOPPLER_SCALE, DISTANCE_FACTOR, ROLLOFF_SCALE);
}

}  // namespace

ClSoundLock::ClSoundLock() { critSectionEnter(g_engine.lock); }
ClSoundLock::~ClSoundLock() { critSectionLeave(g_engine.lock); }

// ---------------------------------------------------------------------------------------------

s32 initAudioEngine(u32 codecRegistrationArgument) {
    if (g_engine.running) return 1;
    g_engine.masterVolume = configGetInt("AUDIO_MUTE_ALL") > 0 ? 0.0f : 1.0f;
    g_engine.fixedDt = configGetFloat("FIXED_DT") > 0.0f;
    startSoundSystem();

    g_engine.lock = critSectionCreateOrDie("sound engine (FMOD lock)");
    g_engine.handles.init();
    g_engine.delayed.init();
    g_engine.streamed.init(ARRAY_INITIAL_CAPACITY);
    timelinesInit();
    soundBanksInit();
    g_engine.running = true;

    initCodecRegistry();
    codecRegistration(codecRegistrationArgument);
    return 1;
}

void shutdownAudioEngine() {
    if (!g_engine.running) return;
    while (g_engine.handles.used) freeVoice(g_engine.handles.table[g_engine.handles.used - 1]->voice);
    g_engine.delayed.releaseAll();
    // Streams read decode jobs: every stream player and its stream go, and the layer's stream
    // thread stops, before the codec registry destroys the jobs.
    soundBanksShutdown();
    timelinesShutdown();
    g_engine.system->close();
    delete g_engine.system;
    g_engine.system = nullptr;
    shutdownCodecRegistry();

    g_engine.streamed.release();
    critSectionDestroy(g_engine.lock);
    g_engine.lock = nullptr;
    g_engine.running = false;
}

bool isAudioEngineRunning() { return g_engine.running; }

void updateAudioEngine(f32) {
    if (!g_engine.running) return;
    const f32 realStep = clockStep(GAME_CLOCK_SYSTEM);
    const f32 gameStep = clockStep(GAME_CLOCK_GAMEPLAY);

    advanceTimelinePlayers(g_engine.fixedDt ? gameStep : realStep);

    if (critSectionTryEnter(g_engine.lock)) {
        g_engine.system->update();
        critSectionLeave(g_engine.lock);
    }

    pollStreamedInstances();
    advanceFades(gameStep);
    runDelayedStarts(realStep);
    updateHandleVoices();
}

void setAudioEngineOutput(ESoundOutputType output) { g_engine.output = output; }

ClSoundSystem* getSoundEngineSystem() { return g_engine.system; }
SCritSection* getSoundEngineLock() { return g_engine.lock; }

IMusicStream* makeMusicStream(s32 formatId, const char16_t* widePath) {
    return makeCodecMusicStream(formatId, widePath);
}

void addStreamedInstance(SSoundInstance* instance) {
    if (instance->streamed) return;
    g_engine.streamed.push(instance);
    instance->streamed = true;
}

void removeStreamedInstance(SSoundInstance* instance) {
    for (u32 i = 0; i < g_engine.streamed.count; ++i) {
        if (g_engine.streamed[i] == instance) {
            g_engine.streamed.removeAt(i);
            break;
        }
    }
    instance->streamed = false;
}

void freeInstanceVoices(SSoundInstance* instance) {
    while (instance->voices.used) freeVoice(instance->voices.table[instance->voices.used - 1]);
}

// ---------------------------------------------------------------------------------------------

SCueHandle acquireCueByHash(u32 nameHash) {
    if (!g_engine.running) return {};
    SSoundDefinition* definition = findSoundInBanks(nameHash);
    if (!definition) {
        ClSoundLock lock;
        definition = findMusicFileSound(nameHash);
    }
    if (!definition || !definition->instance) return {};
    SCueRecord* record = g_engine.handles.take();
    if (!record) return {};
    SSoundVoice* voice = definition->instance->voices.take();
    if (!voice) {
        g_engine.handles.release(record);
        return {};
    }
    resetVoice(voice);
    voice->handle = record;
    record->voice = voice;
    record->inUse = true;
    startVoice(voice, definition->instance);
    return {record, record->generation};
}

void playCueByHash(u32 nameHash) {
    if (SSoundVoice* voice = resolve(acquireCueByHash(nameHash))) voice->releaseMode = E_SOUNDRELEASE_WHEN_ENDED;
}

void playCue(const char* name) { playCueByHash(crc32TextNoCase(name)); }

SCueHandle playCueHeld(const char* name) {
    const SCueHandle handle = acquireCueByHash(crc32TextNoCase(name));
    if (SSoundVoice* voice = resolve(handle)) voice->releaseMode = E_SOUNDRELEASE_HELD;
    return handle;
}

void stopCue(SCueHandle handle, f32 fadeSeconds) {
    SSoundVoice* voice = resolve(handle);
    if (!voice) return;
    if (voice->waitingToStart || stopVoiceWithFade(voice, std::max(fadeSeconds, 0.0f))) freeVoice(voice);
}

void releaseCueWhenFinished(SCueHandle handle) {
    SSoundVoice* voice = resolve(handle);
    if (voice && voice->releaseMode == E_SOUNDRELEASE_HELD) voice->releaseMode = E_SOUNDRELEASE_WHEN_ENDED;
}

bool isCueFinished(SCueHandle handle) {
    SSoundVoice* voice = resolve(handle);
    return !voice || isVoiceFinished(voice);
}

f32 getCueDuration(SCueHandle handle) {
    const SSoundVoice* voice = resolve(handle);
    if (!voice) return 0.0f;
    const f32 length = voice->instance->definition->lengths[voice->sampleIndex];
    return length == -1.0f ? 0.0f : length;
}

f32 getCuePosition(SCueHandle handle) {
    SSoundVoice* voice = resolve(handle);
    return voice ? voicePosition(voice) : 0.0f;
}

void setCueVolume(SCueHandle handle, f32 volume) {
    if (SSoundVoice* voice = resolve(handle)) voice->volume = std::clamp(volume, 0.0f, 1.0f);
}

void setCuePan(SCueHandle handle, f32 pan) {
    if (SSoundVoice* voice = resolve(handle)) voice->pan = std::clamp(pan, -1.0f, 1.0f);
}

ClChannel getCueChannel(SCueHandle handle) {
    const SSoundVoice* voice = resolve(handle);
    return voice ? voice->channel : ClChannel{};
}

void pauseAllCues() {
    if (!g_engine.running) return;
    for (u32 i = 0; i < g_engine.handles.used; ++i) pauseVoice(g_engine.handles.table[i]->voice);
}

void resumeAllCues() {
    if (!g_engine.running) return;
    for (u32 i = 0; i < g_engine.handles.used; ++i) resumeVoice(g_engine.handles.table[i]->voice);
}

// ---------------------------------------------------------------------------------------------

void setVolumeScaleBase(u32 slot, f32 factor) {
    if (slot < SOUND_VOLUME_SCALE_COUNT) g_engine.scaleBase[slot] = factor;
}
