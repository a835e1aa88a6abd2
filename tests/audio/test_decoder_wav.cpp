#include "audio/decode/decoder_wav.h"

#include "audio/decode/wav_format.h"
#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace decoder_test;

namespace {

// ---------------------------------------------------------------------------------------------
// The chunk walk over bytes in memory

u32 readMemoryAt(void* user, u64 offset, void* buffer, u32 size, u32* outRead) {
    const auto* bytes = static_cast<const std::vector<u8>*>(user);
    *outRead = offset >= bytes->size() ? 0 : u32(std::min<u64>(size, bytes->size() - offset));
    if (*outRead) std::memcpy(buffer, bytes->data() + offset, *outRead);
    return 0;
}

// The walk's result as "error; fmt block size, extra size; data start + size", the layout freed.
std::string parse(const std::vector<u8>& bytes) {
    SWavLayout layout = {};
    SWavFormat format = {};
    const u32 result = parseWavChunks({readMemoryAt, const_cast<std::vector<u8>*>(&bytes), bytes.size()}, &layout);
    if (layout.formatBlock) readWavFormatBlock(layout.formatBlock, &format);
    const std::string text = std::to_string(result) + "; " +
        (layout.formatBlock ? std::to_string(layout.formatBlockSize) + "," + std::to_string(format.extraSize) : "none") +
        "; " + std::to_string(layout.dataStart) + "+" + std::to_string(layout.dataSize);
    freeWavLayout(&layout);
    return text;
}

// A "fmt " of 16 bytes before the data starts the data at 44; a 13-byte LIST adds 8 + 13 and its
// pad byte, unless the writer left the pad out.
TEST(WavFormat, ChunkWalkFindsFmtAndDataInAnyOrderAcrossOddChunksAndEndsOnDamage) {
    const std::vector<u8> pcm = packPcm(makeSignal(10, 2, 44100, 16), 16);
    EXPECT_EQ(parse(wavImage({}, pcm)), "0; 18,0; 44+40");
    EXPECT_EQ(parse(wavImage({.dataBeforeFmt = true}, pcm)), "0; 18,0; 20+40");
    EXPECT_EQ(parse(wavImage({.oddListBeforeData = true}, pcm)), "0; 18,0; 66+40");
    EXPECT_EQ(parse(wavImage({.oddListBeforeData = true, .omitPad = true}, pcm)), "0; 18,0; 65+40");
    EXPECT_EQ(parse(wavImage({.dataSizeOverride = 0x7FFFFFF0}, pcm)), "0; 18,0; 44+40");

    // Damaged headers fail with their codes.
    std::vector<u8> good = wavImage({}, packPcm(makeSignal(4, 1, 8000, 16), 16));
    EXPECT_EQ(parse(firstBytes(good, 11)).substr(0, 2), "1;");
    std::memcpy(good.data(), "RIFX", 4);
    EXPECT_EQ(parse(good).substr(0, 2), "1;");
    // A "fmt " size far beyond the file is refused before anything is allocated for it.
    std::memcpy(good.data(), "RIFF", 4);
    std::fill(good.begin() + 16, good.begin() + 20, 0xF0);
    EXPECT_EQ(parse(good).substr(0, 9), "2; none; ");

    // The walk stops after its limit of chunks: the data chunk past it is not found.
    std::vector<u8> bytes = firstBytes(wavImage({}, {}), 36);  // header and "fmt " only
    for (u32 i = 0; i <= WAV_CHUNK_WALK_LIMIT + 10; ++i) {
        test_support::putId(bytes, i <= WAV_CHUNK_WALK_LIMIT + 9 ? "junk" : "data");
        test_support::putLe(bytes, 0, 4);
    }
    EXPECT_EQ(parse(bytes), "0; 18,0; 0+0");
}

// Each malformed case would divide by zero, size a buffer from nothing or overflow one.
TEST(WavFormat, FieldsThatCannotDescribeAPcmStreamAreRefused) {
    EXPECT_EQ(checkWavPcmFormat({3, 2, 44100, 44100 * 8, 8, 32, 0}), E_WAVCHECK_UNSUPPORTED_TAG);
    EXPECT_EQ(checkWavPcmFormat({1, 2, 44100, 44100 * 10, 10, 40, 0}), E_WAVCHECK_UNSUPPORTED_BITS);
    const SWavFormat malformed[] = {{1, 0, 44100, 44100 * 4, 4, 16, 0}, {1, 2, 0, 0, 4, 16, 0},
                                    {1, 2, 44100, 44100 * 3, 3, 16, 0}, {1, 1, 44100, 44100 * 2, 2, 24, 0},
                                    {1, 2, 44100, 2, 4, 16, 0},         {1, 2, 44100, 0xFFFFFFFFu, 4, 16, 0}};
    for (const SWavFormat& format : malformed) EXPECT_EQ(checkWavPcmFormat(format), E_WAVCHECK_MALFORMED);
}

// ---------------------------------------------------------------------------------------------
// The decoder, stepped on a thread of its own as the decode thread would, read by the pull

class WavDecoder : public ::testing::Test {
protected:
    static SDecodeRun decode(const std::string& path) { return pullJob(createCodecStreamInstanceWAV, path); }
    SDecodeRun decodeBytes(const std::vector<u8>& bytes) const { return decode(m_folder.write("song.wav", bytes)); }
    ClTempFolder m_folder;
};

// 2.3 s: more than the ring holds, so buffers are refilled, and a short last one. 8-bit bytes stay
// unsigned; 12 and 20 bits fill 2- and 3-byte containers; 32-bit integers cannot be streamed.
TEST_F(WavDecoder, DecodesEveryDepthSampleExactly) {
    const EncodeFn encode = [](const ClTempFolder& folder, const SDepth& d, const std::vector<s32>& samples) {
        return folder.write("song.wav", wavImage({.channels = u16(d.channels), .rate = d.rate, .bits = u16(d.bits)},
                                                packPcm(samples, d.bits)));
    };
    expectExactDepths(encode, decode, false, 23,
                      {{1, 8000, 8}, {2, 44100, 16}, {2, 96000, 24}, {1, 8000, 32}, {2, 8000, 12}, {1, 22050, 20}});
}

// The header's checks and the chunk walk are tested above; here the decoder must refuse what
// they refuse, what is no regular file and what is too large.
TEST_F(WavDecoder, RefusedFilesFailToOpenAndAFileWithoutDataIsEmpty) {
    const std::vector<u8> good = wavImage({}, packPcm(makeSignal(1000, 2, 44100, 16), 16));
    std::vector<u8> floatTag = good;
    floatTag[20] = 3;
    for (const std::vector<u8>& bytes : {std::vector<u8>{}, floatTag}) {
        const SDecodeRun decoded = decodeBytes(bytes);
        EXPECT_EQ(decoded.state, s32(E_CODECJOB_OPEN_FAILED));
        EXPECT_EQ(decoded.bytes.size(), size_t(0));
    }
    ClSyncWAVFileReader reader;
    EXPECT_EQ(reader.open(widePath(m_folder.file("missing.wav")).c_str()), 0);
    EXPECT_EQ(decode(m_folder.str()).state, E_CODECJOB_OPEN_FAILED);
    const std::string pipe = m_folder.file("pipe.wav");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(decode(pipe).state, E_CODECJOB_OPEN_FAILED);

    // A file of 4 GiB, sparse so that no disk space is used.
    const std::string huge = m_folder.write("huge.wav", wavImage({.dataSizeOverride = 0xFFFFFFF0u}, {}));
    std::filesystem::resize_file(huge, (u64(1) << 32) + 64);
    EXPECT_EQ(reader.open(widePath(huge).c_str()), 0);
    EXPECT_EQ(decode(huge).state, E_CODECJOB_OPEN_FAILED);

    // No data chunk at all: the job opens and finishes at once, empty. (A data size beyond the
    // file is the chunk walk's to cut.)
    const SDecodeRun decoded = decodeBytes(firstBytes(wavImage({}, {}), 36));
    EXPECT_EQ(decoded.state, s32(E_CODECJOB_FINISHED));
    EXPECT_EQ(decoded.bytes.size(), size_t(0));
}

}  // namespace
