// The song scan's cost to the frames: 50 generated songs (decaying drum hits at varied tempos, at
// least 90 s each) in the music folder of a fresh user, scanned and analysed in the background
// while the title screen runs uncapped (NOVSYNC 1), so that a frame's time is the game's work.
//
// The scan's wall time runs from the first presented title frame (the front end's log stamp) to
// the 50th beat cache in the user's save folder. The frame times are the play-test recorder's
// front-end figures, written at shutdown; the recorder leaves out the frames of the first 15 s
// after its set-up (start-up's loading frames), so those frames of the scan are not counted.
//
//   bench_scan_frames [--songs N] [--keep]
#include "audio/analysis/beat_cache.h"
#include "bench/game_run.h"
#include "bench/support.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "library/song_library.h"
#include "library/user_save.h"
#include "platform/os/os.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr u32 DEFAULT_SONGS = 50;
constexpr u32 SAMPLE_RATE = 44100;
constexpr u32 CHANNELS = 2;
constexpr f64 SLOW_FRAME_MS = 1000.0 / 60.0;
constexpr f64 TITLE_LIMIT_SECONDS = 60.0;
constexpr f64 SCAN_LIMIT_SECONDS = 1800.0;
constexpr auto CACHE_POLL = std::chrono::milliseconds(10);

// A small deterministic generator, so that every run scans the same songs.
struct SNoise {
    u32 state;
    f32 next() {
        state = state * 1664525u + 1013904223u;
        return f32(state >> 8) / f32(1u << 23) - 1.0f;
    }
};

enum EDrum { E_DRUM_KICK, E_DRUM_SNARE, E_DRUM_HAT };

// One hit added into the mono mix from `at` (samples): a kick's falling sine, a snare's noise and
// body, a hat's short noise, each decaying exponentially.
void addHit(std::vector<f32>& mix, size_t at, EDrum drum, f32 gain, SNoise& noise) {
    const f32 decay = drum == E_DRUM_KICK ? 9.0f : drum == E_DRUM_SNARE ? 18.0f : 60.0f;
    const size_t length = std::min(mix.size() - std::min(mix.size(), at), size_t(SAMPLE_RATE / 2));
    f64 phase = 0.0;
    f32 previous = 0.0f;
    for (size_t i = 0; i < length; ++i) {
        const f32 t = f32(i) / f32(SAMPLE_RATE);
        const f32 envelope = gain * std::exp(-decay * t);
        f32 value = 0.0f;
        if (drum == E_DRUM_KICK) {
            phase += 2.0 * M_PI * (50.0 + 90.0 * std::exp(-30.0 * t)) / SAMPLE_RATE;
            value = f32(std::sin(phase));
        } else if (drum == E_DRUM_SNARE) {
            value = 0.7f * noise.next() + 0.3f * std::sin(2.0f * f32(M_PI) * 185.0f * t);
        } else {
            const f32 white = noise.next();
            value = white - previous;  // a first difference: the hat's brightness
            previous = white;
        }
        mix[at + i] += envelope * value;
    }
}

// Song `index`: its tempo from 72 to 171 beats per minute, its length from 90 s to 120 s; kick on
// beats 1 and 3 (and now and then the "and" of 4), snare on 2 and 4, hats on the eighths.
std::vector<s16> makeSong(u32 index) {
    const f64 bpm = 72.0 + f64((index * 37u) % 100u);
    const f64 seconds = 90.0 + f64((index * 7u) % 31u);
    const size_t frames = size_t(seconds * SAMPLE_RATE);
    std::vector<f32> mix(frames, 0.0f);
    SNoise noise{0x9E3779B9u ^ index};
    const f64 eighth = 30.0 * SAMPLE_RATE / bpm;
    for (u32 step = 0;; ++step) {
        const size_t at = size_t(std::llround(step * eighth));
        if (at >= frames) break;
        const u32 inBar = step % 8;
        addHit(mix, at, E_DRUM_HAT, inBar % 2 ? 0.12f : 0.18f, noise);
        if (inBar == 0 || inBar == 4 || (inBar == 7 && noise.next() > 0.3f)) addHit(mix, at, E_DRUM_KICK, 0.8f, noise);
        if (inBar == 2 || inBar == 6) addHit(mix, at, E_DRUM_SNARE, 0.45f, noise);
    }
    std::vector<s16> samples(frames * CHANNELS);
    for (size_t i = 0; i < frames; ++i) {
        const s16 value = s16(std::lrint(std::clamp(mix[i], -1.0f, 1.0f) * 32767.0f));
        for (u32 c = 0; c < CHANNELS; ++c) samples[i * CHANNELS + c] = value;
    }
    return samples;
}

