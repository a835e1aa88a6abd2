// Shared by the Windows Media and QuickTime decoder tests: fixtures encoded by the ffmpeg command
// from signals made here, a job driver that plays the decode thread, and the comparison of a
// lossy decode with its source.
#pragma once

#include "audio/codec_stream_instance.h"
#include "audio/sample_pull.h"
#include "core/crit_section_pool.h"
#include "platform/os/os.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace mediatest {

class ClTempFolder {
public:
    ClTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velodrix_media_XXXXXX").string();
        if (mkdtemp(pattern.data())) m_path = pattern;
    }
    ~ClTempFolder() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path file(const char* name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline bool runCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

inline std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// Runs ffmpeg quietly, overwriting its output.
inline bool runFfmpeg(const std::string& arguments) {
    return runCommand("ffmpeg -hide_banner -loglevel error -nostdin -y " + arguments);
}

inline bool hasFfmpegEncoder(const char* name) {
    return runCommand(std::string("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q ' ") + name + " '");
}

// Each channel a linear chirp over a band of its own, at half scale: a lag or swapped channels
// cannot pass for a match, as they could with a steady tone.
inline std::vector<f32> makeChirps(u32 frames, u32 channels, u32 rate) {
    std::vector<f32> samples(size_t(frames) * channels);
    const f64 seconds = f64(frames) / rate;
    for (u32 channel = 0; channel < channels; ++channel) {
        const f64 low = 220.0 * (channel + 1);
        const f64 high = low * 8.0;
        for (u32 frame = 0; frame < frames; ++frame) {
            const f64 t = f64(frame) / rate;
            const f64 phase = 2.0 * M_PI * (low * t + (high - low) * t * t / (2.0 * seconds));
            samples[size_t(frame) * channels + channel] = f32(0.5 * std::sin(phase));
        }
    }
    return samples;
}

// A square wave at full scale: its lossy decode overshoots past 1.
inline std::vector<f32> makeFullScaleSquare(u32 frames, u32 channels, u32 rate) {
    std::vector<f32> samples(size_t(frames) * channels);
    for (u32 frame = 0; frame < frames; ++frame) {
        const f32 value = (frame * 200 / rate) % 2 == 0 ? 1.0f : -1.0f;
        for (u32 channel = 0; channel < channels; ++channel) samples[size_t(frame) * channels + channel] = value;
    }
    return samples;
}

inline void putLe(std::ofstream& out, u32 value, u32 bytes) {
    for (u32 i = 0; i < bytes; ++i) out.put(char((value >> (8 * i)) & 0xFF));
}

inline bool writeWav16(const std::filesystem::path& path, const std::vector<f32>& samples, u32 channels, u32 rate) {
    std::ofstream out(path, std::ios::binary);
    const u32 dataBytes = u32(samples.size() * 2);
    out.write("RIFF", 4);
    putLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLe(out, 16, 4);
    putLe(out, 1, 2);
    putLe(out, channels, 2);
    putLe(out, rate, 4);
    putLe(out, rate * channels * 2, 4);
    putLe(out, channels * 2, 2);
    putLe(out, 16, 2);
    out.write("data", 4);
    putLe(out, dataBytes, 4);
    for (f32 sample : samples) {
        const f32 scaled = std::round(sample * 32767.0f);
        putLe(out, u32(s32(scaled < -32768.0f ? -32768.0f : (scaled > 32767.0f ? 32767.0f : scaled))) & 0xFFFF, 2);
    }
    return bool(out);
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::u16string widePath(const std::filesystem::path& path) {
    std::u16string wide;
    osUtf8ToWide(path.string().c_str(), &wide);
    return wide;
}

// Generous: a job that has not settled in this many decode passes is stuck.
constexpr u32 DECODE_STEP_LIMIT = 4000;

// Steps the job as the decode thread would until it reaches 2 (ready) or a terminal state.
inline s32 stepUntilSettled(ClCodecStreamInstance* job) {
    for (u32 step = 0; step < DECODE_STEP_LIMIT; ++step) {
        const s32 state = getCodecJobState(job);
        if (state == E_CODECJOB_READY || isCodecJobTerminal(state)) return state;
        stepCodecJob(job);
    }
    return getCodecJobState(job);
}

struct SDecodeRun {
    s32 readyState = E_CODECJOB_NEW;  // the first state at or past 2
    s32 finalState = E_CODECJOB_NEW;
    s32 infoResult = 0;
    SCommonCodecInfo info = {};
    std::vector<u8> bytes;  // decoded bytes, zero fill not counted
};

// Opens the job on the file and decodes it whole: a thread steps the job like the decode thread
// while this one pulls through slot 16. Bounded: after DECODE_STEP_LIMIT passes the stepper
// stops the job, which ends the pull.
inline SDecodeRun decodeAll(ClCodecStreamInstance* job, const std::u16string& path) {
    critSectionPoolInit();
    SDecodeRun run;
    initCodecJob(job, 0, path.c_str());
    std::atomic<bool> pullDone{false};
    std::thread stepper([&] {
        for (u32 step = 0; step < DECODE_STEP_LIMIT && !pullDone; ++step) {
            if (isCodecJobTerminal(getCodecJobState(job))) return;
            stepCodecJob(job);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!isCodecJobTerminal(getCodecJobState(job))) {
            job->m_stopFlag = 1;
            stepCodecJob(job);
            job->signalCodecJobProgress();
        }
    });
    s32 state = getCodecJobState(job);
    while (state < E_CODECJOB_READY) {
        waitForCodecJobProgress(job, 5);
        state = getCodecJobState(job);
    }
    run.readyState = state;
    if (!isCodecJobFailed(state)) {
        run.infoResult = job->getCommonCodecInfo(&run.info);
        SAnalysisStreamInfo reader = {};
        reader.job = job;
        fillAnalysisStreamInfo(&reader, run.info);
        std::vector<u8> chunk(65536);
        for (u32 call = 0; call < 4096 && run.infoResult; ++call) {
            u32 got = 0;
            job->gameSpecificProcessDecodedData(&reader, chunk.data(), u32(chunk.size()), &got);
            run.bytes.insert(run.bytes.end(), chunk.begin(), chunk.begin() + got);
            if (got < chunk.size()) break;
        }
    }
    pullDone = true;
    stepper.join();
    run.finalState = getCodecJobState(job);
    shutdownCodecJob(job);
    delete job;
    return run;
}

inline std::vector<f32> s16ToFloats(const std::vector<u8>& bytes) {
    std::vector<f32> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = f32(s16(u16(bytes[2 * i] | (bytes[2 * i + 1] << 8)))) / 32768.0f;
    }
    return samples;
}

inline std::vector<f32> f32Samples(const std::vector<u8>& bytes) {
    std::vector<f32> samples(bytes.size() / 4);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 4);
    return samples;
}

