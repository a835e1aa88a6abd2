// The sound layer's own records, shared by its mixer, stream thread, decoders and outputs.
// Nothing outside platform/sound and its tests includes this.
#pragma once

#include "platform/os/os.h"
#include "platform/sound/sound_system.h"

#include <condition_variable>
#include <memory>
#include <mutex>

// ---------------------------------------------------------------------------------------------
// Byte sources and decoders (sound_decoders.cpp)

// Random-access bytes: a memory block or a range of a file.
class ISoundByteSource {
public:
    virtual ~ISoundByteSource() = default;
    virtual u64 size() const = 0;
    // Reads up to `bytes` at offset (clipped to the size); false on a read failure.
    virtual bool readAt(u64 offset, void* destination, u32 bytes, u32* outRead) = 0;
};

// Over a block the caller keeps alive while the source lives.
std::unique_ptr<ISoundByteSource> makeMemoryByteSource(const void* data, u64 size);
// Opens a game path (narrow, or wide when `wide`) and keeps the range [offset, offset + length)
// (length 0: to the end of the file). Null with the reason in outResult.
std::unique_ptr<ISoundByteSource> makeFileByteSource(const void* path, bool wide, u64 offset, u64 length,
                                                     ESoundResult* outResult);

struct SSoundDataFormat {
    ESoundFormat format;
    s32 channels;
    u32 rate;
    u32 bytesPerFrame;
    u64 frameCount;  // of one pass; 0 when unknown
};

// Decoded PCM from a WAV or Ogg Vorbis source.
class ISoundDecoder {
public:
    virtual ~ISoundDecoder() = default;
    const SSoundDataFormat& format() const { return m_format; }
    // Fills up to `bytes` (whole frames); 0 bytes at the end of the data.
    virtual ESoundResult read(void* destination, u32 bytes, u32* outBytes) = 0;
    virtual ESoundResult rewind() = 0;

protected:
    SSoundDataFormat m_format = {};
};

// Recognises the data by its header; E_SOUND_ERR_FORMAT for anything but RIFF/WAVE PCM or float,
// and Ogg Vorbis; E_SOUND_ERR_FILE_BAD for damaged headers.
ESoundResult openSoundDecoder(std::unique_ptr<ISoundByteSource> source, std::unique_ptr<ISoundDecoder>* outDecoder);

// Bytes per sample of a format; 0 for none.
u32 soundFormatBytes(ESoundFormat format);

// ---------------------------------------------------------------------------------------------
// Records

// Handle ids: slot in the low bits, generation above. Generation 0 is never live.
constexpr u32 SOUND_HANDLE_SLOT_BITS = 12;
constexpr u32 SOUND_HANDLE_SLOT_MASK = (1u << SOUND_HANDLE_SLOT_BITS) - 1;
inline u32 makeSoundHandleId(u32 slot, u32 generation) { return (generation << SOUND_HANDLE_SLOT_BITS) | slot; }
inline u32 soundHandleSlot(u32 id) { return id & SOUND_HANDLE_SLOT_MASK; }
inline u32 soundHandleGeneration(u32 id) { return id >> SOUND_HANDLE_SLOT_BITS; }
inline u32 nextSoundGeneration(u32 generation) {
    u32 next = (generation + 1) & (0xFFFFFFFFu >> SOUND_HANDLE_SLOT_BITS);
    return next == 0 ? 1 : next;
}

constexpr u32 SOUND_STREAM_CHUNKS = 3;
constexpr f32 SOUND_STREAM_DEFAULT_CHUNK_SECONDS = 0.4f;
constexpr u32 SOUND_STREAM_MIN_CHUNK_FRAMES = 64;
constexpr u32 SOUND_STREAM_MAX_CHUNK_BYTES = 4u * 1024u * 1024u;
// A memory sound decoded larger than this is refused.
constexpr u64 SOUND_MAX_MEMORY_SOUND_BYTES = 256ull * 1024ull * 1024ull;
// Frames the mixer works on at once.
constexpr u32 SOUND_MIX_BLOCK_FRAMES = 1024;
// Block-boundary positions kept per channel: enough to look back over any output latency.
constexpr u32 SOUND_POSITION_HISTORY = 16;
// How long a waiting caller gives the stream thread (prefill, manual mixing) before going on.
constexpr u32 SOUND_STREAM_WAIT_MS = 2000;

struct SStreamChunk {
    u8* data;
    u32 bytes;          // filled
    u32 readOffset;     // consumed by the mixer
    bool filled;        // owned by the mixer until it has read it all
    bool endOfPass;     // the last bytes of one pass of the source
    bool endOfSource;   // nothing follows: the channel ends here whatever its loop count
};

