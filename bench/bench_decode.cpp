// Decode throughput of every music format the game reads, through the path a song analysis takes:
// the codec registry opens a job, the decode thread fills its ring, and the analysis's pull drains
// it as fast as it can. Beside it, each format's reference command-line decoder decodes the same
// file. The song is generated here (tones, noise bursts and clicks, 3 minutes of 44.1 kHz stereo)
// and encoded with the command-line encoders that scripts/install-deps installs.
//
// A plain program, run by hand: bench_decode [--keep] [--only EXT] [--runs N]
// The table compares our CPU time with the reference's; the target is at most 1.2 times it.
#include "audio/decode/codec_registry.h"
#include "audio/decode/codec_stream_instance.h"
#include "audio/decode/decode_thread.h"
#include "audio/decode/sample_pull.h"
#include "bench/support.h"
#include "core/crit_section_pool.h"
#include "core/types.h"
#include "platform/os/os.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr u32 SONG_RATE = 44100;
constexpr u32 SONG_CHANNELS = 2;
constexpr u32 SONG_SECONDS = 180;
constexpr u32 SONG_FRAMES = SONG_RATE * SONG_SECONDS;

// The pull asks for this many frames per call, about what an analysis window takes.
constexpr u32 PULL_FRAMES = 4096;
// The largest sample the decoders deliver (f32).
constexpr u32 PULL_MAX_BYTES_PER_SAMPLE = 4;
// A decode that pulls more than this many times the song's bytes is stuck, not slow.
constexpr u32 PULL_CALL_LIMIT = 4 * SONG_FRAMES / PULL_FRAMES;
// Bounds for the waits on the decode thread, in milliseconds.
constexpr u32 REGISTRY_READY_TIMEOUT_MS = 10000;
constexpr u32 JOB_READY_TIMEOUT_MS = 30000;
constexpr u32 JOB_DESTROY_TIMEOUT_MS = 10000;
// The song scan runs the decode thread at this interval; the pull also wakes it after each call.
constexpr u32 BENCH_DECODE_INTERVAL_MS = 1;

constexpr f64 TARGET_RATIO = 1.2;
constexpr u32 DEFAULT_RUNS = 3;

// ---------------------------------------------------------------------------------------------
// The test song

// xorshift32: the same song on every run.
struct SNoise {
    u32 state = 0x9E3779B9u;
    f32 next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return f32(state) * (2.0f / 4294967296.0f) - 1.0f;
    }
};

// Interleaved 16-bit stereo: a two-voice melody of decaying notes with overtones, a bass line,
// a noise burst on every second beat and a click on every beat, so that every codec has tonal,
// noisy and transient material to work on.
std::vector<s16> makeSong() {
    static const f32 kScale[] = {220.0f, 246.94f, 277.18f, 329.63f, 369.99f,
                                 440.0f, 493.88f, 554.37f, 659.25f, 739.99f};
    constexpr u32 kScaleSize = sizeof(kScale) / sizeof(kScale[0]);
    constexpr u32 kNoteFrames = SONG_RATE / 4;
    constexpr u32 kBeatFrames = SONG_RATE / 2;
    constexpr u32 kBassFrames = SONG_RATE;
    constexpr u32 kBurstFrames = SONG_RATE / 8;
    constexpr f64 kTwoPi = 6.283185307179586;

    std::vector<s16> samples(size_t(SONG_FRAMES) * SONG_CHANNELS);
    SNoise noise;
    f32 leftPitch = kScale[0], rightPitch = kScale[2], bassPitch = 55.0f;
    for (u32 frame = 0; frame < SONG_FRAMES; ++frame) {
        const u32 inNote = frame % kNoteFrames;
        if (inNote == 0) {
            leftPitch = kScale[u32(noise.next() * 0.5f * kScaleSize + kScaleSize / 2) % kScaleSize];
            rightPitch = leftPitch * 1.5f;
        }
        if (frame % kBassFrames == 0) bassPitch = kScale[u32(noise.next() * 2.0f + 2.0f) % kScaleSize] / 4.0f;
        const f64 t = f64(frame) / SONG_RATE;
        const f32 noteEnvelope = std::exp(-6.0f * f32(inNote) / kNoteFrames);
        const f32 left = noteEnvelope * f32(0.5 * std::sin(kTwoPi * leftPitch * t) +
                                            0.2 * std::sin(kTwoPi * 2.0 * leftPitch * t));
        const f32 right = noteEnvelope * f32(0.4 * std::sin(kTwoPi * rightPitch * t) +
                                             0.15 * std::sin(kTwoPi * 3.0 * rightPitch * t));
        const f32 bass = 0.4f * f32(std::sin(kTwoPi * bassPitch * t));

        const u32 inBeat = frame % kBeatFrames;
        const bool burstBeat = (frame / kBeatFrames) % 2 == 1;
        const f32 burst = burstBeat && inBeat < kBurstFrames
                              ? 0.5f * noise.next() * std::exp(-8.0f * f32(inBeat) / kBurstFrames)
                              : 0.0f;
        const f32 click = inBeat < 3 ? 0.9f : 0.0f;

        const f32 mixLeft = 0.45f * (left + bass + burst + click);
        const f32 mixRight = 0.45f * (right + bass + burst + click);
        samples[size_t(frame) * 2] = s16(std::clamp(mixLeft, -1.0f, 1.0f) * 32767.0f);
        samples[size_t(frame) * 2 + 1] = s16(std::clamp(mixRight, -1.0f, 1.0f) * 32767.0f);
    }
    return samples;
}

