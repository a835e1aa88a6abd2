// The system object: set-up and shutdown, the tables of sounds, channels and groups, and the
// handle operations. Every operation takes the system lock; the mixer holds the same lock while
// it mixes a pass, which is what makes stop and release synchronous.
#include "platform/sound/sound_internal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Beyond this a channel would read its source faster than the mixer can follow.
constexpr f32 SOUND_MAX_FREQUENCY = 16.0f * static_cast<f32>(SOUND_OUTPUT_RATE);
constexpr u32 SOUND_MAX_USER_RATE = 384000;
constexpr s32 SOUND_DEFAULT_PRIORITY = 128;

f32 clampUnit(f32 value) {
    if (!(value > 0.0f)) return 0.0f;  // NaN too
    return value > 1.0f ? 1.0f : value;
}

// A whole decode into a new[] block of frameCount frames.
ESoundResult decodeWhole(ISoundDecoder* decoder, u8** outData, u64* outFrames) {
    const SSoundDataFormat& format = decoder->format();
    u64 capacity = format.frameCount != 0 ? format.frameCount * format.bytesPerFrame : 65536;
    if (capacity > SOUND_MAX_MEMORY_SOUND_BYTES) return E_SOUND_ERR_MEMORY;
    u8* data = new (std::nothrow) u8[capacity];
    if (data == nullptr) return E_SOUND_ERR_MEMORY;
    u64 filled = 0;
    for (;;) {
        if (filled == capacity) {
            // Vorbis totals can be short of the real count; grow until the data ends.
            u64 grown = capacity * 2;
            if (grown > SOUND_MAX_MEMORY_SOUND_BYTES) grown = SOUND_MAX_MEMORY_SOUND_BYTES;
            if (grown <= capacity) {
                delete[] data;
                return E_SOUND_ERR_MEMORY;
            }
            u8* bigger = new (std::nothrow) u8[grown];
            if (bigger == nullptr) {
                delete[] data;
                return E_SOUND_ERR_MEMORY;
            }
            std::memcpy(bigger, data, filled);
            delete[] data;
            data = bigger;
            capacity = grown;
        }
        u64 room = capacity - filled;
        u32 request = room > 0x100000u ? 0x100000u : static_cast<u32>(room);
        u32 got = 0;
        ESoundResult result = decoder->read(data + filled, request, &got);
        if (result != E_SOUND_OK) {
            delete[] data;
            return result;
        }
        if (got == 0) break;
        filled += got;
    }
    *outData = data;
    *outFrames = filled / format.bytesPerFrame;
    return E_SOUND_OK;
}

s32 findFreeSoundSlot(SSoundSystemState* state) {
    for (u32 slot = 0; slot < SOUND_MAX_SOUNDS; ++slot) {
        if (!state->sounds[slot].live && state->sounds[slot].stream == nullptr) return static_cast<s32>(slot);
    }
    return -1;
}

// A free channel; failing that, the one draining longest (already silent to the mixer).
s32 findFreeChannelSlot(SSoundSystemState* state) {
    u32 count = static_cast<u32>(state->maxChannels);
    for (u32 step = 0; step < count; ++step) {
        u32 slot = (state->nextChannelSearch + step) % count;
        if (state->channels[slot].state == E_CHANNELSTATE_FREE) {
            state->nextChannelSearch = (slot + 1) % count;
            return static_cast<s32>(slot);
        }
    }
    s32 best = -1;
    for (u32 slot = 0; slot < count; ++slot) {
        const SChannelSlot& channel = state->channels[slot];
        if (channel.state != E_CHANNELSTATE_DRAINING) continue;
        if (best < 0 || channel.drainUntilFrame < state->channels[best].drainUntilFrame) best = static_cast<s32>(slot);
    }
    if (best >= 0) freeChannelSlot(state, static_cast<u32>(best));
    return best;
}

