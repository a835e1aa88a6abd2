// The stream thread: pulls user-stream read callbacks and file-stream decoders into each
// stream's ring of chunks, so that the mixer only ever copies from memory. The thread holds the
// system lock only to pick work and to publish a filled chunk; the callback or decoder runs
// without it, into a chunk that nobody else touches while it is not filled.
#include "platform/sound/sound_internal.h"

#include <chrono>

namespace {

bool streamNeedsWork(const SSoundSlot& sound) {
    if (!sound.live || sound.stream == nullptr) return false;
    const SSoundStream& stream = *sound.stream;
    if (stream.releasing || stream.busy) return false;
    if (stream.rewindPending) return true;
    return !stream.sourceEnded && !stream.chunks[stream.writeIndex].filled;
}

// Round robin over the sounds, so one busy stream cannot starve the others.
s32 pickStreamWork(SSoundSystemState* state) {
    for (u32 step = 0; step < SOUND_MAX_SOUNDS; ++step) {
        u32 slot = (state->nextStreamSearch + step) % SOUND_MAX_SOUNDS;
        if (streamNeedsWork(state->sounds[slot])) {
            state->nextStreamSearch = (slot + 1) % SOUND_MAX_SOUNDS;
            return static_cast<s32>(slot);
        }
    }
    return -1;
}

ESoundResult rewindSource(SSoundSlot* sound, ClSound handle) {
    if (sound->kind == E_SOUNDKIND_FILE_STREAM) return sound->stream->decoder->rewind();
    if (sound->setPosCallback == nullptr) return E_SOUND_OK;
    return sound->setPosCallback(handle, 0, 0, E_SOUNDTIMEUNIT_PCM);
}

// Reads `request` bytes into destination. outEnded: the source has no more data (or failed).
ESoundResult readSource(SSoundSlot* sound, ClSound handle, u8* destination, u32 request, u32* outBytes,
                        bool* outEnded) {
    *outBytes = 0;
    *outEnded = false;
    if (sound->kind == E_SOUNDKIND_USER_STREAM) {
        ESoundResult result = sound->readCallback(handle, destination, request);
        if (result == E_SOUND_OK) {
            *outBytes = request;
        } else {
            *outEnded = true;
        }
        return result == E_SOUND_ERR_FILE_EOF ? E_SOUND_OK : result;
    }
    ISoundDecoder* decoder = sound->stream->decoder.get();
    u32 done = 0;
    while (done < request) {
        u32 got = 0;
        ESoundResult result = decoder->read(destination + done, request - done, &got);
        if (result != E_SOUND_OK) {
            *outBytes = done;
            *outEnded = true;
            return result;
        }
        if (got == 0) {
            *outEnded = true;
            break;
        }
        done += got;
    }
    *outBytes = done;
    return E_SOUND_OK;
}

void serviceStream(SSoundSystemState* state, std::unique_lock<std::mutex>& held, u32 slot) {
    SSoundSlot* sound = &state->sounds[slot];
    SSoundStream* stream = sound->stream;
    ClSound handle = SSoundSystemState::soundHandle(state->owner, makeSoundHandleId(slot, sound->generation));
    stream->busy = true;
    u32 epoch = stream->epoch;
    bool rewind = stream->rewindPending;
    stream->rewindPending = false;
    u32 index = stream->writeIndex;
    SStreamChunk* chunk = &stream->chunks[index];
    bool fill = !stream->sourceEnded && !chunk->filled;
    u32 bytesPerFrame = sound->format.bytesPerFrame;
    u64 request = stream->chunkBytes;
    if (stream->passLengthBytes != 0) {
        u64 left = stream->passLengthBytes > stream->passBytesRead ? stream->passLengthBytes - stream->passBytesRead : 0;
        if (left < request) request = left;
    }
    request -= request % bytesPerFrame;
    held.unlock();

    ESoundResult rewindResult = E_SOUND_OK;
    if (rewind) rewindResult = rewindSource(sound, handle);
    u32 got = 0;
    bool ended = false;
    ESoundResult readResult = E_SOUND_OK;
    if (fill && rewindResult == E_SOUND_OK && request > 0) {
        readResult = readSource(sound, handle, chunk->data, static_cast<u32>(request), &got, &ended);
    }

    held.lock();
    stream->busy = false;
    state->streamProgress.notify_all();
    if (stream->epoch != epoch || stream->releasing) return;
    if (rewindResult != E_SOUND_OK || readResult != E_SOUND_OK) {
        stream->failed = true;
        ended = true;
        fill = !stream->chunks[index].filled;
    }
    if (!fill) return;

    got -= got % bytesPerFrame;
    stream->passBytesRead += got;
    bool passEnd = ended || request == 0 ||
                   (stream->passLengthBytes != 0 && stream->passBytesRead >= stream->passLengthBytes);
    chunk->bytes = got;
    chunk->readOffset = 0;
    chunk->endOfPass = passEnd;
    chunk->endOfSource = false;
    if (passEnd) {
        // A pass that gave nothing would loop without end.
        bool again = stream->looping && !stream->failed && stream->passBytesRead > 0;
        stream->passBytesRead = 0;
        if (again) {
            stream->rewindPending = true;
        } else {
            stream->sourceEnded = true;
            chunk->endOfSource = true;
        }
    }
    chunk->filled = true;
    stream->writeIndex = (index + 1) % SOUND_STREAM_CHUNKS;
    state->streamProgress.notify_all();
}

void streamThreadMain(void* argument) {
    auto* state = static_cast<SSoundSystemState*>(argument);
    std::unique_lock<std::mutex> held(state->lock);
    while (!state->streamThreadQuit) {
        s32 slot = pickStreamWork(state);
        if (slot < 0) {
            state->streamWake.wait(held);
            continue;
        }
        serviceStream(state, held, static_cast<u32>(slot));
    }
}

}  // namespace

