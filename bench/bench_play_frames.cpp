// The frames of play: the demo song played through on the easiest level, again and again, by a
// player whose clicks go through SDL's own event queue (the scripted input of the program tests)
// while the ship cannot die, so that every play lasts its whole song. The game runs in this
// process on a packed copy of the built data (offscreen video, dummy audio, a temporary home),
// through the program's own start-up, message pump, frame and shutdown.
//
// For every frame from the first one on the in-game page to the one that leaves it: its wall
// time (from the start of one frame to the start of the next, as the game's frame timer sees it),
// the main thread's processor time in it, and the render worker's processor time over it. The
// result is the worst main-thread frame over all plays, from the frame after the play's entry
// (which loads the song, and is reported on its own) to the one that shows the won item or the
// results; with --trace every frame above TRACE_MS is printed with the time since its play began
// and its clock, to find it in a profile.
//
// --library N adds N short files (refused as too short) in folders of a hundred to the music
// folder, for a library of that size: the save the game writes as a play begins and ends holds
// every record.
//
//   bench_play_frames [--plays N] [--library N] [--trace] [--set KEY VALUE]... [--keep]
#include "app/frame.h"
#include "bench/game_run.h"
#include "bench/support.h"
#include "tests/scripted_game/scripted_input.h"
#include "ui/switcher.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr u32 DEFAULT_PLAYS = 10;
constexpr f64 FRAME_TARGET_MS = 8.0;
constexpr f64 TRACE_MS = 4.0;
// A click the game has not answered by then is made again (a song not yet analysed takes none).
constexpr u32 RETRY_FRAMES = 120;
constexpr f64 PLAYS_LIMIT_SECONDS = 3600.0;
constexpr u32 LIBRARY_FILES_PER_FOLDER = 100;

struct SPlayFrame {
    bool entry;     // the play's first frame, which enters it
    f64 atSeconds;  // since the play's first frame
    u64 startedAt;  // CLOCK_MONOTONIC nanoseconds, to find the frame in a profile
    f64 wallMs;
    f64 mainMs;
    f64 workerMs;
    u32 play;
};

struct SPlayWatch {
    u32 plays = 10;
    bool trace = false;
    fs::path script;
    std::string page;
    u32 framesOnPage = 0;
    u32 playsDone = 0;
    bool inPlay = false;
    u64 playStart = 0;
    u64 previousFrameStart = 0;
    u64 previousWorkerCpu = 0;
    u64 firstFrame = 0;
    std::vector<SPlayFrame> frames;
    bool lastFrameInPlay = false;  // the last frame is frames.back()
    std::string workerStat;  // the render worker's schedstat file
};

SPlayWatch g_watch;

void send(const std::string& lines) { std::ofstream(g_watch.script, std::ios::app) << lines; }

std::string click(const char* widget, const char* region = "") {
    return std::string("point ") + widget + " " + region + "\npress left\nframes 9\nrelease left\n";
}

// The render worker's processor time in nanoseconds (its schedstat's first field); 0 until it is
// found.
u64 workerCpuNanoseconds() {
    if (g_watch.workerStat.empty()) {
        std::error_code error;
        for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task", error)) {
            if (readWholeText(task.path() / "comm") == "render worker\n") g_watch.workerStat = (task.path() / "schedstat").string();
        }
        if (g_watch.workerStat.empty()) return 0;
    }
    return std::strtoull(readWholeText(g_watch.workerStat).c_str(), nullptr, 10);
}

// What a player does on the page: the clicks that take the demo song to a play on the easiest
// level and back to the song list.
void actOnPage(const std::string& page, u32 framesOnPage) {
    if (framesOnPage % RETRY_FRAMES != 1) return;
    if (page == "TitleMenu") send(click("TitlePlay"));
    if (page == "SongList") send(click("SongListRows", "0"));
    if (page == "Difficulty") send(click("DifficultyLevel0"));
    if (page == "SongCollectibleIdentified") send(click("CollectibleContinue"));
    if (page == "Results") send(click("ResultsContinue"));
}

s32 watchedFrame() {
    // The last frame's wall time and the worker's time over it end where this frame starts.
    const u64 start = monotonicNanoseconds();
    const u64 workerNow = workerCpuNanoseconds();
    if (g_watch.lastFrameInPlay) {
        g_watch.frames.back().wallMs = f64(start - g_watch.previousFrameStart) * 1e-6;
        g_watch.frames.back().workerMs = f64(workerNow - g_watch.previousWorkerCpu) * 1e-6;
    }
    g_watch.previousFrameStart = start;
    g_watch.previousWorkerCpu = workerNow;
    if (!g_watch.firstFrame) g_watch.firstFrame = start;
    const u64 mainBefore = threadCpuNanoseconds();
    const s32 goOn = runFrame();
    const f64 mainMs = f64(threadCpuNanoseconds() - mainBefore) * 1e-6;

    const std::string page = shownChildName("TopLevelSwitcher");
    g_watch.framesOnPage = page == g_watch.page ? g_watch.framesOnPage + 1 : 1;
    if (page == "InGame" && !g_watch.inPlay) {
        g_watch.inPlay = true;
        g_watch.playStart = start;
    }
    // The frame that leaves the play (to the won item or the results) is the play's last.
    g_watch.lastFrameInPlay = g_watch.inPlay;
    if (g_watch.inPlay) {
        g_watch.frames.push_back(
            {start == g_watch.playStart, f64(start - g_watch.playStart) * 1e-9, start, 0.0, mainMs, 0.0, g_watch.playsDone});
    }
    if (g_watch.inPlay && page != "InGame" && page != "PauseMenu") {
        g_watch.inPlay = false;
        ++g_watch.playsDone;
        std::printf("play %u finished\n", g_watch.playsDone);
        std::fflush(stdout);
    }
    g_watch.page = page;
    if (page == "SongList" && g_watch.playsDone == g_watch.plays) return 0;
    if (f64(start - g_watch.firstFrame) * 1e-9 > PLAYS_LIMIT_SECONDS) return 0;
    actOnPage(page, g_watch.framesOnPage);
    return goOn;
}

}  // namespace

