#include "decoder_test_support.h"

#include "audio/decode/decode_thread.h"
#include "audio/decode/sample_pull.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/log_manager.h"
#include "platform/os/os.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace decoder_test {

namespace {

// The format GUID's tail shared by PCM and float subformats.
const u8 kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr u16 kWavTagExtensible = 0xFFFE;
constexpr u16 kWavTagFloat = 3;

// Bounds a pull whose job never ends or never falls short of a whole chunk.
constexpr size_t kPullByteLimit = size_t(256) << 20;

s32 familyStarts() { return 1; }

SMediaFixtures* g_mediaFixtures = nullptr;

// Removes the media files after the last test. A forked death test never runs it, so its exit
// leaves the files to the parent.
class ClMediaFixtureCleanup : public ::testing::Environment {
    void TearDown() override {
        delete g_mediaFixtures;
        g_mediaFixtures = nullptr;
    }
};
[[maybe_unused]] ::testing::Environment* const g_mediaCleanup =
    ::testing::AddGlobalTestEnvironment(new ClMediaFixtureCleanup);

}  // namespace

// ---------------------------------------------------------------------------------------------
// Signals

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

std::vector<f32> makeChirps(u32 frames, u32 channels, u32 rate) {
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

// ---------------------------------------------------------------------------------------------
// Sample conversions

std::vector<u8> packPcm(const std::vector<s32>& samples, u32 bits) {
    const u32 container = (bits + 7) / 8;
    std::vector<u8> pcm;
    pcm.reserve(samples.size() * container);
    for (s32 sample : samples) {
        u32 word = u32(sample) << (container * 8 - bits);
        if (container == 1) word += 128;
        putLe(&pcm, word, container);
    }
    return pcm;
}

std::vector<s32> quantise16(const std::vector<f32>& samples) {
    std::vector<s32> out;
    out.reserve(samples.size());
    for (f32 sample : samples) {
        const f32 scaled = std::round(sample * 32767.0f);
        out.push_back(s32(scaled < -32768.0f ? -32768.0f : (scaled > 32767.0f ? 32767.0f : scaled)));
    }
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
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = f32(s16(u16(bytes[2 * i] | (bytes[2 * i + 1] << 8)))) / 32768.0f;
    }
    return samples;
}

std::vector<f32> floatsOf(const std::vector<u8>& bytes) {
    std::vector<f32> out(bytes.size() / 4);
    if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * 4);
    return out;
}

// ---------------------------------------------------------------------------------------------
// File bytes

void putLe(std::vector<u8>* out, u32 value, u32 bytes) {
    for (u32 i = 0; i < bytes; ++i) out->push_back(u8(value >> (8 * i)));
}

void putBe(std::vector<u8>* out, u32 value, u32 bytes) {
    for (u32 i = bytes; i > 0; --i) out->push_back(u8(value >> (8 * (i - 1))));
}

void putId(std::vector<u8>* out, const char* id) {
    for (u32 i = 0; i < 4; ++i) out->push_back(u8(id[i]));
}

std::vector<u8> makeWav(const SWavFixture& fixture, const std::vector<u8>& data) {
    const u32 container = (fixture.bits + 7u) / 8u;
    std::vector<u8> fmt;
    putLe(&fmt, fixture.extensible ? kWavTagExtensible : fixture.tag, 2);
    putLe(&fmt, fixture.channels, 2);
    putLe(&fmt, fixture.rate, 4);
    putLe(&fmt, fixture.rate * fixture.channels * container, 4);
    putLe(&fmt, fixture.channels * container, 2);
    putLe(&fmt, fixture.extensible ? container * 8 : fixture.bits, 2);
    if (fixture.extensible) {
        putLe(&fmt, 22, 2);
        putLe(&fmt, fixture.bits, 2);
        putLe(&fmt, 0, 4);
        putLe(&fmt, fixture.tag, 2);
        fmt.insert(fmt.end(), kSubFormatTail, kSubFormatTail + sizeof(kSubFormatTail));
    }
    if (fixture.fmtSize) fmt.resize(fixture.fmtSize, 0);

    std::vector<u8> out;
    putId(&out, "RIFF");
    putLe(&out, 0, 4);
    putId(&out, "WAVE");
    auto putFmt = [&] {
        putId(&out, "fmt ");
        putLe(&out, u32(fmt.size()), 4);
        out.insert(out.end(), fmt.begin(), fmt.end());
    };
    auto putData = [&] {
        putId(&out, "data");
        putLe(&out, fixture.dataSizeOverride ? fixture.dataSizeOverride : u32(data.size()), 4);
        out.insert(out.end(), data.begin(), data.end());
        if (data.size() % 2) out.push_back(0);
    };
    if (!fixture.dataBeforeFmt) putFmt();
    if (fixture.oddListBeforeData) {
        const char info[] = "LIST-INFO-odd";  // 13 bytes
        putId(&out, "LIST");
        putLe(&out, 13, 4);
        out.insert(out.end(), info, info + 13);
        if (!fixture.omitPad) out.push_back(0);
    }
    putData();
    if (fixture.dataBeforeFmt) putFmt();
    const u32 riffSize = u32(out.size() - 8);
    for (u32 i = 0; i < 4; ++i) out[4 + i] = u8(riffSize >> (8 * i));
    return out;
}

