// A long unattended run of the game: the random input tester plays song after song (the ship
// cannot die, so every play lasts its whole song), on a small window, for the given minutes.
// Built in the sanitizer tree (`make soak`) it is the memory-safety soak: anything the sanitizers
// report ends the game and fails the run. Every minute it prints the game's resident memory and
// the plays finished so far; at the end SIGTERM, which must end the game cleanly.
//
//   velodrix-soak [--minutes N] [--seed S] [--music FOLDER] [--keep]
//
// --music copies the files of FOLDER beside the demo song (damaged files, say).
#include "bench/game_run.h"
#include "bench/support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr u32 DEFAULT_MINUTES = 10;
constexpr auto POLL = std::chrono::seconds(1);

// VmRSS of the process in kB; 0 when it cannot be read.
u64 residentKilobytes(pid_t pid) {
    const std::string status = readWholeText("/proc/" + std::to_string(pid) + "/status");
    const size_t at = status.find("VmRSS:");
    return at == std::string::npos ? 0 : std::strtoull(status.c_str() + at + 6, nullptr, 10);
}

size_t countOf(const std::string& text, const char* what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// What the sanitizers and the game's own fatal errors write.
bool reportsAFault(const std::string& errors) {
    for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:", "fatal"})
        if (errors.find(mark) != std::string::npos) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    u32 minutes = DEFAULT_MINUTES;
    std::string seed = "7", music;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--minutes") == 0 && i + 1 < argc) {
            minutes = u32(std::max(1, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            seed = argv[++i];
        } else if (std::strcmp(argv[i], "--music") == 0 && i + 1 < argc) {
            music = argv[++i];
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: %s [--minutes N] [--seed S] [--music FOLDER] [--keep]\n", argv[0]);
            return 2;
        }
    }

    const fs::path root = makeScratchFolder("velodrix_soak");
    if (root.empty()) return 1;
    const fs::path data = packGameData(root,
                                       {{"DEBUG_SKIP_SPLASH", "1"},
                                        {"USE_PAD_MONKEY", "1"},
                                        {"RANDOM_SEED", seed.c_str()},
                                        {"PLAYER_INVINCIBLE", "1"},
                                        {"HARD_FORCED_WIDTH", "320"},
                                        {"HARD_FORCED_HEIGHT", "180"},
                                        {"NOVSYNC", "1"}},
                                       true);
    if (data.empty()) {
        finishScratchFolder(root, true);
        return 1;
    }
    if (!music.empty()) {
        std::error_code error;
        fs::copy(music, data / "Soundtrack", fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
        if (error) {
            std::fprintf(stderr, "cannot copy %s: %s\n", music.c_str(), error.message().c_str());
            finishScratchFolder(root, true);
            return 1;
        }
    }

    ClGameProcess game;
    if (!game.start(data, root / "home")) return 1;
    const fs::path log = game.userDir() / "GAMEDATA/FrontEnd.log";
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::minutes(minutes);
    u32 reported = 0;
    bool alive = true;
    while (std::chrono::steady_clock::now() < end && (alive = game.running())) {
        std::this_thread::sleep_for(POLL);
        const u32 minute = u32(std::chrono::duration_cast<std::chrono::minutes>(std::chrono::steady_clock::now() - start).count());
        if (minute > reported && game.pid() > 0) {
            reported = minute;
            std::printf("minute %u: resident %.1f MB, plays finished %zu\n", minute,
                        f64(residentKilobytes(game.pid())) / 1024.0, countOf(readWholeText(log), "page Results"));
            std::fflush(stdout);
        }
    }
    const s32 status = alive ? game.stop() : -1;
    const std::string errors = game.errorText();
    const size_t plays = countOf(readWholeText(log), "page Results");
    const bool clean = alive && status == 0 && !reportsAFault(errors);
    std::printf("%u minutes, %zu plays finished: %s\n", minutes, plays,
                clean ? "clean end" : (alive ? "faults reported" : "the game ended early"));
    if (!clean) std::fprintf(stderr, "exit status %d\n%s", status, errors.c_str());
    finishScratchFolder(root, keep || !clean);
    return clean ? 0 : 1;
}