// Normalised correlation of one channel of the decode with the source, at the lag (decode
// behind source, within +-maxLag frames) that matches best over a window of the source.
inline f64 channelCorrelation(const std::vector<f32>& decoded, const std::vector<f32>& source, u32 channels,
                              u32 channel, s32 maxLag, s32* outLag) {
    const s64 sourceFrames = s64(source.size() / channels);
    const s64 decodedFrames = s64(decoded.size() / channels);
    auto at = [channels, channel](const std::vector<f32>& v, s64 frame) {
        return f64(v[size_t(frame) * channels + channel]);
    };
    auto correlate = [&](s32 lag, s64 first, s64 last) {
        f64 cross = 0.0, sourceEnergy = 0.0, decodedEnergy = 0.0;
        for (s64 frame = first; frame < last; ++frame) {
            const s64 other = frame + lag;
            if (other < 0 || other >= decodedFrames) continue;
            cross += at(source, frame) * at(decoded, other);
            sourceEnergy += at(source, frame) * at(source, frame);
            decodedEnergy += at(decoded, other) * at(decoded, other);
        }
        return sourceEnergy > 0.0 && decodedEnergy > 0.0 ? cross / std::sqrt(sourceEnergy * decodedEnergy) : 0.0;
    };
    const s64 windowStart = sourceFrames / 3;
    const s64 windowEnd = windowStart + 2048 < sourceFrames ? windowStart + 2048 : sourceFrames;
    s32 bestLag = 0;
    f64 best = -2.0;
    for (s32 lag = -maxLag; lag <= maxLag; ++lag) {
        const f64 value = correlate(lag, windowStart, windowEnd);
        if (value > best) {
            best = value;
            bestLag = lag;
        }
    }
    if (outLag) *outLag = bestLag;
    return correlate(bestLag, 0, sourceFrames);
}

}  // namespace mediatest