void freeSoundSlot(SSoundSystemState* state, std::unique_lock<std::mutex>& held, u32 slot) {
    SSoundSlot& sound = state->sounds[slot];
    for (u32 c = 0; c < SOUND_MAX_CHANNELS; ++c) {
        if (state->channels[c].state != E_CHANNELSTATE_FREE && state->channels[c].soundSlot == slot) {
            freeChannelSlot(state, c);
        }
    }
    // Stale from here on, also for the stream thread's getUserData while it finishes a read.
    sound.live = false;
    sound.generation = nextSoundGeneration(sound.generation);
    releaseSoundStream(state, held, &sound);
    delete[] sound.data;
    sound.data = nullptr;
    sound.userData = nullptr;
    sound.readCallback = nullptr;
    sound.setPosCallback = nullptr;
}

void resetGroupSlot(SGroupSlot& group, const char* name) {
    group.live = true;
    group.generation = nextSoundGeneration(group.generation);
    group.parent = -1;
    group.volume = 1.0f;
    std::snprintf(group.name, sizeof(group.name), "%s", name != nullptr ? name : "");
}

ESoundResult positionInUnit(const SSoundSlot& sound, f64 frames, ESoundTimeUnit unit, u32* out) {
    f64 value = 0.0;
    switch (unit) {
    case E_SOUNDTIMEUNIT_MS:
        value = std::floor(frames) * 1000.0 / static_cast<f64>(sound.format.rate);
        break;
    case E_SOUNDTIMEUNIT_PCM:
        value = frames;
        break;
    case E_SOUNDTIMEUNIT_PCMBYTES:
        value = std::floor(frames) * static_cast<f64>(sound.format.bytesPerFrame);
        break;
    default:
        *out = 0;
        return E_SOUND_ERR_INVALID_PARAM;
    }
    *out = value >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<u32>(value);
    return E_SOUND_OK;
}

// One handle operation: holds the system lock for its length and finds the live slot the handle
// names. False for a null handle (the lock is not taken) and for a stale one.
template <typename TSlot, TSlot* (*FindLive)(SSoundSystemState*, u32)>
class ClLockedHandle {
public:
    ClLockedHandle(const ClSoundSystem* system, u32 id) : m_state(SSoundSystemState::stateOf(system)) {
        if (m_state == nullptr) return;
        m_held = std::unique_lock<std::mutex>(m_state->lock);
        m_slot = FindLive(m_state, id);
    }
    explicit operator bool() const { return m_slot != nullptr; }
    TSlot* operator->() const { return m_slot; }
    TSlot& operator*() const { return *m_slot; }
    SSoundSystemState* system() const { return m_state; }

private:
    SSoundSystemState* m_state;
    std::unique_lock<std::mutex> m_held;
    TSlot* m_slot = nullptr;
};

using ClLockedSound = ClLockedHandle<SSoundSlot, findLiveSound>;
using ClLockedChannel = ClLockedHandle<SChannelSlot, findLiveChannel>;
using ClLockedGroup = ClLockedHandle<SGroupSlot, findLiveGroup>;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Shared helpers (sound_internal.h)

SSoundSlot* findLiveSound(SSoundSystemState* state, u32 id) {
    u32 slot = soundHandleSlot(id);
    if (slot >= SOUND_MAX_SOUNDS) return nullptr;
    SSoundSlot& sound = state->sounds[slot];
    if (!sound.live || sound.generation != soundHandleGeneration(id)) return nullptr;
    return &sound;
}

SChannelSlot* findLiveChannel(SSoundSystemState* state, u32 id) {
    u32 slot = soundHandleSlot(id);
    if (slot >= static_cast<u32>(SOUND_MAX_CHANNELS)) return nullptr;
    SChannelSlot& channel = state->channels[slot];
    if (channel.state == E_CHANNELSTATE_FREE || channel.generation != soundHandleGeneration(id)) return nullptr;
    return &channel;
}

SGroupSlot* findLiveGroup(SSoundSystemState* state, u32 id) {
    u32 slot = soundHandleSlot(id);
    if (slot >= SOUND_MAX_CHANNEL_GROUPS) return nullptr;
    SGroupSlot& group = state->groups[slot];
    if (!group.live || group.generation != soundHandleGeneration(id)) return nullptr;
    return &group;
}

void freeChannelSlot(SSoundSystemState* state, u32 slot) {
    SChannelSlot& channel = state->channels[slot];
    if (channel.state == E_CHANNELSTATE_FREE) return;
    SSoundSlot& sound = state->sounds[channel.soundSlot];
    if (sound.streamChannel == static_cast<s32>(slot)) sound.streamChannel = -1;
    channel.state = E_CHANNELSTATE_FREE;
    channel.generation = nextSoundGeneration(channel.generation);
}

