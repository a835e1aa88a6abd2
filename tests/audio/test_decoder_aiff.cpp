#include "audio/decoder_aiff.h"

#include "audio/aiff_reader.h"
#include "audio/codec_registry.h"
#include "audio/sample_pull.h"
#include "core/crit_section_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Fixtures: known signals written by our own small AIFF writer

void putBe16(std::vector<u8>* out, u32 value) {
    out->push_back(u8(value >> 8));
    out->push_back(u8(value));
}

void putBe32(std::vector<u8>* out, u32 value) {
    putBe16(out, value >> 16);
    putBe16(out, value & 0xFFFF);
}

void putId(std::vector<u8>* out, const char* id) {
    for (u32 i = 0; i < 4; ++i) out->push_back(u8(id[i]));
}

// Channel 0 a sine, channel 1 noise with full-scale clicks (both extremes) every 997 frames.
s32 signalValue(u32 channel, u32 frame, u32 bits, u32 rate) {
    const s64 maxValue = (s64(1) << (bits - 1)) - 1;
    const s64 minValue = -(s64(1) << (bits - 1));
    if (channel == 0) return s32(std::lround(0.8 * f64(maxValue) * std::sin(2.0 * M_PI * 440.0 * frame / rate)));
    if (frame % 997 == 0) return s32((frame / 997) % 2 ? maxValue : minValue);
    u32 state = frame * 2654435761u + 12345u;
    state ^= state >> 13;
    state *= 0x5bd1e995u;
    state ^= state >> 15;
    return s32(s64(state % u32(maxValue)) - maxValue / 2);
}

struct SAiffSpec {
    s16 channels = 2;
    f64 rate = 44100.0;
    s16 bits = 16;
    const char* formType = "AIFF";
    u32 commFramesOverride = 0;  // 0: the real count
    bool extraChunks = false;     // odd-sized marker and application chunks before COMM
    bool ssndFirst = false;
    u32 ssndOffset = 0;
};

std::vector<u8> makeAiff(const SAiffSpec& spec, u32 frames, std::vector<s32>* outValues = nullptr) {
    const u32 container = (u32(spec.bits) + 7) / 8;
    std::vector<u8> sound(spec.ssndOffset, 0xEE);
    for (u32 frame = 0; frame < frames; ++frame) {
        for (s32 channel = 0; channel < spec.channels; ++channel) {
            const s32 value = signalValue(u32(channel % 2), frame, u32(spec.bits), u32(spec.rate));
            if (outValues) outValues->push_back(value);
            const u64 word = u64(u32(value)) << (container * 8 - u32(spec.bits));
            for (u32 b = 0; b < container; ++b) sound.push_back(u8(word >> (8 * (container - 1 - b))));
        }
    }

    std::vector<u8> out;
    putId(&out, "FORM");
    putBe32(&out, 0);
    putId(&out, spec.formType);
    if (spec.extraChunks) {
        putId(&out, "MARK");  // one marker named "cue": a count, then 2 + 4 + 4 bytes
        putBe32(&out, 12);
        putBe16(&out, 1);
        putBe16(&out, 7);
        putBe32(&out, 1234);
        out.push_back(3);
        out.insert(out.end(), {'c', 'u', 'e'});
        putId(&out, "APPL");  // odd size, then a pad byte
        putBe32(&out, 5);
        putId(&out, "pdos");
        out.push_back('x');
        out.push_back(0);
    }
    auto putComm = [&] {
        putId(&out, "COMM");
        putBe32(&out, 18);
        putBe16(&out, u32(u16(spec.channels)));
        putBe32(&out, spec.commFramesOverride ? spec.commFramesOverride : frames);
        putBe16(&out, u32(u16(spec.bits)));
        u8 rate[AIFF_EXTENDED_BYTES];
        aiffDoubleToExtended(spec.rate, rate);
        out.insert(out.end(), rate, rate + AIFF_EXTENDED_BYTES);
    };
    auto putSound = [&] {
        putId(&out, "SSND");
        putBe32(&out, u32(8 + sound.size()));
        putBe32(&out, spec.ssndOffset);
        putBe32(&out, 0);
        out.insert(out.end(), sound.begin(), sound.end());
        if (sound.size() % 2) out.push_back(0);
    };
    if (spec.ssndFirst) {
        putSound();
        putComm();
    } else {
        putComm();
        putSound();
    }
    const u32 formSize = u32(out.size() - 8);
    out[4] = u8(formSize >> 24);
    out[5] = u8(formSize >> 16);
    out[6] = u8(formSize >> 8);
    out[7] = u8(formSize);
    return out;
}