// ---------------------------------------------------------------------------------------------
// Our decode

struct SOurRun {
    bool ok = false;
    s32 finalState = E_CODECJOB_NEW;
    f64 wallSeconds = 0.0;
    f64 cpuSeconds = 0.0;
    u64 decodedBytes = 0;
    f64 audioSeconds = 0.0;
    SCommonCodecInfo info = {};
};

f64 processCpuSeconds() {
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return f64(now.tv_sec) + f64(now.tv_nsec) * 1e-9;
}

bool waitForLiveJobsGone() {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(JOB_DESTROY_TIMEOUT_MS);
    while (getLiveCodecJobCount() != 0) {
        if (std::chrono::steady_clock::now() > limit) return false;
        wakeDecodeThread();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Opens the file through the registry and pulls every decoded byte. The timed span runs from
// the open to the last pull; both threads' CPU time counts (the process clock).
SOurRun decodeOurs(const std::filesystem::path& file, std::vector<u8>* pullBuffer) {
    SOurRun run;
    std::u16string widePath;
    if (!osUtf8ToWide(file.string().c_str(), &widePath)) return run;
    s32 format = E_CODECFORMAT_NONE;
    if (!findCodecFormatForPath(widePath.c_str(), &format) || format == E_CODECFORMAT_NONE) {
        std::fprintf(stderr, "bench_decode: no family decodes %s\n", file.c_str());
        return run;
    }

    const f64 cpuStart = processCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    ClCodecStreamInstance* job = openCodecJob(format, widePath.c_str());
    if (!job) return run;

    // The job moves one state per decode pass; waking the thread spares the interval.
    const auto readyLimit = wallStart + std::chrono::milliseconds(JOB_READY_TIMEOUT_MS);
    while (getCodecJobState(job) < E_CODECJOB_READY && std::chrono::steady_clock::now() < readyLimit) {
        wakeDecodeThread();
        waitForCodecJobProgress(job, 1);
    }
    const s32 readyState = getCodecJobState(job);
    if (readyState >= E_CODECJOB_READY && !isCodecJobFailed(readyState) && job->getCommonCodecInfo(&run.info)) {
        SAnalysisStreamInfo reader = {};
        reader.job = job;
        fillAnalysisStreamInfo(&reader, run.info);
        const u32 frameBytes = run.info.channels * run.info.bytesPerSample;
        const u32 chunkBytes = PULL_FRAMES * frameBytes;
        if (frameBytes != 0 && chunkBytes <= pullBuffer->size()) {
            for (u32 call = 0; call < PULL_CALL_LIMIT; ++call) {
                u32 got = 0;
                job->gameSpecificProcessDecodedData(&reader, pullBuffer->data(), chunkBytes, &got);
                run.decodedBytes += got;
                // The pull has just freed ring buffers: let the decoder refill them now.
                wakeDecodeThread();
                if (got < chunkBytes) break;
            }
            run.audioSeconds = f64(run.decodedBytes) / frameBytes / f64(run.info.sampleRate);
        }
    }
    run.finalState = getCodecJobState(job);
    releaseCodecJob(job);
    run.wallSeconds = std::chrono::duration<f64>(std::chrono::steady_clock::now() - wallStart).count();
    run.cpuSeconds = processCpuSeconds() - cpuStart;
    // The decode thread destroys the job outside the timed span.
    run.ok = waitForLiveJobsGone() && run.finalState == E_CODECJOB_FINISHED && run.decodedBytes != 0;
    return run;
}

// ---------------------------------------------------------------------------------------------
// The formats

struct SFormat {
    const char* name;
    const char* extension;
    // {in} and {out} stand for the source WAV and the encoded file; empty: the WAV itself.
    std::vector<std::string> encoder;
    // {in} stands for the encoded file.
    std::vector<std::string> reference;
};

std::vector<SFormat> benchFormats() {
    const std::vector<std::string> ffmpegDecode = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error",
                                                   "-i",     "{in}",     "-f",           "null",      "-"};
    auto ffmpegEncode = [](const char* codec) {
        return std::vector<std::string>{"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",  "-i",
                                        "{in}",   "-c:a",     codec,          "-b:a",      "192k",  "{out}"};
    };
    return {
        {"WAV", ".wav", {}, {"sox", "-q", "{in}", "-t", "raw", "/dev/null"}},
        {"AIFF", ".aiff", {"sox", "{in}", "{out}"}, {"sox", "-q", "{in}", "-t", "raw", "/dev/null"}},
        {"FLAC", ".flac", {"flac", "-s", "-f", "-o", "{out}", "{in}"}, {"flac", "-d", "-s", "-f", "-c", "{in}"}},
        {"Ogg Vorbis", ".ogg", {"oggenc", "-Q", "-o", "{out}", "{in}"}, {"oggdec", "-Q", "-o", "/dev/null", "{in}"}},
        {"WavPack", ".wv", {"wavpack", "-q", "-y", "{in}", "-o", "{out}"}, {"wvunpack", "-q", "-y", "{in}", "-o", "-"}},
        {"MP3", ".mp3", ffmpegEncode("libmp3lame"), ffmpegDecode},
        {"WMA", ".wma", ffmpegEncode("wmav2"), ffmpegDecode},
        {"M4A", ".m4a", ffmpegEncode("aac"), ffmpegDecode},
        {"AAC", ".aac", ffmpegEncode("aac"), ffmpegDecode},
    };
}

struct SOptions {
    bool keepFiles = false;
    std::string only;  // an extension such as ".flac"; empty for all
    u32 runs = DEFAULT_RUNS;
};

bool parseOptions(int argc, char** argv, SOptions* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--keep") {
            options->keepFiles = true;
        } else if (argument == "--only" && i + 1 < argc) {
            options->only = argv[++i];
            if (!options->only.empty() && options->only[0] != '.') options->only.insert(0, ".");
        } else if (argument == "--runs" && i + 1 < argc) {
            const int runs = std::atoi(argv[++i]);
            if (runs < 1 || runs > 100) return false;
            options->runs = u32(runs);
        } else {
            return false;
        }
    }
    return true;
}

