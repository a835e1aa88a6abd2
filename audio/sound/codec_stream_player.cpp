// The stream player's state machine over a decode job and a user stream of the sound layer.
#include "audio/sound/codec_stream_player.h"

#include "audio/decode/codec_registry.h"
#include "audio/decode/codec_stream_instance.h"
#include "core/crit_section_pool.h"
#include "core/fatal_error.h"

#include <cstring>

namespace {

// The FMOD lock, taken around every call into the layer.
class ClFmodLockGuard {
public:
    explicit ClFmodLockGuard(SCritSection* lock) : m_lock(lock) { critSectionEnter(m_lock); }
    ~ClFmodLockGuard() { critSectionLeave(m_lock); }
    ClFmodLockGuard(const ClFmodLockGuard&) = delete;
    ClFmodLockGuard& operator=(const ClFmodLockGuard&) = delete;

private:
    SCritSection* m_lock;
};

// isPlaying under a try-enter: false when another thread holds the lock, and `playing` keeps
// the caller's starting value.
bool pollIsPlaying(SCodecStreamPlayer* player, bool* playing) {
    if (player->fmodLock != nullptr && !critSectionTryEnter(player->fmodLock)) return false;
    player->channel.isPlaying(playing);
    critSectionLeave(player->fmodLock);
    return true;
}

void createStream(SCodecStreamPlayer* player) {
    SCodecCreateSoundExInfo codecInfo = {};
    if (!player->job->fillCreateSoundExInfo(&codecInfo)) {
        player->state = E_STREAMPLAYER_ERROR;
        return;
    }
    SCreateSoundInfo info = {};
    info.length = codecInfo.length;
    info.numChannels = static_cast<s32>(codecInfo.numChannels);
    info.defaultFrequency = static_cast<s32>(codecInfo.defaultFrequency);
    // The two format enumerations share their values.
    info.format = static_cast<ESoundFormat>(codecInfo.format);
    info.decodeBufferSize = codecInfo.decodeBufferSize;
    info.pcmReadCallback = &codecStreamPlayerReadCallback;
    info.pcmSetPosCallback = &codecStreamPlayerSetPositionCallback;
    info.userData = player->job;
    ESoundResult result;
    {
        ClFmodLockGuard guard(player->fmodLock);
        result = player->system->createStream(nullptr, CODEC_STREAM_PLAYER_MODE, &info, &player->sound);
    }
    player->state = result == E_SOUND_OK ? E_STREAMPLAYER_READY : E_STREAMPLAYER_ERROR;
}

}  // namespace

s32 initCodecStreamPlayer(SCodecStreamPlayer* player, s32 formatId, const char16_t* widePath, ClSoundSystem* system,
                          SCritSection* fmodLock) {
    player->formatId = formatId;
    player->state = E_STREAMPLAYER_CREATED;
    std::memset(player->path, 0, sizeof(player->path));
    for (u32 i = 0; widePath != nullptr && i + 1 < CODEC_STREAM_PLAYER_PATH_CAPACITY && widePath[i] != 0; ++i) {
        player->path[i] = widePath[i];
    }
    player->job = nullptr;
    player->sound = ClSound();
    player->channel = ClChannel();
    player->system = system;
    player->fmodLock = fmodLock;
    return 1;
}