f32 expectedSample(s32 value, u32 bits) {
    switch (bits) {
        case 8: return f32(value) / 128.0f;
        case 16: return f32(value) / 32768.0f;
        case 24: return f32(value * 256) / 2147483648.0f;
        case 32: return f32(value) / 2147483648.0f;
        default: return 0.0f;
    }
}

// ---------------------------------------------------------------------------------------------
// Byte-level pieces

TEST(AiffFormat, ExtendedRateDecodesTheStandardRates) {
    struct SRate {
        f64 rate;
        u8 bytes[AIFF_EXTENDED_BYTES];
    };
    const SRate rates[] = {
        {8000.0, {0x40, 0x0B, 0xFA, 0x00, 0, 0, 0, 0, 0, 0}},
        {22050.0, {0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
        {44100.0, {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
        {48000.0, {0x40, 0x0E, 0xBB, 0x80, 0, 0, 0, 0, 0, 0}},
        {96000.0, {0x40, 0x0F, 0xBB, 0x80, 0, 0, 0, 0, 0, 0}},
    };
    for (const SRate& r : rates) {
        EXPECT_EQ(aiffExtendedToDouble(r.bytes), r.rate);
        u8 written[AIFF_EXTENDED_BYTES];
        aiffDoubleToExtended(r.rate, written);
        EXPECT_EQ(std::memcmp(written, r.bytes, AIFF_EXTENDED_BYTES), 0) << r.rate;
    }
    const u8 fraction[AIFF_EXTENDED_BYTES] = {0x40, 0x0D, 0xAC, 0x45, 0, 0, 0, 0, 0, 0};  // 22050.5
    EXPECT_EQ(aiffExtendedToDouble(fraction), 22050.5);
    const u8 zero[AIFF_EXTENDED_BYTES] = {};
    EXPECT_EQ(aiffExtendedToDouble(zero), 0.0);
    const u8 infinity[AIFF_EXTENDED_BYTES] = {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::isinf(aiffExtendedToDouble(infinity)));
    const u8 nan[AIFF_EXTENDED_BYTES] = {0x7F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::isnan(aiffExtendedToDouble(nan)));
}

// ---------------------------------------------------------------------------------------------
// Files on disk: the reader and the decoder

constexpr u32 STEP_LIMIT = 20000;

struct SDecoded {
    s32 finalState = E_CODECJOB_NEW;
    s32 infoResult = 0;
    SCommonCodecInfo info = {};
    SCodecCreateSoundExInfo sound = {};
    std::vector<f32> samples;
};

// Steps the job on a thread of its own until it is terminal (a job still running after the step
// limit is stopped, so a hang shows as a short decode, never as a stuck test) while this thread
// pulls it dry.
SDecoded decodeJob(ClCodecStreamInstance* job, const std::u16string& path) {
    SDecoded decoded;
    initCodecJob(job, 0, path.c_str());
    std::atomic<bool> done{false};
    std::thread stepper([&] {
        for (u32 i = 0; i < STEP_LIMIT && !done && !isCodecJobTerminal(getCodecJobState(job)); ++i) {
            stepCodecJob(job);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        job->m_stopFlag.store(1);
        stepCodecJob(job);
        job->signalCodecJobProgress();
    });
    s32 state = getCodecJobState(job);
    while (state < E_CODECJOB_READY) {
        waitForCodecJobProgress(job, 10);
        state = getCodecJobState(job);
    }
    if (!isCodecJobFailed(state) || state == E_CODECJOB_DECODE_FAILED) {
        decoded.infoResult = job->getCommonCodecInfo(&decoded.info);
        job->fillCreateSoundExInfo(&decoded.sound);
        if (decoded.infoResult) {
            SAnalysisStreamInfo reader = {};
            reader.job = job;
            fillAnalysisStreamInfo(&reader, decoded.info);
            std::vector<f32> chunk(1021);
            for (u32 pulls = 0; pulls < 100000; ++pulls) {
                u32 got = 0;
                job->gameSpecificProcessDecodedData(&reader, chunk.data(), u32(chunk.size() * sizeof(f32)), &got);
                decoded.samples.insert(decoded.samples.end(), chunk.begin(), chunk.begin() + got / sizeof(f32));
                if (got < chunk.size() * sizeof(f32)) break;
            }
        }
    }
    done = true;
    stepper.join();
    decoded.finalState = getCodecJobState(job);
    shutdownCodecJob(job);
    delete job;
    return decoded;
}

class AiffDecoder : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        char pattern[] = "/tmp/velodrix_aiff_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string write(const std::string& name, const std::vector<u8>& bytes) {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }

    SDecoded decode(const std::string& path) {
        std::u16string wide;
        osUtf8ToWide(path.c_str(), &wide);
        return decodeJob(createCodecStreamInstanceAIFF(), wide);
    }

    std::string m_dir;
};

TEST_F(AiffDecoder, DecodesEveryDepthRateAndLayoutSampleExactly) {
    struct SCase {
        s16 channels;
        f64 rate;
        s16 bits;
    };
    const SCase cases[] = {{1, 8000, 8},   {2, 22050, 8},  {1, 44100, 16}, {2, 48000, 16},
                           {2, 96000, 24}, {1, 22050, 24}, {2, 44100, 32}, {1, 8000, 32}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.rate << " Hz " << c.bits << " bits");
        SAiffSpec spec;
        spec.channels = c.channels;
        spec.rate = c.rate;
        spec.bits = c.bits;
        spec.extraChunks = c.bits == 24;
        spec.ssndFirst = c.channels == 1;
        spec.ssndOffset = c.bits == 8 ? 3 : 0;
        // 1.3 s: more than the ring's two half-second buffers, and a short last one.
        const u32 frames = u32(c.rate) * 13 / 10;
        std::vector<s32> values;
        // A name that is not ASCII must open as well.
        const SDecoded decoded = decode(write("M\xc3\xb6tley \xe6\x97\xa5.aif", makeAiff(spec, frames, &values)));
        EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
        ASSERT_EQ(decoded.infoResult, 1);
        EXPECT_EQ(decoded.info.totalBytes, values.size() * sizeof(f32));
        EXPECT_EQ(decoded.info.channels, u32(c.channels));
        EXPECT_EQ(decoded.info.bytesPerSample, 4u);
        EXPECT_EQ(decoded.info.sampleRate, f32(c.rate));
        EXPECT_EQ(decoded.info.sampleFormat, E_CODECSAMPLEFORMAT_FLOAT);
        EXPECT_NEAR(f64(decoded.info.durationMs), 1300.0, 1.0);
        EXPECT_EQ(decoded.sound.format, E_CODECSOUNDFORMAT_PCMFLOAT);
        EXPECT_EQ(decoded.sound.length, values.size() * sizeof(f32));
        ASSERT_EQ(decoded.samples.size(), values.size());
        u32 mismatches = 0;
        for (size_t i = 0; i < values.size(); ++i) mismatches += decoded.samples[i] != expectedSample(values[i], c.bits);
        EXPECT_EQ(mismatches, 0u);
    }
}

TEST_F(AiffDecoder, ReaderAnswersAndRecordsTheOtherChunks) {
    SAiffSpec spec;
    spec.rate = 22050;
    spec.extraChunks = true;
    const std::string path = write("info.aif", makeAiff(spec, 5000));
    EXPECT_EQ(aiffReaderChannels(path.c_str()), 2);
    EXPECT_EQ(aiffReaderBitsPerSample(path.c_str()), 16);
    EXPECT_EQ(aiffReaderSampleRate(path.c_str()), 22050);
    EXPECT_EQ(aiffReaderSampleFrames(path.c_str()), 5000);

    FILE* file = fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    SAiffInfo info;
    EXPECT_EQ(parseAiffFile(file, &info), 0);
    fclose(file);
    EXPECT_EQ(info.markerChunkPosition, 12u);
    ASSERT_EQ(info.markerCount, 1u);
    EXPECT_EQ(info.markers[0].id, 7);
    EXPECT_EQ(info.markers[0].position, 1234u);
    EXPECT_EQ(info.applicationChunkPosition, 12u + 8 + 12);
    EXPECT_EQ(info.applicationSignature, 0x70646F73u);  // "pdos"

    // A channel index beyond the last reads channel 0; a start beyond the end reads nothing.
    std::vector<f32> plane(100, 9.0f);
    EXPECT_EQ(aiffReadChannel(path.c_str(), plane.data(), 4950, 100, 5), 50);
    EXPECT_EQ(plane[0], expectedSample(signalValue(0, 4950, 16, 22050), 16));
    EXPECT_EQ(plane[99], 0.0f);
    EXPECT_EQ(aiffReadChannel(path.c_str(), plane.data(), 5000, 100, 0), 0);
}

TEST_F(AiffDecoder, TwelveBitFileDecodesToSilenceOfItsLength) {
    SAiffSpec spec;
    spec.bits = 12;
    spec.rate = 8000;
    std::vector<s32> values;
    const SDecoded decoded = decode(write("twelve.aiff", makeAiff(spec, 9000, &values)));
    EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
    ASSERT_EQ(decoded.samples.size(), values.size());
    for (f32 sample : decoded.samples) ASSERT_EQ(sample, 0.0f);
}

TEST_F(AiffDecoder, CommFrameCountBeyondTheDataYieldsWhatTheFileHolds) {
    SAiffSpec spec;
    spec.rate = 22050;
    spec.commFramesOverride = 1000000;
    std::vector<s32> values;
    std::vector<u8> bytes = makeAiff(spec, 30000, &values);
    // And a file cut off inside its sound data: only whole frames count.
    bytes.resize(bytes.size() - 4002);
    values.resize(values.size() - 2002);
    const SDecoded decoded = decode(write("short.aiff", bytes));
    EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
    EXPECT_EQ(decoded.info.totalBytes, values.size() * sizeof(f32));
    ASSERT_EQ(decoded.samples.size(), values.size());
    EXPECT_EQ(decoded.samples.back(), expectedSample(values.back(), 16));
}

TEST_F(AiffDecoder, RefusedFilesGiveTheReaderCodesAndFailToOpen) {
    struct SRefused {
        const char* name;
        std::vector<u8> bytes;
        s32 code;
    };
    SAiffSpec aifc;
    aifc.formType = "AIFC";
    SAiffSpec threeChannels;
    threeChannels.channels = 3;
    SAiffSpec wideBits;
    wideBits.bits = 40;
    SAiffSpec noFrames;
    noFrames.bits = 8;
    SAiffSpec noRate;
    noRate.rate = 0.0;
    const std::vector<u8> good = makeAiff({}, 1000);
    std::vector<u8> noSound = good;
    noSound.resize(12 + 8 + 18);
    std::vector<u8> wav(64, 0);
    std::memcpy(wav.data(), "RIFF\x38\0\0\0WAVE", 12);

    const SRefused refused[] = {
        {"compressed", makeAiff(aifc, 1000), E_AIFFREAD_BAD_FILE},
        {"3 channels", makeAiff(threeChannels, 1000), E_AIFFREAD_TOO_MANY_CHANNELS},
        {"40 bits", makeAiff(wideBits, 100), E_AIFFREAD_TOO_MANY_BITS},
        {"no frames", makeAiff(noFrames, 0), E_AIFFREAD_NO_FRAMES},
        {"0 Hz", makeAiff(noRate, 1000), E_AIFFREAD_BAD_FILE},
        {"no SSND", noSound, E_AIFFREAD_BAD_FILE},
        {"header only", std::vector<u8>(good.begin(), good.begin() + 12), E_AIFFREAD_BAD_FILE},
        {"truncated COMM", std::vector<u8>(good.begin(), good.begin() + 30), E_AIFFREAD_BAD_FILE},
        {"empty", {}, E_AIFFREAD_BAD_FILE},
        {"wrong extension", wav, E_AIFFREAD_BAD_FILE},
    };
    for (const SRefused& r : refused) {
        SCOPED_TRACE(r.name);
        const std::string path = write("refused.aiff", r.bytes);
        EXPECT_EQ(aiffReaderSampleFrames(path.c_str()), r.code);
        const SDecoded decoded = decode(path);
        EXPECT_EQ(decoded.finalState, E_CODECJOB_OPEN_FAILED);
        EXPECT_TRUE(decoded.samples.empty());
    }
    EXPECT_EQ(aiffReaderChannels((m_dir + "/missing.aiff").c_str()), E_AIFFREAD_CANNOT_OPEN);
    EXPECT_EQ(aiffReaderChannels(m_dir.c_str()), E_AIFFREAD_CANNOT_OPEN);
    EXPECT_EQ(decode(m_dir + "/missing.aiff").finalState, E_CODECJOB_OPEN_FAILED);
}

TEST_F(AiffDecoder, HugeChunkSizesAndEndlessEmptyChunksEndCleanly) {
    std::vector<u8> bytes = makeAiff({}, 2000);
    // An unknown chunk claiming nearly 4 GiB hides everything after it.
    std::vector<u8> huge(bytes.begin(), bytes.begin() + 12);
    putId(&huge, "junk");
    putBe32(&huge, 0xFFFFFFF0u);
    huge.insert(huge.end(), bytes.begin() + 12, bytes.end());
    EXPECT_EQ(aiffReaderSampleFrames(write("huge.aiff", huge).c_str()), E_AIFFREAD_BAD_FILE);

    std::vector<u8> empties(bytes.begin(), bytes.begin() + 12);
    for (u32 i = 0; i < AIFF_CHUNK_WALK_LIMIT + 10; ++i) {
        putId(&empties, "junk");
        putBe32(&empties, 0);
    }
    empties.insert(empties.end(), bytes.begin() + 12, bytes.end());
    EXPECT_EQ(aiffReaderSampleFrames(write("empties.aiff", empties).c_str()), E_AIFFREAD_BAD_FILE);
}

TEST_F(AiffDecoder, DecodedSizeOrFileOfFourGibibytesIsRefused) {
    // 2^29 stereo 8-bit frames are 1 GiB in the file but 4 GiB as f32.
    SAiffSpec spec;
    spec.bits = 8;
    spec.commFramesOverride = 1u << 29;
    std::vector<u8> bytes = makeAiff(spec, 0);
    bytes[12 + 8 + 18 + 4 + 3] = 0xF0;  // the SSND size: as much as the file holds
    bytes[12 + 8 + 18 + 4 + 2] = 0xFF;
    bytes[12 + 8 + 18 + 4 + 1] = 0xFF;
    bytes[12 + 8 + 18 + 4 + 0] = 0xFF;
    const std::string path = write("wide.aiff", bytes);
    // Sparse: no disk space is used.
    std::filesystem::resize_file(path, (u64(1) << 30) + 64);
    EXPECT_EQ(aiffReaderSampleFrames(path.c_str()), E_AIFFREAD_BAD_FILE);
    EXPECT_EQ(decode(path).finalState, E_CODECJOB_OPEN_FAILED);
    {
        std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(12 + 8 + 2);
        file.write("\x1F\xFF\xFF\xFF", 4);  // one frame fewer fits
    }
    EXPECT_EQ(aiffReaderSampleFrames(path.c_str()), s32((1u << 29) - 1));
    std::filesystem::resize_file(path, (u64(1) << 32) + 64);
    EXPECT_EQ(aiffReaderSampleFrames(path.c_str()), E_AIFFREAD_BAD_FILE);
}

TEST_F(AiffDecoder, FilesWrittenBySoxMatchTheirRawSamples) {
    if (std::system("sox --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
    const std::string aiff = m_dir + "/sox.aiff";
    const std::string raw = m_dir + "/sox.raw";
    const std::string make = "sox -n -r 48000 -c 2 -b 16 " + aiff +
                             " synth 1.2 sine 440 whitenoise >/dev/null 2>&1 && sox " + aiff +
                             " -t raw -e signed -b 16 -L " + raw;
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::ifstream rawFile(raw, std::ios::binary);
    std::vector<s16> expected;
    u8 pair[2];
    while (rawFile.read(reinterpret_cast<char*>(pair), 2)) expected.push_back(s16(pair[0] | (pair[1] << 8)));
    const SDecoded decoded = decode(aiff);
    EXPECT_EQ(decoded.info.sampleRate, 48000.0f);
    ASSERT_EQ(decoded.samples.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(decoded.samples[i], f32(expected[i]) / 32768.0f) << i;
}

}  // namespace