bool writeWavFile(const std::string& path, u32 channels, u32 rate, u32 bits, const std::vector<s32>& samples) {
    SWavFixture fixture;
    fixture.channels = u16(channels);
    fixture.rate = rate;
    fixture.bits = u16(bits);
    fixture.extensible = (bits % 8) != 0;
    return writeFileBytes(path, makeWav(fixture, packPcm(samples, bits)));
}

bool writeFloatWavFile(const std::string& path, u32 channels, u32 rate, const std::vector<f32>& samples) {
    SWavFixture fixture;
    fixture.channels = u16(channels);
    fixture.rate = rate;
    fixture.bits = 32;
    fixture.tag = kWavTagFloat;
    fixture.extensible = true;
    std::vector<u8> data(samples.size() * 4);
    if (!samples.empty()) std::memcpy(data.data(), samples.data(), data.size());
    return writeFileBytes(path, makeWav(fixture, data));
}

std::vector<u8> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<u8>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool writeFileBytes(const std::string& path, const std::vector<u8>& bytes) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

std::vector<u8> firstBytes(const std::vector<u8>& bytes, size_t count) {
    return std::vector<u8>(bytes.begin(), bytes.begin() + std::ptrdiff_t(count < bytes.size() ? count : bytes.size()));
}

std::vector<u8> garbageBytes(size_t count) {
    std::vector<u8> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = u8(i * 7919u >> 3);
    return bytes;
}

std::vector<u8> plainTextBytes() {
    std::string text;
    for (int i = 0; i < 200; ++i) text += "These words are not audio.\n";
    return std::vector<u8>(text.begin(), text.end());
}

// ---------------------------------------------------------------------------------------------
// Tools and folders

bool runCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

bool runTool(const std::string& command) { return runCommand(command + " >/dev/null 2>&1"); }

std::string quoted(const std::string& path) { return "'" + path + "'"; }

bool runFfmpeg(const std::string& arguments) {
    return runCommand("ffmpeg -hide_banner -loglevel error -nostdin -y " + arguments);
}

bool hasFfmpegEncoder(const char* name) {
    return runCommand(std::string("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q ' ") + name + " '");
}

ClTempFolder::ClTempFolder() {
    // Not ASCII: every path the tests hand over must survive that.
    std::string pattern = (std::filesystem::temp_directory_path() / "velodrix-d\xc3\xa9" "codeur-XXXXXX").string();
    if (mkdtemp(pattern.data())) m_path = pattern;
}

ClTempFolder::~ClTempFolder() {
    std::error_code error;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, error);
}

std::string ClTempFolder::write(const std::string& name, const std::vector<u8>& bytes) const {
    const std::string path = file(name);
    writeFileBytes(path, bytes);
    return path;
}

std::u16string widePath(const std::string& utf8Path) {
    std::u16string wide;
    osUtf8ToWide(utf8Path.c_str(), &wide);
    return wide;
}

ClTempUserFolder::ClTempUserFolder() : m_previousUserDir(getUserDataDirW()) {
    setUserDataDirW(widePath(path() + "/").c_str());
}

ClTempUserFolder::~ClTempUserFolder() { setUserDataDirW(m_previousUserDir.c_str()); }

ClAudioLogCapture::ClAudioLogCapture(const ClTempFolder& folder) {
    critSectionPoolInit();
    std::error_code error;
    std::filesystem::create_directories(folder.file("GAMEDATA"), error);
    m_logPath = folder.file("GAMEDATA/audio.log");
    m_previousUserDir = getUserDataDirW();
    setUserDataDirW(widePath(folder.path() + "/").c_str());
    logManagerInit();
    openCodecAudioLog();
    setCodecLogging(1);
    m_active = true;
}

ClAudioLogCapture::~ClAudioLogCapture() { finish(); }