struct SRow {
    std::string name;
    bool ok = false;
    SOurRun ours;  // best times over the runs
    SProcessRun reference;
};

void printTable(const std::vector<SRow>& rows) {
    std::printf("\n%-11s %8s %9s %9s %12s %9s %9s %10s %10s  %s\n", "format", "audio s", "ours wall", "ours CPU",
                "audio s/CPU", "ref wall", "ref CPU", "CPU ratio", "wall ratio", "within 1.2x");
    for (const SRow& row : rows) {
        if (!row.ok) {
            std::printf("%-11s  failed (state %d, %llu bytes decoded, reference exit %d)\n", row.name.c_str(),
                        row.ours.finalState, static_cast<unsigned long long>(row.ours.decodedBytes),
                        row.reference.exitCode);
            continue;
        }
        const f64 throughput = row.ours.cpuSeconds > 0.0 ? row.ours.audioSeconds / row.ours.cpuSeconds : 0.0;
        const f64 cpuRatio = row.reference.cpuSeconds > 0.0 ? row.ours.cpuSeconds / row.reference.cpuSeconds : 0.0;
        const f64 wallRatio =
            row.reference.wallSeconds > 0.0 ? row.ours.wallSeconds / row.reference.wallSeconds : 0.0;
        std::printf("%-11s %8.2f %9.3f %9.3f %12.1f %9.3f %9.3f %10.2f %10.2f  %s\n", row.name.c_str(),
                    row.ours.audioSeconds, row.ours.wallSeconds, row.ours.cpuSeconds, throughput,
                    row.reference.wallSeconds, row.reference.cpuSeconds, cpuRatio, wallRatio,
                    cpuRatio <= TARGET_RATIO ? "yes" : "NO");
    }
    std::printf("\nratio = our time / the reference decoder's time (best of the runs; the reference's includes "
                "its process start-up)\n");
}

}  // namespace