void startChannelSlot(SSoundSystemState* state, u32 channelSlot, u32 soundSlot, bool paused) {
    SChannelSlot& channel = state->channels[channelSlot];
    u32 generation = channel.generation;
    std::memset(static_cast<void*>(&channel), 0, sizeof(channel));
    channel.generation = generation;
    SSoundSlot& sound = state->sounds[soundSlot];
    channel.state = E_CHANNELSTATE_PLAYING;
    channel.soundSlot = soundSlot;
    channel.groupSlot = SOUND_MASTER_GROUP_SLOT;
    channel.volume = 1.0f;
    channel.pan = 0.0f;
    channel.frequency = static_cast<f32>(sound.format.rate);
    channel.paused = paused;
    channel.loopCount = sound.loopCount;
    for (f32& level : channel.inputMix) level = 1.0f;
    channel.history[0] = {state->mixedFrames, 0.0};
    channel.historyCount = 1;
    channel.historyNext = 1;
    if (sound.stream != nullptr) {
        sound.streamChannel = static_cast<s32>(channelSlot);
        sound.stream->looping = channel.loopCount != 0;
        if (sound.stream->hasPlayed) restartSoundStream(state, &sound);
        sound.stream->hasPlayed = true;
    }
}

// ---------------------------------------------------------------------------------------------
// System

ESoundResult soundMemoryInitialize(void*, u32, u32) { return E_SOUND_OK; }

ClSoundSystem::ClSoundSystem() : m_state(new SSoundSystemState()) { m_state->owner = this; }

ClSoundSystem::~ClSoundSystem() {
    close();
    delete m_state;
}

ESoundResult ClSoundSystem::setOutput(ESoundOutputType output) {
    std::lock_guard<std::mutex> guard(m_state->lock);
    if (m_state->initialised) return E_SOUND_ERR_INITIALIZED;
    if (output < E_SOUNDOUTPUT_AUTODETECT || output > E_SOUNDOUTPUT_NOSOUND_MANUAL) return E_SOUND_ERR_INVALID_PARAM;
    m_state->outputType = output;
    return E_SOUND_OK;
}

ESoundResult ClSoundSystem::setSoftwareChannels(s32 count) {
    std::lock_guard<std::mutex> guard(m_state->lock);
    if (m_state->initialised) return E_SOUND_ERR_INITIALIZED;
    if (count < 1 || count > SOUND_MAX_CHANNELS) return E_SOUND_ERR_INVALID_PARAM;
    m_state->softwareChannels = count;
    return E_SOUND_OK;
}

ESoundResult ClSoundSystem::setSoftwareFormat(s32 rate, ESoundFormat format, s32 outputChannels,
                                              s32 maxInputChannels, ESoundResampler resampler) {
    std::lock_guard<std::mutex> guard(m_state->lock);
    if (m_state->initialised) return E_SOUND_ERR_INITIALIZED;
    m_state->softwareRate = rate;
    m_state->softwareFormat = format;
    m_state->softwareOutputChannels = outputChannels;
    m_state->softwareMaxInputChannels = maxInputChannels;
    m_state->softwareResampler = resampler;
    return E_SOUND_OK;
}

ESoundResult ClSoundSystem::getSoftwareFormat(s32* rate, ESoundFormat* format, s32* outputChannels,
                                              s32* maxInputChannels, ESoundResampler* resampler, s32* bits) const {
    std::lock_guard<std::mutex> guard(m_state->lock);
    if (rate != nullptr) *rate = m_state->softwareRate;
    if (format != nullptr) *format = m_state->softwareFormat;
    if (outputChannels != nullptr) *outputChannels = m_state->softwareOutputChannels;
    if (maxInputChannels != nullptr) *maxInputChannels = m_state->softwareMaxInputChannels;
    if (resampler != nullptr) *resampler = m_state->softwareResampler;
    if (bits != nullptr) *bits = static_cast<s32>(soundFormatBytes(m_state->softwareFormat) * 8);
    return E_SOUND_OK;
}

