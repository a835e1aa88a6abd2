#include "render/fmv_player.h"

#include "audio/sound/sound_engine.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "platform/media/media_video_reader.h"
#include "platform/os/os.h"
#include "platform/sound/sound_system.h"
#include "platform/window/window.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

enum EFmvState : u32 {
    E_FMV_IDLE = 0,
    E_FMV_PLAYING = 2,
    E_FMV_FAILED = 3,
};

// Decoded sound waits here for the stream thread; a film's sound runs at most this far ahead.
constexpr u32 FMV_SOUND_BUFFER_SECONDS = 2;

struct SFmvSoundRing {
    std::mutex lock;
    std::vector<s16> samples;  // stereo frames
    u64 written = 0;           // frames, ever
    u64 read = 0;
};

struct SFmvPlayer {
    EFmvState state = E_FMV_FAILED;
    s32 repeats = 0;
    bool audioOnly = true;
    bool passEnded = false;  // the reader reached the end; the message is on its way
    ClMediaVideoReader reader;
    std::u16string path;
    f64 clock = 0.0;         // seconds into the current pass
    bool pictureWaiting = false;  // decoded ahead of the clock
    u32 picturesShown = 0;
    std::vector<u8> picture;
    ClSound sound;
    ClChannel channel;
    SFmvSoundRing ring;
    void (*post)(u32, u64, s64) = windowPostMessage;
};

SFmvPlayer g_Fmv;

ESoundResult readFilmSound(ClSound, void* data, u32 bytes) {
    SFmvSoundRing& ring = g_Fmv.ring;
    s16* out = static_cast<s16*>(data);
    const u32 frames = bytes / (2 * sizeof(s16));
    std::lock_guard<std::mutex> guard(ring.lock);
    const u64 capacity = ring.samples.size() / 2;
    for (u32 i = 0; i < frames; ++i) {
        if (ring.read < ring.written && capacity) {
            const u64 at = (ring.read++ % capacity) * 2;
            out[2 * i] = ring.samples[at];
            out[2 * i + 1] = ring.samples[at + 1];
        } else {
            out[2 * i] = out[2 * i + 1] = 0;  // the film is late: silence, not an end
        }
    }
    return E_SOUND_OK;
}

void queueSound(const s16* samples, u32 frames) {
    SFmvSoundRing& ring = g_Fmv.ring;
    std::lock_guard<std::mutex> guard(ring.lock);
    const u64 capacity = ring.samples.size() / 2;
    for (u32 i = 0; i < frames && ring.written - ring.read < capacity; ++i) {
        const u64 at = (ring.written++ % capacity) * 2;
        ring.samples[at] = samples[2 * i];
        ring.samples[at + 1] = samples[2 * i + 1];
    }
}

void startSound(u32 rate) {
    ClSoundSystem* system = getSoundEngineSystem();
    SCritSection* lock = getSoundEngineLock();
    if (!system || !lock) return;
    {
        std::lock_guard<std::mutex> guard(g_Fmv.ring.lock);
        g_Fmv.ring.samples.assign(size_t(rate) * FMV_SOUND_BUFFER_SECONDS * 2, 0);
        g_Fmv.ring.written = g_Fmv.ring.read = 0;
    }
    SCreateSoundInfo info{};
    info.numChannels = 2;
    info.defaultFrequency = s32(rate);
    info.format = E_SOUNDFORMAT_PCM16;
    info.decodeBufferSize = rate / 20;
    info.pcmReadCallback = readFilmSound;
    critSectionEnter(lock);
    const u32 mode = E_SOUNDMODE_2D | E_SOUNDMODE_SOFTWARE | E_SOUNDMODE_CREATESTREAM | E_SOUNDMODE_OPENUSER;
    if (system->createStream(nullptr, mode, &info, &g_Fmv.sound) == E_SOUND_OK) {
        system->playSound(g_Fmv.sound, false, &g_Fmv.channel);
    } else {
        g_Fmv.sound = ClSound();
    }
    critSectionLeave(lock);
}

void stopSound() {
    if (g_Fmv.sound) {
        SCritSection* lock = getSoundEngineLock();
        if (lock) critSectionEnter(lock);
        g_Fmv.sound.release();  // waits out the stream callback
        if (lock) critSectionLeave(lock);
    }
    g_Fmv.sound = ClSound();
    g_Fmv.channel = ClChannel();
}