// The ring of one stream. The stream thread fills chunks at writeIndex, the mixer reads at
// readIndex; chunk states and indices change under the system lock, chunk bytes are written
// without it while the chunk is not filled.
struct SSoundStream {
    u32 chunkBytes;
    SStreamChunk chunks[SOUND_STREAM_CHUNKS];
    u32 writeIndex;
    u32 readIndex;
    u64 passLengthBytes;   // 0: until the source reports its end
    u64 passBytesRead;     // stream thread
    bool sourceEnded;      // the stream thread will read no more until a restart
    bool looping;          // the stream thread starts another pass after a pass end
    bool rewindPending;    // rewind the source before the next read (a loop or a restart)
    bool failed;           // the source failed: no further pass
    bool busy;             // the stream thread is reading it now, outside the lock
    bool releasing;
    bool hasPlayed;
    u32 epoch;             // changes at every restart: a read begun before it is dropped
    std::unique_ptr<ISoundDecoder> decoder;  // file streams
};

enum ESoundKind : u32 {
    E_SOUNDKIND_MEMORY = 0,
    E_SOUNDKIND_USER_STREAM = 1,
    E_SOUNDKIND_FILE_STREAM = 2,
};

struct SSoundSlot {
    u32 generation;
    bool live;
    ESoundKind kind;
    SSoundDataFormat format;
    u32 mode;
    s32 loopCount;
    void* userData;
    SoundPcmReadCallback readCallback;
    SoundPcmSetPosCallback setPosCallback;
    u8* data;               // memory sounds: format.frameCount frames
    SSoundStream* stream;   // streams
    s32 streamChannel;      // the channel slot a stream plays on, -1 for none
};

struct SPositionPoint {
    u64 outputFrame;
    f64 position;  // source frames since the channel started, loops counted
};

enum EChannelState : u32 {
    E_CHANNELSTATE_FREE = 0,
    E_CHANNELSTATE_PLAYING = 1,
    // Mixed to its end; kept until the output has played the rest, so its position runs on.
    E_CHANNELSTATE_DRAINING = 2,
};

struct SChannelSlot {
    u32 generation;
    EChannelState state;
    u32 soundSlot;
    u32 groupSlot;
    f32 volume;
    f32 pan;
    f32 frequency;
    bool paused;
    s32 loopCount;
    f32 inputMix[SOUND_MAX_INPUT_CHANNELS];

    // The interpolator: frames s0 (at sourceFrame) and s1 (the next) with the fraction between.
    u32 primed;          // 0: s0 missing, 1: s1 missing, 2: both
    bool s1IsEnd;        // s1 lies past the last frame
    f32 s0[SOUND_MAX_INPUT_CHANNELS];
    f32 s1[SOUND_MAX_INPUT_CHANNELS];
    f64 fraction;
    u64 sourceFrame;     // index of s0 since the start, loops counted
    u64 memoryFrame;     // next frame to fetch from a memory sound
    u64 fetchedFrames;   // frames fetched since the start (s1 is fetchedFrames - 1)
    // Pass starts in the counted index: the current one, the one before, and one not yet reached.
    u64 passStart;
    u64 previousPassStart;
    u64 pendingPassStart;
    bool hasPendingPass;

    SPositionPoint history[SOUND_POSITION_HISTORY];
    u32 historyCount;
    u32 historyNext;
    f64 pausedPosition;  // reported while paused
    u64 drainUntilFrame; // DRAINING: freed once the audible frame reaches it
};

struct SGroupSlot {
    u32 generation;
    bool live;
    s32 parent;  // slot, -1 for none
    f32 volume;
    char name[SOUND_GROUP_NAME_CAPACITY];
};

constexpr u32 SOUND_MASTER_GROUP_SLOT = 0;

// ---------------------------------------------------------------------------------------------
// Outputs

class ISoundOutput {
public:
    virtual ~ISoundOutput() = default;
    virtual ESoundResult start() = 0;
    // Synchronous: no mixing runs once it returns.
    virtual void stop() = 0;
    // Output frames between the end of the last mixed block and what is heard at its callback.
    virtual u32 latencyFrames() const = 0;
    // Frames of one callback; the position runs on smoothly for at most this many frames.
    virtual u32 periodFrames() const = 0;
    // True when positions move with the clock between callbacks.
    virtual bool interpolates() const = 0;
};

std::unique_ptr<ISoundOutput> makeSdlSoundOutput(SSoundSystemState* state);
// Runs a thread that mixes and discards in real time.
std::unique_ptr<ISoundOutput> makeNullSoundOutput(SSoundSystemState* state);

// ---------------------------------------------------------------------------------------------
// The system

struct SSoundSystemState {
    static ClSound soundHandle(ClSoundSystem* system, u32 id) {
        ClSound handle;
        handle.m_system = system;
        handle.m_id = id;
        return handle;
    }
    static ClChannel channelHandle(ClSoundSystem* system, u32 id) {
        ClChannel handle;
        handle.m_system = system;
        handle.m_id = id;
        return handle;
    }
    static ClChannelGroup groupHandle(ClSoundSystem* system, u32 id) {
        ClChannelGroup handle;
        handle.m_system = system;
        handle.m_id = id;
        return handle;
    }

