// The sound layer: a software mixer of our own with the shape the sound engine expects of its
// sound library. One ClSoundSystem owns up to SOUND_MAX_CHANNELS channels, the sounds made from
// memory, from files (or a byte range of a package data file) and from user streams, and the
// channel groups under one master group. Output goes to the sound device through SDL2 audio
// (48 kHz stereo, mixed in float, sent as signed 16-bit), or to a null output whose clock either
// runs by itself (no device) or is advanced by the caller (tests).
//
// Handles (ClSound, ClChannel, ClChannelGroup) are small values: a system and a slot with a
// generation count. A default handle is null. A handle whose object has been released, stopped,
// has ended or whose slot has been reused answers E_SOUND_ERR_INVALID_HANDLE and touches nothing;
// getters then write their "nothing" value (false, 0) where the caller gave an output.
//
// Threads: every call may come from any thread, but the game makes them under its own lock.
// The layer runs its own mixer (the output's thread) and its own stream thread; user-stream read
// callbacks run only on the stream thread, never inside the mixer and never inside a call of
// this interface, so a callback may take its decoder's locks and may call ClSound::getUserData.
// Stopping a channel and releasing a sound are synchronous: once the call returns, neither the
// mixer nor the stream thread touches the channel or the sound again, and no callback of a
// released sound is running or will run.
#pragma once

#include "platform/types.h"

class ClSoundSystem;
class ClSound;

constexpr s32 SOUND_MAX_CHANNELS = 128;
constexpr u32 SOUND_MAX_SOUNDS = 1024;
constexpr u32 SOUND_MAX_CHANNEL_GROUPS = 2048;
// Channels of one source; a source with more is refused at creation.
constexpr s32 SOUND_MAX_INPUT_CHANNELS = 8;
constexpr u32 SOUND_OUTPUT_RATE = 48000;
constexpr u32 SOUND_OUTPUT_CHANNELS = 2;
// Characters of a channel group's name, terminator included; longer names are cut.
constexpr u32 SOUND_GROUP_NAME_CAPACITY = 64;

enum ESoundResult : s32 {
    E_SOUND_OK = 0,
    E_SOUND_ERR_BADCOMMAND = 1,         // the call does not apply to this object or output
    E_SOUND_ERR_CHANNEL_ALLOC = 2,      // every channel is playing
    E_SOUND_ERR_FILE_BAD = 3,           // damaged or truncated sound data
    E_SOUND_ERR_FILE_EOF = 4,           // a read callback's answer: the source has no more data
    E_SOUND_ERR_FILE_NOTFOUND = 5,
    E_SOUND_ERR_FORMAT = 6,             // a format the layer does not decode
    E_SOUND_ERR_INITIALIZED = 7,        // init on a running system
    E_SOUND_ERR_UNINITIALIZED = 8,      // a call that needs init first
    E_SOUND_ERR_INVALID_HANDLE = 9,     // null, released, stopped, ended or reused
    E_SOUND_ERR_MEMORY = 10,            // no memory, or a fixed table is full
    E_SOUND_ERR_OUTPUT = 11,            // the output could not start
    E_SOUND_ERR_PLUGIN_MISSING = 12,    // the layer has no plug-ins
    E_SOUND_ERR_INVALID_PARAM = 37,     // also a read callback's answer when it has no user data
};

// Mode bits of createSound and createStream. The values are those the engine's data and calls
// are written with (for example 0x4C8 for a 2D software user stream).
enum ESoundMode : u32 {
    E_SOUNDMODE_DEFAULT = 0x0,
    E_SOUNDMODE_LOOP_OFF = 0x1,               // default loop count 0
    E_SOUNDMODE_LOOP_NORMAL = 0x2,            // default loop count -1 (endless)
    E_SOUNDMODE_2D = 0x8,
    E_SOUNDMODE_3D = 0x10,                    // accepted and played as 2D: no 3D position is ever set
    E_SOUNDMODE_HARDWARE = 0x20,              // accepted; everything is mixed in software
    E_SOUNDMODE_SOFTWARE = 0x40,
    E_SOUNDMODE_CREATESTREAM = 0x80,
    E_SOUNDMODE_CREATESAMPLE = 0x100,
    E_SOUNDMODE_OPENUSER = 0x400,             // PCM from the read callback of SCreateSoundInfo
    E_SOUNDMODE_OPENMEMORY = 0x800,           // the name is a block of SCreateSoundInfo::length bytes
    E_SOUNDMODE_UNICODE = 0x1000000,          // the name is a char16_t path
};

// Sample formats of user streams and decoded data. PCM8 is unsigned (128 is silence); PCM16,
// PCM24 and PCM32 are signed little-endian; PCMFLOAT is f32. Same values as ECodecSoundFormat.
enum ESoundFormat : s32 {
    E_SOUNDFORMAT_NONE = 0,
    E_SOUNDFORMAT_PCM8 = 1,
    E_SOUNDFORMAT_PCM16 = 2,
    E_SOUNDFORMAT_PCM24 = 3,
    E_SOUNDFORMAT_PCM32 = 4,
    E_SOUNDFORMAT_PCMFLOAT = 5,
};