ESoundResult startSoundStreamThread(SSoundSystemState* state) {
    {
        std::lock_guard<std::mutex> guard(state->lock);
        state->streamThreadQuit = false;
    }
    return state->streamThread.start(&streamThreadMain, state, "sound stream") ? E_SOUND_OK : E_SOUND_ERR_MEMORY;
}

void stopSoundStreamThread(SSoundSystemState* state) {
    {
        std::lock_guard<std::mutex> guard(state->lock);
        state->streamThreadQuit = true;
    }
    state->streamWake.notify_all();
    state->streamThread.join();
}

ESoundResult createSoundStream(SSoundSlot* sound, u32 chunkFrames, u64 passLengthBytes) {
    u32 bytesPerFrame = sound->format.bytesPerFrame;
    if (chunkFrames == 0) {
        chunkFrames = static_cast<u32>(static_cast<f32>(sound->format.rate) * SOUND_STREAM_DEFAULT_CHUNK_SECONDS);
    }
    if (chunkFrames < SOUND_STREAM_MIN_CHUNK_FRAMES) chunkFrames = SOUND_STREAM_MIN_CHUNK_FRAMES;
    u64 chunkBytes = static_cast<u64>(chunkFrames) * bytesPerFrame;
    if (chunkBytes > SOUND_STREAM_MAX_CHUNK_BYTES) {
        chunkBytes = SOUND_STREAM_MAX_CHUNK_BYTES - SOUND_STREAM_MAX_CHUNK_BYTES % bytesPerFrame;
    }
    auto* stream = new (std::nothrow) SSoundStream();
    if (stream == nullptr) return E_SOUND_ERR_MEMORY;
    stream->chunkBytes = static_cast<u32>(chunkBytes);
    for (SStreamChunk& chunk : stream->chunks) {
        chunk.data = new (std::nothrow) u8[chunkBytes];
        if (chunk.data == nullptr) {
            for (SStreamChunk& other : stream->chunks) delete[] other.data;
            delete stream;
            return E_SOUND_ERR_MEMORY;
        }
    }
    stream->passLengthBytes = passLengthBytes - passLengthBytes % bytesPerFrame;
    stream->looping = sound->loopCount != 0;
    sound->stream = stream;
    return E_SOUND_OK;
}

void waitForStreamPrefill(SSoundSystemState* state, std::unique_lock<std::mutex>& held, SSoundSlot* sound) {
    state->streamWake.notify_all();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(SOUND_STREAM_WAIT_MS);
    SSoundStream* stream = sound->stream;
    for (;;) {
        bool full = true;
        for (const SStreamChunk& chunk : stream->chunks) full = full && chunk.filled;
        if (full || (stream->sourceEnded && !stream->busy) || state->streamThreadQuit) return;
        if (state->streamProgress.wait_until(held, deadline) == std::cv_status::timeout) return;
    }
}

void restartSoundStream(SSoundSystemState* state, SSoundSlot* sound) {
    SSoundStream* stream = sound->stream;
    for (SStreamChunk& chunk : stream->chunks) {
        chunk.bytes = 0;
        chunk.readOffset = 0;
        chunk.filled = false;
        chunk.endOfPass = false;
        chunk.endOfSource = false;
    }
    stream->writeIndex = 0;
    stream->readIndex = 0;
    stream->passBytesRead = 0;
    stream->sourceEnded = false;
    stream->failed = false;
    stream->rewindPending = true;
    ++stream->epoch;
    state->streamWake.notify_all();
}

void setSoundStreamLooping(SSoundSystemState* state, SSoundSlot* sound, bool looping) {
    SSoundStream* stream = sound->stream;
    stream->looping = looping;
    if (!looping || !stream->sourceEnded || stream->failed) return;
    for (SStreamChunk& chunk : stream->chunks) {
        if (!chunk.filled || !chunk.endOfSource) continue;
        chunk.endOfSource = false;
        stream->sourceEnded = false;
        stream->rewindPending = true;
        stream->passBytesRead = 0;
        state->streamWake.notify_all();
    }
}

void releaseSoundStream(SSoundSystemState* state, std::unique_lock<std::mutex>& held, SSoundSlot* sound) {
    SSoundStream* stream = sound->stream;
    if (stream == nullptr) return;
    stream->releasing = true;
    while (stream->busy) state->streamProgress.wait(held);
    for (SStreamChunk& chunk : stream->chunks) delete[] chunk.data;
    delete stream;
    sound->stream = nullptr;
}
