#include "bench/support.h"

#include "core/package_format.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

constexpr u32 WAV_HEADER_BYTES = 44;

f64 secondsOf(const timeval& value) { return f64(value.tv_sec) + f64(value.tv_usec) * 1e-6; }

void storeLe16(u8* bytes, u32 value) {
    bytes[0] = u8(value);
    bytes[1] = u8(value >> 8);
}

struct SNoise {
    u32 state = 0x2545F491u;
    f64 next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return f64(state) * (2.0 / 4294967296.0) - 1.0;
    }
};

}  // namespace

std::vector<s16> makeClickSong(u32 seconds, f64 tempo) {
    constexpr f64 kTwoPi = 6.283185307179586;
    static const f64 kRoots[] = {55.0, 43.65, 65.41, 49.0};
    static const f64 kChords[][3] = {{220.0, 261.63, 329.63}, {174.61, 220.0, 261.63},
                                     {261.63, 329.63, 392.0}, {196.0, 246.94, 293.66}};
    const f64 beat = 60.0 / tempo;
    const u64 frames = u64(CLICK_SONG_RATE) * seconds;
    std::vector<s16> samples(size_t(frames) * CLICK_SONG_CHANNELS);
    SNoise noise;
    for (u64 frame = 0; frame < frames; ++frame) {
        const f64 t = f64(frame) / CLICK_SONG_RATE;
        const u64 beatIndex = u64(t / beat);
        const f64 inBeat = t - f64(beatIndex) * beat;
        const u64 bar = beatIndex / 4;
        const f64 inBar = t - f64(bar) * 4.0 * beat;

        const f64 click = inBeat < 0.004 ? 0.9 * noise.next() * std::exp(-inBeat / 0.001) : 0.0;
        const f64 root = kRoots[bar % 4];
        const f64 bassEnvelope = std::min(1.0, inBeat / 0.005) * std::exp(-inBeat / 0.18);
        const f64 bass = 0.35 * bassEnvelope * (std::sin(kTwoPi * root * t) + 0.3 * std::sin(kTwoPi * 2.0 * root * t));
        const f64 padEnvelope = std::min(1.0, inBar / 0.6) * (1.0 - 0.3 * inBar / (4.0 * beat));
        f64 padLeft = 0.0, padRight = 0.0;
        for (const f64 pitch : kChords[bar % 4]) {
            padLeft += std::sin(kTwoPi * pitch * t) + 0.25 * std::sin(kTwoPi * 2.0 * pitch * t);
            padRight += std::sin(kTwoPi * pitch * 1.003 * t) + 0.25 * std::sin(kTwoPi * 2.0 * pitch * 1.003 * t);
        }
        const f64 left = click + bass + 0.06 * padEnvelope * padLeft;
        const f64 right = click + bass + 0.06 * padEnvelope * padRight;
        samples[size_t(frame) * 2] = s16(std::lround(std::clamp(left, -1.0, 1.0) * 32000.0));
        samples[size_t(frame) * 2 + 1] = s16(std::lround(std::clamp(right, -1.0, 1.0) * 32000.0));
    }
    return samples;
}

std::filesystem::path makeScratchFolder(const char* prefix) {
    std::error_code noTemp;
    std::string folderTemplate =
        (std::filesystem::temp_directory_path(noTemp) / (std::string(prefix) + "_XXXXXX")).string();
    if (noTemp || !mkdtemp(folderTemplate.data())) {
        std::fprintf(stderr, "%s: cannot make a scratch folder: %s\n", program_invocation_short_name,
                     std::strerror(errno));
        return {};
    }
    return folderTemplate;
}

void finishScratchFolder(const std::filesystem::path& folder, bool keep) {
    if (keep) {
        std::printf("files kept in %s\n", folder.c_str());
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

bool writeWav16(const std::filesystem::path& path, const std::vector<s16>& samples, u32 channels, u32 rate) {
    const u32 dataBytes = u32(samples.size() * 2);
    std::vector<u8> bytes(WAV_HEADER_BYTES + size_t(dataBytes));
    u8* header = bytes.data();
    std::memcpy(header, "RIFF", 4);
    storeLe32(header + 4, WAV_HEADER_BYTES - 8 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    storeLe32(header + 16, 16);
    storeLe16(header + 20, 1);  // PCM
    storeLe16(header + 22, channels);
    storeLe32(header + 24, rate);
    storeLe32(header + 28, rate * channels * 2);
    storeLe16(header + 32, channels * 2);
    storeLe16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    storeLe32(header + 40, dataBytes);
    for (size_t i = 0; i < samples.size(); ++i) storeLe16(header + WAV_HEADER_BYTES + 2 * i, u16(samples[i]));
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

SProcessRun runProcess(const std::vector<std::string>& arguments, const char* outFile, const char* errFile) {
    SProcessRun run;
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outFile) posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errFile) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "%s: cannot start %s: %s\n", program_invocation_short_name, argv[0],
                     std::strerror(spawned));
        return run;
    }
    int status = 0;
    rusage usage = {};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.wallSeconds = std::chrono::duration<f64>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<std::string> substitute(const std::vector<std::string>& pattern, const std::string& in,
                                    const std::string& out) {
    std::vector<std::string> result;
    for (const std::string& word : pattern) result.push_back(word == "{in}" ? in : word == "{out}" ? out : word);
    return result;
}

std::filesystem::path writeClickSongWav(const std::filesystem::path& folder, u32 seconds, f64 tempo,
                                        const char* program) {
    const std::filesystem::path wav = folder / "song.wav";
    std::printf("generating %u s of %u Hz stereo at %.0f BPM in %s\n", seconds, CLICK_SONG_RATE, tempo,
                folder.c_str());
    if (!writeWav16(wav, makeClickSong(seconds, tempo), CLICK_SONG_CHANNELS, CLICK_SONG_RATE)) {
        std::fprintf(stderr, "%s: cannot write %s\n", program, wav.c_str());
        return {};
    }
    return wav;
}

const std::vector<SCodecFormat>& referenceFormats() {
    static const std::vector<SCodecFormat> list = {
        {"FLAC", ".flac", {"flac", "-s", "-f", "-o", "{out}", "{in}"}, {"flac", "-d", "-s", "-f", "-c", "{in}"}},
        {"Ogg", ".ogg", {"oggenc", "-Q", "-o", "{out}", "{in}"}, {"oggdec", "-Q", "-o", "/dev/null", "{in}"}},
        {"WavPack", ".wv", {"wavpack", "-q", "-y", "{in}", "-o", "{out}"}, {"wvunpack", "-q", "-y", "{in}", "-o", "-"}},
        {"MP3",
         ".mp3",
         {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", "{in}", "-c:a", "libmp3lame", "-b:a", "192k", "{out}"},
         {"ffmpeg", "-nostdin", "-v", "error", "-i", "{in}", "-f", "s16le", "-"}},
    };
    return list;
}

std::filesystem::path encodeSong(const SCodecFormat& format, const std::filesystem::path& wav, const char* program) {
    const std::filesystem::path encoded = wav.parent_path() / (std::string("song") + format.extension);
    std::printf("encoding %s\n", format.name);
    std::fflush(stdout);
    if (runProcess(substitute(format.encoder, wav.string(), encoded.string()), DISCARD_OUTPUT, DISCARD_OUTPUT)
            .exitCode != 0) {
        std::fprintf(stderr, "%s: the %s encoder failed\n", program, format.name);
        return {};
    }
    return encoded;
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

f64 ratio(f64 a, f64 b) { return b > 0.0 ? a / b : 0.0; }