enum ESoundTimeUnit : u32 {
    E_SOUNDTIMEUNIT_MS = 0x1,
    E_SOUNDTIMEUNIT_PCM = 0x2,          // sample frames of the source
    E_SOUNDTIMEUNIT_PCMBYTES = 0x4,     // bytes of the source's PCM
};

enum ESoundOutputType : s32 {
    E_SOUNDOUTPUT_AUTODETECT = 0,       // the sound device; the running null clock when none opens
    E_SOUNDOUTPUT_NOSOUND = 1,          // no device; a null clock thread mixes in real time
    E_SOUNDOUTPUT_NOSOUND_MANUAL = 2,   // no device and no thread: advanceNullOutput mixes
};

enum ESoundPluginType : s32 {
    E_SOUNDPLUGIN_OUTPUT = 0,
    E_SOUNDPLUGIN_CODEC = 1,
    E_SOUNDPLUGIN_DSP = 2,
};

enum ESoundResampler : s32 {
    E_SOUNDRESAMPLER_NOINTERP = 0,
    E_SOUNDRESAMPLER_LINEAR = 1,        // the only resampler: every other value mixes linearly
};

// User-stream callbacks, called on the layer's stream thread only.
// Read: fill all `bytes` of data with PCM in the stream's format. E_SOUND_OK: every byte is
// audio. Any other answer (E_SOUND_ERR_FILE_EOF when the source has ended) discards the data of
// this call and ends the stream once what was read before has played.
using SoundPcmReadCallback = ESoundResult (*)(ClSound sound, void* data, u32 bytes);
// Set position: the stream restarts at `position` (in `unit`) before a replay or a loop.
using SoundPcmSetPosCallback = ESoundResult (*)(ClSound sound, s32 subSound, u32 position, ESoundTimeUnit unit);

// The extra information of createSound and createStream. Zero it first; zero fields keep the
// layer's defaults.
struct SCreateSoundInfo {
    // OPENMEMORY: bytes of the block (required). OPENUSER: bytes of PCM the stream plays (0: until
    // the read callback reports the end). A file: bytes of the range from fileOffset (0: to the
    // end of the file).
    u32 length;
    u32 fileOffset;                   // a file: where the sound's bytes begin
    // OPENUSER only:
    s32 numChannels;                  // 1 to SOUND_MAX_INPUT_CHANNELS
    s32 defaultFrequency;             // Hz
    ESoundFormat format;
    u32 decodeBufferSize;             // sample frames per read; 0: about 400 ms
    SoundPcmReadCallback pcmReadCallback;
    SoundPcmSetPosCallback pcmSetPosCallback;  // may be null
    void* userData;                   // handed back by ClSound::getUserData
};

class ClChannelGroup {
public:
    ClChannelGroup() = default;
    bool isNull() const { return m_system == nullptr; }
    explicit operator bool() const { return m_system != nullptr; }
    bool operator==(const ClChannelGroup& other) const = default;

    // Clamped to [0, 1]. A channel sounds at its own volume times the volumes of its group and
    // of every group above it, the master group included.
    ESoundResult setVolume(f32 volume);
    // Makes `child` a child of this group (moving it from any former parent). A group never
    // connected under the master group is silent, and so are its channels. Loops are refused.
    ESoundResult addGroup(ClChannelGroup child);
    // Its channels move to the master group and its children are disconnected. The master group
    // cannot be released.
    ESoundResult release();

private:
    friend class ClSoundSystem;
    friend struct SSoundSystemState;
    ClSoundSystem* m_system = nullptr;
    u32 m_id = 0;  // slot and generation
};

class ClSound {
public:
    ClSound() = default;
    bool isNull() const { return m_system == nullptr; }
    explicit operator bool() const { return m_system != nullptr; }
    bool operator==(const ClSound& other) const = default;

    // Stops every channel playing the sound, waits until its stream callbacks are done, frees it.
    ESoundResult release();
    ESoundResult getUserData(void** userData) const;
    // Default frequency (Hz, from the data or the stream's format), volume 1, pan 0, priority 128.
    // Any output may be null.
    ESoundResult getDefaults(f32* frequency, f32* volume, f32* pan, s32* priority) const;
    // The loop count new channels start with: -1 endless, 0 once, n: n more passes.
    ESoundResult setLoopCount(s32 loopCount);

private:
    friend class ClSoundSystem;
    friend struct SSoundSystemState;
    ClSoundSystem* m_system = nullptr;
    u32 m_id = 0;
};

class ClChannel {
public:
    ClChannel() = default;
    bool isNull() const { return m_system == nullptr; }
    explicit operator bool() const { return m_system != nullptr; }
    bool operator==(const ClChannel& other) const = default;

