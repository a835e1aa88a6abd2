#include "audio/decode/decoder_ogg.h"

#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string_view>

using namespace decoder_test;

namespace {

size_t findBytes(const std::vector<u8>& file, std::string_view pattern, size_t from) {
    const auto found = std::search(file.begin() + std::ptrdiff_t(from), file.end(), pattern.begin(), pattern.end());
    return found == file.end() ? std::string::npos : size_t(found - file.begin());
}

// Gives the first codebook of the setup header found after `from` three codewords of length 1,
// a tree no decoder can build, and fixes the page checksum. The header still parses, so the
// file opens; the link fails only when decoding reaches it (vorbisfile's OV_EBADLINK).
bool breakFirstCodebook(std::vector<u8>* file, size_t from) {
    std::vector<u8>& f = *file;
    const size_t setup = findBytes(f, "\x05vorbis", from);
    const size_t book = setup + 8;  // past the type, "vorbis" and the book count
    if (setup == std::string::npos || book + 10 > f.size() || std::memcmp(&f[book], "BCV", 3) != 0) return false;
    const u32 entries = f[book + 5] | f[book + 6] << 8 | f[book + 7] << 16;
    // Unordered and not sparse: 5-bit lengths follow the two flag bits, least significant first.
    if (entries < 3 || (f[book + 8] & 3) != 0) return false;
    for (u32 bit = 2; bit < 2 + 15; ++bit) f[book + 8 + bit / 8] &= u8(~(1u << (bit % 8)));
    size_t page = setup;
    while (page > 0 && std::memcmp(&f[page], "OggS", 4) != 0) --page;
    // The page checksum: CRC-32 with polynomial 0x04C11DB7, no reflection, initial value 0, over
    // the page with its checksum field zeroed.
    size_t size = 27 + f[page + 26];
    for (u32 i = 0; i < f[page + 26]; ++i) size += f[page + 27 + i];
    std::memset(&f[page + 22], 0, 4);
    u32 crc = 0;
    for (size_t i = page; i < page + size; ++i) {
        crc ^= u32(f[i]) << 24;
        for (u32 bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    std::memcpy(&f[page + 22], &crc, 4);
    return true;
}

SDecodeRun decodeOgg(const std::string& path) {
    return decodeFile<ClCodecStreamInstance_OggVorbis>(createCodecStreamInstanceOggVorbis, path);
}

// Lossy: the length is exact, the shape close (compared without a lag). 11025 Hz stereo has half
// a second that is not a whole number of frames.
TEST(OggVorbisDecoder, MatchesTheSourceInLengthAndShape) {
    ClTempFolder folder;
    for (const auto& [channels, rate] : {std::pair(2u, 44100u), std::pair(1u, 22050u), std::pair(2u, 11025u)}) {
        SCOPED_TRACE(rate);
        const u32 frames = rate * 13 / 10;
        const std::vector<s32> source = makeSignal(frames, channels, rate, 16);
        const SDecodeRun run = decodeOgg(encodeWithTool(folder, "song.ogg", {channels, rate, 16}, source, "oggenc -Q -q 6"));
        ASSERT_EQ(run.state, E_CODECJOB_FINISHED);
        expectCodecInfo(run, {channels, rate, 2, E_CODECSAMPLEFORMAT_INTEGER, frames, E_CODECSOUNDFORMAT_PCM16});
        ASSERT_EQ(run.bytes.size(), size_t(frames) * channels * 2);
        // The end of the file comes with the last data: a short last buffer, no empty one after it.
        ASSERT_FALSE(run.bufferSizes.empty());
        EXPECT_GT(run.bufferSizes.back(), 0u);
        EXPECT_LT(run.bufferSizes.back(), run.bufferSizes.front());
        const std::vector<f32> decoded = pcm16Floats(run.bytes), expected = scaledFloats(source, 16);
        EXPECT_GT(channelCorrelation(decoded, expected, channels, 0, 0), 0.99);
        if (channels == 2) { EXPECT_GT(channelCorrelation(decoded, expected, channels, 1, 0), 0.95); }
    }
}

// A scripted stand-in for ov_read.
struct SScriptedReads {
    std::vector<long> answers;  // bytes to deliver, or a code
    u32 calls = 0;
};

long scriptedRead(void* context, char* buffer, int bytes) {
    SScriptedReads* script = static_cast<SScriptedReads*>(context);
    const long answer = script->answers[std::min<size_t>(script->calls, script->answers.size() - 1)];
    ++script->calls;
    if (answer <= 0) return answer;
    const long delivered = std::min<long>(answer, bytes);
    std::memset(buffer, 0x5A, size_t(delivered));
    return delivered;
}

// A fill of `room` bytes in frames of 4 over scripted reads: holes are read past; a read error
// that persists fails at once instead of being retried for ever; less room than a frame counts as
// full, so the reader is not asked for a part of a frame. Holes with audio after them are counted
// as data lost to damage; one followed by the end only is a file cut short.
TEST(OggVorbisDecoder, FillReadsPastHolesAndStopsAtAnyOtherError) {
    struct SCase {
        std::vector<long> answers;
        u32 room;
        s32 result;
        u32 bytes, atEnd;
        long error;
        u32 reads, holes;
    };
    const SCase cases[] = {{{8, OGGVORBIS_HOLE, OGGVORBIS_HOLE, 12, 0}, 64, 1, 20, 1, 0, 5, 2},
                           {{8, OGGVORBIS_HOLE, 12, OGGVORBIS_HOLE, 0}, 64, 1, 20, 1, 0, 5, 1},
                           {{-137}, 64, 0, 0, 0, -137, 1, 0},
                           {{-1}, 64, 0, 0, 0, -1, 1, 0},
                           {{6}, 14, 1, 12, 0, 0, 2, 0}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const SCase& c = cases[i];
        u8 buffer[64];
        u32 bytes = 0, atEnd = 0, holes = 0;
        long error = 0;
        SScriptedReads script{c.answers};
        EXPECT_EQ(fillOggVorbisBuffer(scriptedRead, &script, buffer, c.room, 4, &bytes, &atEnd, &error, &holes), c.result);
        EXPECT_EQ(bytes, c.bytes);
        EXPECT_EQ(atEnd, c.atEnd);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(script.calls, c.reads);
        EXPECT_EQ(holes, c.holes);
    }
}

// One song of 3 s, longer than the ring (1.5 s), shared by the tests below.
class OggVorbisFile : public ::testing::Test {
protected:
    static constexpr u32 kFrames = 3 * 44100;
    static void SetUpTestSuite() {
        g_folder = new ClTempFolder();
        encodeWithTool(*g_folder, "song.ogg", {2, 44100, 16}, makeSignal(kFrames, 2, 44100, 16), "oggenc -Q -s 1");
    }
    static void TearDownTestSuite() { delete g_folder; }
    void SetUp() override { ASSERT_FALSE(m_song.empty()); }
    SDecodeRun decodeBytes(const char* name, const std::vector<u8>& bytes) const {
        return decodeOgg(m_folder.write(name, bytes));
    }

    static inline ClTempFolder* g_folder = nullptr;
    const std::vector<u8> m_song = readFileBytes(g_folder->file("song.ogg"));
    ClTempFolder m_folder;
};

TEST_F(OggVorbisFile, ChainedFilesPlayEveryLinkUntilOneBreaks) {
    const std::vector<u8> second =
        readFileBytes(encodeWithTool(m_folder, "second.ogg", {2, 44100, 16}, makeSignal(30000, 2, 44100, 16), "oggenc -Q -s 2"));
    std::vector<u8> chain = m_song;
    chain.insert(chain.end(), second.begin(), second.end());

    // Both links, from the start of the first.
    SDecodeRun run = decodeBytes("chain.ogg", chain);
    EXPECT_EQ(run.state, s32(E_CODECJOB_FINISHED));
    EXPECT_EQ(run.bytes.size(), size_t(kFrames + 30000) * 4);

    // The second link cannot be set up: the first is delivered whole, then the job fails.
    ASSERT_TRUE(breakFirstCodebook(&chain, m_song.size()));
    run = decodeBytes("broken.ogg", chain);
    EXPECT_EQ(run.state, s32(E_CODECJOB_DECODE_FAILED));
    EXPECT_EQ(run.bytes.size(), size_t(kFrames) * 4);
}

TEST_F(OggVorbisFile, DamagedFilesEndCleanly) {
    // The first page only: the headers never complete.
    EXPECT_EQ(decodeBytes("head.ogg", firstBytes(m_song, 100)).state, E_CODECJOB_OPEN_FAILED);

    // A page damaged in the middle is a hole: decoding goes on after it to the end.
    std::vector<u8> holed = m_song;
    const size_t page = findBytes(holed, "OggS", holed.size() / 2);
    ASSERT_NE(page, std::string::npos);
    holed[page + 40] ^= 0xFF;
    SDecodeRun run = decodeBytes("holed.ogg", holed);
    EXPECT_EQ(run.state, E_CODECJOB_FINISHED);
    EXPECT_GT(run.bytes.size(), kFrames * 4 * 3 / 4);
    EXPECT_LE(run.bytes.size(), kFrames * 4);
    // The hole marks the stream as damaged; the whole song is not.
    EXPECT_TRUE(run.sawDamage);
    EXPECT_FALSE(decodeBytes("whole.ogg", m_song).sawDamage);

    // Cut short: it ends where the last whole page ends.
    run = decodeBytes("cut.ogg", firstBytes(m_song, m_song.size() / 2));
    EXPECT_TRUE(isCodecJobTerminal(run.state)) << run.state;
    EXPECT_GT(run.bytes.size(), 0u);
    ASSERT_EQ(run.infoResult, 1);
    EXPECT_LE(run.bytes.size(), run.info.totalBytes);
}

}  // namespace