ESoundResult ClSoundSystem::set3DSettings(f32, f32, f32) { return E_SOUND_OK; }

ESoundResult ClSoundSystem::setPluginPath(const char*) { return E_SOUND_OK; }

ESoundResult ClSoundSystem::getNumPlugins(ESoundPluginType, s32* count) const {
    if (count == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    *count = 0;
    return E_SOUND_OK;
}

ESoundResult ClSoundSystem::init(s32 maxChannels, u32, void*) {
    SSoundSystemState* state = m_state;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        if (state->initialised) return E_SOUND_ERR_INITIALIZED;
        if (maxChannels < 1) return E_SOUND_ERR_INVALID_PARAM;
        state->maxChannels = maxChannels < state->softwareChannels ? maxChannels : state->softwareChannels;
        for (SChannelSlot& channel : state->channels) channel.state = E_CHANNELSTATE_FREE;
        for (SGroupSlot& group : state->groups) group.live = false;
        resetGroupSlot(state->groups[SOUND_MASTER_GROUP_SLOT], "master");
        state->nextChannelSearch = 0;
        state->mixedFrames = 0;
        state->lastCallbackTime = 0;
        state->lastAudibleFrame = 0;
        state->outputLatency = 0;
        state->outputPeriod = 0;
        state->outputInterpolates = false;
        state->activeOutput = state->outputType;
        state->initialised = true;
    }
    if (startSoundStreamThread(state) != E_SOUND_OK) {
        std::lock_guard<std::mutex> guard(state->lock);
        state->initialised = false;
        return E_SOUND_ERR_MEMORY;
    }
    if (state->outputType == E_SOUNDOUTPUT_NOSOUND_MANUAL) return E_SOUND_OK;

    std::unique_ptr<ISoundOutput> output;
    if (state->outputType == E_SOUNDOUTPUT_AUTODETECT) {
        output = makeSdlSoundOutput(state);
        if (output->start() != E_SOUND_OK) {
            std::fprintf(stderr, "Sound: no audio device could be opened; continuing without sound\n");
            output.reset();
        }
    }
    ESoundOutputType active = E_SOUNDOUTPUT_AUTODETECT;
    if (!output) {
        output = makeNullSoundOutput(state);
        active = E_SOUNDOUTPUT_NOSOUND;
        if (output->start() != E_SOUND_OK) {
            close();
            return E_SOUND_ERR_OUTPUT;
        }
    }
    std::lock_guard<std::mutex> guard(state->lock);
    state->activeOutput = active;
    state->outputLatency = output->latencyFrames();
    state->outputPeriod = output->periodFrames();
    state->outputInterpolates = output->interpolates();
    state->output = std::move(output);
    return E_SOUND_OK;
}

ESoundResult ClSoundSystem::close() {
    SSoundSystemState* state = m_state;
    std::unique_ptr<ISoundOutput> output;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        if (!state->initialised) return E_SOUND_OK;
        output = std::move(state->output);
    }
    if (output) output->stop();
    output.reset();
    {
        std::lock_guard<std::mutex> guard(state->lock);
        for (u32 slot = 0; slot < SOUND_MAX_CHANNELS; ++slot) freeChannelSlot(state, slot);
    }
    stopSoundStreamThread(state);
    std::unique_lock<std::mutex> held(state->lock);
    for (u32 slot = 0; slot < SOUND_MAX_SOUNDS; ++slot) {
        if (state->sounds[slot].live) freeSoundSlot(state, held, slot);
    }
    for (SGroupSlot& group : state->groups) {
        if (group.live) group.generation = nextSoundGeneration(group.generation);
        group.live = false;
    }
    state->initialised = false;
    return E_SOUND_OK;
}

ESoundResult ClSoundSystem::update() {
    std::lock_guard<std::mutex> guard(m_state->lock);
    if (!m_state->initialised) return E_SOUND_ERR_UNINITIALIZED;
    u64 heard = audibleOutputFrame(m_state, osPerformanceCounter());
    for (u32 slot = 0; slot < SOUND_MAX_CHANNELS; ++slot) {
        SChannelSlot& channel = m_state->channels[slot];
        if (channel.state == E_CHANNELSTATE_DRAINING && heard >= channel.drainUntilFrame) freeChannelSlot(m_state, slot);
    }
    return E_SOUND_OK;
}

