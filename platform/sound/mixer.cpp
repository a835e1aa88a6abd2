// The mixer: every playing channel is read from its memory data or its stream's ring, resampled
// linearly from the source rate times the channel's frequency, weighted by its volume, its
// groups, its input-channel mix and its pan, and summed into a float stereo block. Each block
// leaves a position point per channel, from which the audible position is read back later.
#include "platform/sound/sound_internal.h"

#include <chrono>
#include <cmath>
#include <cstring>

namespace {

enum EFetchResult : u32 {
    E_FETCH_OK = 0,
    E_FETCH_END = 1,
    E_FETCH_STARVED = 2,  // a stream whose ring has run dry: silence, and the position waits
};

constexpr f32 QUARTER_PI = 0.785398163397448f;
// Group chains are short; a deeper one can only come from damage and is silent.
constexpr u32 MAX_GROUP_DEPTH = 64;

s32 readS24(const u8* bytes) {
    s32 value = static_cast<s32>(bytes[0]) | (static_cast<s32>(bytes[1]) << 8) | (static_cast<s32>(bytes[2]) << 16);
    return (value & 0x800000) ? value - 0x1000000 : value;
}

void convertFrame(const u8* source, ESoundFormat format, s32 channels, f32* out) {
    for (s32 c = 0; c < channels; ++c) {
        switch (format) {
        case E_SOUNDFORMAT_PCM8:
            out[c] = (static_cast<f32>(source[c]) - 128.0f) / 128.0f;
            break;
        case E_SOUNDFORMAT_PCM16: {
            s16 value;
            std::memcpy(&value, source + 2 * c, 2);
            out[c] = static_cast<f32>(value) / 32768.0f;
            break;
        }
        case E_SOUNDFORMAT_PCM24:
            out[c] = static_cast<f32>(readS24(source + 3 * c)) / 8388608.0f;
            break;
        case E_SOUNDFORMAT_PCM32: {
            s32 value;
            std::memcpy(&value, source + 4 * c, 4);
            out[c] = static_cast<f32>(static_cast<f64>(value) / 2147483648.0);
            break;
        }
        case E_SOUNDFORMAT_PCMFLOAT:
            std::memcpy(&out[c], source + 4 * c, 4);
            break;
        default:
            out[c] = 0.0f;
            break;
        }
    }
}

// A new pass begins at the frame about to be fetched.
void notePassStart(SChannelSlot& channel) {
    channel.pendingPassStart = channel.fetchedFrames;
    channel.hasPendingPass = true;
}

// Consumes one loop of the channel's count; false when none is left.
bool takeLoop(SChannelSlot& channel) {
    if (channel.loopCount == 0) return false;
    if (channel.loopCount > 0) --channel.loopCount;
    return true;
}

EFetchResult fetchMemoryFrame(SChannelSlot& channel, const SSoundSlot& sound, f32* out) {
    const SSoundDataFormat& format = sound.format;
    if (channel.memoryFrame >= format.frameCount) {
        if (format.frameCount == 0 || !takeLoop(channel)) return E_FETCH_END;
        channel.memoryFrame = 0;
        notePassStart(channel);
    }
    convertFrame(sound.data + channel.memoryFrame * format.bytesPerFrame, format.format, format.channels, out);
    ++channel.memoryFrame;
    ++channel.fetchedFrames;
    return E_FETCH_OK;
}

EFetchResult fetchStreamFrame(SSoundSystemState* state, std::unique_lock<std::mutex>& held, SChannelSlot& channel,
                              const SSoundSlot& sound, f32* out, bool waitForStreams) {
    SSoundStream* stream = sound.stream;
    const SSoundDataFormat& format = sound.format;
    for (;;) {
        SStreamChunk& chunk = stream->chunks[stream->readIndex];
        if (!chunk.filled) {
            if (stream->sourceEnded) return E_FETCH_END;
            if (!waitForStreams || state->streamThreadQuit) return E_FETCH_STARVED;
            state->streamWake.notify_all();
            auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(SOUND_STREAM_WAIT_MS);
            bool timedOut = false;
            while (!chunk.filled && !stream->sourceEnded && !stream->releasing && !timedOut) {
                timedOut = state->streamProgress.wait_until(held, deadline) == std::cv_status::timeout;
            }
            if (!chunk.filled) return stream->sourceEnded ? E_FETCH_END : E_FETCH_STARVED;
            continue;
        }
        if (chunk.readOffset + format.bytesPerFrame <= chunk.bytes) {
            convertFrame(chunk.data + chunk.readOffset, format.format, format.channels, out);
            chunk.readOffset += format.bytesPerFrame;
            ++channel.fetchedFrames;
            return E_FETCH_OK;
        }
        bool passEnd = chunk.endOfPass;
        bool sourceEnd = chunk.endOfSource;
        chunk.filled = false;
        chunk.bytes = 0;
        chunk.readOffset = 0;
        chunk.endOfPass = false;
        chunk.endOfSource = false;
        stream->readIndex = (stream->readIndex + 1) % SOUND_STREAM_CHUNKS;
        state->streamWake.notify_all();
        if (passEnd) {
            if (sourceEnd || !takeLoop(channel)) return E_FETCH_END;
            notePassStart(channel);
        }
    }
}

EFetchResult fetchFrame(SSoundSystemState* state, std::unique_lock<std::mutex>& held, SChannelSlot& channel,
                        f32* out, bool waitForStreams) {
    const SSoundSlot& sound = state->sounds[channel.soundSlot];
    if (sound.kind == E_SOUNDKIND_MEMORY) return fetchMemoryFrame(channel, sound, out);
    return fetchStreamFrame(state, held, channel, sound, out, waitForStreams);
}

f32 groupGain(const SSoundSystemState* state, u32 slot) {
    f32 gain = 1.0f;
    s32 current = static_cast<s32>(slot);
    for (u32 depth = 0; depth < MAX_GROUP_DEPTH && current >= 0; ++depth) {
        const SGroupSlot& group = state->groups[current];
        if (!group.live) return 0.0f;
        gain *= group.volume;
        if (static_cast<u32>(current) == SOUND_MASTER_GROUP_SLOT) return gain;
        current = group.parent;
    }
    return 0.0f;
}

// Gains from each source channel to the left and right outputs.
void channelGains(const SSoundSystemState* state, const SChannelSlot& channel, s32 sourceChannels, f32* left,
                  f32* right) {
    f32 base = channel.volume * groupGain(state, channel.groupSlot);
    if (sourceChannels == 1) {
        f32 angle = (channel.pan + 1.0f) * QUARTER_PI;
        left[0] = base * channel.inputMix[0] * std::cos(angle);
        right[0] = base * channel.inputMix[0] * std::sin(angle);
        return;
    }
    f32 leftBalance = channel.pan > 0.0f ? 1.0f - channel.pan : 1.0f;
    f32 rightBalance = channel.pan < 0.0f ? 1.0f + channel.pan : 1.0f;
    // Beyond stereo, even channels fold to the left and odd ones to the right.
    f32 fold = sourceChannels == 2 ? 1.0f : 2.0f / static_cast<f32>(sourceChannels);
    for (s32 c = 0; c < sourceChannels; ++c) {
        f32 gain = base * channel.inputMix[c] * fold;
        left[c] = (c % 2 == 0) ? gain * leftBalance : 0.0f;
        right[c] = (c % 2 == 0) ? 0.0f : gain * rightBalance;
    }
}

void pushPositionPoint(SChannelSlot& channel, u64 outputFrame, f64 position) {
    channel.history[channel.historyNext] = {outputFrame, position};
    channel.historyNext = (channel.historyNext + 1) % SOUND_POSITION_HISTORY;
    if (channel.historyCount < SOUND_POSITION_HISTORY) ++channel.historyCount;
}

f64 channelMixPosition(const SChannelSlot& channel) {
    if (channel.primed == 0) return static_cast<f64>(channel.sourceFrame);
    return static_cast<f64>(channel.sourceFrame) + channel.fraction;
}

void shiftFrame(SChannelSlot& channel, s32 sourceChannels) {
    std::memcpy(channel.s0, channel.s1, sizeof(f32) * static_cast<u32>(sourceChannels));
    ++channel.sourceFrame;
    channel.fraction -= 1.0;
    channel.primed = 1;
    if (channel.hasPendingPass && channel.sourceFrame >= channel.pendingPassStart) {
        channel.previousPassStart = channel.passStart;
        channel.passStart = channel.pendingPassStart;
        channel.hasPendingPass = false;
    }
}

// Mixes one channel into out (frames stereo frames starting at output frame blockStart).
void mixChannel(SSoundSystemState* state, std::unique_lock<std::mutex>& held, u32 slot, f32* out, u32 frames,
                u64 blockStart, bool waitForStreams) {
    SChannelSlot& channel = state->channels[slot];
    if (channel.paused) {
        pushPositionPoint(channel, blockStart + frames, channelMixPosition(channel));
        return;
    }
    const SSoundSlot& sound = state->sounds[channel.soundSlot];
    const s32 sourceChannels = sound.format.channels;
    f32 left[SOUND_MAX_INPUT_CHANNELS];
    f32 right[SOUND_MAX_INPUT_CHANNELS];
    channelGains(state, channel, sourceChannels, left, right);
    const f64 step = static_cast<f64>(channel.frequency) / static_cast<f64>(SOUND_OUTPUT_RATE);

    bool ended = false;
    u32 i = 0;
    while (i < frames) {
        if (channel.primed == 0) {
            EFetchResult result = fetchFrame(state, held, channel, channel.s0, waitForStreams);
            if (result == E_FETCH_STARVED) break;
            if (result == E_FETCH_END) {
                ended = true;
                break;
            }
            channel.primed = 1;
        } else if (channel.primed == 1) {
            EFetchResult result = fetchFrame(state, held, channel, channel.s1, waitForStreams);
            if (result == E_FETCH_STARVED) break;
            if (result == E_FETCH_END) {
                std::memset(channel.s1, 0, sizeof(channel.s1));
                channel.s1IsEnd = true;
            }
            channel.primed = 2;
        } else if (channel.fraction >= 1.0) {
            if (channel.s1IsEnd) {
                ended = true;
                break;
            }
            shiftFrame(channel, sourceChannels);
        } else {
            const f32 t = static_cast<f32>(channel.fraction);
            f32 sumLeft = 0.0f;
            f32 sumRight = 0.0f;
            for (s32 c = 0; c < sourceChannels; ++c) {
                f32 value = channel.s0[c] + (channel.s1[c] - channel.s0[c]) * t;
                sumLeft += value * left[c];
                sumRight += value * right[c];
            }
            out[2 * i] += sumLeft;
            out[2 * i + 1] += sumRight;
            channel.fraction += step;
            ++i;
            // Ends with its last frame, so a channel never outlives its data by a block.
            if (channel.fraction >= 1.0 && channel.s1IsEnd) {
                ended = true;
                break;
            }
        }
    }
    if (!ended) {
        pushPositionPoint(channel, blockStart + frames, channelMixPosition(channel));
        return;
    }
    u64 endFrame = blockStart + i;
    pushPositionPoint(channel, endFrame, channelMixPosition(channel));
    if (state->outputLatency == 0) {
        freeChannelSlot(state, slot);
    } else {
        channel.state = E_CHANNELSTATE_DRAINING;
        channel.drainUntilFrame = endFrame + state->outputLatency;
    }
}

void freeDrainedChannels(SSoundSystemState* state) {
    u64 heard = state->mixedFrames > state->outputLatency ? state->mixedFrames - state->outputLatency : 0;
    for (u32 slot = 0; slot < SOUND_MAX_CHANNELS; ++slot) {
        SChannelSlot& channel = state->channels[slot];
        if (channel.state == E_CHANNELSTATE_DRAINING && heard >= channel.drainUntilFrame) freeChannelSlot(state, slot);
    }
}

}  // namespace

