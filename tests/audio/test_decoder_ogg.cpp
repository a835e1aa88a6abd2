#include "audio/decoder_ogg.h"

#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace decoder_test;

namespace {

ClCodecStreamInstance_OggVorbis* asOgg(ClCodecStreamInstance* job) {
    return static_cast<ClCodecStreamInstance_OggVorbis*>(job);
}

bool encodeOgg(const ClTempFolder& folder, const std::string& name, u32 channels, u32 rate,
               const std::vector<s32>& samples, const std::string& options = "") {
    const std::string wav = folder.file(name + ".wav");
    return writeWavFile(wav, channels, rate, 16, samples) &&
           runTool("oggenc -Q " + options + " " + quoted(wav) + " -o " + quoted(folder.file(name)));
}

// The Ogg page checksum: CRC-32 with polynomial 0x04C11DB7, no reflection, initial value 0.
u32 oggPageCrc(const u8* data, size_t size) {
    u32 crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= u32(data[i]) << 24;
        for (u32 bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

size_t findBytes(const std::vector<u8>& file, const char* pattern, size_t length, size_t from) {
    for (size_t i = from; i + length <= file.size(); ++i) {
        if (std::memcmp(file.data() + i, pattern, length) == 0) return i;
    }
    return std::string::npos;
}

void rewritePageCrc(std::vector<u8>* file, size_t page) {
    std::vector<u8>& f = *file;
    const u32 segments = f[page + 26];
    size_t size = 27 + segments;
    for (u32 i = 0; i < segments; ++i) size += f[page + 27 + i];
    std::memset(&f[page + 22], 0, 4);
    const u32 crc = oggPageCrc(&f[page], size);
    for (u32 i = 0; i < 4; ++i) f[page + 22 + i] = u8(crc >> (8 * i));
}

// Gives the first codebook of the setup header found after `from` three codewords of length 1,
// a tree no decoder can build, and fixes the page checksum. The header still parses, so the
// file opens; the link fails only when decoding reaches it (vorbisfile's OV_EBADLINK).
bool breakFirstCodebook(std::vector<u8>* file, size_t from) {
    const size_t setup = findBytes(*file, "\x05vorbis", 7, from);
    if (setup == std::string::npos) return false;
    const size_t book = setup + 8;  // past the type, "vorbis" and the book count
    std::vector<u8>& f = *file;
    if (book + 10 > f.size() || std::memcmp(&f[book], "BCV", 3) != 0) return false;
    const u32 entries = f[book + 5] | f[book + 6] << 8 | f[book + 7] << 16;
    // Unordered and not sparse: 5-bit lengths follow the two flag bits, least significant first.
    if (entries < 3 || (f[book + 8] & 3) != 0) return false;
    for (u32 bit = 2; bit < 2 + 15; ++bit) f[book + 8 + bit / 8] &= u8(~(1u << (bit % 8)));
    size_t page = setup;
    while (page > 0 && std::memcmp(&f[page], "OggS", 4) != 0) --page;
    rewritePageCrc(file, page);
    return true;
}

struct SOggCase {
    u32 channels;
    u32 rate;
};

class OggVorbisDecoderLayouts : public ::testing::TestWithParam<SOggCase> {};

// Lossy: the length is exact, the shape close. 11025 Hz stereo has half a second that is not a
// whole number of frames.
TEST_P(OggVorbisDecoderLayouts, MatchesTheSourceInLengthAndShape) {
    const SOggCase c = GetParam();
    ClTempFolder folder;
    const u32 frames = c.rate * 13 / 10;
    const std::vector<s32> source = makeSignal(frames, c.channels, c.rate, 16);
    ASSERT_TRUE(encodeOgg(folder, "song.ogg", c.channels, c.rate, source, "-q 6"));

    ClCodecStreamInstance* job = openJob(createCodecStreamInstanceOggVorbis, folder.file("song.ogg"));
    const SDecodeRun run = runJob(job, &asOgg(job)->m_ring);
    ASSERT_EQ(run.state, E_CODECJOB_FINISHED);
    ASSERT_EQ(run.bytes.size(), size_t(frames) * c.channels * 2);
    // The end of the file comes with the last data: a short last buffer, no empty one after it.
    ASSERT_FALSE(run.bufferSizes.empty());
    EXPECT_GT(run.bufferSizes.back(), 0u);
    EXPECT_LT(run.bufferSizes.back(), asOgg(job)->m_ring.bytesPerBuffer);

    // The same length: compared without a lag.
    const std::vector<f32> decoded = pcm16Floats(run.bytes);
    const std::vector<f32> expected = scaledFloats(source, 16);
    EXPECT_GT(channelCorrelation(decoded, expected, c.channels, 0, 0), 0.99);
    if (c.channels == 2) {
        EXPECT_GT(channelCorrelation(decoded, expected, c.channels, 1, 0), 0.95);
    }

    SCommonCodecInfo info = {};
    ASSERT_EQ(job->getCommonCodecInfo(&info), 1);
    EXPECT_EQ(info.totalBytes, run.bytes.size());
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.bytesPerSample, 2u);
    EXPECT_EQ(info.sampleRate, f32(c.rate));
    EXPECT_EQ(info.durationMs, u32(f64(frames) / f64(c.rate) * 1000.0));
    SCodecCreateSoundExInfo sound = {};
    ASSERT_EQ(job->fillCreateSoundExInfo(&sound), 1);
    EXPECT_EQ(sound.format, E_CODECSOUNDFORMAT_PCM16);
    EXPECT_EQ(sound.length, run.bytes.size());
    destroyJob(job);
}

INSTANTIATE_TEST_SUITE_P(Layouts, OggVorbisDecoderLayouts,
                         ::testing::Values(SOggCase{2, 44100}, SOggCase{1, 22050}, SOggCase{2, 11025},
                                           SOggCase{1, 48000}));

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

TEST(OggVorbisDecoder, FillReadsPastHolesAndStopsAtAnyOtherError) {
    u8 buffer[64];
    u32 bytes = 0, atEnd = 0;
    long error = 0;

    SScriptedReads holes{{8, OGGVORBIS_HOLE, OGGVORBIS_HOLE, 12, 0}};
    ASSERT_EQ(fillOggVorbisBuffer(scriptedRead, &holes, buffer, sizeof(buffer), 4, &bytes, &atEnd, &error), 1);
    EXPECT_EQ(bytes, 20u);
    EXPECT_EQ(atEnd, 1u);

    // A read error that persists fails at once instead of being retried for ever.
    for (long code : {-128L, -129L, -137L, -131L, -1L}) {
        SScriptedReads failing{{code}};
        EXPECT_EQ(fillOggVorbisBuffer(scriptedRead, &failing, buffer, sizeof(buffer), 4, &bytes, &atEnd, &error), 0);
        EXPECT_EQ(error, code);
        EXPECT_EQ(failing.calls, 1u);
    }

    // Less room than a frame counts as full: the reader is not asked for a part of a frame.
    SScriptedReads steady{{30}};
    ASSERT_EQ(fillOggVorbisBuffer(scriptedRead, &steady, buffer, 34, 4, &bytes, &atEnd, &error), 1);
    EXPECT_EQ(bytes, 34u);
    EXPECT_EQ(atEnd, 0u);
    SScriptedReads odd{{6}};
    ASSERT_EQ(fillOggVorbisBuffer(scriptedRead, &odd, buffer, 14, 4, &bytes, &atEnd, &error), 1);
    EXPECT_EQ(bytes, 12u);
    EXPECT_EQ(odd.calls, 2u);
}

TEST(OggVorbisDecoder, ReadsCommentsWhateverTheCaseOfTheirNames) {
    ClTempFolder folder;
    const std::vector<s32> source = makeSignal(20000, 2, 44100, 16);
    const std::string tagged = folder.file("Ünïcødé 曲.ogg");
    ASSERT_TRUE(encodeOgg(folder, "Ünïcødé 曲.ogg", 2, 44100, source));
    ASSERT_TRUE(runTool("vorbiscomment -w -t 'title=Tïtle ♫' -t artist=First -t ARTIST=Later -t Album=Album " +
                        quoted(tagged)));
    ASSERT_TRUE(encodeOgg(folder, "plain.ogg", 2, 44100, source));

    ClCodecStreamInstance* job = openJob(createCodecStreamInstanceOggVorbis, tagged);
    ASSERT_EQ(stepJobUntil(job, E_CODECJOB_READY), E_CODECJOB_READY);
    char16_t text[32] = {};
    SCodecMetaDataRequest request = {E_CODECMETA_TITLE, text, sizeof(text), nullptr, 0};
    ASSERT_EQ(job->getMetaData(&request), 1);
    EXPECT_EQ(std::u16string(text), u"Tïtle ♫");
    request.kind = E_CODECMETA_ARTIST;
    ASSERT_EQ(job->getMetaData(&request), 1);
    EXPECT_EQ(std::u16string(text), u"Later");
    request.kind = E_CODECMETA_ALBUM;
    ASSERT_EQ(job->getMetaData(&request), 1);
    EXPECT_EQ(std::u16string(text), u"Album");
    destroyJob(job);

    job = openJob(createCodecStreamInstanceOggVorbis, folder.file("plain.ogg"));
    stepJobUntil(job, E_CODECJOB_READY);
    request.kind = E_CODECMETA_TITLE;
    EXPECT_EQ(job->getMetaData(&request), 0);
    EXPECT_EQ(std::u16string(text), u"Album");
    destroyJob(job);
}

TEST(OggVorbisDecoder, ChainedFilesPlayEveryLinkUntilOneBreaks) {
    ClTempFolder folder;
    // Longer than the ring (1.5 s), so that the break comes after the first fill.
    const u32 firstFrames = 3 * 44100;
    ASSERT_TRUE(encodeOgg(folder, "first.ogg", 2, 44100, makeSignal(firstFrames, 2, 44100, 16), "-s 1"));
    ASSERT_TRUE(encodeOgg(folder, "second.ogg", 2, 44100, makeSignal(30000, 2, 44100, 16), "-s 2"));
    std::vector<u8> first = readFileBytes(folder.file("first.ogg"));
    std::vector<u8> chain = first;
    const std::vector<u8> second = readFileBytes(folder.file("second.ogg"));
    chain.insert(chain.end(), second.begin(), second.end());
    ASSERT_TRUE(writeFileBytes(folder.file("chain.ogg"), chain));

    // Both links, from the start of the first.
    ClCodecStreamInstance* job = openJob(createCodecStreamInstanceOggVorbis, folder.file("chain.ogg"));
    SDecodeRun run = runJob(job, &asOgg(job)->m_ring);
    EXPECT_EQ(run.state, E_CODECJOB_FINISHED);
    EXPECT_EQ(run.bytes.size(), size_t(firstFrames + 30000) * 4);
    destroyJob(job);

    // The second link cannot be set up: the first is delivered whole, then the job fails.
    ASSERT_TRUE(breakFirstCodebook(&chain, first.size()));
    ASSERT_TRUE(writeFileBytes(folder.file("broken.ogg"), chain));
    job = openJob(createCodecStreamInstanceOggVorbis, folder.file("broken.ogg"));
    run = runJob(job, &asOgg(job)->m_ring);
    EXPECT_EQ(run.state, E_CODECJOB_DECODE_FAILED);
    EXPECT_EQ(run.bytes.size(), size_t(firstFrames) * 4);
    destroyJob(job);
}

TEST(OggVorbisDecoder, DamagedFilesEndCleanly) {
    ClTempFolder folder;
    const u32 frames = 3 * 44100;
    ASSERT_TRUE(encodeOgg(folder, "song.ogg", 2, 44100, makeSignal(frames, 2, 44100, 16)));
    const std::vector<u8> file = readFileBytes(folder.file("song.ogg"));

    ASSERT_TRUE(writeFileBytes(folder.file("empty.ogg"), {}));
    ASSERT_TRUE(writeFileBytes(folder.file("garbage.ogg"), garbageBytes(4096)));
    // Only the first page: the headers never complete.
    ASSERT_TRUE(writeFileBytes(folder.file("head.ogg"), firstBytes(file, 100)));
    for (const char* name : {"empty.ogg", "garbage.ogg", "head.ogg", "missing.ogg"}) {
        ClCodecStreamInstance* job = openJob(createCodecStreamInstanceOggVorbis, folder.file(name));
        EXPECT_EQ(runJob(job, &asOgg(job)->m_ring).state, E_CODECJOB_OPEN_FAILED) << name;
        destroyJob(job);
    }

    // A page damaged in the middle is a hole: decoding goes on after it to the end.
    std::vector<u8> holed = file;
    const size_t page = findBytes(holed, "OggS", 4, holed.size() / 2);
    ASSERT_NE(page, std::string::npos);
    holed[page + 40] ^= 0xFF;
    ASSERT_TRUE(writeFileBytes(folder.file("holed.ogg"), holed));
    ClCodecStreamInstance* job = openJob(createCodecStreamInstanceOggVorbis, folder.file("holed.ogg"));
    SDecodeRun run = runJob(job, &asOgg(job)->m_ring);
    EXPECT_EQ(run.state, E_CODECJOB_FINISHED);
    EXPECT_GT(run.bytes.size(), size_t(frames) * 4 * 3 / 4);
    EXPECT_LE(run.bytes.size(), size_t(frames) * 4);
    destroyJob(job);

    // Cut short: it ends where the last whole page ends.
    ASSERT_TRUE(writeFileBytes(folder.file("cut.ogg"), firstBytes(file, file.size() / 2)));
    job = openJob(createCodecStreamInstanceOggVorbis, folder.file("cut.ogg"));
    run = runJob(job, &asOgg(job)->m_ring);
    EXPECT_TRUE(isCodecJobTerminal(run.state)) << run.state;
    EXPECT_GT(run.bytes.size(), 0u);
    SCommonCodecInfo info = {};
    ASSERT_EQ(job->getCommonCodecInfo(&info), 1);
    EXPECT_LE(run.bytes.size(), info.totalBytes);
    destroyJob(job);
}

}  // namespace