ESoundResult ClSoundSystem::createStream(const void* nameOrData, u32 mode, const SCreateSoundInfo* info,
                                         ClSound* sound) {
    return createSound(nameOrData, mode | E_SOUNDMODE_CREATESTREAM, info, sound);
}

ESoundResult ClSoundSystem::createSound(const void* nameOrData, u32 mode, const SCreateSoundInfo* info,
                                        ClSound* sound) {
    if (sound == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    *sound = ClSound();
    {
        std::lock_guard<std::mutex> guard(m_state->lock);
        if (!m_state->initialised) return E_SOUND_ERR_UNINITIALIZED;
    }
    SSoundSlot made = {};
    made.mode = mode;
    made.loopCount = (mode & E_SOUNDMODE_LOOP_NORMAL) ? -1 : 0;
    made.streamChannel = -1;
    std::unique_ptr<ISoundDecoder> decoder;
    u32 chunkFrames = 0;
    u64 passLength = 0;

    if (mode & E_SOUNDMODE_OPENUSER) {
        if (info == nullptr || info->pcmReadCallback == nullptr) return E_SOUND_ERR_INVALID_PARAM;
        u32 sampleBytes = soundFormatBytes(info->format);
        if (sampleBytes == 0 || info->numChannels < 1 || info->numChannels > SOUND_MAX_INPUT_CHANNELS ||
            info->defaultFrequency <= 0 || static_cast<u32>(info->defaultFrequency) > SOUND_MAX_USER_RATE) {
            return E_SOUND_ERR_INVALID_PARAM;
        }
        made.kind = E_SOUNDKIND_USER_STREAM;
        made.format.format = info->format;
        made.format.channels = info->numChannels;
        made.format.rate = static_cast<u32>(info->defaultFrequency);
        made.format.bytesPerFrame = sampleBytes * static_cast<u32>(info->numChannels);
        made.format.frameCount = info->length / made.format.bytesPerFrame;
        made.readCallback = info->pcmReadCallback;
        made.setPosCallback = info->pcmSetPosCallback;
        chunkFrames = info->decodeBufferSize;
        passLength = info->length;
    } else {
        std::unique_ptr<ISoundByteSource> source;
        if (mode & E_SOUNDMODE_OPENMEMORY) {
            if (nameOrData == nullptr || info == nullptr || info->length == 0) return E_SOUND_ERR_INVALID_PARAM;
            source = makeMemoryByteSource(nameOrData, info->length);
        } else {
            if (nameOrData == nullptr) return E_SOUND_ERR_INVALID_PARAM;
            ESoundResult opened = E_SOUND_OK;
            source = makeFileByteSource(nameOrData, (mode & E_SOUNDMODE_UNICODE) != 0, info ? info->fileOffset : 0,
                                        info ? info->length : 0, &opened);
            if (!source) return opened;
        }
        ESoundResult result = openSoundDecoder(std::move(source), &decoder);
        if (result != E_SOUND_OK) return result;
        made.format = decoder->format();
        // Memory data is decoded whole: the caller may free its block when this returns.
        bool streamed = (mode & E_SOUNDMODE_CREATESTREAM) && !(mode & E_SOUNDMODE_OPENMEMORY);
        if (streamed) {
            made.kind = E_SOUNDKIND_FILE_STREAM;
        } else {
            made.kind = E_SOUNDKIND_MEMORY;
            result = decodeWhole(decoder.get(), &made.data, &made.format.frameCount);
            decoder.reset();
            if (result != E_SOUND_OK) return result;
        }
    }
    if (info != nullptr) made.userData = info->userData;

    if (made.kind != E_SOUNDKIND_MEMORY) {
        ESoundResult result = createSoundStream(&made, chunkFrames, passLength);
        if (result != E_SOUND_OK) return result;
        made.stream->decoder = std::move(decoder);
    }

    std::unique_lock<std::mutex> held(m_state->lock);
    s32 slot = m_state->initialised ? findFreeSoundSlot(m_state) : -1;
    if (slot < 0) {
        delete[] made.data;
        releaseSoundStream(m_state, held, &made);
        return m_state->initialised ? E_SOUND_ERR_MEMORY : E_SOUND_ERR_UNINITIALIZED;
    }
    SSoundSlot& stored = m_state->sounds[slot];
    made.generation = nextSoundGeneration(stored.generation);
    made.live = true;
    stored = std::move(made);
    *sound = SSoundSystemState::soundHandle(this, makeSoundHandleId(static_cast<u32>(slot), stored.generation));
    if (stored.stream != nullptr) waitForStreamPrefill(m_state, held, &stored);
    return E_SOUND_OK;
}

ESoundResult ClSoundSystem::playSound(ClSound sound, bool paused, ClChannel* channel) {
    if (channel == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    *channel = ClChannel();
    if (sound.m_system != this) return E_SOUND_ERR_INVALID_HANDLE;
    std::lock_guard<std::mutex> guard(m_state->lock);
    SSoundSlot* found = findLiveSound(m_state, sound.m_id);
    if (found == nullptr) return E_SOUND_ERR_INVALID_HANDLE;
    if (found->streamChannel >= 0) freeChannelSlot(m_state, static_cast<u32>(found->streamChannel));
    s32 slot = findFreeChannelSlot(m_state);
    if (slot < 0) return E_SOUND_ERR_CHANNEL_ALLOC;
    startChannelSlot(m_state, static_cast<u32>(slot), soundHandleSlot(sound.m_id), paused);
    *channel = SSoundSystemState::channelHandle(
        this, makeSoundHandleId(static_cast<u32>(slot), m_state->channels[slot].generation));
    return E_SOUND_OK;
}

ESoundResult ClSoundSystem::createChannelGroup(const char* name, ClChannelGroup* group) {
    if (group == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    *group = ClChannelGroup();
    std::lock_guard<std::mutex> guard(m_state->lock);
    if (!m_state->initialised) return E_SOUND_ERR_UNINITIALIZED;
    for (u32 slot = SOUND_MASTER_GROUP_SLOT + 1; slot < SOUND_MAX_CHANNEL_GROUPS; ++slot) {
        SGroupSlot& candidate = m_state->groups[slot];
        if (candidate.live) continue;
        resetGroupSlot(candidate, name);
        *group = SSoundSystemState::groupHandle(this, makeSoundHandleId(slot, candidate.generation));
        return E_SOUND_OK;
    }
    return E_SOUND_ERR_MEMORY;
}

ESoundResult ClSoundSystem::getMasterChannelGroup(ClChannelGroup* group) {
    if (group == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    *group = ClChannelGroup();
    std::lock_guard<std::mutex> guard(m_state->lock);
    if (!m_state->initialised) return E_SOUND_ERR_UNINITIALIZED;
    *group = SSoundSystemState::groupHandle(
        this, makeSoundHandleId(SOUND_MASTER_GROUP_SLOT, m_state->groups[SOUND_MASTER_GROUP_SLOT].generation));
    return E_SOUND_OK;
}

ESoundResult ClSoundSystem::getOutputLatency(u32* frames) const {
    if (frames == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    std::lock_guard<std::mutex> guard(m_state->lock);
    *frames = m_state->outputLatency;
    return m_state->initialised ? E_SOUND_OK : E_SOUND_ERR_UNINITIALIZED;
}

ESoundResult ClSoundSystem::advanceNullOutput(u32 frames, f32* outStereo) {
    std::unique_lock<std::mutex> held(m_state->lock);
    if (!m_state->initialised) return E_SOUND_ERR_UNINITIALIZED;
    if (m_state->activeOutput != E_SOUNDOUTPUT_NOSOUND_MANUAL) return E_SOUND_ERR_BADCOMMAND;
    if (outStereo != nullptr) {
        mixSoundFrames(m_state, held, outStereo, frames, true);
        return E_SOUND_OK;
    }
    while (frames > 0) {
        u32 block = frames < SOUND_MIX_BLOCK_FRAMES ? frames : SOUND_MIX_BLOCK_FRAMES;
        mixSoundFrames(m_state, held, m_state->mixScratch, block, true);
        frames -= block;
    }
    return E_SOUND_OK;
}

// ---------------------------------------------------------------------------------------------
// Sounds

ESoundResult ClSound::release() {
    if (m_system == nullptr) return E_SOUND_ERR_INVALID_HANDLE;
    SSoundSystemState* state = m_system->m_state;
    std::unique_lock<std::mutex> held(state->lock);
    if (findLiveSound(state, m_id) == nullptr) return E_SOUND_ERR_INVALID_HANDLE;
    freeSoundSlot(state, held, soundHandleSlot(m_id));
    return E_SOUND_OK;
}

ESoundResult ClSound::getUserData(void** userData) const {
    if (userData == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    *userData = nullptr;
    ClLockedSound sound(m_system, m_id);
    if (!sound) return E_SOUND_ERR_INVALID_HANDLE;
    *userData = sound->userData;
    return E_SOUND_OK;
}

ESoundResult ClSound::getDefaults(f32* frequency, f32* volume, f32* pan, s32* priority) const {
    ClLockedSound sound(m_system, m_id);
    if (!sound) return E_SOUND_ERR_INVALID_HANDLE;
    if (frequency != nullptr) *frequency = static_cast<f32>(sound->format.rate);
    if (volume != nullptr) *volume = 1.0f;
    if (pan != nullptr) *pan = 0.0f;
    if (priority != nullptr) *priority = SOUND_DEFAULT_PRIORITY;
    return E_SOUND_OK;
}

ESoundResult ClSound::setLoopCount(s32 loopCount) {
    if (m_system == nullptr) return E_SOUND_ERR_INVALID_HANDLE;
    if (loopCount < -1) return E_SOUND_ERR_INVALID_PARAM;
    ClLockedSound sound(m_system, m_id);
    if (!sound) return E_SOUND_ERR_INVALID_HANDLE;
    sound->loopCount = loopCount;
    // Before the first play the stream thread is already filling the ring: tell it now.
    if (sound->stream != nullptr && sound->streamChannel < 0) {
        setSoundStreamLooping(sound.system(), &*sound, loopCount != 0);
    }
    return E_SOUND_OK;
}

// ---------------------------------------------------------------------------------------------
// Channels

ESoundResult ClChannel::setVolume(f32 volume) {
    ClLockedChannel channel(m_system, m_id);
    if (!channel) return E_SOUND_ERR_INVALID_HANDLE;
    channel->volume = clampUnit(volume);
    return E_SOUND_OK;
}

ESoundResult ClChannel::setPan(f32 pan) {
    ClLockedChannel channel(m_system, m_id);
    if (!channel) return E_SOUND_ERR_INVALID_HANDLE;
    if (!(pan >= -1.0f)) pan = -1.0f;  // NaN too
    if (pan > 1.0f) pan = 1.0f;
    channel->pan = pan;
    return E_SOUND_OK;
}

ESoundResult ClChannel::setFrequency(f32 frequency) {
    if (!(frequency >= 0.0f)) return E_SOUND_ERR_INVALID_PARAM;
    ClLockedChannel channel(m_system, m_id);
    if (!channel) return E_SOUND_ERR_INVALID_HANDLE;
    channel->frequency = frequency > SOUND_MAX_FREQUENCY ? SOUND_MAX_FREQUENCY : frequency;
    return E_SOUND_OK;
}

ESoundResult ClChannel::setPaused(bool paused) {
    ClLockedChannel channel(m_system, m_id);
    if (!channel) return E_SOUND_ERR_INVALID_HANDLE;
    if (paused && !channel->paused) {
        channel->pausedPosition = channelAudiblePosition(channel.system(), *channel, osPerformanceCounter());
    }
    channel->paused = paused;
    return E_SOUND_OK;
}

ESoundResult ClChannel::setInputChannelMix(const f32* levels, s32 count) {
    if (levels == nullptr || count < 0 || count > SOUND_MAX_INPUT_CHANNELS) return E_SOUND_ERR_INVALID_PARAM;
    ClLockedChannel channel(m_system, m_id);
    if (!channel) return E_SOUND_ERR_INVALID_HANDLE;
    for (s32 c = 0; c < count; ++c) channel->inputMix[c] = levels[c] > 0.0f ? levels[c] : 0.0f;
    return E_SOUND_OK;
}

ESoundResult ClChannel::isPlaying(bool* playing) const {
    if (playing == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    *playing = false;
    ClLockedChannel channel(m_system, m_id);
    if (!channel) return E_SOUND_ERR_INVALID_HANDLE;
    *playing = true;
    return E_SOUND_OK;
}

ESoundResult ClChannel::stop() {
    ClLockedChannel channel(m_system, m_id);
    if (!channel) return E_SOUND_ERR_INVALID_HANDLE;
    freeChannelSlot(channel.system(), soundHandleSlot(m_id));
    return E_SOUND_OK;
}

ESoundResult ClChannel::getPosition(u32* position, ESoundTimeUnit unit) const {
    if (position == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    *position = 0;
    ClLockedChannel channel(m_system, m_id);
    if (!channel) return E_SOUND_ERR_INVALID_HANDLE;
    f64 frames = channelPositionInPass(channel.system(), *channel, osPerformanceCounter());
    return positionInUnit(channel.system()->sounds[channel->soundSlot], frames, unit, position);
}

ESoundResult ClChannel::setChannelGroup(ClChannelGroup group) {
    ClLockedChannel channel(m_system, m_id);
    if (!channel) return E_SOUND_ERR_INVALID_HANDLE;
    if (group.isNull()) {
        channel->groupSlot = SOUND_MASTER_GROUP_SLOT;
        return E_SOUND_OK;
    }
    u32 groupId = SSoundSystemState::groupId(group);
    if (SSoundSystemState::groupSystem(group) != m_system || findLiveGroup(channel.system(), groupId) == nullptr) {
        return E_SOUND_ERR_INVALID_HANDLE;
    }
    channel->groupSlot = soundHandleSlot(groupId);
    return E_SOUND_OK;
}

// ---------------------------------------------------------------------------------------------
// Channel groups

ESoundResult ClChannelGroup::setVolume(f32 volume) {
    ClLockedGroup group(m_system, m_id);
    if (!group) return E_SOUND_ERR_INVALID_HANDLE;
    group->volume = clampUnit(volume);
    return E_SOUND_OK;
}

ESoundResult ClChannelGroup::addGroup(ClChannelGroup child) {
    ClLockedGroup group(m_system, m_id);
    if (!group) return E_SOUND_ERR_INVALID_HANDLE;
    if (child.m_system != m_system) return E_SOUND_ERR_INVALID_HANDLE;
    SGroupSlot* childGroup = findLiveGroup(group.system(), child.m_id);
    if (childGroup == nullptr) return E_SOUND_ERR_INVALID_HANDLE;
    u32 childSlot = soundHandleSlot(child.m_id);
    if (childSlot == SOUND_MASTER_GROUP_SLOT) return E_SOUND_ERR_INVALID_PARAM;
    // Refuse a loop: the child must not be this group or above it.
    s32 current = static_cast<s32>(soundHandleSlot(m_id));
    for (u32 depth = 0; current >= 0 && depth < SOUND_MAX_CHANNEL_GROUPS; ++depth) {
        if (static_cast<u32>(current) == childSlot) return E_SOUND_ERR_INVALID_PARAM;
        current = group.system()->groups[current].parent;
    }
    childGroup->parent = static_cast<s32>(soundHandleSlot(m_id));
    return E_SOUND_OK;
}

ESoundResult ClChannelGroup::release() {
    ClLockedGroup group(m_system, m_id);
    if (!group) return E_SOUND_ERR_INVALID_HANDLE;
    u32 slot = soundHandleSlot(m_id);
    if (slot == SOUND_MASTER_GROUP_SLOT) return E_SOUND_ERR_BADCOMMAND;
    for (SChannelSlot& channel : group.system()->channels) {
        if (channel.state != E_CHANNELSTATE_FREE && channel.groupSlot == slot) channel.groupSlot = SOUND_MASTER_GROUP_SLOT;
    }
    for (SGroupSlot& other : group.system()->groups) {
        if (other.live && other.parent == static_cast<s32>(slot)) other.parent = -1;
    }
    group->live = false;
    group->generation = nextSoundGeneration(group->generation);
    return E_SOUND_OK;
}
