#include "library/playtest_recorder.h"

#include "core/file_layer.h"
#include "core/game_clock.h"
#include "library/data_file.h"

#include <cstdio>

namespace {

constexpr f32 SLOW_FRAME_SECONDS = 1.0f / 60.0f;

SPlaytestCategory g_categories[PLAYTEST_MAX_CATEGORIES];
u32 g_categoryCount = 0;
f64 g_startTime = 0.0;

}  // namespace

void setUpPlaytestRecorder(u32 categoryCount) {
    g_categoryCount = categoryCount < PLAYTEST_MAX_CATEGORIES ? categoryCount : PLAYTEST_MAX_CATEGORIES;
    for (SPlaytestCategory& category : g_categories) category = SPlaytestCategory{};
    g_startTime = gameClock(GAME_CLOCK_SYSTEM).totalTime;
}

void addPlaytestFrameTime(u32 category, f32 threshold) {
    if (category >= g_categoryCount) return;
    const SGameClock& clock = gameClock(GAME_CLOCK_SYSTEM);
    if (clock.totalTime - g_startTime <= f64(threshold)) return;
    SPlaytestCategory& c = g_categories[category];
    ++c.frames;
    c.seconds += clock.frameTime;
    if (clock.frameTime > c.worst) c.worst = clock.frameTime;
    if (clock.frameTime > SLOW_FRAME_SECONDS) ++c.slowFrames;
}

std::u16string playtestFilePath() {
    char relative[64];
    std::snprintf(relative, sizeof(relative), "GAMEDATA\\Playtest_v%u_dat.lg", PLAYTEST_FILE_VERSION);
    std::u16string path;
    buildUserDataPath(relative, &path);
    return path;
}

bool flushPlaytestData() {
    std::string text;
    for (u32 i = 0; i < g_categoryCount; ++i) {
        const SPlaytestCategory& c = g_categories[i];
        if (c.frames == 0) continue;
        char line[256];
        std::snprintf(line, sizeof(line), "category %u frames %u seconds %.3f mean_ms %.3f worst_ms %.3f slow %u\n", i,
                      c.frames, c.seconds, c.seconds * 1000.0 / c.frames, f64(c.worst) * 1000.0, c.slowFrames);
        text += line;
    }
    g_categoryCount = 0;
    if (text.empty()) return true;
    const std::u16string path = playtestFilePath();
    return !path.empty() && writeWholeFileW(path.c_str(), text.data(), u32(text.size())) == E_FILESTATUS_OK;
}