std::string ClAudioLogCapture::finish() {
    if (m_active) {
        setCodecLogging(0);
        // Every queued line reaches its file before the manager stops.
        logManagerShutdown();
        setUserDataDirW(m_previousUserDir.c_str());
        m_active = false;
    }
    const std::vector<u8> text = readFileBytes(m_logPath);
    return std::string(text.begin(), text.end());
}

// ---------------------------------------------------------------------------------------------
// Jobs stepped on this thread

ClCodecStreamInstance* openJob(CodecFactoryFn factory, const std::string& path) {
    critSectionPoolInit();
    ClCodecStreamInstance* job = factory();
    if (job) initCodecJob(job, 0, widePath(path).c_str());
    return job;
}

void destroyJob(ClCodecStreamInstance* job) {
    if (!job) return;
    shutdownCodecJob(job);
    delete job;
}

s32 stepJobUntil(ClCodecStreamInstance* job, s32 state, u32 stepLimit) {
    for (u32 i = 0; i < stepLimit && getCodecJobState(job) < state; ++i) stepCodecJob(job);
    return getCodecJobState(job);
}

SDecodeRun runJob(ClCodecStreamInstance* job, SCodecRing* ring, u32 stepLimit) {
    SDecodeRun run;
    u32 readIndex = 0;
    while (run.steps < stepLimit) {
        stepCodecJob(job);
        ++run.steps;
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
        if (isCodecJobTerminal(run.state)) break;
    }
    return run;
}

void askJobInfo(ClCodecStreamInstance* job, SDecodeRun* run) {
    if (run->state == E_CODECJOB_OPEN_FAILED || run->state == E_CODECJOB_START_FAILED) return;
    run->infoResult = job->getCommonCodecInfo(&run->info);
    run->soundResult = job->fillCreateSoundExInfo(&run->sound);
}

std::u16string jobTag(ClCodecStreamInstance* job, s32 kind, u32 units) {
    std::u16string text(units, u'#');
    SCodecMetaDataRequest request = {kind, text.data(), units * 2, nullptr, 0};
    if (job->getMetaData(&request)) return std::u16string(text.c_str());
    return text == std::u16string(units, u'#') ? u"(none)" : u"(none, but the buffer changed)";
}

void registerCodecFamily(CodecThreadInitFn init, CodecThreadExitFn exit, CodecFactoryFn factory,
                         std::initializer_list<std::pair<const char*, s32>> extensions) {
    SCodecRecord record;
    initCodecRecord(&record, init, exit, factory);
    for (const auto& [extension, format] : extensions) addCodecRecordExtension(&record, extension, format);
    registerCodec(record);
}

bool startSingleFamilyRegistry(CodecFactoryFn factory, const char* extension, s32 format) {
    critSectionPoolInit();
    initCodecRegistry();
    registerCodecFamily(familyStarts, nullptr, factory, {{extension, format}});
    setDecodeThreadInterval(1);
    if (startDecodeThread() != 1) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!isCodecRegistryReady() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return isCodecRegistryReady();
}

// ---------------------------------------------------------------------------------------------
// Jobs stepped on a thread of their own and pulled dry

SPulledRun pullJob(CodecFactoryFn factory, const std::string& path, const SPullOptions& options) {
    SPulledRun run;
    ClCodecStreamInstance* job = openJob(factory, path);
    if (!job) return run;
    std::atomic<bool> pullDone{false};
    std::thread stepper([&] {
        for (u32 step = 0; step < options.stepLimit && !pullDone && !isCodecJobTerminal(getCodecJobState(job));
             ++step) {
            stepCodecJob(job);
            std::this_thread::sleep_for(std::chrono::microseconds(options.stepPauseMicroseconds));
        }
        if (!isCodecJobTerminal(getCodecJobState(job))) {
            job->m_stopFlag.store(1);
            stepCodecJob(job);
        }
        job->signalCodecJobProgress();
    });
    s32 state = getCodecJobState(job);
    while (state < E_CODECJOB_READY) {
        waitForCodecJobProgress(job, 5);
        state = getCodecJobState(job);
    }
    run.readyState = state;
    if (state != E_CODECJOB_OPEN_FAILED && state != E_CODECJOB_START_FAILED) {
        run.infoResult = job->getCommonCodecInfo(&run.info);
        if (options.askSoundInfo) run.soundResult = job->fillCreateSoundExInfo(&run.sound);
        if (run.infoResult) {
            SAnalysisStreamInfo reader = {};
            reader.job = job;
            fillAnalysisStreamInfo(&reader, run.info);
            std::vector<u8> chunk(options.chunkBytes);
            while (run.bytes.size() < kPullByteLimit) {
                u32 got = 0;
                job->gameSpecificProcessDecodedData(&reader, chunk.data(), u32(chunk.size()), &got);
                run.bytes.insert(run.bytes.end(), chunk.begin(), chunk.begin() + got);
                if (got < chunk.size()) break;
            }
        }
    }
    pullDone = true;
    stepper.join();
    run.finalState = getCodecJobState(job);
    destroyJob(job);
    return run;
}