// Decodes until a picture lies ahead of the clock or the pass ends; sound goes to the stream.
void decodeToClock() {
    const f64 period = 1.0 / 60.0;
    while (!g_Fmv.passEnded) {
        if (g_Fmv.pictureWaiting) {
            if (g_Fmv.reader.pictureTime() > g_Fmv.clock) return;
            const SMediaVideoFormat format = g_Fmv.reader.format();
            const u8* pixels = g_Fmv.reader.pixels();
            g_Fmv.picture.assign(pixels, pixels + size_t(format.width) * format.height * 4);
            g_Fmv.pictureWaiting = false;
            ++g_Fmv.picturesShown;
        }
        switch (g_Fmv.reader.next()) {
        case E_MEDIAVIDEO_PICTURE:
            g_Fmv.pictureWaiting = true;
            break;
        case E_MEDIAVIDEO_SOUND:
            queueSound(g_Fmv.reader.sound(), g_Fmv.reader.soundFrames());
            if (g_Fmv.audioOnly) {
                // Without pictures the sound sets the pace: stay a little ahead of the clock.
                const SMediaVideoFormat format = g_Fmv.reader.format();
                std::lock_guard<std::mutex> guard(g_Fmv.ring.lock);
                if (f64(g_Fmv.ring.written) / format.sampleRate > g_Fmv.clock + period * 6) return;
            }
            break;
        default:
            g_Fmv.passEnded = true;
            g_Fmv.post(E_WM_VIDEO_EVENT, 0, 0);
            return;
        }
    }
}

void restartPass() {
    if (!g_Fmv.reader.rewind()) {
        // The file cannot seek: stop and run it again.
        g_Fmv.reader.close();
        if (g_Fmv.reader.open(g_Fmv.path.c_str()) != E_MEDIAERR_NONE) {
            g_Fmv.state = E_FMV_IDLE;
            return;
        }
    }
    g_Fmv.clock = 0.0;
    g_Fmv.passEnded = false;
    g_Fmv.pictureWaiting = false;
    g_Fmv.picturesShown = 0;
}

}  // namespace

void setFmvMessagePoster(void (*post)(u32, u64, s64)) { g_Fmv.post = post ? post : windowPostMessage; }

void fmvRelease() {
    stopSound();
    g_Fmv.reader.close();
    g_Fmv.picture.clear();
    g_Fmv.audioOnly = true;
    g_Fmv.passEnded = false;
    g_Fmv.pictureWaiting = false;
    g_Fmv.state = E_FMV_FAILED;
}

bool fmvPlay(const char* name, s32 repeats) {
    // Nothing is open after a failure, so the release is safe in every state.
    if (g_Fmv.state != E_FMV_FAILED) fmvRelease();
    g_Fmv.state = E_FMV_IDLE;
    const std::string path = std::string(getDataDir()) + "FMV/" + (name ? name : "") + ".mov";
    g_Fmv.path.clear();
    osUtf8ToWide(path.c_str(), &g_Fmv.path);
    const EMediaReaderError error = g_Fmv.reader.open(g_Fmv.path.c_str());
    if (error != E_MEDIAERR_NONE) {
        std::fprintf(stderr, "fmvPlay: film \"%s\" (%s) does not play: %s\n", name ? name : "", path.c_str(),
                     mediaReaderErrorText(error));
        fmvRelease();
        return false;
    }
    const SMediaVideoFormat format = g_Fmv.reader.format();
    g_Fmv.audioOnly = !format.hasVideo;
    if (format.hasAudio) startSound(format.sampleRate);
    g_Fmv.repeats = repeats;
    g_Fmv.clock = 0.0;
    g_Fmv.picturesShown = 0;
    g_Fmv.state = E_FMV_PLAYING;
    return true;
}

bool isFmvPlaying() { return g_Fmv.state == E_FMV_PLAYING; }

void fmvUpdate(f32 dt) {
    if (g_Fmv.state != E_FMV_PLAYING || g_Fmv.passEnded) return;
    g_Fmv.clock += dt > 0.0f ? dt : 0.0f;
    decodeToClock();
}

void fmvHandleGraphEvents() {
    if (!g_Fmv.passEnded || g_Fmv.state != E_FMV_PLAYING) return;
    if (g_Fmv.repeats >= 0 && --g_Fmv.repeats < 0) {
        // The film stays open until the next one starts.
        g_Fmv.repeats = 0;
        g_Fmv.state = E_FMV_IDLE;
        return;
    }
    restartPass();
}

const u8* fmvPicture(u32* width, u32* height) {
    const SMediaVideoFormat format = g_Fmv.reader.format();
    if (width) *width = format.width;
    if (height) *height = format.height;
    return g_Fmv.picture.empty() ? nullptr : g_Fmv.picture.data();
}

u32 fmvPicturesShown() { return g_Fmv.picturesShown; }