    ESoundResult setVolume(f32 volume);               // clamped to [0, 1]
    // -1 left to 1 right, clamped. A mono source is panned with equal power (0.7071 per side at
    // the centre); a source of two or more channels is balanced (both sides 1 at the centre, the
    // far side falling to 0 at the edge).
    ESoundResult setPan(f32 pan);
    // Playback rate in Hz (the source's default frequency when it starts); 0 holds the channel
    // still, a negative rate is refused.
    ESoundResult setFrequency(f32 frequency);
    // A paused channel mixes nothing and its position does not move.
    ESoundResult setPaused(bool paused);
    // Gains of the source's channels (first `count` of them; the others keep theirs, 1 at start).
    ESoundResult setInputChannelMix(const f32* levels, s32 count);
    // Writes false for a channel that has ended, was stopped or reused (and answers the error).
    ESoundResult isPlaying(bool* playing) const;
    // Synchronous: the channel is silent and its handle stale when this returns.
    ESoundResult stop();
    // The audible position within the sound: frames mixed minus the output's latency, moving
    // smoothly between mixer passes; frozen while paused. Writes 0 on error.
    ESoundResult getPosition(u32* position, ESoundTimeUnit unit) const;
    // A null group means the master group.
    ESoundResult setChannelGroup(ClChannelGroup group);

private:
    friend class ClSoundSystem;
    friend struct SSoundSystemState;
    ClSoundSystem* m_system = nullptr;
    u32 m_id = 0;
};

// Accepted and ignored: the layer allocates its own tables once at init.
ESoundResult soundMemoryInitialize(void* pool, u32 poolLength, u32 memoryTypeFlags);

struct SSoundSystemState;

class ClSoundSystem {
public:
    ClSoundSystem();
    // Closes the system if it is still running.
    ~ClSoundSystem();
    ClSoundSystem(const ClSoundSystem&) = delete;
    ClSoundSystem& operator=(const ClSoundSystem&) = delete;

    // Before init. The default is E_SOUNDOUTPUT_AUTODETECT.
    ESoundResult setOutput(ESoundOutputType output);
    // 1 to SOUND_MAX_CHANNELS, before init.
    ESoundResult setSoftwareChannels(s32 count);
    // Recorded and reported back; the mix is always SOUND_OUTPUT_RATE stereo with linear
    // resampling.
    ESoundResult setSoftwareFormat(s32 rate, ESoundFormat format, s32 outputChannels, s32 maxInputChannels,
                                   ESoundResampler resampler);
    ESoundResult getSoftwareFormat(s32* rate, ESoundFormat* format, s32* outputChannels, s32* maxInputChannels,
                                   ESoundResampler* resampler, s32* bits) const;
    // Accepted and ignored (sounds play as 2D).
    ESoundResult set3DSettings(f32 dopplerScale, f32 distanceFactor, f32 rolloffScale);
    // Plug-ins: the path is accepted, there are none.
    ESoundResult setPluginPath(const char* path);
    ESoundResult getNumPlugins(ESoundPluginType type, s32* count) const;

    // Starts the stream thread and the output. With AUTODETECT, a device that does not open
    // leaves one line on standard error and the running null clock in its place.
    ESoundResult init(s32 maxChannels, u32 flags, void* extraDriverData);
    // Stops every channel, releases every sound (waiting out their callbacks) and group, stops
    // the stream thread and the output. The system may be initialised again afterwards.
    ESoundResult close();
    // Once per frame: frees the slots of channels that ended since the last update. Handles of
    // ended channels are stale from the moment they end, with or without an update.
    ESoundResult update();

    // Memory sounds (OPENMEMORY: WAV PCM or Ogg Vorbis data, decoded whole; the block may be
    // freed once the call returns), file sounds (a narrow game path, or char16_t with UNICODE,
    // optionally a byte range: decoded whole, or streamed with CREATESTREAM) and user streams
    // (OPENUSER, always streamed). createStream is createSound with CREATESTREAM.
    ESoundResult createSound(const void* nameOrData, u32 mode, const SCreateSoundInfo* info, ClSound* sound);
    ESoundResult createStream(const void* nameOrData, u32 mode, const SCreateSoundInfo* info, ClSound* sound);
    // A free channel with the sound's defaults in the master group. A stream plays on one channel
    // at a time: playing it again stops its former channel and restarts it from the beginning.
    ESoundResult playSound(ClSound sound, bool paused, ClChannel* channel);

    // A new group, not connected: add it under the master group (or another group) to hear it.
    ESoundResult createChannelGroup(const char* name, ClChannelGroup* group);
    ESoundResult getMasterChannelGroup(ClChannelGroup* group);

    // The device latency the positions are corrected by, in output frames (0 for null outputs).
    ESoundResult getOutputLatency(u32* frames) const;
    // E_SOUNDOUTPUT_NOSOUND_MANUAL only: mixes `frames` output frames now, in the calling thread,
    // into outStereo (interleaved left/right floats, 2 x frames; null discards them). Before each
    // pass it waits for the stream thread to refill every playing stream that needs data, so the
    // result does not depend on thread timing.
    ESoundResult advanceNullOutput(u32 frames, f32* outStereo);

private:
    friend class ClSound;
    friend class ClChannel;
    friend class ClChannelGroup;
    friend struct SSoundSystemState;
    SSoundSystemState* m_state;
};
