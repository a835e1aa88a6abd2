#include "audio/decode/decoder_aiff.h"

#include "audio/decode/aiff_reader.h"
#include "core/crit_section_pool.h"
#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace decoder_test;

namespace {

// ---------------------------------------------------------------------------------------------
// Fixtures: the test signal written by our own small AIFF writer

struct SAiffSpec {
    s16 channels = 2;
    f64 rate = 44100.0;
    s16 bits = 16;
    const char* formType = "AIFF";
    u32 commFramesOverride = 0;  // 0: the real count
    bool extraChunks = false;     // an odd-sized application chunk before COMM
    bool ssndFirst = false;
    u32 ssndOffset = 0;
};

std::vector<u8> makeAiff(const SAiffSpec& fixture, u32 frames, std::vector<s32>* outValues = nullptr) {
    const u32 container = (u32(fixture.bits) + 7) / 8;
    const std::vector<s32> values = makeSignal(frames, u32(fixture.channels), u32(fixture.rate), u32(fixture.bits));
    std::vector<u8> sound(fixture.ssndOffset, 0xEE);
    for (s32 value : values) {
        const u64 word = u64(u32(value)) << (container * 8 - u32(fixture.bits));
        for (u32 b = 0; b < container; ++b) sound.push_back(u8(word >> (8 * (container - 1 - b))));
    }
    if (outValues) outValues->insert(outValues->end(), values.begin(), values.end());

    std::vector<u8> out;
    putId(&out, "FORM");
    putBe(&out, 0, 4);
    putId(&out, fixture.formType);
    if (fixture.extraChunks) {
        putId(&out, "APPL");  // odd size, then a pad byte
        putBe(&out, 5, 4);
        putId(&out, "pdos");
        out.push_back('x');
        out.push_back(0);
    }
    auto putComm = [&] {
        putId(&out, "COMM");
        putBe(&out, 18, 4);
        putBe(&out, u32(u16(fixture.channels)), 2);
        putBe(&out, fixture.commFramesOverride ? fixture.commFramesOverride : frames, 4);
        putBe(&out, u32(u16(fixture.bits)), 2);
        u8 rate[AIFF_EXTENDED_BYTES];
        aiffDoubleToExtended(fixture.rate, rate);
        out.insert(out.end(), rate, rate + AIFF_EXTENDED_BYTES);
    };
    auto putSound = [&] {
        putId(&out, "SSND");
        putBe(&out, u32(8 + sound.size()), 4);
        putBe(&out, fixture.ssndOffset, 4);
        putBe(&out, 0, 4);
        out.insert(out.end(), sound.begin(), sound.end());
        if (sound.size() % 2) out.push_back(0);
    };
    if (fixture.ssndFirst) {
        putSound();
        putComm();
    } else {
        putComm();
        putSound();
    }
    for (u32 i = 0; i < 4; ++i) out[4 + i] = u8((out.size() - 8) >> (24 - 8 * i));
    return out;
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
        {44100.0, {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
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

// Whole floats, an odd number of them, so reads end inside buffers.
constexpr SPullOptions AIFF_PULL = {1021 * sizeof(f32)};

class AiffDecoder : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        ASSERT_FALSE(m_folder.path().empty());
    }

    SPulledRun decode(const std::string& path) { return pullJob(createCodecStreamInstanceAIFF, path, AIFF_PULL); }

    ClTempFolder m_folder;
};

TEST_F(AiffDecoder, DecodesEveryDepthSampleExactly) {
    struct SCase {
        s16 channels;
        f64 rate;
        s16 bits;
    };
    const SCase cases[] = {{2, 22050, 8}, {1, 44100, 16}, {2, 96000, 24}, {1, 8000, 32}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.rate << " Hz " << c.bits << " bits");
        const SAiffSpec fixture = {.channels = c.channels, .rate = c.rate, .bits = c.bits, .extraChunks = c.bits == 24,
                                   .ssndFirst = c.channels == 1, .ssndOffset = c.bits == 8 ? 3u : 0u};
        // 1.3 s: more than the ring's two half-second buffers, and a short last one.
        const u32 frames = u32(c.rate) * 13 / 10;
        std::vector<s32> values;
        const SPulledRun decoded = decode(m_folder.write("song.aif", makeAiff(fixture, frames, &values)));
        EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
        expectCodecInfo(decoded, {u32(c.channels), u32(c.rate), 4, E_CODECSAMPLEFORMAT_FLOAT, frames,
                                  E_CODECSOUNDFORMAT_PCMFLOAT});
        EXPECT_TRUE(floatsOf(decoded.bytes) == scaledFloats(values, u32(c.bits)));
    }
}

// Left-justified in 2- and 1-byte containers; the fixture's values reach both extremes.
TEST_F(AiffDecoder, SampleSizesThatAreNotWholeBytesDecodeFromTheirContainers) {
    for (const s16 bits : {12, 6}) {
        SCOPED_TRACE(bits);
        std::vector<s32> values;
        const SPulledRun decoded = decode(m_folder.write("odd.aiff", makeAiff({.rate = 8000, .bits = bits}, 9000, &values)));
        EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
        EXPECT_EQ(decoded.info.totalBytes, 9000u * 2 * sizeof(f32));
        EXPECT_TRUE(floatsOf(decoded.bytes) == scaledFloats(values, u32(bits)));
    }
}

TEST_F(AiffDecoder, CommFrameCountBeyondTheDataYieldsWhatTheFileHolds) {
    std::vector<s32> values;
    std::vector<u8> bytes = makeAiff({.rate = 22050, .commFramesOverride = 1000000}, 30000, &values);
    // And a file cut off inside its sound data: only whole frames count.
    bytes.resize(bytes.size() - 4002);
    values.resize(values.size() - 2002);
    const SPulledRun decoded = decode(m_folder.write("short.aiff", bytes));
    EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
    EXPECT_EQ(decoded.info.totalBytes, values.size() * sizeof(f32));
    EXPECT_TRUE(floatsOf(decoded.bytes) == scaledFloats(values, 16));
}

TEST_F(AiffDecoder, RefusedFilesGiveTheReaderCodesAndFailToOpen) {
    struct SRefused {
        const char* name;
        std::vector<u8> bytes;
        s32 code;
    };
    const std::vector<u8> good = makeAiff({}, 1000);
    std::vector<u8> noSound = good;
    noSound.resize(12 + 8 + 18);
    const SRefused refused[] = {
        {"compressed", makeAiff({.formType = "AIFC"}, 1000), E_AIFFREAD_BAD_FILE},
        {"3 channels", makeAiff({.channels = 3}, 1000), E_AIFFREAD_TOO_MANY_CHANNELS},
        {"40 bits", makeAiff({.bits = 40}, 100), E_AIFFREAD_TOO_MANY_BITS},
        {"no frames", makeAiff({.bits = 8}, 0), E_AIFFREAD_NO_FRAMES},
        {"0 Hz", makeAiff({.rate = 0.0}, 1000), E_AIFFREAD_BAD_FILE},
        {"no SSND", noSound, E_AIFFREAD_BAD_FILE},
        {"truncated COMM", firstBytes(good, 30), E_AIFFREAD_BAD_FILE},
    };
    for (const SRefused& r : refused) {
        SCOPED_TRACE(r.name);
        const std::string path = m_folder.write("refused.aiff", r.bytes);
        EXPECT_EQ(aiffReaderSampleFrames(path.c_str()), r.code);
        EXPECT_EQ(decode(path).finalState, E_CODECJOB_OPEN_FAILED);
    }
    // A directory (or a pipe) is never opened: it could block the decode thread.
    EXPECT_EQ(aiffReaderChannels(m_folder.path().c_str()), E_AIFFREAD_CANNOT_OPEN);
}

TEST_F(AiffDecoder, HugeChunkSizesAndEndlessEmptyChunksEndCleanly) {
    std::vector<u8> bytes = makeAiff({}, 2000);
    // An unknown chunk claiming nearly 4 GiB hides everything after it.
    std::vector<u8> huge(bytes.begin(), bytes.begin() + 12);
    putId(&huge, "junk");
    putBe(&huge, 0xFFFFFFF0u, 4);
    huge.insert(huge.end(), bytes.begin() + 12, bytes.end());
    EXPECT_EQ(aiffReaderSampleFrames(m_folder.write("huge.aiff", huge).c_str()), E_AIFFREAD_BAD_FILE);

    std::vector<u8> empties(bytes.begin(), bytes.begin() + 12);
    for (u32 i = 0; i < AIFF_CHUNK_WALK_LIMIT + 10; ++i) {
        putId(&empties, "junk");
        putBe(&empties, 0, 4);
    }
    empties.insert(empties.end(), bytes.begin() + 12, bytes.end());
    EXPECT_EQ(aiffReaderSampleFrames(m_folder.write("empties.aiff", empties).c_str()), E_AIFFREAD_BAD_FILE);
}

TEST_F(AiffDecoder, DecodedSizeOrFileOfFourGibibytesIsRefused) {
    // 2^29 stereo 8-bit frames are 1 GiB in the file but 4 GiB as f32.
    std::vector<u8> bytes = makeAiff({.bits = 8, .commFramesOverride = 1u << 29}, 0);
    const u8 ssndSize[] = {0xFF, 0xFF, 0xFF, 0xF0};  // as much as the file holds
    std::copy(ssndSize, ssndSize + 4, bytes.begin() + 12 + 8 + 18 + 4);
    const std::string path = m_folder.write("wide.aiff", bytes);
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
    if (!runTool("sox --version")) GTEST_SKIP() << "sox is not installed";
    const std::string aiff = m_folder.file("sox.aiff");
    const std::string raw = m_folder.file("sox.raw");
    ASSERT_TRUE(runTool("sox -n -r 48000 -c 2 -b 16 " + quoted(aiff) + " synth 1.2 sine 440 whitenoise && sox " +
                        quoted(aiff) + " -t raw -e signed -b 16 -L " + quoted(raw)));
    const std::vector<f32> expected = pcm16Floats(readFileBytes(raw));
    const SPulledRun decoded = decode(aiff);
    EXPECT_EQ(decoded.info.sampleRate, 48000.0f);
    EXPECT_TRUE(floatsOf(decoded.bytes) == expected);
}

}  // namespace