// ---------------------------------------------------------------------------------------------
// Comparison

f64 channelCorrelation(const std::vector<f32>& decoded, const std::vector<f32>& source, u32 channels, u32 channel,
                       s32 maxLag, s32* outLag) {
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

void expectCodecInfo(s32 infoResult, const SCommonCodecInfo& info, s32 soundResult,
                     const SCodecCreateSoundExInfo& sound, const SExpectedInfo& expected) {
    const u64 totalBytes = expected.frames * expected.channels * expected.bytesPerSample;
    ASSERT_EQ(infoResult, 1);
    EXPECT_EQ(info.totalBytes, totalBytes);
    EXPECT_EQ(info.channels, expected.channels);
    EXPECT_EQ(info.one, 1u);
    EXPECT_EQ(info.bytesPerSample, expected.bytesPerSample);
    EXPECT_EQ(info.sampleRate, f32(expected.rate));
    EXPECT_EQ(info.sampleFormat, expected.sampleFormat);
    EXPECT_NEAR(f64(info.durationMs), f64(expected.frames) * 1000.0 / expected.rate, 1.0);
    const bool streamed = expected.soundFormat != E_CODECSOUNDFORMAT_NONE;
    EXPECT_EQ(soundResult, s32(streamed));
    EXPECT_EQ(sound.format, expected.soundFormat);
    if (!streamed) return;
    EXPECT_EQ(sound.length, totalBytes);
    EXPECT_EQ(sound.numChannels, expected.channels);
    EXPECT_EQ(sound.defaultFrequency, expected.rate);
}

void expectLossyMatch(const char* what, const SPulledRun& run, const std::vector<f32>& source, u32 channels,
                      u32 rate, u32 bytesPerSample, u32 sampleFormat) {
    SCOPED_TRACE(what);
    ASSERT_EQ(run.finalState, E_CODECJOB_FINISHED);
    ASSERT_EQ(run.infoResult, 1);
    EXPECT_EQ(run.info.channels, channels);
    EXPECT_EQ(run.info.sampleRate, f32(rate));
    EXPECT_EQ(run.info.bytesPerSample, bytesPerSample);
    EXPECT_EQ(run.info.sampleFormat, sampleFormat);
    const f64 sourceFrames = f64(source.size() / channels);
    EXPECT_NEAR(f64(run.info.totalBytes / (bytesPerSample * channels)), sourceFrames, 0.15 * rate);

    const std::vector<f32> decoded = bytesPerSample == 2 ? pcm16Floats(run.bytes) : floatsOf(run.bytes);
    const f64 decodedFrames = f64(decoded.size() / channels);
    EXPECT_GE(decodedFrames, sourceFrames - 2048.0);
    EXPECT_LE(decodedFrames, sourceFrames + 2048.0);
    for (u32 channel = 0; channel < channels; ++channel) {
        EXPECT_GT(channelCorrelation(decoded, source, channels, channel, 2048), 0.95) << "channel " << channel;
    }
}

// ---------------------------------------------------------------------------------------------
// Media fixtures

const SMediaFixtures& mediaFixtures() {
    if (g_mediaFixtures) return *g_mediaFixtures;
    SMediaFixtures* m = g_mediaFixtures = new SMediaFixtures;
    m->mono = makeChirps(MEDIA_MONO_FRAMES, 1, 48000);
    writeWavFile(m->file("mono48.wav"), 1, 48000, 16, quantise16(m->mono));
    const std::string mono = " -i " + quoted(m->file("mono48.wav"));
    runFfmpeg(mono + " -c:a aac -b:a 96k -f adts " + quoted(m->file("mono48 ñandú 曲.aac")));
    runFfmpeg("-f lavfi -i testsrc=size=64x48:rate=10:duration=2 -c:v mpeg4 " + quoted(m->file("silent.mp4")));
    m->hasLame = hasFfmpegEncoder("libmp3lame");
    if (m->hasLame) {
        runFfmpeg(mono + " -c:a libmp3lame -b:a 128k " + quoted(m->file("mono48 ñandú 曲.mp3")));
    }
    return *m;
}

}  // namespace decoder_test