u32 countBeatCaches(const fs::path& folder) {
    const std::string ending = std::string(".") + BEAT_CACHE_EXTENSION;
    u32 count = 0;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0) ++count;
    }
    return count;
}

// Songs the save lists as analysed and ready; -1 when it cannot be read.
s32 readySongsInSave(const fs::path& userDir) {
    critSectionPoolInit();
    fileLayerInit();
    std::u16string wide;
    if (!osUtf8ToWide((userDir.string() + "/").c_str(), &wide)) return -1;
    setUserDataDirW(wide.c_str());
    createSongLibrary();
    s32 ready = -1;
    if (saveRead(0) == 1) {
        ready = 0;
        for (const SSongRecord& song : g_SongLibrary.songs) ready += song.state == E_SONGSTATE_READY;
    }
    freeSongLibrary();
    fileLayerShutdown();
    return ready;
}

}  // namespace

int main(int argc, char** argv) {
    u32 songs = DEFAULT_SONGS;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--songs") == 0 && i + 1 < argc) {
            songs = u32(std::max(1, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: %s [--songs N] [--keep]\n", argv[0]);
            return 2;
        }
    }

    const fs::path root = makeScratchFolder("velodrix_bench_scan");
    if (root.empty()) return 1;
    const auto fail = [&root](const char* what, const std::string& detail) {
        std::fprintf(stderr, "%s\n%s", what, detail.c_str());
        finishScratchFolder(root, true);
        return 1;
    };
    const fs::path data = packGameData(root, {{"DEBUG_SKIP_SPLASH", "1"}, {"NOVSYNC", "1"}}, false);
    if (data.empty()) return fail("no data set", "");
    const fs::path home = root / "home";
    const fs::path music = home / "Music";
    fs::create_directories(music);
    for (u32 i = 0; i < songs; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "Drums %02u.wav", i + 1);
        if (!writeWav16(music / name, makeSong(i), CHANNELS, SAMPLE_RATE)) return fail("cannot write a song", "");
    }

    ClGameProcess game;
    if (!game.start(data, home)) return fail("cannot start the game", "");
    const u64 title = waitForTitlePresented(game, TITLE_LIMIT_SECONDS);
    if (title == 0) return fail("no title frame presented", game.errorText());
    const fs::path saveFolder = game.userDir() / "SAVEDATA";
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<f64>(SCAN_LIMIT_SECONDS);
    u32 cached = 0;
    while ((cached = countBeatCaches(saveFolder)) < songs && game.running() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(CACHE_POLL);
    const u64 scanned = monotonicNanoseconds();
    const s32 status = game.stop();
    if (cached < songs || status != 0)
        return fail(("the scan did not finish: " + std::to_string(cached) + " songs analysed, exit status " +
                     std::to_string(status))
                        .c_str(),
                    game.errorText());

    const std::string playtest = readWholeText(game.userDir() / "GAMEDATA/Playtest_v1_dat.lg");
    u32 frames = 0, slow = 0;
    f64 frameSeconds = 0.0, meanMs = 0.0, worstMs = 0.0;
    if (std::sscanf(playtest.c_str(), "category 0 frames %u seconds %lf mean_ms %lf worst_ms %lf slow %u", &frames,
                    &frameSeconds, &meanMs, &worstMs, &slow) != 5)
        return fail("no front-end frame times in the play-test file", playtest);
    const s32 ready = readySongsInSave(game.userDir());

    std::printf("songs: %u generated, %d ready in the save\n", songs, ready);
    std::printf("scan and analysis: %.2f s from the first title frame\n", f64(scanned - title) * 1e-9);
    std::printf("front-end frames from 15 s after set-up: %u over %.2f s, mean %.2f ms, worst %.2f ms, %u above %.1f ms\n",
                frames, frameSeconds, meanMs, worstMs, slow, SLOW_FRAME_MS);
    std::printf("target no frame above %.1f ms: %s\n", SLOW_FRAME_MS, slow == 0 ? "met" : "missed");
    finishScratchFolder(root, keep);
    return ready == s32(songs) ? 0 : 1;
}
