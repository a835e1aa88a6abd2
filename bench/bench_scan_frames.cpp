// The song scan's cost to the frames: 50 generated songs (decaying drum hits at varied tempos, at
// least 90 s each) in the music folder of a fresh user, scanned and analysed in the background
// while the title screen runs uncapped (NOVSYNC 1), so that a frame's time is the game's work.
//
// The game runs in this process on a packed copy of the built data (offscreen video, dummy audio,
// a temporary home), through the program's own start-up, message pump, frame and shutdown. A
// frame's time is the time from the start of one frame to the start of the next, messages
// included, as the game's frame timer sees it. The scan runs from the first title frame (the
// render worker has presented it when the frame returns) to the frame after which the library
// holds every song analysed.
//
//   bench_scan_frames [--songs N] [--set KEY VALUE]... [--keep]
// (--set adds a project.ini setting, for comparisons such as a smaller window.)
#include "app/frame.h"
#include "app/startup.h"
#include "bench/game_run.h"
#include "bench/support.h"
#include "core/crit_section_pool.h"
#include "core/memory_allocator.h"
#include "library/song_library.h"
#include "library/song_scan.h"
#include "render/message_pump.h"
#include "render/render_imports.h"
#include "render/render_device.h"
#include "ui/switcher.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr u32 DEFAULT_SONGS = 50;
constexpr u32 SAMPLE_RATE = 44100;
constexpr u32 CHANNELS = 2;
constexpr f64 SLOW_FRAME_MS = 1000.0 / 60.0;
constexpr f64 SCAN_LIMIT_SECONDS = 1800.0;
constexpr u32 INPUT_CHANNELS = 38;
// Frames of the idle title after the scan, for comparison.
constexpr u32 IDLE_FRAMES = 300;

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

struct SScanWatch {
    u32 songs = 0;
    u64 previousFrameStart = 0;
    u64 titleShown = 0;  // 0 until the first title frame has been presented
    u64 scanDone = 0;
    std::vector<f64> frameMs;  // the frames between the two
    std::vector<f64> idleFrameMs;  // then IDLE_FRAMES more
};

SScanWatch g_watch;

bool everySongAnalysed() {
    if (g_SongLibrary.songs.size() < g_watch.songs || isSongScanWalking()) return false;
    for (const SSongRecord& song : g_SongLibrary.songs) {
        if (song.state != E_SONGSTATE_READY && song.state != E_SONGSTATE_FAILED) return false;
    }
    return true;
}

s32 watchedFrame() {
    const u64 start = monotonicNanoseconds();
    if (g_watch.titleShown && g_watch.previousFrameStart != 0) {
        const f64 ms = f64(start - g_watch.previousFrameStart) * 1e-6;
        (g_watch.scanDone ? g_watch.idleFrameMs : g_watch.frameMs).push_back(ms);
        if (g_watch.idleFrameMs.size() == IDLE_FRAMES) return 0;
    }
    g_watch.previousFrameStart = start;
    const s32 goOn = runFrame();
    const u64 end = monotonicNanoseconds();
    if (!g_watch.titleShown && std::strcmp(shownChildName("TopLevelSwitcher"), "TitleMenu") == 0) g_watch.titleShown = end;
    if (g_watch.titleShown && !g_watch.scanDone && everySongAnalysed()) g_watch.scanDone = end;
    if (g_watch.titleShown && f64(end - g_watch.titleShown) * 1e-9 > SCAN_LIMIT_SECONDS) return 0;
    return goOn;
}

struct SFrameStats {
    f64 mean = 0.0, worst = 0.0;
    u32 slow = 0;
};

SFrameStats statsOf(const std::vector<f64>& frames) {
    SFrameStats stats;
    for (f64 ms : frames) {
        stats.slow += ms > SLOW_FRAME_MS;
        stats.worst = std::max(stats.worst, ms);
        stats.mean += ms;
    }
    if (!frames.empty()) stats.mean /= f64(frames.size());
    return stats;
}

}  // namespace

int main(int argc, char** argv) {
    u32 songs = DEFAULT_SONGS;
    bool keep = false;
    std::vector<SSettingChange> settings = {{"DEBUG_SKIP_SPLASH", "1"}, {"NOVSYNC", "1"}};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--songs") == 0 && i + 1 < argc) {
            songs = u32(std::max(1, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--set") == 0 && i + 2 < argc) {
            settings.emplace_back(argv[i + 1], argv[i + 2]);
            i += 2;
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: %s [--songs N] [--set KEY VALUE]... [--keep]\n", argv[0]);
            return 2;
        }
    }

    const fs::path root = makeScratchFolder("velodrix_bench_scan");
    if (root.empty()) return 1;
    const fs::path data = packGameData(root, settings, false);
    const fs::path home = root / "home";
    const fs::path music = home / "Music";
    std::error_code error;
    fs::create_directories(music, error);
    for (u32 i = 0; i < songs && !data.empty() && !error; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "Drums %02u.wav", i + 1);
        if (!writeWav16(music / name, makeSong(i), CHANNELS, SAMPLE_RATE)) error = std::make_error_code(std::errc::io_error);
    }
    if (data.empty() || error || chdir(data.c_str()) != 0) {
        std::fprintf(stderr, "cannot prepare the data and the songs\n");
        finishScratchFolder(root, true);
        return 1;
    }
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);

    g_watch.songs = songs;
    g_watch.frameMs.reserve(1u << 20);
    critSectionPoolInit();
    setAllocatorReady();
    gameStartup("", "./", INPUT_CHANNELS);
    SRenderImports imports = renderImports();
    imports.runFrame = watchedFrame;
    setRenderImports(&imports);
    std::printf("window %.0f x %.0f\n", screenWidth(), screenHeight());
    for (;;) {
        keepCursorCentred();
        if (!pumpMessages()) break;
    }
    u32 ready = 0;
    for (const SSongRecord& song : g_SongLibrary.songs) ready += song.state == E_SONGSTATE_READY;
    gameShutdown();
    critSectionPoolShutdown();

    const SFrameStats scan = statsOf(g_watch.frameMs);
    const SFrameStats idle = statsOf(g_watch.idleFrameMs);
    std::printf("songs: %u generated, %u analysed and ready\n", songs, ready);
    if (!g_watch.scanDone) {
        std::printf("the scan did not finish\n");
    } else {
        std::printf("scan and analysis: %.2f s from the first title frame\n", f64(g_watch.scanDone - g_watch.titleShown) * 1e-9);
    }
    std::printf("frames during the scan: %zu, mean %.2f ms, worst %.2f ms, %u above %.1f ms\n", g_watch.frameMs.size(),
                scan.mean, scan.worst, scan.slow, SLOW_FRAME_MS);
    std::printf("idle title frames after it: %zu, mean %.2f ms, worst %.2f ms, %u above %.1f ms\n",
                g_watch.idleFrameMs.size(), idle.mean, idle.worst, idle.slow, SLOW_FRAME_MS);
    std::printf("target no frame above %.1f ms during the scan: %s\n", SLOW_FRAME_MS, scan.slow == 0 ? "met" : "missed");
    if (chdir(root.c_str()) != 0) keep = true;
    finishScratchFolder(root, keep);
    return g_watch.scanDone && ready == songs ? 0 : 1;
}
