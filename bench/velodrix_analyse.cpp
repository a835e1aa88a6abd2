// velodrix-analyse FILE: analyses one music file the way the game analyses a song (codec
// registry, decode job on the decode thread, the spectral analysis with the cache reads off,
// onset detection and beat selection) and prints the beat times, one per line in seconds.
// Standard error then gets one summary line: the song length, the tempo, the number of beats
// and the wall and CPU time of the analysis.
//
// Exit status 0 on success; otherwise one line on standard error says why: 1 the file cannot
// be analysed, 2 usage, 3 a fatal error inside the game code.
#include "audio/analysis/beat.h"
#include "audio/analysis/spectral_cache.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/analysis/tempo_search.h"
#include "audio/decode/codec_registry.h"
#include "audio/decode/decode_thread.h"
#include "bench/scratch_user_dir.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "core/types.h"
#include "platform/os/os.h"

#include <signal.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

namespace {

// The song scan runs the decode thread at this interval while it analyses.
constexpr u32 ANALYSE_DECODE_INTERVAL_MS = 1;
constexpr u32 REGISTRY_READY_TIMEOUT_MS = 10000;

const char* g_programName = "velodrix-analyse";

f64 processCpuSeconds() {
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return f64(now.tv_sec) + f64(now.tv_nsec) * 1e-9;
}

const char* describeResult(s32 result) {
    switch (result) {
        case E_SPECTRUM_RESULT_CANNOT_OPEN: return "cannot be opened";
        case E_SPECTRUM_RESULT_TOO_SHORT: return "is shorter than 90 seconds";
        case E_SPECTRUM_RESULT_TOO_LONG: return "is longer than the longest song the game takes";
        case E_SPECTRUM_RESULT_UNDECODABLE: return "cannot be decoded";
        default: return "cannot be analysed";
    }
}

int failWith(const char* path, const char* why) {
    std::fprintf(stderr, "%s: %s %s\n", g_programName, path, why);
    return 1;
}


bool startCodecs() {
    critSectionPoolInit();
    fileLayerInit();
    initCodecRegistry();
    codecRegistration(0);
    setDecodeThreadInterval(ANALYSE_DECODE_INTERVAL_MS);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(REGISTRY_READY_TIMEOUT_MS);
    while (!isCodecRegistryReady() && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return isCodecRegistryReady();
}

int analyse(const char* path) {
    std::u16string widePath;
    if (!osUtf8ToWide(path, &widePath)) return failWith(path, "is not a UTF-8 path");
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return failWith(path, "is not a readable file");

    ClScratchUserDir scratch;
    if (!scratch.create("velodrix-analyse")) return failWith(path, "cannot be analysed: no temporary folder");
    configClear();
    configSetValue("NEVER_CACHE", "1");

    if (!startCodecs()) {
        shutdownCodecRegistry();
        return failWith(path, "cannot be analysed: no decoder family started");
    }
    s32 format = E_CODECFORMAT_NONE;
    if (!findCodecFormatForPath(widePath.c_str(), &format) || format == E_CODECFORMAT_NONE) {
        shutdownCodecRegistry();
        return failWith(path, "is of a type the game does not play");
    }

    const f64 cpuStart = processCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    resetSpectrumAnalysis();
    SSongIdentity identity;
    songIdentityFromPath(widePath.c_str(), &identity);
    s32 result = E_SPECTRUM_RESULT_NONE;
    const s32 ready = analyseSongSpectrum(widePath.c_str(), identity, &result, 0, 0);
    if (ready) analyseBeats();
    const f64 wallSeconds = std::chrono::duration<f64>(std::chrono::steady_clock::now() - wallStart).count();
    const f64 cpuSeconds = processCpuSeconds() - cpuStart;
    shutdownCodecRegistry();
    if (!ready) {
        resetSpectrumAnalysis();
        return failWith(path, describeResult(result));
    }

    for (const SBeat& beat : g_aSongBeats) std::printf("%.3f\n", f64(beat.time));
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write the beat times\n", g_programName);
        return 1;
    }
    std::fprintf(stderr, "length %.3f s  tempo %.2f BPM  beats %u  wall %.3f s  CPU %.3f s\n",
                 f64(g_SpectrumAnalysis.header.duration), f64(g_BeatAnalysis.measuredTempo), g_aSongBeats.count, wallSeconds,
                 cpuSeconds);
    releaseTempoCandidates();
    g_aSongBeats.release();
    resetSpectrumAnalysis();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that stops early (a closed pipe) must give an exit status, not a signal.
    signal(SIGPIPE, SIG_IGN);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <music file>\n", g_programName);
        return 2;
    }
    return analyse(argv[1]);
}