    // The state behind a handle's system; null for a null handle.
    static SSoundSystemState* stateOf(const ClSoundSystem* system) {
        return system != nullptr ? system->m_state : nullptr;
    }
    static ClSoundSystem* groupSystem(const ClChannelGroup& group) { return group.m_system; }
    static u32 groupId(const ClChannelGroup& group) { return group.m_id; }

    ClSoundSystem* owner = nullptr;
    std::mutex lock;
    // Wakes the stream thread: a chunk was freed, a stream was made or restarted, shutdown.
    std::condition_variable streamWake;
    // Wakes callers waiting on the stream thread: a chunk was filled, a read finished.
    std::condition_variable streamProgress;

    bool initialised = false;
    ESoundOutputType outputType = E_SOUNDOUTPUT_AUTODETECT;
    ESoundOutputType activeOutput = E_SOUNDOUTPUT_AUTODETECT;
    s32 softwareChannels = SOUND_MAX_CHANNELS;
    s32 maxChannels = SOUND_MAX_CHANNELS;
    s32 softwareRate = static_cast<s32>(SOUND_OUTPUT_RATE);
    ESoundFormat softwareFormat = E_SOUNDFORMAT_PCM16;
    s32 softwareOutputChannels = 0;
    s32 softwareMaxInputChannels = 16;
    ESoundResampler softwareResampler = E_SOUNDRESAMPLER_LINEAR;

    SChannelSlot channels[SOUND_MAX_CHANNELS] = {};
    SSoundSlot sounds[SOUND_MAX_SOUNDS] = {};
    SGroupSlot groups[SOUND_MAX_CHANNEL_GROUPS] = {};
    u32 nextChannelSearch = 0;

    // Mixer clock.
    u64 mixedFrames = 0;
    u64 lastCallbackTime = 0;   // osPerformanceCounter at the last output callback
    u64 lastAudibleFrame = 0;   // keeps the reported cursor from stepping back
    u32 outputLatency = 0;
    u32 outputPeriod = 0;
    bool outputInterpolates = false;
    f32 mixScratch[SOUND_MIX_BLOCK_FRAMES * SOUND_OUTPUT_CHANNELS] = {};

    ClThread streamThread;
    bool streamThreadQuit = false;
    u32 nextStreamSearch = 0;

    std::unique_ptr<ISoundOutput> output;
};

// ---------------------------------------------------------------------------------------------
// Under the system lock

SSoundSlot* findLiveSound(SSoundSystemState* state, u32 id);
SChannelSlot* findLiveChannel(SSoundSystemState* state, u32 id);
SGroupSlot* findLiveGroup(SSoundSystemState* state, u32 id);
// Frees the channel slot (stale handles from now on) and detaches it from a stream.
void freeChannelSlot(SSoundSystemState* state, u32 slot);
// Sets the channel up to play the sound from its beginning.
void startChannelSlot(SSoundSystemState* state, u32 channelSlot, u32 soundSlot, bool paused);
// The output frame heard now (mixed frames less latency, moved on by the clock).
u64 audibleOutputFrame(SSoundSystemState* state, u64 now);
// Source frames since the channel started, at the audible frame; frozen while paused.
f64 channelAudiblePosition(SSoundSystemState* state, const SChannelSlot& channel, u64 now);
// The same, within the current pass of the sound.
f64 channelPositionInPass(SSoundSystemState* state, const SChannelSlot& channel, u64 now);

// The mixer (mixer.cpp). Mixes `frames` into outStereo (overwritten) and moves the clock on.
// When waitForStreams is set (the manual null output) a stream that has run dry waits for the
// stream thread, releasing the lock meanwhile.
void mixSoundFrames(SSoundSystemState* state, std::unique_lock<std::mutex>& held, f32* outStereo, u32 frames,
                    bool waitForStreams);
// Output callbacks: takes the lock, mixes, records the callback's time (osPerformanceCounter
// when it began).
void mixSoundOutput(SSoundSystemState* state, f32* outStereo, u32 frames, u64 callbackTime);

// The stream thread (stream_thread.cpp).
ESoundResult startSoundStreamThread(SSoundSystemState* state);
void stopSoundStreamThread(SSoundSystemState* state);
// Allocates the ring for a stream of the given format; 0 chunk frames: about 400 ms.
ESoundResult createSoundStream(SSoundSlot* sound, u32 chunkFrames, u64 passLengthBytes);
// Under the lock: waits until the ring is full or the source ended (bounded).
void waitForStreamPrefill(SSoundSystemState* state, std::unique_lock<std::mutex>& held, SSoundSlot* sound);
// Under the lock: empties the ring and asks the stream thread to rewind and refill.
void restartSoundStream(SSoundSystemState* state, SSoundSlot* sound);
// Under the lock: whether the stream thread starts another pass at a pass end. Turning looping
// on after the source's end was read, but before the mixer reached it, reopens the source.
void setSoundStreamLooping(SSoundSystemState* state, SSoundSlot* sound, bool looping);
// Under the lock: waits until the stream thread is out of the sound, then frees the ring.
void releaseSoundStream(SSoundSystemState* state, std::unique_lock<std::mutex>& held, SSoundSlot* sound);
