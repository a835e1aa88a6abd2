#include "decoder_test_support.h"

#include "audio/decode/decode_thread.h"
#include "audio/decode/sample_pull.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/log_manager.h"
#include "platform/os/os.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <tuple>

namespace decoder_test {

using test_support::putId;
using test_support::putLe;

namespace {

// Bounds a pull whose job never ends or never falls short of a whole chunk.
constexpr size_t kPullByteLimit = size_t(256) << 20;

s32 familyStarts() { return 1; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Signals and sample conversions

std::vector<s32> makeSignal(u32 frames, u32 channels, u32 rate, u32 bits) {
    const s64 maxValue = (s64(1) << (bits - 1)) - 1;
    const s64 minValue = -(s64(1) << (bits - 1));
    std::vector<s32> samples;
    samples.reserve(size_t(frames) * channels);
    u32 noise = 0x12345678u;
    for (u32 frame = 0; frame < frames; ++frame) {
        for (u32 channel = 0; channel < channels; ++channel) {
            if (channel % 2 == 0) {
                const f64 phase = 2.0 * M_PI * (440.0 + 110.0 * channel) * frame / rate;
                samples.push_back(s32(std::lround(0.7 * f64(maxValue) * std::sin(phase))));
            } else if (frame % 1009 == 0) {
                samples.push_back(s32((frame / 1009) % 2 ? maxValue : minValue));
            } else {
                noise = noise * 1664525u + 1013904223u;
                samples.push_back(s32(s64(noise >> 8) % (maxValue + 1) - maxValue / 2));
            }
        }
    }
    return samples;
}

std::vector<u8> packPcm(const std::vector<s32>& samples, u32 bits) {
    const u32 container = (bits + 7) / 8;
    std::vector<u8> pcm;
    pcm.reserve(samples.size() * container);
    for (s32 sample : samples) putLe(pcm, (u32(sample) << (container * 8 - bits)) + (container == 1 ? 128 : 0), container);
    return pcm;
}

std::vector<s32> quantise16(const std::vector<f32>& samples) {
    std::vector<s32> out;
    out.reserve(samples.size());
    for (f32 sample : samples) out.push_back(s32(std::clamp(std::round(sample * 32767.0f), -32768.0f, 32767.0f)));
    return out;
}

std::vector<f32> scaledFloats(const std::vector<s32>& samples, u32 bits) {
    const u32 container = (bits + 7) / 8;
    const f32 scale = f32(1.0 / f64(1ull << (container * 8 - 1)));
    std::vector<f32> out;
    out.reserve(samples.size());
    for (s32 sample : samples) out.push_back(f32(s32(u32(sample) << (container * 8 - bits))) * scale);
    return out;
}

std::vector<f32> pcm16Floats(const std::vector<u8>& bytes) {
    std::vector<f32> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = f32(s16(u16(bytes[2 * i] | (bytes[2 * i + 1] << 8)))) / 32768.0f;
    return samples;
}

std::vector<u8> bytesOf(const std::vector<f32>& samples) {
    std::vector<u8> out(samples.size() * 4);
    if (!out.empty()) std::memcpy(out.data(), samples.data(), out.size());
    return out;
}

// ---------------------------------------------------------------------------------------------
// File bytes

void writeWavFile(const std::string& path, u32 channels, u32 rate, u32 bits, const std::vector<s32>& samples) {
    const SWavFixture fixture = {.channels = u16(channels), .rate = rate, .bits = u16(bits), .extensible = bits % 8 != 0};
    writeFileBytes(path, wavImage(fixture, packPcm(samples, bits)));
}

std::vector<u8> firstBytes(const std::vector<u8>& bytes, size_t count) {
    return std::vector<u8>(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(count, bytes.size())));
}

bool isPrefix(const std::vector<u8>& part, const std::vector<u8>& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// ---------------------------------------------------------------------------------------------
// Tools and folders

bool runTool(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string quoted(const std::string& path) { return "'" + path + "'"; }

std::string encodeWithTool(const ClTempFolder& folder, const std::string& name, const SDepth& depth,
                           const std::vector<s32>& samples, const std::string& tool) {
    const std::string wav = folder.file(name + ".wav");
    writeWavFile(wav, depth.channels, depth.rate, depth.bits, samples);
    EXPECT_TRUE(runTool(tool + " " + quoted(wav) + " -o " + quoted(folder.file(name))));
    return folder.file(name);
}

ClTempUserFolder::ClTempUserFolder() : m_previousUserDir(getUserDataDirW()) {
    setUserDataDirW(widePath(str() + "/").c_str());
}

ClTempUserFolder::~ClTempUserFolder() { setUserDataDirW(m_previousUserDir.c_str()); }

ClAudioLogCapture::ClAudioLogCapture(const std::string& folder)
    : m_logPath(folder + "/GAMEDATA/audio.log"), m_previousUserDir(getUserDataDirW()), m_active(true) {
    critSectionPoolInit();
    std::filesystem::create_directories(folder + "/GAMEDATA");
    setUserDataDirW(widePath(folder + "/").c_str());
    logManagerInit();
    openCodecAudioLog();
    setCodecLogging(1);
}

std::string ClAudioLogCapture::finish() {
    if (m_active) {
        setCodecLogging(0);
        // Every queued line reaches its file before the manager stops.
        logManagerShutdown();
        setUserDataDirW(m_previousUserDir.c_str());
        m_active = false;
    }
    return test_support::readFileText(m_logPath);
}

// ---------------------------------------------------------------------------------------------
// Jobs

ClCodecStreamInstance* openJob(CodecFactoryFn factory, const std::string& path) {
    critSectionPoolInit();
    ClCodecStreamInstance* job = factory();
    initCodecJob(job, widePath(path).c_str());
    return job;
}

void destroyJob(ClCodecStreamInstance* job) {
    shutdownCodecJob(job);
    delete job;
}

s32 stepJobUntil(ClCodecStreamInstance* job, s32 state) {
    for (u32 i = 0; i < DECODE_STEP_LIMIT && getCodecJobState(job) < state; ++i) stepCodecJob(job);
    return getCodecJobState(job);
}

SDecodeRun runJob(ClCodecStreamInstance* job, SCodecRing* ring) {
    SDecodeRun run;
    u32 readIndex = 0;
    for (u32 step = 0; step < DECODE_STEP_LIMIT && !isCodecJobTerminal(run.state); ++step) {
        stepCodecJob(job);
        job->lockCodecBuffers("runJob");
        while (ring->bufferCount != 0 && ring->states[readIndex] == E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE) {
            const u8* buffer = ring->buffers[readIndex];
            run.bytes.insert(run.bytes.end(), buffer, buffer + ring->byteCounts[readIndex]);
            run.bufferSizes.push_back(ring->byteCounts[readIndex]);
            ring->states[readIndex] = E_CODECBS_FREE;
            readIndex = (readIndex + 1) % ring->bufferCount;
        }
        job->unlockCodecBuffers();
        run.state = getCodecJobState(job);
    }
    return run;
}

SDecodeRun pullJob(CodecFactoryFn factory, const std::string& path, const SPullOptions& options) {
    SDecodeRun run;
    ClCodecStreamInstance* job = openJob(factory, path);
    std::atomic<bool> pullDone{false};
    std::thread stepper([&] {
        for (u32 step = 0; step < options.stepLimit && !pullDone && !isCodecJobTerminal(getCodecJobState(job)); ++step) {
            stepCodecJob(job);
            std::this_thread::sleep_for(std::chrono::microseconds(options.stepPauseMicroseconds));
        }
        if (!isCodecJobTerminal(getCodecJobState(job))) {
            job->m_stopFlag.store(1);
            stepCodecJob(job);
        }
        job->signalCodecJobProgress();
    });
    s32 ready;
    while ((ready = getCodecJobState(job)) < E_CODECJOB_READY) waitForCodecJobProgress(job, 5);
    if (ready != E_CODECJOB_OPEN_FAILED && ready != E_CODECJOB_START_FAILED) {
        run.infoResult = job->getCommonCodecInfo(&run.info);
        if (options.askSoundInfo) run.soundResult = job->fillCreateSoundExInfo(&run.sound);
        if (run.infoResult) {
            SAnalysisStreamInfo reader = {};
            reader.job = job;
            fillAnalysisStreamInfo(&reader, run.info);
            std::vector<u8> chunk(options.chunkBytes);
            u32 got = u32(chunk.size());
            while (got == chunk.size() && run.bytes.size() < kPullByteLimit) {
                job->gameSpecificProcessDecodedData(&reader, chunk.data(), u32(chunk.size()), &got);
                run.bytes.insert(run.bytes.end(), chunk.begin(), chunk.begin() + got);
            }
        }
    }
    pullDone = true;
    stepper.join();
    run.state = getCodecJobState(job);
    destroyJob(job);
    return run;
}

void registerCodecFamily(CodecThreadInitFn init, CodecThreadExitFn exit, CodecFactoryFn factory,
                         std::initializer_list<std::pair<const char*, s32>> extensions) {
    SCodecRecord record;
    initCodecRecord(&record, init, exit, factory);
    for (const auto& [extension, format] : extensions) addCodecRecordExtension(&record, extension, format);
    registerCodec(record);
}

bool startDecodeThreadAndWait() {
    setDecodeThreadInterval(1);
    if (startDecodeThread() != 1) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!isCodecRegistryReady() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return isCodecRegistryReady();
}

bool startSingleFamilyRegistry(CodecFactoryFn factory) {
    critSectionPoolInit();
    initCodecRegistry();
    registerCodecFamily(familyStarts, nullptr, factory, {{".wav", E_CODECFORMAT_WAV}});
    return startDecodeThreadAndWait();
}

// ---------------------------------------------------------------------------------------------
// Comparison

void expectCodecInfo(const SDecodeRun& run, const SExpectedInfo& expected) {
    const u64 totalBytes = expected.frames * expected.channels * expected.bytesPerSample;
    ASSERT_EQ(run.infoResult, 1);
    const SCommonCodecInfo& info = run.info;
    EXPECT_EQ(info.totalBytes, totalBytes);
    EXPECT_EQ(info.channels, expected.channels);
    EXPECT_EQ(info.one, 1u);
    EXPECT_EQ(info.bytesPerSample, expected.bytesPerSample);
    EXPECT_EQ(info.sampleRate, f32(expected.rate));
    EXPECT_EQ(info.sampleFormat, expected.sampleFormat);
    EXPECT_NEAR(f64(info.durationMs), f64(expected.frames) * 1000.0 / expected.rate, 1.0);
    const bool streamed = expected.soundFormat != E_CODECSOUNDFORMAT_NONE;
    EXPECT_EQ(run.soundResult, s32(streamed));
    EXPECT_EQ(run.sound.format, expected.soundFormat);
    if (!streamed) return;
    EXPECT_EQ(run.sound.length, totalBytes);
    EXPECT_EQ(run.sound.numChannels, expected.channels);
    EXPECT_EQ(run.sound.defaultFrequency, expected.rate);
}

void expectExactDepths(const EncodeFn& encode, const DecodeFn& decode, bool floats, u32 tenths,
                       std::initializer_list<SDepth> depths) {
    // What a stream can play of each container width; floats are played as they are.
    const ECodecSoundFormat byContainer[] = {E_CODECSOUNDFORMAT_NONE, E_CODECSOUNDFORMAT_PCM8, E_CODECSOUNDFORMAT_PCM16,
                                             E_CODECSOUNDFORMAT_PCM24, E_CODECSOUNDFORMAT_NONE};
    const ClTempFolder folder;
    for (const SDepth& d : depths) {
        SCOPED_TRACE(testing::Message() << d.channels << " ch " << d.rate << " Hz " << d.bits << " bits");
        const u32 frames = d.rate * tenths / 10;
        const u32 container = (d.bits + 7) / 8;
        const std::vector<s32> samples = makeSignal(frames, d.channels, d.rate, d.bits);
        const SDecodeRun run = decode(encode(folder, d, samples));
        EXPECT_EQ(run.state, E_CODECJOB_FINISHED);
        if (floats) {
            expectCodecInfo(run, {d.channels, d.rate, 4, E_CODECSAMPLEFORMAT_FLOAT, frames, E_CODECSOUNDFORMAT_PCMFLOAT});
        } else {
            expectCodecInfo(run, {d.channels, d.rate, container, E_CODECSAMPLEFORMAT_INTEGER, frames, byContainer[container]});
        }
        EXPECT_TRUE(run.bytes == (floats ? bytesOf(scaledFloats(samples, d.bits)) : packPcm(samples, d.bits)));
    }
}

void expectDamagedLosslessEnds(const DecodeFn& decode, const std::string& folderPath, const std::vector<u8>& file,
                               const std::vector<u8>& expected) {
    const auto decodeBytes = [&](const char* name, const std::vector<u8>& bytes) {
        writeFileBytes(folderPath + "/" + name, bytes);
        return decode(folderPath + "/" + name);
    };
    EXPECT_EQ(decodeBytes("garbage", test_support::patternBytes(4096)).state, E_CODECJOB_OPEN_FAILED);

    const SDecodeRun cut = decodeBytes("cut", firstBytes(file, file.size() * 3 / 5));
    EXPECT_EQ(cut.state, E_CODECJOB_DECODE_FAILED);
    EXPECT_GT(cut.bytes.size(), 0u);
    EXPECT_LT(cut.bytes.size(), expected.size());
    EXPECT_TRUE(isPrefix(cut.bytes, expected));

    // The library skips or silences the damaged frames; the job ends either way.
    std::vector<u8> corrupt = file;
    for (size_t i = file.size() / 2; i < file.size() / 2 + 2000; ++i) corrupt[i] = u8(0xFF - (i & 0x0F));
    const SDecodeRun run = decodeBytes("corrupt", corrupt);
    EXPECT_TRUE(run.state == E_CODECJOB_FINISHED || run.state == E_CODECJOB_DECODE_FAILED) << run.state;
    EXPECT_LE(run.bytes.size(), expected.size());
}

f64 channelCorrelation(const std::vector<f32>& decoded, const std::vector<f32>& source, u32 channels, u32 channel,
                       s32 maxLag) {
    const s64 sourceFrames = s64(source.size() / channels);
    const s64 decodedFrames = s64(decoded.size() / channels);
    auto at = [channels, channel](const std::vector<f32>& v, s64 frame) { return f64(v[size_t(frame) * channels + channel]); };
    auto correlate = [&](s32 lag, s64 first, s64 last) {
        f64 cross = 0.0, sourceEnergy = 0.0, decodedEnergy = 0.0;
        for (s64 frame = std::max(first, s64(-lag)); frame < last && frame + lag < decodedFrames; ++frame) {
            cross += at(source, frame) * at(decoded, frame + lag);
            sourceEnergy += at(source, frame) * at(source, frame);
            decodedEnergy += at(decoded, frame + lag) * at(decoded, frame + lag);
        }
        return sourceEnergy > 0.0 && decodedEnergy > 0.0 ? cross / std::sqrt(sourceEnergy * decodedEnergy) : 0.0;
    };
    const s64 windowStart = sourceFrames / 3;
    const s64 windowEnd = std::min(windowStart + 2048, sourceFrames);
    s32 bestLag = 0;
    f64 best = -2.0;
    for (s32 lag = -maxLag; lag <= maxLag; ++lag) {
        const f64 value = correlate(lag, windowStart, windowEnd);
        if (value > best) std::tie(best, bestLag) = std::pair(value, lag);
    }
    return correlate(bestLag, 0, sourceFrames);
}

}  // namespace decoder_test
