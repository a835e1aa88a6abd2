// The whole song analysis beside the tools it is measured against. A 3-minute song is generated
// here (clicks at a known tempo, a bass line and pads, 44.1 kHz stereo), encoded to FLAC and
// Ogg Vorbis with the command-line encoders, and each file is then handled by:
//   velodrix-analyse (decode through the codec registry and the decode thread, spectral
//                     analysis with the cache reads off, onsets and beats),
//   the format's reference decoder (flac -d, oggdec), decoding only,
//   aubio's beat tracker (aubio beat).
// Every program runs as a child process and is timed from outside (wall clock, and user +
// system CPU from wait4), best of the runs. The targets: our whole analysis at most 1.5 times
// the reference decoder, and never slower than aubio.
//
// A plain program, run by hand: bench_analysis_compare [--keep] [--runs N]
#include "bench/support.h"
#include "core/types.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr u32 SONG_SECONDS = 180;
constexpr f64 SONG_TEMPO = 128.0;
// A beat time counts as on the click grid within this much.
constexpr f64 GRID_TOLERANCE = 0.05;

constexpr f64 TARGET_DECODER_RATIO = 1.5;
constexpr f64 TARGET_AUBIO_RATIO = 1.0;
constexpr u32 DEFAULT_RUNS = 3;

#ifndef VELODRIX_ANALYSE_BINARY
#define VELODRIX_ANALYSE_BINARY "velodrix-analyse"
#endif

// ---------------------------------------------------------------------------------------------
// What the children wrote

// The first number of each line that starts with one.
std::vector<f64> readTimes(const std::filesystem::path& path) {
    std::vector<f64> times;
    std::istringstream lines(readText(path));
    std::string line;
    while (std::getline(lines, line)) {
        char* end = nullptr;
        const f64 value = std::strtod(line.c_str(), &end);
        if (end != line.c_str()) times.push_back(value);
    }
    return times;
}

f64 onGridFraction(const std::vector<f64>& times) {
    if (times.empty()) return 0.0;
    const f64 beat = 60.0 / SONG_TEMPO;
    u32 onGrid = 0;
    for (const f64 t : times) {
        const f64 phase = std::fmod(t, beat);
        if (std::min(phase, beat - phase) <= GRID_TOLERANCE) ++onGrid;
    }
    return f64(onGrid) / f64(times.size());
}

// ---------------------------------------------------------------------------------------------
// The table

struct STool {
    SProcessRun best;
    bool ok = true;
    std::vector<f64> beats;
};

struct SRow {
    std::string name;
    f64 megabytes = 0.0;
    STool ours;
    STool decoder;
    STool aubio;
    std::string oursSummary;  // velodrix-analyse's standard-error line
};

void keepBest(STool* tool, const SProcessRun& run, bool first) {
    if (run.exitCode != 0) tool->ok = false;
    if (first) {
        tool->best = run;
        return;
    }
    tool->best.wallSeconds = std::min(tool->best.wallSeconds, run.wallSeconds);
    tool->best.cpuSeconds = std::min(tool->best.cpuSeconds, run.cpuSeconds);
}

