// Frame-time statistics of a run for play-testing, per category (0 the front end, 1 play),
// written at shutdown to "<user data>GAMEDATA\Playtest_v<version>_dat.lg" as text lines:
//   category <n> frames <count> seconds <sum> mean_ms <mean> worst_ms <worst> slow <frames over 1/60 s>
#pragma once

#include "core/types.h"

#include <string>

constexpr u32 PLAYTEST_FILE_VERSION = 1;
constexpr u32 PLAYTEST_MAX_CATEGORIES = 8;
// The modes' threshold for addPlaytestFrameTime: seconds after the set-up before frames count.
constexpr f32 PLAYTEST_STARTUP_SECONDS = 15.0f;

struct SPlaytestCategory {
    u32 frames;
    f64 seconds;
    f32 worst;
    u32 slowFrames;
};

// Starts recording with the category count (at most PLAYTEST_MAX_CATEGORIES); the elapsed time
// counts from here on the real-time clock.
void setUpPlaytestRecorder(u32 categoryCount);
// Adds this frame's real-time step to the category once more than `threshold` seconds have
// passed since the set-up, so that loading frames are left out. Nothing before the set-up or
// for a category outside the count.
void addPlaytestFrameTime(u32 category, f32 threshold);
// The file's path, "%sPlaytest_v%d_dat.lg" with the game-data folder and the version.
std::u16string playtestFilePath();
// Writes the file when any frame was recorded and stops recording. True when nothing needed
// writing or the write succeeded.
bool flushPlaytestData();