int main(int argc, char** argv) {
    bool keep = false;
    u32 libraryFiles = 0;
    std::vector<SSettingChange> settings = {{"DEBUG_SKIP_SPLASH", "1"}, {"PLAYER_INVINCIBLE", "1"}};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--plays") == 0 && i + 1 < argc) {
            g_watch.plays = u32(std::max(1, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--library") == 0 && i + 1 < argc) {
            libraryFiles = u32(std::max(0, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--trace") == 0) {
            g_watch.trace = true;
        } else if (std::strcmp(argv[i], "--set") == 0 && i + 2 < argc) {
            settings.emplace_back(argv[i + 1], argv[i + 2]);
            i += 2;
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: %s [--plays N] [--trace] [--set KEY VALUE]... [--keep]\n", argv[0]);
            return 2;
        }
    }

    const fs::path root = makeScratchFolder("velodrix_bench_play");
    if (root.empty()) return 1;
    const fs::path data = packGameData(root, settings, true);
    bool prepared = !data.empty();
    const fs::path music = root / "home" / "Music";
    for (u32 i = 0; i < libraryFiles && prepared; ++i) {
        std::error_code error;
        fs::create_directories(albumFolder(music, i, LIBRARY_FILES_PER_FOLDER), error);
        prepared = !error && writeShortSongFile(albumFolder(music, i, LIBRARY_FILES_PER_FOLDER) /
                                                ("Short " + std::to_string(i + 1) + ".wav"));
    }
    if (!prepared) {
        std::fprintf(stderr, "cannot prepare the data and the music\n");
        finishScratchFolder(root, true);
        return 1;
    }
    g_watch.script = root / "input.txt";
    std::ofstream(g_watch.script).close();
    setenv("VELODRIX_SCRIPTED_INPUT", g_watch.script.c_str(), 1);
    installScriptedInput();
    g_watch.frames.reserve(1u << 20);
    const bool ran = runGameInProcess(data, root / "home", watchedFrame);

    std::vector<f64> wall, main, worker, entries;
    const SPlayFrame* worstFrame = nullptr;
    for (const SPlayFrame& frame : g_watch.frames) {
        if (g_watch.trace && (frame.mainMs > TRACE_MS || frame.wallMs > 4.0 * TRACE_MS))
            std::printf("  play %u at %.2f s (clock %.6f s): main thread %.2f ms, render worker %.2f ms, wall %.2f ms%s\n",
                        frame.play + 1, frame.atSeconds, f64(frame.startedAt) * 1e-9, frame.mainMs, frame.workerMs,
                        frame.wallMs, frame.entry ? " (entry)" : "");
        if (frame.entry) {
            entries.push_back(frame.mainMs);
            continue;
        }
        wall.push_back(frame.wallMs);
        main.push_back(frame.mainMs);
        worker.push_back(frame.workerMs);
        if (!worstFrame || frame.mainMs > worstFrame->mainMs) worstFrame = &frame;
    }
    const SFrameStats mainStats = frameStatsOf(main, FRAME_TARGET_MS);
    const SFrameStats workerStats = frameStatsOf(worker, FRAME_TARGET_MS);
    const SFrameStats wallStats = frameStatsOf(wall, FRAME_TARGET_MS);
    std::printf("%u plays, %zu frames in play\n", g_watch.playsDone, mainStats.count);
    std::printf("main thread: mean %.2f ms, worst %.2f ms", mainStats.mean, mainStats.worst);
    if (worstFrame) std::printf(" (play %u at %.2f s)", worstFrame->play + 1, worstFrame->atSeconds);
    std::printf(", %u frames above %.0f ms, %zu above %.0f ms\n", mainStats.over, FRAME_TARGET_MS,
                size_t(std::count_if(main.begin(), main.end(), [](f64 ms) { return ms > TRACE_MS; })), TRACE_MS);
    std::printf("render worker: mean %.2f ms, worst %.2f ms; wall: mean %.2f ms, worst %.2f ms\n", workerStats.mean,
                workerStats.worst, wallStats.mean, wallStats.worst);
    std::printf("entry frames (the song loaded): worst %.2f ms main thread\n", frameStatsOf(entries, FRAME_TARGET_MS).worst);
    std::printf("target no main-thread frame above %.0f ms: %s\n", FRAME_TARGET_MS, mainStats.over == 0 ? "met" : "missed");
    const bool complete = ran && g_watch.playsDone == g_watch.plays;
    finishScratchFolder(root, keep || !complete);
    return complete ? 0 : 1;
}
