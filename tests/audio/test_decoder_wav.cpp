#include "audio/decode/decoder_wav.h"

#include "audio/decode/wav_format.h"
#include "core/crit_section_pool.h"
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
    *outRead = 0;
    if (offset >= bytes->size()) return 0;
    const u64 held = bytes->size() - offset;
    *outRead = u32(size < held ? size : held);
    std::memcpy(buffer, bytes->data() + offset, *outRead);
    return 0;
}

struct SParsed {
    u32 result;
    SWavLayout layout;
    SWavFormat format;
};

SParsed parse(const std::vector<u8>& bytes) {
    SParsed parsed = {};
    const SWavChunkSource source = {readMemoryAt, const_cast<std::vector<u8>*>(&bytes), bytes.size()};
    parsed.result = parseWavChunks(source, &parsed.layout);
    if (parsed.layout.formatBlock) readWavFormatBlock(parsed.layout.formatBlock, &parsed.format);
    return parsed;
}

TEST(WavFormat, ChunkWalkFindsFmtAndDataInAnyOrderAcrossOddChunks) {
    struct SCase {
        const char* name;
        bool dataBeforeFmt, oddList, omitPad;
        u32 dataSizeField;
        u32 dataStart;
    };
    // A "fmt " of 16 bytes before the data starts the data at 44; a 13-byte LIST adds 8 + 13 and
    // its pad byte, unless the writer left the pad out.
    const SCase cases[] = {{"plain", false, false, false, 0, 44},
                           {"data first", true, false, false, 0, 20},
                           {"odd LIST", false, true, false, 0, 66},
                           {"odd LIST, no pad", false, true, true, 0, 65},
                           {"size beyond the file", false, false, false, 0x7FFFFFF0, 44}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SWavFixture fixture = {.dataBeforeFmt = c.dataBeforeFmt, .oddListBeforeData = c.oddList,
                                     .omitPad = c.omitPad, .dataSizeOverride = c.dataSizeField};
        SParsed parsed = parse(makeWav(fixture, packPcm(makeSignal(10, 2, 44100, 16), 16)));
        EXPECT_EQ(parsed.result, E_WAVERR_NONE);
        ASSERT_NE(parsed.layout.formatBlock, nullptr);
        EXPECT_EQ(parsed.layout.formatBlockSize, 18u);
        EXPECT_EQ(parsed.format.extraSize, 0);
        EXPECT_EQ(parsed.layout.dataStart, c.dataStart);
        EXPECT_EQ(parsed.layout.dataSize, 40u);
        freeWavLayout(&parsed.layout);
    }
}

TEST(WavFormat, DamagedHeadersFailWithTheirCodes) {
    std::vector<u8> good = makeWav({}, packPcm(makeSignal(4, 1, 8000, 16), 16));
    EXPECT_EQ(parse(firstBytes(good, 11)).result, E_WAVERR_NOT_WAVE);
    std::memcpy(good.data(), "RIFX", 4);
    EXPECT_EQ(parse(good).result, E_WAVERR_NOT_WAVE);

    // A "fmt " size far beyond the file is refused before anything is allocated for it.
    std::memcpy(good.data(), "RIFF", 4);
    std::fill(good.begin() + 16, good.begin() + 20, 0xF0);
    SParsed parsed = parse(good);
    EXPECT_EQ(parsed.result, E_WAVERR_BAD_FORMAT_CHUNK);
    EXPECT_EQ(parsed.layout.formatBlock, nullptr);
}

TEST(WavFormat, ChunkWalkStopsAfterItsLimit) {
    std::vector<u8> bytes = makeWav({}, {});
    bytes.resize(36);  // header and "fmt " only
    for (u32 i = 0; i < WAV_CHUNK_WALK_LIMIT + 10; ++i) {
        putId(&bytes, "junk");
        putLe(&bytes, 0, 4);
    }
    putId(&bytes, "data");
    putLe(&bytes, 0, 4);
    SParsed parsed = parse(bytes);
    EXPECT_EQ(parsed.result, E_WAVERR_NONE);
    EXPECT_NE(parsed.layout.formatBlock, nullptr);
    EXPECT_EQ(parsed.layout.dataStart, 0u);
    freeWavLayout(&parsed.layout);
}