int main(int argc, char** argv) {
    SOptions options;
    if (!parseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: bench_decode [--keep] [--only EXT] [--runs N]\n");
        return 2;
    }

    const std::filesystem::path folder = makeScratchFolder("velodrix_bench_decode");
    if (folder.empty()) return 1;
    const std::filesystem::path source = folder / "song.wav";
    std::printf("generating %u s of %u Hz stereo in %s\n", SONG_SECONDS, SONG_RATE, folder.c_str());
    if (!writeWav16(source, makeSong(), SONG_CHANNELS, SONG_RATE)) {
        std::fprintf(stderr, "bench_decode: cannot write %s\n", source.c_str());
        return 1;
    }

    critSectionPoolInit();
    initCodecRegistry();
    codecRegistration(0);
    setDecodeThreadInterval(BENCH_DECODE_INTERVAL_MS);
    const auto readyLimit = std::chrono::steady_clock::now() + std::chrono::milliseconds(REGISTRY_READY_TIMEOUT_MS);
    while (!isCodecRegistryReady() && std::chrono::steady_clock::now() < readyLimit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!isCodecRegistryReady()) {
        std::fprintf(stderr, "bench_decode: no decoder family started\n");
        return 1;
    }

    std::vector<u8> pullBuffer(size_t(PULL_FRAMES) * SONG_CHANNELS * PULL_MAX_BYTES_PER_SAMPLE);
    std::vector<SRow> rows;
    bool allDecoded = true;
    for (const SFormat& format : benchFormats()) {
        if (!options.only.empty() && options.only != format.extension) continue;
        SRow row;
        row.name = format.name;
        std::filesystem::path encoded = source;
        if (!format.encoder.empty()) {
            encoded = folder / (std::string("song") + format.extension);
            std::printf("encoding %s\n", format.name);
            std::fflush(stdout);
            const SProcessRun encode =
                runProcess(substitute(format.encoder, source.string(), encoded.string()), DISCARD_OUTPUT, nullptr);
            if (encode.exitCode != 0) {
                std::fprintf(stderr, "bench_decode: the %s encoder failed\n", format.name);
                rows.push_back(row);
                allDecoded = false;
                continue;
            }
        }
        std::printf("decoding %s (%.1f MB)\n", format.name, f64(std::filesystem::file_size(encoded)) / 1e6);
        std::fflush(stdout);

        const std::vector<std::string> reference = substitute(format.reference, encoded.string(), "");
        row.ok = true;
        for (u32 run = 0; run < options.runs; ++run) {
            const SOurRun ours = decodeOurs(encoded, &pullBuffer);
            const SProcessRun theirs = runProcess(reference, DISCARD_OUTPUT, DISCARD_OUTPUT);
            if (!ours.ok || theirs.exitCode != 0) {
                row.ours = ours;
                row.reference = theirs;
                row.ok = false;
                break;
            }
            if (run == 0) {
                row.ours = ours;
                row.reference = theirs;
                continue;
            }
            row.ours.wallSeconds = std::min(row.ours.wallSeconds, ours.wallSeconds);
            row.ours.cpuSeconds = std::min(row.ours.cpuSeconds, ours.cpuSeconds);
            row.reference.wallSeconds = std::min(row.reference.wallSeconds, theirs.wallSeconds);
            row.reference.cpuSeconds = std::min(row.reference.cpuSeconds, theirs.cpuSeconds);
        }
        allDecoded = allDecoded && row.ok;
        rows.push_back(row);
    }

    shutdownCodecRegistry();
    printTable(rows);
    finishScratchFolder(folder, options.keepFiles);
    return allDecoded ? 0 : 1;
}
