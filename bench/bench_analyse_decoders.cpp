// velodrix-analyse beside the reference decoders, one format after another in one run. A song of
// 205 s is generated (the click song of the comparison benchmarks, 44.1 kHz stereo) and encoded
// to FLAC, Ogg Vorbis, WavPack and MP3 with the command-line encoders; then, for each file, the
// whole analysis (velodrix-analyse: decode through the codec registry and the decode thread,
// spectral analysis, onsets and beats) and the format's reference decoder alone (flac -d, oggdec,
// wvunpack, ffmpeg to raw PCM) run in turn, A B A B, after one warm-up run of each. Every run is
// a child process timed from outside (wall clock, and user + system CPU from wait4).
//
// Printed per format: the median CPU and wall seconds of each program and the median of the
// run-by-run ratios (analysis / decoder), which holds up when the machine's speed drifts; the
// target is at most 1.3 times the decoder's CPU time. The beat lists of all analysis runs of a
// file must be the same, or the format is reported as unstable.
//
// A plain program, run by hand: bench_analyse_decoders [--keep] [--runs N] [--seconds S]
// [--analyse PROGRAM] (another build of velodrix-analyse, to compare two builds on the same songs)
#include "bench/support.h"
#include "core/types.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr u32 DEFAULT_SONG_SECONDS = 205;
constexpr f64 SONG_TEMPO = 128.0;
constexpr u32 DEFAULT_RUNS = 5;
constexpr f64 TARGET_RATIO = 1.3;

#ifndef VELODRIX_ANALYSE_BINARY
#define VELODRIX_ANALYSE_BINARY "velodrix-analyse"
#endif

f64 median(std::vector<f64> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : 0.5 * (values[middle - 1] + values[middle]);
}

struct SSeries {
    std::vector<f64> cpu;
    std::vector<f64> wall;
    bool ok = true;
    void add(const SProcessRun& run) {
        if (run.exitCode != 0) ok = false;
        cpu.push_back(run.cpuSeconds);
        wall.push_back(run.wallSeconds);
    }
};

struct SRow {
    std::string name;
    f64 megabytes = 0.0;
    SSeries ours;
    SSeries decoder;
    std::vector<f64> cpuRatios;
    std::vector<f64> wallRatios;
    bool stableBeats = true;
    u32 beatLines = 0;
};

void printTable(const std::vector<SRow>& rows) {
    std::printf("\n%-8s | %-19s | %-19s | %-15s | %s\n", "format", "analyse CPU / wall", "decoder CPU / wall",
                "ratio CPU/wall", "target (CPU <= 1.3x)");
    for (const SRow& row : rows) {
        if (!row.ours.ok || !row.decoder.ok) {
            std::printf("%-8s | failed: a run of %s\n", row.name.c_str(), row.ours.ok ? "the decoder" : "velodrix-analyse");
            continue;
        }
        const f64 cpuRatio = median(row.cpuRatios);
        std::printf("%-8s | %7.3f / %7.3f   | %7.3f / %7.3f   | %5.2f / %5.2f   | %s%s\n", row.name.c_str(),
                    median(row.ours.cpu), median(row.ours.wall), median(row.decoder.cpu), median(row.decoder.wall),
                    cpuRatio, median(row.wallRatios), cpuRatio <= TARGET_RATIO ? "met" : "NOT met",
                    row.stableBeats ? "" : ", beats differ between runs");
    }
    std::printf("\nseconds and ratios are medians of the runs (ratios run by run), each a whole process timed from "
                "outside\n");
    for (const SRow& row : rows) std::printf("%-8s %.1f MB, %u beats\n", row.name.c_str(), row.megabytes, row.beatLines);
}

}  // namespace

int main(int argc, char** argv) {
    bool keepFiles = false;
    u32 runs = DEFAULT_RUNS;
    u32 seconds = DEFAULT_SONG_SECONDS;
    std::string analyse = VELODRIX_ANALYSE_BINARY;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--keep") {
            keepFiles = true;
        } else if (argument == "--runs" && i + 1 < argc && std::atoi(argv[i + 1]) >= 1) {
            runs = u32(std::atoi(argv[++i]));
        } else if (argument == "--seconds" && i + 1 < argc && std::atoi(argv[i + 1]) >= 90) {
            seconds = u32(std::atoi(argv[++i]));
        } else if (argument == "--analyse" && i + 1 < argc) {
            analyse = argv[++i];
        } else {
            std::fprintf(stderr, "usage: bench_analyse_decoders [--keep] [--runs N] [--seconds S (90 or more)] "
                                 "[--analyse PROGRAM]\n");
            return 2;
        }
    }

    const std::filesystem::path folder = makeScratchFolder("velodrix_bench_analyse");
    if (folder.empty()) return 1;
    const std::filesystem::path wav = writeClickSongWav(folder, seconds, SONG_TEMPO, "bench_analyse_decoders");
    if (wav.empty()) return 1;

    const std::string oursOut = (folder / "ours.txt").string();
    std::vector<SRow> rows;
    bool allRan = true;
    for (const SCodecFormat& format : referenceFormats()) {
        SRow row;
        row.name = format.name;
        const std::filesystem::path encoded = encodeSong(format, wav, "bench_analyse_decoders");
        if (encoded.empty()) {
            allRan = false;
            continue;
        }
        row.megabytes = f64(std::filesystem::file_size(encoded)) / 1e6;
        std::printf("timing %s (%.1f MB), a warm-up and %u runs of each\n", format.name, row.megabytes, runs);
        std::fflush(stdout);
        const std::vector<std::string> ours = {analyse, encoded.string()};
        const std::vector<std::string> decoder = substitute(format.decoder, encoded.string(), "");
        runProcess(ours, oursOut.c_str(), DISCARD_OUTPUT);
        const std::string firstBeats = readText(oursOut);
        runProcess(decoder, DISCARD_OUTPUT, DISCARD_OUTPUT);
        for (u32 run = 0; run < runs; ++run) {
            const SProcessRun a = runProcess(ours, oursOut.c_str(), DISCARD_OUTPUT);
            const SProcessRun b = runProcess(decoder, DISCARD_OUTPUT, DISCARD_OUTPUT);
            row.ours.add(a);
            row.decoder.add(b);
            row.cpuRatios.push_back(ratio(a.cpuSeconds, b.cpuSeconds));
            row.wallRatios.push_back(ratio(a.wallSeconds, b.wallSeconds));
            if (readText(oursOut) != firstBeats) row.stableBeats = false;
        }
        row.beatLines = u32(std::count(firstBeats.begin(), firstBeats.end(), '\n'));
        allRan = allRan && row.ours.ok && row.decoder.ok && row.stableBeats;
        rows.push_back(row);
    }

    printTable(rows);
    finishScratchFolder(folder, keepFiles);
    return allRan ? 0 : 1;
}