// Each malformed case would divide by zero, size a buffer from nothing or overflow one.
TEST(WavFormat, FieldsThatCannotDescribeAPcmStreamAreRefused) {
    EXPECT_EQ(checkWavPcmFormat({3, 2, 44100, 44100 * 8, 8, 32, 0}), E_WAVCHECK_UNSUPPORTED_TAG);
    EXPECT_EQ(checkWavPcmFormat({1, 2, 44100, 44100 * 10, 10, 40, 0}), E_WAVCHECK_UNSUPPORTED_BITS);
    EXPECT_EQ(checkWavPcmFormat({1, 0, 44100, 44100 * 4, 4, 16, 0}), E_WAVCHECK_MALFORMED);
    EXPECT_EQ(checkWavPcmFormat({1, 2, 0, 0, 4, 16, 0}), E_WAVCHECK_MALFORMED);
    EXPECT_EQ(checkWavPcmFormat({1, 2, 44100, 44100 * 3, 3, 16, 0}), E_WAVCHECK_MALFORMED);
    EXPECT_EQ(checkWavPcmFormat({1, 1, 44100, 44100 * 2, 2, 24, 0}), E_WAVCHECK_MALFORMED);
    EXPECT_EQ(checkWavPcmFormat({1, 2, 44100, 2, 4, 16, 0}), E_WAVCHECK_MALFORMED);
    EXPECT_EQ(checkWavPcmFormat({1, 2, 44100, 0xFFFFFFFFu, 4, 16, 0}), E_WAVCHECK_MALFORMED);
}

// ---------------------------------------------------------------------------------------------
// The decoder, stepped on a thread of its own as the decode thread would, read by the pull

class WavDecoder : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        ASSERT_FALSE(m_folder.path().empty());
    }

    SPulledRun decode(const std::string& path) { return pullJob(createCodecStreamInstanceWAV, path); }

    ClTempFolder m_folder;
};

TEST_F(WavDecoder, DecodesEveryDepthSampleExactly) {
    struct SCase {
        u16 channels;
        u32 rate;
        u16 bits;
        u16 container;
        ECodecSoundFormat format;  // NONE: cannot be streamed
    };
    // 8-bit bytes stay unsigned (the stream's PCM8); 12 and 20 bits fill 2- and 3-byte containers.
    const SCase cases[] = {{1, 8000, 8, 1, E_CODECSOUNDFORMAT_PCM8},    {2, 44100, 16, 2, E_CODECSOUNDFORMAT_PCM16},
                           {2, 96000, 24, 3, E_CODECSOUNDFORMAT_PCM24}, {1, 8000, 32, 4, E_CODECSOUNDFORMAT_NONE},
                           {2, 8000, 12, 2, E_CODECSOUNDFORMAT_PCM16},  {1, 22050, 20, 3, E_CODECSOUNDFORMAT_PCM24}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.rate << " Hz " << c.bits << " bits");
        // 2.3 s: more than the ring holds, so buffers are refilled, and a short last one.
        const u32 frames = c.rate * 23 / 10;
        const std::vector<u8> pcm = packPcm(makeSignal(frames, c.channels, c.rate, c.bits), c.bits);
        const std::vector<u8> wav = makeWav({.channels = c.channels, .rate = c.rate, .bits = c.bits}, pcm);
        const SPulledRun decoded = decode(m_folder.write("song.wav", wav));
        EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
        expectCodecInfo(decoded, {c.channels, c.rate, c.container, E_CODECSAMPLEFORMAT_INTEGER, frames, c.format});
        EXPECT_TRUE(decoded.bytes == pcm);
    }
}

