// velodrix-beatclock SONG SECONDS: analyses the song as the game does (codec registry, spectral
// analysis, beats), plays it from its start through the sound engine for SECONDS while the song
// clock runs and its due beats are pulled at 60 frames per second, and prints one line per
// delivered beat:
//
//   <beat time s> <song clock at delivery s> <seconds since the song started, monotonic clock>
//
// The start is the monotonic time of the play call plus the output latency the sound layer
// reports. Exit status 0; otherwise one line on standard error says why: 1 the song cannot be
// analysed or played, 2 usage, 3 a fatal error inside the game code.
#include "audio/analysis/beat_cache.h"
#include "audio/analysis/spectral_cache.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/decode/codec_registry.h"
#include "audio/decode/decode_thread.h"
#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "audio/sound/sound_bank.h"
#include "audio/sound/sound_bank_format.h"
#include "audio/sound/sound_engine.h"
#include "bench/scratch_user_dir.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "platform/os/os.h"
#include "platform/sound/sound_system.h"

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr f32 FRAME_SECONDS = 1.0f / 60.0f;
constexpr u32 ANALYSE_DECODE_INTERVAL_MS = 1;
constexpr u32 PLAY_DECODE_INTERVAL_MS = 33;
constexpr u32 REGISTRY_READY_TIMEOUT_MS = 10000;

const char* g_programName = "velodrix-beatclock";
SteadyClock::time_point g_SongStart;

int failWith(const char* path, const char* why) {
    std::fprintf(stderr, "%s: %s %s\n", g_programName, path, why);
    return 1;
}


void printBeat(const SBeat& beat) {
    const f64 sinceStart = std::chrono::duration<f64>(SteadyClock::now() - g_SongStart).count();
    std::printf("%.4f %.4f %.4f\n", f64(beat.time), f64(currentSongTime()), sinceStart);
}

// The song's "UserMusic" sound, streamed from its file through a decode job, as the game plays it.
bool prepareSong(const std::filesystem::path& song) {
    static SSoundDefinition definition;
    definition = SSoundDefinition{};
    definition.nameHash = crc32TextNoCase("UserMusic");
    definition.sampleCount = 1;
    definition.weights[0] = 1.0f;
    definition.lengths[0] = g_SpectrumAnalysis.header.duration;
    definition.defaultFrequencies[0] = g_SpectrumAnalysis.header.sampleRateF;
    definition.stream = 1;
    std::u16string name, folder;
    if (!osUtf8ToWide(song.filename().c_str(), &name) ||
        !osUtf8ToWide((song.parent_path().string() + "/").c_str(), &folder)) {
        return false;
    }
    definition.wideNames = 1;
    definition.wideFileNames[0] = new char16_t[name.size() + 1];
    name.copy(definition.wideFileNames[0], name.size());
    definition.wideFileNames[0][name.size()] = 0;
    return createMusicFileSound(nullptr, &definition, folder.c_str(), 1) == 1;
}

bool analyse(const char16_t* widePath) {
    setDecodeThreadInterval(ANALYSE_DECODE_INTERVAL_MS);
    resetSongAnalysis();
    resetBeatAnalysis();
    SSongIdentity identity;
    songIdentityFromPath(widePath, &identity);
    s32 result = E_SPECTRUM_RESULT_NONE;
    if (!analyseSongSpectrum(widePath, identity, &result, 0, 0)) return false;
    loadOrAnalyseBeats(widePath, identity, 1);
    setDecodeThreadInterval(PLAY_DECODE_INTERVAL_MS);
    return g_aSongBeats.count != 0;
}

void play(f32 seconds) {
    const SCueHandle cue = playCueHeld("UserMusic");
    u32 latencyFrames = 0;
    getSoundEngineSystem()->getOutputLatency(&latencyFrames);
    g_SongStart = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                           std::chrono::duration<f64>(f64(latencyFrames) / SOUND_OUTPUT_RATE));
    setSongCue(cue);

    const auto frameLength = std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<f64>(FRAME_SECONDS));
    auto deadline = SteadyClock::now();
    const u32 frames = u32(seconds / FRAME_SECONDS);
    for (u32 i = 0; i < frames; ++i) {
        deadline += frameLength;
        std::this_thread::sleep_until(deadline);
        setClockDelta(GAME_CLOCK_SYSTEM, FRAME_SECONDS);
        setClockDelta(GAME_CLOCK_GAMEPLAY, FRAME_SECONDS);
        updateAudioEngine(FRAME_SECONDS);
        updateSongClock(1);
        for (s32 index; (index = nextDueBeat()) >= 0; beatDelivered()) printBeat(songBeats()[u32(index)]);
    }
    std::fflush(stdout);
}

int run(const char* path, f32 seconds) {
    std::u16string widePath;
    if (!osUtf8ToWide(path, &widePath)) return failWith(path, "is not a UTF-8 path");
    std::error_code error;
    const std::filesystem::path song = std::filesystem::absolute(path, error);
    if (error || !std::filesystem::is_regular_file(song, error)) return failWith(path, "is not a readable file");

    ClScratchUserDir scratch;
    if (!scratch.create("velodrix-beatclock")) return failWith(path, "cannot be played: no temporary folder");
    critSectionPoolInit();
    fileLayerInit();
    configClear();
    configSetValue("NEVER_CACHE", "1");
    initAudioEngine(0);
    const auto limit = SteadyClock::now() + std::chrono::milliseconds(REGISTRY_READY_TIMEOUT_MS);
    while (!isCodecRegistryReady() && SteadyClock::now() < limit) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    int status = 0;
    if (!isCodecRegistryReady()) {
        status = failWith(path, "cannot be played: no decoder family started");
    } else if (!analyse(widePath.c_str())) {
        status = failWith(path, "cannot be analysed, or has no beats");
    } else if (!prepareSong(song)) {
        status = failWith(path, "cannot be played");
    } else {
        play(seconds);
    }
    releaseSongAnalysis();
    releaseBeatAnalysis();
    shutdownAudioEngine();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    char* end = nullptr;
    const f32 seconds = argc == 3 ? std::strtof(argv[2], &end) : 0.0f;
    if (argc != 3 || end == argv[2] || *end != 0 || !(seconds > 0.0f)) {
        std::fprintf(stderr, "usage: %s <music file> <seconds>\n", g_programName);
        return 2;
    }
    return run(argv[1], seconds);
}
