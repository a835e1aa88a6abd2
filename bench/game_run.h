// What the whole-program benchmarks share: a copy of the built data with its own settings, packed
// as the game reads it, and the game started on it in a fresh process with a temporary home, as on
// a player's first start (offscreen video, dummy audio).
#pragma once

#include "core/types.h"

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using SSettingChange = std::pair<const char*, const char*>;

// Copies the staged data under `root`, sets each key of project.ini to its value (a line that
// sets the key is replaced, a commented-out one stays a comment, and the key is added at the end)
// and packs it into root/"data". With `withSoundtrack` the built Soundtrack folder goes beside
// the package. The data folder, or empty (with a message) when a step failed.
std::filesystem::path packGameData(const std::filesystem::path& root, const std::vector<SSettingChange>& settings,
                                   bool withSoundtrack);

// CLOCK_MONOTONIC in nanoseconds, the clock the game's log stamps use.
u64 monotonicNanoseconds();
// The calling thread's processor time (user and system) in nanoseconds.
u64 threadCpuNanoseconds();

// The game in this process, for benchmarks that look at its frames from inside: the environment
// of a player's start (offscreen video, dummy audio, HOME and the XDG folders below `home`) in the
// data folder, then the program's own start-up, message pump and shutdown, with `frame` called
// for each frame (it runs runFrame, and its 0 ends the game). False when the folders cannot be
// entered.
bool runGameInProcess(const std::filesystem::path& data, const std::filesystem::path& home, s32 (*frame)());

// A file the song scan takes and the analysis refuses as too short: a WAV head for 16-bit stereo
// at 44.1 kHz whose samples fill the file, made the smallest song size long without writing them
// (a sparse file of about 1.5 s of silence). False when it cannot be written.
bool writeShortSongFile(const std::filesystem::path& path);
// The folder of the i-th file of a music folder: one for every `perFolder` files ("Album 00001"
// and on), or the music folder itself when `perFolder` is 0.
std::filesystem::path albumFolder(const std::filesystem::path& music, u32 i, u32 perFolder);

// Frame times in milliseconds: the worst, the mean and how many pass a bound.
struct SFrameStats {
    size_t count = 0;
    f64 mean = 0.0, worst = 0.0;
    u32 over = 0;
};
SFrameStats frameStatsOf(const std::vector<f64>& frames, f64 boundMs);

std::string readWholeText(const std::filesystem::path& path);

// One run of the game, started from the data folder with `home` as HOME and the XDG data and
// configuration folders below it; standard error goes to home/"stderr.txt".
class ClGameProcess {
public:
    ~ClGameProcess();
    bool start(const std::filesystem::path& data, const std::filesystem::path& home);
    // The game's user-data folder below the home.
    std::filesystem::path userDir() const;
    // True while the process has not ended.
    bool running();
    // SIGTERM, then waits; the exit status, or -1 when it did not exit normally.
    s32 stop();
    std::string errorText() const;
    // The process id while it runs; -1 before the start and after the end.
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_status = 0;
    std::filesystem::path m_home;
};

// The nanosecond stamp of the front end's "presented TitleMenu" line; 0 when the game ends or
// the time limit passes first.
u64 waitForTitlePresented(ClGameProcess& game, f64 limitSeconds);