TEST_F(WavDecoder, WrongDataSizesDecodeWhatTheFileHolds) {
    const std::vector<u8> pcm = packPcm(makeSignal(30000, 2, 44100, 16), 16);
    SPulledRun decoded = decode(m_folder.write("long.wav", makeWav({.dataSizeOverride = 0x10000000}, pcm)));
    EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
    EXPECT_EQ(decoded.info.totalBytes, pcm.size());
    EXPECT_TRUE(decoded.bytes == pcm);

    // No data chunk at all: the job opens and finishes at once, empty.
    std::vector<u8> noData = makeWav({}, {});
    noData.resize(36);
    decoded = decode(m_folder.write("nodata.wav", noData));
    EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
    EXPECT_TRUE(decoded.bytes.empty());
}

// The header's checks and the chunk walk are tested above; here the decoder must refuse what
// they refuse.
TEST_F(WavDecoder, RefusedFormatsFailToOpen) {
    const std::vector<u8> good = makeWav({}, packPcm(makeSignal(1000, 2, 44100, 16), 16));
    std::vector<u8> floatTag = good;
    floatTag[20] = 3;
    std::vector<u8> noRate = good;
    std::fill(noRate.begin() + 24, noRate.begin() + 28, 0);
    for (const std::vector<u8>& bytes : {std::vector<u8>{}, floatTag, noRate}) {
        const SPulledRun decoded = decode(m_folder.write("refused.wav", bytes));
        EXPECT_EQ(decoded.finalState, E_CODECJOB_OPEN_FAILED);
        EXPECT_TRUE(decoded.bytes.empty());
    }
}

TEST_F(WavDecoder, MissingFileDirectoryAndPipeFailToOpen) {
    ClSyncWAVFileReader reader;
    EXPECT_EQ(reader.open(widePath(m_folder.file("missing.wav")).c_str()), 0);
    EXPECT_EQ(reader.getLastError(), E_WAVERR_CANNOT_OPEN);
    EXPECT_EQ(decode(m_folder.path()).finalState, E_CODECJOB_OPEN_FAILED);
    const std::string pipe = m_folder.file("pipe.wav");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(decode(pipe).finalState, E_CODECJOB_OPEN_FAILED);
}

TEST_F(WavDecoder, FilesWrittenBySoxDecodeToTheirRawSamples) {
    if (!runTool("sox --version")) GTEST_SKIP() << "sox is not installed";
    for (const char* bits : {"8", "16"}) {
        SCOPED_TRACE(bits);
        const std::string wav = m_folder.file("sox.wav");
        const std::string raw = m_folder.file("sox.raw");
        ASSERT_TRUE(runTool(std::string("sox -n -r 22050 -c 2 -b ") + bits + " " + quoted(wav) +
                            " synth 2.2 sine 440 pinknoise && sox " + quoted(wav) + " -t raw " + quoted(raw)));
        const std::vector<u8> expected = readFileBytes(raw);
        const SPulledRun decoded = decode(wav);
        EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
        EXPECT_EQ(decoded.bytes.size(), expected.size());
        EXPECT_TRUE(decoded.bytes == expected);
    }
}

TEST_F(WavDecoder, FileOfFourGibibytesIsRefusedAtOpen) {
    SWavFixture fixture;
    fixture.dataSizeOverride = 0xFFFFFFF0u;
    const std::string path = m_folder.write("huge.wav", makeWav(fixture, {}));
    // Sparse: no disk space is used.
    std::filesystem::resize_file(path, (u64(1) << 32) + 64);
    ClSyncWAVFileReader reader;
    EXPECT_EQ(reader.open(widePath(path).c_str()), 0);
    EXPECT_EQ(reader.getLastError(), E_WAVERR_TOO_LARGE);
    EXPECT_EQ(decode(path).finalState, E_CODECJOB_OPEN_FAILED);
}

}  // namespace