void mixSoundFrames(SSoundSystemState* state, std::unique_lock<std::mutex>& held, f32* outStereo, u32 frames,
                    bool waitForStreams) {
    std::memset(outStereo, 0, sizeof(f32) * SOUND_OUTPUT_CHANNELS * frames);
    u32 done = 0;
    while (done < frames) {
        u32 block = frames - done < SOUND_MIX_BLOCK_FRAMES ? frames - done : SOUND_MIX_BLOCK_FRAMES;
        freeDrainedChannels(state);
        for (u32 slot = 0; slot < SOUND_MAX_CHANNELS; ++slot) {
            if (state->channels[slot].state != E_CHANNELSTATE_PLAYING) continue;
            mixChannel(state, held, slot, outStereo + SOUND_OUTPUT_CHANNELS * done, block, state->mixedFrames,
                       waitForStreams);
        }
        state->mixedFrames += block;
        done += block;
    }
}

void mixSoundOutput(SSoundSystemState* state, f32* outStereo, u32 frames, u64 callbackTime) {
    std::unique_lock<std::mutex> held(state->lock);
    if (!state->initialised) {
        std::memset(outStereo, 0, sizeof(f32) * SOUND_OUTPUT_CHANNELS * frames);
        return;
    }
    mixSoundFrames(state, held, outStereo, frames, false);
    state->lastCallbackTime = callbackTime;
}