void stepCodecStreamPlayer(SCodecStreamPlayer* player) {
    switch (player->state) {
    case E_STREAMPLAYER_CREATED:
        player->state = E_STREAMPLAYER_OPENING;
        break;
    case E_STREAMPLAYER_OPENING:
        player->job = openCodecJob(player->formatId, player->path);
        player->state = player->job != nullptr ? E_STREAMPLAYER_WAITING_FOR_JOB : E_STREAMPLAYER_ERROR;
        break;
    case E_STREAMPLAYER_WAITING_FOR_JOB: {
        s32 jobState = getCodecJobState(player->job);
        if (isCodecJobFailed(jobState)) {
            player->state = E_STREAMPLAYER_ERROR;
        } else if (jobState == E_CODECJOB_READY || jobState == E_CODECJOB_FINISHED) {
            // A short song can go from decoding straight to finished between two steps; its ring
            // holds the whole song, so it is as ready as a full ring.
            player->state = E_STREAMPLAYER_CREATING_STREAM;
        }
        break;
    }
    case E_STREAMPLAYER_CREATING_STREAM:
        createStream(player);
        break;
    case E_STREAMPLAYER_READY:
    case E_STREAMPLAYER_PAUSED:
    case E_STREAMPLAYER_STOPPED:
    case E_STREAMPLAYER_ERROR:
        break;
    case E_STREAMPLAYER_PLAYING: {
        if (player->sound.isNull() || player->channel.isNull()) {
            player->state = E_STREAMPLAYER_ERROR;
            break;
        }
        bool playing = true;
        pollIsPlaying(player, &playing);
        if (!playing) player->state = E_STREAMPLAYER_STOPPING;
        break;
    }
    case E_STREAMPLAYER_STOPPING: {
        bool playing = false;
        if (!player->channel.isNull()) pollIsPlaying(player, &playing);
        if (!playing) player->state = E_STREAMPLAYER_STOPPED;
        break;
    }
    default:
        fatalErrorf("stream player: unknown state %d", player->state);
    }
}

s32 playCodecStreamPlayer(SCodecStreamPlayer* player, bool startPaused) {
    if (player->state != E_STREAMPLAYER_READY) return 0;
    {
        ClFmodLockGuard guard(player->fmodLock);
        player->system->playSound(player->sound, startPaused, &player->channel);
    }
    player->state = E_STREAMPLAYER_PLAYING;
    return 1;
}

s32 unpauseCodecStreamPlayer(SCodecStreamPlayer* player) {
    if (player->state != E_STREAMPLAYER_PLAYING) return 0;
    ClFmodLockGuard guard(player->fmodLock);
    player->channel.setPaused(false);
    return 1;
}

s32 pauseCodecStreamPlayer(SCodecStreamPlayer* player) {
    if (player->state != E_STREAMPLAYER_PLAYING || player->channel.isNull()) return 0;
    {
        ClFmodLockGuard guard(player->fmodLock);
        player->channel.setPaused(true);
    }
    player->state = E_STREAMPLAYER_PAUSED;
    return 1;
}

s32 resumeCodecStreamPlayer(SCodecStreamPlayer* player) {
    if (player->state != E_STREAMPLAYER_PAUSED || player->channel.isNull()) return 0;
    {
        ClFmodLockGuard guard(player->fmodLock);
        player->channel.setPaused(false);
    }
    player->state = E_STREAMPLAYER_PLAYING;
    return 1;
}

s32 stopCodecStreamPlayer(SCodecStreamPlayer* player) {
    bool live = player->state == E_STREAMPLAYER_PLAYING || player->state == E_STREAMPLAYER_PAUSED;
    if (!live || player->channel.isNull()) return 0;
    {
        ClFmodLockGuard guard(player->fmodLock);
        player->channel.stop();
    }
    player->state = E_STREAMPLAYER_STOPPING;
    return 1;
}

void releaseCodecStreamPlayer(SCodecStreamPlayer* player) {
    if (!player->sound.isNull()) {
        // The release waits until no read callback runs, so the job can go after it.
        ClFmodLockGuard guard(player->fmodLock);
        player->sound.release();
        player->sound = ClSound();
        player->channel = ClChannel();
    }
    if (player->job != nullptr) {
        releaseCodecJob(player->job);
        player->job = nullptr;
    }
}

ESoundResult codecStreamPlayerReadCallback(ClSound sound, void* data, u32 bytes) {
    void* userData = nullptr;
    if (sound.getUserData(&userData) != E_SOUND_OK || userData == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    auto* job = static_cast<ClCodecStreamInstance*>(userData);
    // Ends the stream at the real end of the song, before an estimated length runs out.
    if (job->isStreamDrained()) return E_SOUND_ERR_FILE_EOF;
    job->handleFMODReadCallback(data, bytes);
    return E_SOUND_OK;
}

ESoundResult codecStreamPlayerSetPositionCallback(ClSound, s32, u32, ESoundTimeUnit) { return E_SOUND_OK; }
