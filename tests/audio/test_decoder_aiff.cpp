
#include "audio/decode/aiff_reader.h"
#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace decoder_test;
using test_support::putId;

namespace {

// Containers wider than the value (a refused 40-bit sample) get zero high bytes.
void putBe(std::vector<u8>& out, u32 value, u32 bytes) {
    for (u32 i = bytes; i > 0; --i) out.push_back(i > 4 ? u8(0) : u8(value >> (8 * (i - 1))));
}

// A rate as the 80-bit extended value of a COMM chunk; finite positive values only (others give 0).
void aiffDoubleToExtended(f64 value, u8* bytes) {
    std::memset(bytes, 0, AIFF_EXTENDED_BYTES);
    if (!(value > 0.0) || !std::isfinite(value)) return;
    int exponent = 0;
    const f64 fraction = std::frexp(value, &exponent);  // value = fraction x 2^exponent, fraction in [0.5, 1)
    const u32 biased = u32(exponent - 1 + 16383);
    const u64 mantissa = u64(std::ldexp(fraction, 64));
    bytes[0] = u8(biased >> 8);
    bytes[1] = u8(biased);
    for (u32 i = 0; i < 8; ++i) bytes[2 + i] = u8(mantissa >> (56 - 8 * i));
}

// ---------------------------------------------------------------------------------------------
// Fixtures: the test signal written by our own small AIFF writer

struct SAiffLayout {
    s16 channels = 2;
    f64 rate = 44100.0;
    s16 bits = 16;
    const char* formType = "AIFF";
    u32 commFramesOverride = 0;  // 0: the real count
    bool extraChunks = false;     // an odd-sized application chunk before COMM
    bool ssndFirst = false;
    u32 ssndOffset = 0;
};

// The samples are left-justified big-endian integers in whole-byte containers.
std::vector<u8> makeAiff(const SAiffLayout& layout, const std::vector<s32>& values) {
    const u32 container = (u32(layout.bits) + 7) / 8;
    const u32 frames = u32(values.size() / u32(layout.channels));
    std::vector<u8> comm, sound;
    putBe(comm, u32(u16(layout.channels)), 2);
    putBe(comm, layout.commFramesOverride ? layout.commFramesOverride : frames, 4);
    putBe(comm, u32(u16(layout.bits)), 2);
    comm.resize(comm.size() + AIFF_EXTENDED_BYTES);
    aiffDoubleToExtended(layout.rate, &comm[8]);
    putBe(sound, layout.ssndOffset, 4);
    putBe(sound, 0, 4);
    sound.resize(8 + layout.ssndOffset, 0xEE);
    for (s32 value : values) putBe(sound, u32(value) << (container * 8 - u32(layout.bits)), container);

    std::vector<u8> out;
    const auto putChunk = [&out](const char* id, const std::vector<u8>& body) {
        putId(out, id);
        putBe(out, u32(body.size()), 4);
        out.insert(out.end(), body.begin(), body.end());
        if (body.size() % 2) out.push_back(0);
    };
    putId(out, "FORM");
    putBe(out, 0, 4);
    putId(out, layout.formType);
    if (layout.extraChunks) putChunk("APPL", {'p', 'd', 'o', 's', 'x'});
    putChunk(layout.ssndFirst ? "SSND" : "COMM", layout.ssndFirst ? sound : comm);
    putChunk(layout.ssndFirst ? "COMM" : "SSND", layout.ssndFirst ? comm : sound);
    for (u32 i = 0; i < 4; ++i) out[4 + i] = u8((out.size() - 8) >> (24 - 8 * i));
    return out;
}

std::vector<u8> makeAiff(const SAiffLayout& layout, u32 frames) {
    return makeAiff(layout, makeSignal(frames, u32(layout.channels), u32(layout.rate), u32(layout.bits)));
}

// The file with another depth in its COMM chunk (which comes first), the sound data unchanged.
std::vector<u8> withDepth(std::vector<u8> bytes, u8 bits) {
    bytes[12 + 8 + 7] = bits;
    return bytes;
}

// The standard rates are the decodes' below; here the values no rate has.
TEST(AiffFormat, ExtendedRateTellsInfinityFromNotANumber) {
    const u8 infinity[AIFF_EXTENDED_BYTES] = {0x7F, 0xFF, 0x80}, nan[AIFF_EXTENDED_BYTES] = {0x7F, 0xFF, 0xC0};
    EXPECT_TRUE(std::isinf(aiffExtendedToDouble(infinity)));
    EXPECT_TRUE(std::isnan(aiffExtendedToDouble(nan)));
}

// ---------------------------------------------------------------------------------------------
// Files on disk: the reader and the decoder

class AiffDecoder : public ::testing::Test {
protected:
    // Read in whole floats, an odd number of them, so reads end inside buffers.
    static SDecodeRun decode(const std::string& path) {
        return pullJob(createCodecStreamInstanceAIFF, path, {1021 * sizeof(f32)});
    }
    ClTempFolder m_folder;
};

// 1.3 s: more than the ring's two half-second buffers, and a short last one. The chunk layouts
// vary with the depth; 12 and 6 bits are left-justified in 2- and 1-byte containers.
TEST_F(AiffDecoder, DecodesEveryDepthSampleExactly) {
    const EncodeFn encode = [](const ClTempFolder& folder, const SDepth& d, const std::vector<s32>& samples) {
        const SAiffLayout layout = {.channels = s16(d.channels), .rate = f64(d.rate), .bits = s16(d.bits),
                                .extraChunks = d.bits == 24, .ssndFirst = d.channels == 1,
                                .ssndOffset = d.bits == 8 ? 3u : 0u};
        return folder.write("song.aif", makeAiff(layout, samples));
    };
    expectExactDepths(encode, decode, true, 13,
                      {{2, 22050, 8}, {1, 44100, 16}, {2, 96000, 24}, {1, 8000, 32}, {2, 8000, 12}, {2, 8000, 6}});
}

TEST_F(AiffDecoder, CommFrameCountBeyondTheDataYieldsWhatTheFileHolds) {
    std::vector<s32> values = makeSignal(30000, 2, 22050, 16);
    std::vector<u8> bytes = makeAiff({.rate = 22050, .commFramesOverride = 1000000}, values);
    // And a file cut off inside its sound data: only whole frames count.
    bytes.resize(bytes.size() - 4002);
    values.resize(values.size() - 2002);
    const SDecodeRun decoded = decode(m_folder.write("short.aiff", bytes));
    EXPECT_EQ(decoded.state, s32(E_CODECJOB_FINISHED));
    EXPECT_EQ(decoded.info.totalBytes, u32(values.size() * sizeof(f32)));
    EXPECT_TRUE(decoded.bytes == bytesOf(scaledFloats(values, 16)));
}

TEST_F(AiffDecoder, RefusedFilesGiveTheReaderCodesAndFailToOpen) {
    const std::vector<u8> good = makeAiff({}, 1000);
    const std::pair<std::vector<u8>, s32> refused[] = {
        {makeAiff({.formType = "AIFC"}, 1000), E_AIFFREAD_BAD_FILE},  // compressed
        {makeAiff({.channels = 3}, 1000), E_AIFFREAD_TOO_MANY_CHANNELS},
        {makeAiff({.bits = 40}, 100), E_AIFFREAD_TOO_MANY_BITS},
        {makeAiff({.bits = 8}, 0), E_AIFFREAD_NO_FRAMES},
        {makeAiff({.rate = 0.0}, 1000), E_AIFFREAD_BAD_FILE},
        {withDepth(good, 6), E_AIFFREAD_BAD_FILE},             // a 6-bit header over 16-bit sound data
        {firstBytes(good, 12 + 8 + 18), E_AIFFREAD_BAD_FILE},  // no SSND
        {firstBytes(good, 30), E_AIFFREAD_BAD_FILE},           // COMM cut short
    };
    for (size_t i = 0; i < std::size(refused); ++i) {
        SCOPED_TRACE(i);
        const auto& [bytes, code] = refused[i];
        const std::string path = m_folder.write("refused.aiff", bytes);
        EXPECT_EQ(aiffReaderSampleFrames(path.c_str()), code);
        EXPECT_EQ(decode(path).state, s32(E_CODECJOB_OPEN_FAILED));
    }
    // A directory (or a pipe) is never opened: it could block the decode thread.
    EXPECT_EQ(aiffReaderChannels(m_folder.str().c_str()), E_AIFFREAD_CANNOT_OPEN);

    // An unknown chunk claiming nearly 4 GiB hides everything after it; a file of endless empty
    // chunks ends the walk at its limit.
    for (const u32 count : {1u, AIFF_CHUNK_WALK_LIMIT + 10}) {
        std::vector<u8> junk(good.begin(), good.begin() + 12);
        for (u32 i = 0; i < count; ++i) putId(junk, "junk"), putBe(junk, count == 1 ? 0xFFFFFFF0u : 0, 4);
        junk.insert(junk.end(), good.begin() + 12, good.end());
        EXPECT_EQ(aiffReaderSampleFrames(m_folder.write("junk.aiff", junk).c_str()), E_AIFFREAD_BAD_FILE) << count;
    }
}

TEST_F(AiffDecoder, DecodedSizeOrFileOfFourGibibytesIsRefused) {
    // 2^29 stereo 8-bit frames are 1 GiB in the file but 4 GiB as f32.
    std::vector<u8> bytes = makeAiff({.bits = 8, .commFramesOverride = 1u << 29}, 0);
    const u32 ssndSize = 12 + 8 + 18 + 4;
    std::copy_n("\x40\x00\x00\x08", 4, bytes.begin() + ssndSize);  // the SSND the frames need
    const std::string path = m_folder.write("wide.aiff", bytes);
    // Sparse: no disk space is used.
    std::filesystem::resize_file(path, (u64(1) << 30) + 64);
    EXPECT_EQ(aiffReaderSampleFrames(path.c_str()), s32(E_AIFFREAD_BAD_FILE));
    EXPECT_EQ(decode(path).state, s32(E_CODECJOB_OPEN_FAILED));
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(12 + 8 + 2).write("\x1F\xFF\xFF\xFF", 4);
    file.seekp(ssndSize).write("\x40\x00\x00\x06", 4);
    file.close();
    EXPECT_EQ(aiffReaderSampleFrames(path.c_str()), s32((1u << 29) - 1));  // one frame fewer fits
    std::filesystem::resize_file(path, (u64(1) << 32) + 64);
    EXPECT_EQ(aiffReaderSampleFrames(path.c_str()), E_AIFFREAD_BAD_FILE);
}

}  // namespace