void printTable(const std::vector<SRow>& rows) {
    std::printf("\n%-6s | %-15s | %-15s | %-15s | %-17s | %-17s | %s\n", "format", "velodrix wall/CPU",
                "decoder wall/CPU", "aubio wall/CPU", "vs decoder w/CPU", "vs aubio w/CPU", "targets (<=1.5x, <=1x)");
    for (const SRow& row : rows) {
        if (!row.ours.ok || !row.decoder.ok || !row.aubio.ok) {
            std::printf("%-6s | failed: velodrix exit %d, decoder exit %d, aubio exit %d\n", row.name.c_str(),
                        row.ours.best.exitCode, row.decoder.best.exitCode, row.aubio.best.exitCode);
            continue;
        }
        const f64 decoderWall = ratio(row.ours.best.wallSeconds, row.decoder.best.wallSeconds);
        const f64 decoderCpu = ratio(row.ours.best.cpuSeconds, row.decoder.best.cpuSeconds);
        const f64 aubioWall = ratio(row.ours.best.wallSeconds, row.aubio.best.wallSeconds);
        const f64 aubioCpu = ratio(row.ours.best.cpuSeconds, row.aubio.best.cpuSeconds);
        const bool decoderMet = decoderWall <= TARGET_DECODER_RATIO && decoderCpu <= TARGET_DECODER_RATIO;
        const bool aubioMet = aubioWall <= TARGET_AUBIO_RATIO && aubioCpu <= TARGET_AUBIO_RATIO;
        std::printf("%-6s | %6.3f / %6.3f | %6.3f / %6.3f | %6.3f / %6.3f | %7.2f / %7.2f | %7.2f / %7.2f | %s, %s\n",
                    row.name.c_str(), row.ours.best.wallSeconds, row.ours.best.cpuSeconds,
                    row.decoder.best.wallSeconds, row.decoder.best.cpuSeconds, row.aubio.best.wallSeconds,
                    row.aubio.best.cpuSeconds, decoderWall, decoderCpu, aubioWall, aubioCpu,
                    decoderMet ? "decoder yes" : "decoder NO", aubioMet ? "aubio yes" : "aubio NO");
    }
    std::printf("\nseconds, best of the runs, each a whole process timed from outside\n");
    std::printf("\nbeats of the %.0f BPM song (%u expected), share within %.0f ms of a click:\n", SONG_TEMPO,
                u32(SONG_SECONDS * SONG_TEMPO / 60.0), GRID_TOLERANCE * 1000.0);
    for (const SRow& row : rows) {
        std::printf("%-6s velodrix %4zu beats, %5.1f%% on the grid; aubio %4zu beats, %5.1f%% on the grid\n",
                    row.name.c_str(), row.ours.beats.size(), 100.0 * onGridFraction(row.ours.beats),
                    row.aubio.beats.size(), 100.0 * onGridFraction(row.aubio.beats));
        std::printf("       velodrix-analyse: %s", row.oursSummary.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool keepFiles = false;
    u32 runs = DEFAULT_RUNS;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--keep") {
            keepFiles = true;
        } else if (argument == "--runs" && i + 1 < argc && std::atoi(argv[i + 1]) >= 1) {
            runs = u32(std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: bench_analysis_compare [--keep] [--runs N]\n");
            return 2;
        }
    }

    const std::filesystem::path folder = makeScratchFolder("velodrix_bench_analysis");
    if (folder.empty()) return 1;
    const std::filesystem::path wav = writeClickSongWav(folder, SONG_SECONDS, SONG_TEMPO, "bench_analysis_compare");
    if (wav.empty()) return 1;

    // FLAC and Ogg: the first two reference formats.
    const std::vector<SCodecFormat> formats(referenceFormats().begin(), referenceFormats().begin() + 2);
    const std::string oursOut = (folder / "ours.txt").string();
    const std::string oursErr = (folder / "ours.err").string();
    const std::string aubioOut = (folder / "aubio.txt").string();

    std::vector<SRow> rows;
    bool allRan = true;
    for (const SCodecFormat& format : formats) {
        SRow row;
        row.name = format.name;
        const std::filesystem::path encoded = encodeSong(format, wav, "bench_analysis_compare");
        if (encoded.empty()) {
            allRan = false;
            continue;
        }
        row.megabytes = f64(std::filesystem::file_size(encoded)) / 1e6;
        std::printf("timing %s (%.1f MB), %u runs\n", format.name, row.megabytes, runs);
        const std::vector<std::string> decoder = substitute(format.decoder, encoded.string(), "");
        std::fflush(stdout);
        for (u32 run = 0; run < runs; ++run) {
            keepBest(&row.ours, runProcess({VELODRIX_ANALYSE_BINARY, encoded.string()}, oursOut.c_str(), oursErr.c_str()),
                     run == 0);
            keepBest(&row.decoder, runProcess(decoder, DISCARD_OUTPUT, DISCARD_OUTPUT), run == 0);
            keepBest(&row.aubio, runProcess({"aubio", "beat", encoded.string()}, aubioOut.c_str(), DISCARD_OUTPUT),
                     run == 0);
        }
        row.ours.beats = readTimes(oursOut);
        row.aubio.beats = readTimes(aubioOut);
        row.oursSummary = readText(oursErr);
        if (row.oursSummary.empty() || row.oursSummary.back() != '\n') row.oursSummary += '\n';
        allRan = allRan && row.ours.ok && row.decoder.ok && row.aubio.ok;
        rows.push_back(row);
    }

    printTable(rows);
    finishScratchFolder(folder, keepFiles);
    return allRan ? 0 : 1;
}
