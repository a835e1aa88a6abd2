// The song library's cost to the frames, at a size: generated songs (decaying drum hits at varied
// tempos, at least 90 s each) and short files (sparse 256 KiB WAVs, refused as too short) in the
// music folder, in folders of --per-folder files (0: all in one). The title screen runs uncapped
// (NOVSYNC 1), so that a frame's time is the game's work.
//
// Two starts of the game on one home, each in a process of its own: a cold profile (no save, no
// caches), run until every file is analysed or refused, then the warm profile that start left
// (its save and caches). The game runs through the program's own start-up, message pump, frame
// and shutdown, on a packed copy of the built data (offscreen video, dummy audio). For each start:
// the worst frame from the first title frame to the end of the folder walk, as wall time (from
// the start of one frame to the start of the next, as the game's frame timer sees it) and as the
// main thread's processor time in the frame; the same over the analyses after the walk; and,
// once nothing is left to analyse, the main thread's processor time per idle title frame.
//
//   bench_scan_frames [--songs N] [--short M] [--per-folder K] [--set KEY VALUE]... [--keep]
// (--set adds a project.ini setting, for comparisons such as a smaller window.)
#include "app/frame.h"
#include "bench/game_run.h"
#include "bench/support.h"
#include "library/song_library.h"
#include "library/song_scan.h"
#include "ui/switcher.h"

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
constexpr u32 DEFAULT_PER_FOLDER = 100;
constexpr u32 SAMPLE_RATE = 44100;
constexpr u32 CHANNELS = 2;
constexpr f64 SLOW_FRAME_MS = 1000.0 / 60.0;
constexpr f64 SCAN_LIMIT_SECONDS = 1800.0;
// Frames of the idle title after the scan.
constexpr u32 IDLE_FRAMES = 600;
// How often the watch looks whether every file is settled.
constexpr u32 CHECK_FRAMES = 16;

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

// One start of the game, in a process of its own: which it is, and what it watches for.
struct SStartWatch {
    u32 files = 0;
    u64 previousFrameStart = 0;
    bool titleShown = false;
    bool walkEnded = false;
    bool settled = false;
    u32 framesSinceCheck = 0;
    u64 titleShownAt = 0, walkEndedAt = 0, settledAt = 0;
    // The records at the end, by what became of them.
    size_t records = 0;
    u32 ready = 0, refused = 0;
    // Wall and main-thread processor milliseconds of each frame, in the three stretches.
    std::vector<f64> walkWall, walkCpu, analysisWall, analysisCpu, idleWall, idleCpu;
    // Where the last frame's wall time goes once the next frame starts (the vectors never grow
    // past what they reserved).
    f64* lastWall = nullptr;
};

SStartWatch g_watch;

// Every file has its record and none waits for its analysis. Looked at every CHECK_FRAMES
// frames, outside the frame's measured time.
bool everyFileSettled() {
    if (g_SongLibrary.songs.size() < g_watch.files) return false;
    for (const SSongRecord& song : g_SongLibrary.songs) {
        if (song.state != E_SONGSTATE_READY && song.state != E_SONGSTATE_FAILED) return false;
    }
    return true;
}

void countRecords() {
    g_watch.records = g_SongLibrary.songs.size();
    for (const SSongRecord& song : g_SongLibrary.songs) {
        g_watch.ready += song.state == E_SONGSTATE_READY;
        g_watch.refused += song.state == E_SONGSTATE_FAILED;
    }
}

s32 watchedFrame() {
    // The last frame's wall time ends where this one starts.
    const u64 start = monotonicNanoseconds();
    if (g_watch.lastWall) *g_watch.lastWall = f64(start - g_watch.previousFrameStart) * 1e-6;
    g_watch.lastWall = nullptr;
    g_watch.previousFrameStart = start;
    const u64 cpuBefore = threadCpuNanoseconds();
    const s32 goOn = runFrame();
    const f64 cpuMs = f64(threadCpuNanoseconds() - cpuBefore) * 1e-6;
    const u64 end = monotonicNanoseconds();

    if (g_watch.titleShown) {
        std::vector<f64>& wall = !g_watch.walkEnded ? g_watch.walkWall : !g_watch.settled ? g_watch.analysisWall : g_watch.idleWall;
        std::vector<f64>& cpu = !g_watch.walkEnded ? g_watch.walkCpu : !g_watch.settled ? g_watch.analysisCpu : g_watch.idleCpu;
        wall.push_back(0.0);
        g_watch.lastWall = &wall.back();
        cpu.push_back(cpuMs);
        // The frame after the last idle one ends the game; it is not counted.
        if (g_watch.settled && g_watch.idleCpu.size() > IDLE_FRAMES) {
            g_watch.idleWall.pop_back();
            g_watch.idleCpu.pop_back();
            countRecords();
            return 0;
        }
    } else if (std::strcmp(shownChildName("TopLevelSwitcher"), "TitleMenu") == 0) {
        g_watch.titleShown = true;
        g_watch.titleShownAt = end;
    }
    if (g_watch.titleShown && !g_watch.walkEnded && !isSongScanWalking()) {
        g_watch.walkEnded = true;
        g_watch.walkEndedAt = end;
    }
    if (g_watch.walkEnded && !g_watch.settled && ++g_watch.framesSinceCheck >= CHECK_FRAMES) {
        g_watch.framesSinceCheck = 0;
        if (everyFileSettled()) {
            g_watch.settled = true;
            g_watch.settledAt = end;
        }
    }
    if (g_watch.titleShown && f64(end - g_watch.titleShownAt) * 1e-9 > SCAN_LIMIT_SECONDS) {
        countRecords();
        return 0;
    }
    return goOn;
}