u64 audibleOutputFrame(SSoundSystemState* state, u64 now) {
    const u64 mixed = state->mixedFrames;
    u64 reached = mixed;
    if (state->outputInterpolates && state->lastCallbackTime != 0 && now > state->lastCallbackTime) {
        u64 elapsedNs = now - state->lastCallbackTime;
        u64 elapsedFrames = elapsedNs * SOUND_OUTPUT_RATE / 1000000000ull;
        if (elapsedFrames > state->outputPeriod) elapsedFrames = state->outputPeriod;
        reached += elapsedFrames;
    }
    // Until the latency has passed nothing is heard; the clock moves on from there, not from 0.
    u64 heard = reached > state->outputLatency ? reached - state->outputLatency : 0;
    if (heard > mixed) heard = mixed;
    // Callbacks do not come at exact intervals; the cursor never steps back.
    if (heard < state->lastAudibleFrame) heard = state->lastAudibleFrame;
    state->lastAudibleFrame = heard;
    return heard;
}

f64 channelAudiblePosition(SSoundSystemState* state, const SChannelSlot& channel, u64 now) {
    if (channel.paused) return channel.pausedPosition;
    if (channel.historyCount == 0) return 0.0;
    u64 heard = audibleOutputFrame(state, now);
    u32 oldest = (channel.historyNext + SOUND_POSITION_HISTORY - channel.historyCount) % SOUND_POSITION_HISTORY;
    const SPositionPoint* before = &channel.history[oldest];
    if (heard <= before->outputFrame) return before->position;
    for (u32 k = 1; k < channel.historyCount; ++k) {
        const SPositionPoint* after = &channel.history[(oldest + k) % SOUND_POSITION_HISTORY];
        if (heard <= after->outputFrame) {
            u64 span = after->outputFrame - before->outputFrame;
            if (span == 0) return after->position;
            f64 t = static_cast<f64>(heard - before->outputFrame) / static_cast<f64>(span);
            return before->position + (after->position - before->position) * t;
        }
        before = after;
    }
    return before->position;
}

f64 channelPositionInPass(SSoundSystemState* state, const SChannelSlot& channel, u64 now) {
    f64 position = channelAudiblePosition(state, channel, now);
    f64 passStart = static_cast<f64>(channel.passStart);
    f64 previousPassStart = static_cast<f64>(channel.previousPassStart);
    if (position >= passStart) return position - passStart;
    if (position >= previousPassStart) return position - previousPassStart;
    return position;
}