void printStretch(const char* name, const std::vector<f64>& wall, const std::vector<f64>& cpu) {
    const SFrameStats w = frameStatsOf(wall, SLOW_FRAME_MS);
    const SFrameStats c = frameStatsOf(cpu, SLOW_FRAME_MS);
    std::printf("  %s: %zu frames; worst %.2f ms wall, %.2f ms main-thread processor; %u frames above %.1f ms wall, "
                "%u above it in processor time\n",
                name, w.count, w.worst, c.worst, w.over, SLOW_FRAME_MS, c.over);
}

// One start on the prepared home; 0 when every file was settled and the idle frames ran.
int runStart(const char* profile, const fs::path& root, u32 files) {
    g_watch.files = files;
    g_watch.walkWall.reserve(1u << 20);
    g_watch.walkCpu.reserve(1u << 20);
    g_watch.analysisWall.reserve(1u << 20);
    g_watch.analysisCpu.reserve(1u << 20);
    g_watch.idleWall.reserve(IDLE_FRAMES + 1);
    g_watch.idleCpu.reserve(IDLE_FRAMES + 1);
    if (!runGameInProcess(root / "data", root / "home", watchedFrame)) return 1;

    std::printf("%s start: %zu records (%u ready, %u refused) of %u files\n", profile, g_watch.records,
                g_watch.ready, g_watch.refused, files);
    if (!g_watch.walkEnded) {
        std::printf("  the walk did not end\n");
        return 1;
    }
    std::printf("  walk: %.2f s from the first title frame\n", f64(g_watch.walkEndedAt - g_watch.titleShownAt) * 1e-9);
    printStretch("to the end of the walk", g_watch.walkWall, g_watch.walkCpu);
    if (!g_watch.settled) {
        std::printf("  the analyses did not finish\n");
        return 1;
    }
    if (!g_watch.analysisWall.empty()) {
        std::printf("  analyses after the walk: %.2f s\n", f64(g_watch.settledAt - g_watch.walkEndedAt) * 1e-9);
        printStretch("during the analyses", g_watch.analysisWall, g_watch.analysisCpu);
    }
    const SFrameStats idleWall = frameStatsOf(g_watch.idleWall, SLOW_FRAME_MS);
    const SFrameStats idleCpu = frameStatsOf(g_watch.idleCpu, SLOW_FRAME_MS);
    std::printf("  idle title: %zu frames, main-thread processor %.3f ms a frame (mean), wall %.3f ms (mean), "
                "worst %.2f ms wall\n",
                idleCpu.count, idleCpu.mean, idleWall.mean, idleWall.worst);
    return idleCpu.count == IDLE_FRAMES ? 0 : 1;
}

bool writeMusic(const fs::path& music, u32 songs, u32 shortFiles, u32 perFolder) {
    std::error_code error;
    for (u32 i = 0; i < songs + shortFiles; ++i) {
        const fs::path folder = albumFolder(music, i, perFolder);
        fs::create_directories(folder, error);
        if (error) return false;
        char name[40];
        std::snprintf(name, sizeof(name), i < songs ? "Drums %05u.wav" : "Short %05u.wav", i + 1);
        const bool written = i < songs ? writeWav16(folder / name, makeSong(i), CHANNELS, SAMPLE_RATE)
                                       : writeShortSongFile(folder / name);
        if (!written) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--start") == 0) return runStart(argv[2], argv[3], u32(std::atoi(argv[4])));

    u32 songs = DEFAULT_SONGS, shortFiles = 0, perFolder = DEFAULT_PER_FOLDER;
    bool keep = false;
    std::vector<SSettingChange> settings = {{"DEBUG_SKIP_SPLASH", "1"}, {"NOVSYNC", "1"}};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--songs") == 0 && i + 1 < argc) {
            songs = u32(std::max(0, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--short") == 0 && i + 1 < argc) {
            shortFiles = u32(std::max(0, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--per-folder") == 0 && i + 1 < argc) {
            perFolder = u32(std::max(0, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--set") == 0 && i + 2 < argc) {
            settings.emplace_back(argv[i + 1], argv[i + 2]);
            i += 2;
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: %s [--songs N] [--short M] [--per-folder K] [--set KEY VALUE]... [--keep]\n",
                         argv[0]);
            return 2;
        }
    }

    const fs::path root = makeScratchFolder("velodrix_bench_scan");
    if (root.empty()) return 1;
    const fs::path data = packGameData(root, settings, false);
    if (data.empty() || !writeMusic(root / "home" / "Music", songs, shortFiles, perFolder)) {
        std::fprintf(stderr, "cannot prepare the data and the music\n");
        finishScratchFolder(root, true);
        return 1;
    }
    std::printf("%u songs and %u short files, %s\n", songs, shortFiles,
                perFolder ? ("in folders of " + std::to_string(perFolder)).c_str() : "in one folder");
    std::fflush(stdout);
    const std::string files = std::to_string(songs + shortFiles);
    int status = 0;
    for (const char* profile : {"cold", "warm"}) {
        const SProcessRun run = runProcess({"/proc/self/exe", "--start", profile, root.string(), files}, nullptr, nullptr);
        if (run.exitCode != 0) status = 1;
        std::fflush(stdout);
    }
    finishScratchFolder(root, keep || status != 0);
    return status;
}
