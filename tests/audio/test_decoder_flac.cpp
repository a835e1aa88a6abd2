#include "audio/decoder_flac.h"

#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace decoder_test;

namespace {

ClCodecStreamInstance_FLAC* asFlac(ClCodecStreamInstance* job) { return static_cast<ClCodecStreamInstance_FLAC*>(job); }

// Encodes the signal with the command-line encoder; extra options go before the input.
bool encodeFlac(const ClTempFolder& folder, const std::string& name, u32 channels, u32 rate, u32 bits,
                const std::vector<s32>& samples, const std::string& options = "") {
    const std::string wav = folder.file(name + ".wav");
    return writeWavFile(wav, channels, rate, bits, samples) &&
           runTool("flac -s -f " + options + " " + quoted(wav) + " -o " + quoted(folder.file(name)));
}

struct SFlacCase {
    u32 bits;
    u32 channels;
    u32 rate;
};

class FlacDecoderDepths : public ::testing::TestWithParam<SFlacCase> {};

// The decoded bytes are exactly the WAV data the file was made from: containers of whole bytes,
// samples shifted left to fill them, 8-bit unsigned.
TEST_P(FlacDecoderDepths, DecodesSampleExactly) {
    const SFlacCase c = GetParam();
    ClTempFolder folder;
    const u32 frames = c.rate * 3 / 4;
    const std::vector<s32> samples = makeSignal(frames, c.channels, c.rate, c.bits);
    ASSERT_TRUE(encodeFlac(folder, "song.flac", c.channels, c.rate, c.bits, samples));

    ClCodecStreamInstance* job = openJob(createCodecStreamInstanceFLAC, folder.file("song.flac"));
    const SDecodeRun run = runJob(job, &asFlac(job)->m_ring);
    EXPECT_EQ(run.state, E_CODECJOB_FINISHED);
    const std::vector<u8> expected = packPcm(samples, c.bits);
    ASSERT_EQ(run.bytes.size(), expected.size());
    EXPECT_TRUE(run.bytes == expected);

    const u32 container = (c.bits + 7) / 8;
    SCommonCodecInfo info = {};
    ASSERT_EQ(job->getCommonCodecInfo(&info), 1);
    EXPECT_EQ(info.totalBytes, expected.size());
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.one, 1u);
    EXPECT_EQ(info.bytesPerSample, container);
    EXPECT_EQ(info.sampleRate, f32(c.rate));
    EXPECT_EQ(info.sampleFormat, u32(E_CODECSAMPLEFORMAT_INTEGER));
    EXPECT_EQ(info.durationMs, u32(f64(frames) / c.rate * 1000.0));

    SCodecCreateSoundExInfo sound = {};
    ASSERT_EQ(job->fillCreateSoundExInfo(&sound), 1);
    const ECodecSoundFormat formats[] = {E_CODECSOUNDFORMAT_NONE, E_CODECSOUNDFORMAT_PCM8, E_CODECSOUNDFORMAT_PCM16,
                                         E_CODECSOUNDFORMAT_PCM24};
    EXPECT_EQ(sound.format, formats[container]);
    EXPECT_EQ(sound.length, expected.size());
    EXPECT_EQ(sound.numChannels, c.channels);
    EXPECT_EQ(sound.defaultFrequency, c.rate);
    destroyJob(job);
}

INSTANTIATE_TEST_SUITE_P(Widths, FlacDecoderDepths,
                         ::testing::Values(SFlacCase{8, 1, 8000}, SFlacCase{8, 2, 22050}, SFlacCase{12, 2, 22050},
                                           SFlacCase{16, 2, 44100}, SFlacCase{16, 1, 48000},
                                           SFlacCase{20, 2, 96000}, SFlacCase{24, 1, 44100},
                                           SFlacCase{24, 2, 48000}));

TEST(FlacDecoder, PackerFillsTheContainerAndChecksTheRoom) {
    const s32 left[] = {-2048, 2047, 1};
    const s32 right[] = {0, -1, 5};
    const s32* channels[] = {left, right};
    u8 out[32];
    u32 bytes = 0;

    ASSERT_EQ(packFlacFrame(channels, 2, 3, 12, out, sizeof(out), &bytes), 1);
    ASSERT_EQ(bytes, 12u);
    const u8 twelveBit[] = {0x00, 0x80, 0x00, 0x00, 0xF0, 0x7F, 0xF0, 0xFF, 0x10, 0x00, 0x50, 0x00};
    EXPECT_EQ(std::memcmp(out, twelveBit, 12), 0);

    const s32 eightBit[] = {-128, 127, 0};
    const s32* mono[] = {eightBit};
    ASSERT_EQ(packFlacFrame(mono, 1, 3, 8, out, sizeof(out), &bytes), 1);
    EXPECT_EQ(bytes, 3u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 255);
    EXPECT_EQ(out[2], 128);

    ASSERT_EQ(packFlacFrame(mono, 1, 1, 20, out, sizeof(out), &bytes), 1);
    const u8 twentyBit[] = {0x00, 0xF8, 0xFF};  // -128 << 4
    EXPECT_EQ(std::memcmp(out, twentyBit, 3), 0);

    // A frame one byte too large for the room writes nothing.
    std::memset(out, 0xAB, sizeof(out));
    EXPECT_EQ(packFlacFrame(channels, 2, 3, 16, out, 11, &bytes), 0);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(out[0], 0xAB);

    const s32* three[] = {left, right, left};
    EXPECT_EQ(packFlacFrame(three, 3, 3, 16, out, sizeof(out), &bytes), 0);
    EXPECT_EQ(packFlacFrame(mono, 1, 3, 32, out, sizeof(out), &bytes), 0);
    EXPECT_EQ(packFlacFrame(mono, 1, 3, 25, out, sizeof(out), &bytes), 0);
}

TEST(FlacDecoder, TagsOfANonAsciiFileName) {
    ClTempFolder folder;
    const std::vector<s32> samples = makeSignal(8000, 2, 44100, 16);
    // ALBUMARTIST holds ARTIST, which is searched before ALBUM; the last matching comment wins.
    ASSERT_TRUE(encodeFlac(folder, "Ünïcødé 曲.flac", 2, 44100, 16, samples,
                           "-T 'title=Tïtle ♫' -T ARTIST=First -T ALBUMARTIST=Second"));
    ClCodecStreamInstance* job = openJob(createCodecStreamInstanceFLAC, folder.file("Ünïcødé 曲.flac"));
    ASSERT_EQ(stepJobUntil(job, E_CODECJOB_OPENED), E_CODECJOB_OPENED);

    char16_t text[64] = {};
    SCodecMetaDataRequest request = {E_CODECMETA_TITLE, text, sizeof(text), nullptr, 0};
    ASSERT_EQ(job->getMetaData(&request), 1);
    EXPECT_EQ(std::u16string(text), u"Tïtle ♫");
    request.kind = E_CODECMETA_ARTIST;
    ASSERT_EQ(job->getMetaData(&request), 1);
    EXPECT_EQ(std::u16string(text), u"Second");
    // An absent item is not answered and leaves the buffer alone.
    request.kind = E_CODECMETA_ALBUM;
    EXPECT_EQ(job->getMetaData(&request), 0);
    EXPECT_EQ(std::u16string(text), u"Second");
    // At most bytes / 2 units, terminator included.
    char16_t small[3] = {};
    SCodecMetaDataRequest shortRequest = {E_CODECMETA_TITLE, small, sizeof(small), nullptr, 0};
    ASSERT_EQ(job->getMetaData(&shortRequest), 1);
    EXPECT_EQ(std::u16string(small), u"Tï");

    EXPECT_EQ(runJob(job, &asFlac(job)->m_ring).state, E_CODECJOB_FINISHED);
    destroyJob(job);
}

// Streams above 24 bits and with more than two channels open, then fail at the first fill;
// the stream layer is never told about a width it cannot play.
TEST(FlacDecoder, WidthsAndLayoutsItCannotStreamFail) {
    ClTempFolder folder;
    ASSERT_TRUE(encodeFlac(folder, "wide.flac", 2, 44100, 32, makeSignal(4000, 2, 44100, 32)));
    ASSERT_TRUE(encodeFlac(folder, "three.flac", 3, 44100, 16, makeSignal(4000, 3, 44100, 16),
                           "--channel-map=none"));
    for (const char* name : {"wide.flac", "three.flac"}) {
        ClCodecStreamInstance* job = openJob(createCodecStreamInstanceFLAC, folder.file(name));
        ASSERT_EQ(stepJobUntil(job, E_CODECJOB_OPENED), E_CODECJOB_OPENED) << name;
        const SDecodeRun run = runJob(job, &asFlac(job)->m_ring);
        EXPECT_EQ(run.state, E_CODECJOB_DECODE_FAILED) << name;
        EXPECT_TRUE(run.bytes.empty()) << name;
        destroyJob(job);
    }
    ClCodecStreamInstance* job = openJob(createCodecStreamInstanceFLAC, folder.file("wide.flac"));
    stepJobUntil(job, E_CODECJOB_OPENED);
    SCodecCreateSoundExInfo sound = {};
    EXPECT_EQ(job->fillCreateSoundExInfo(&sound), 0);
    destroyJob(job);
}

// STREAMINFO's maximum block size is bytes 10 and 11 of the file, big-endian.
TEST(FlacDecoder, MaximumBlockSizeIsCheckedAgainstTheFrames) {
    ClTempFolder folder;
    // Longer than one buffer (about 2 s here).
    const std::vector<s32> samples = makeSignal(5 * 44100, 2, 44100, 16);
    ASSERT_TRUE(encodeFlac(folder, "song.flac", 2, 44100, 16, samples));
    std::vector<u8> file = readFileBytes(folder.file("song.flac"));
    ASSERT_GT(file.size(), 42u);

    // A zero maximum would size the ring from nothing: refused at open.
    std::vector<u8> zero = file;
    zero[8] = zero[9] = zero[10] = zero[11] = 0;
    ASSERT_TRUE(writeFileBytes(folder.file("zero.flac"), zero));
    ClCodecStreamInstance* job = openJob(createCodecStreamInstanceFLAC, folder.file("zero.flac"));
    EXPECT_EQ(runJob(job, &asFlac(job)->m_ring).state, E_CODECJOB_OPEN_FAILED);
    destroyJob(job);

    // A maximum far below the real frames: the buffers fill up, and the frame that does not fit
    // fails the job instead of overrunning the buffer.
    std::vector<u8> small = file;
    small[8] = 0;
    small[9] = 16;
    small[10] = 0;
    small[11] = 16;
    ASSERT_TRUE(writeFileBytes(folder.file("small.flac"), small));
    job = openJob(createCodecStreamInstanceFLAC, folder.file("small.flac"));
    const SDecodeRun run = runJob(job, &asFlac(job)->m_ring);
    EXPECT_EQ(run.state, E_CODECJOB_DECODE_FAILED);
    const std::vector<u8> expected = packPcm(samples, 16);
    ASSERT_LT(run.bytes.size(), expected.size());
    EXPECT_TRUE(std::equal(run.bytes.begin(), run.bytes.end(), expected.begin()));
    destroyJob(job);
}

TEST(FlacDecoder, DamagedFilesFailCleanly) {
    ClTempFolder folder;
    const std::vector<s32> samples = makeSignal(3 * 44100, 2, 44100, 16);
    ASSERT_TRUE(encodeFlac(folder, "song.flac", 2, 44100, 16, samples));
    const std::vector<u8> file = readFileBytes(folder.file("song.flac"));
    const std::vector<u8> expected = packPcm(samples, 16);

    ASSERT_TRUE(writeFileBytes(folder.file("empty.flac"), {}));
    ASSERT_TRUE(writeFileBytes(folder.file("garbage.flac"), garbageBytes(4096)));
    for (const char* name : {"empty.flac", "garbage.flac", "missing.flac"}) {
        ClCodecStreamInstance* job = openJob(createCodecStreamInstanceFLAC, folder.file(name));
        EXPECT_EQ(runJob(job, &asFlac(job)->m_ring).state, E_CODECJOB_OPEN_FAILED) << name;
        destroyJob(job);
    }

    // Cut in the middle: what was there is delivered exactly, then the job fails.
    ASSERT_TRUE(writeFileBytes(folder.file("cut.flac"), firstBytes(file, file.size() * 3 / 5)));
    ClCodecStreamInstance* job = openJob(createCodecStreamInstanceFLAC, folder.file("cut.flac"));
    SDecodeRun run = runJob(job, &asFlac(job)->m_ring);
    EXPECT_EQ(run.state, E_CODECJOB_DECODE_FAILED);
    EXPECT_GT(run.bytes.size(), 0u);
    EXPECT_TRUE(std::equal(run.bytes.begin(), run.bytes.end(), expected.begin()));
    destroyJob(job);

    // Frames overwritten in the middle: the library skips or silences them; the job ends either
    // way, and never delivers more than the stream declared.
    std::vector<u8> corrupt = file;
    for (size_t i = file.size() / 2; i < file.size() / 2 + 2000; ++i) corrupt[i] = u8(0xFF - (i & 0x0F));
    ASSERT_TRUE(writeFileBytes(folder.file("corrupt.flac"), corrupt));
    job = openJob(createCodecStreamInstanceFLAC, folder.file("corrupt.flac"));
    run = runJob(job, &asFlac(job)->m_ring);
    EXPECT_TRUE(run.state == E_CODECJOB_FINISHED || run.state == E_CODECJOB_DECODE_FAILED) << run.state;
    EXPECT_LE(run.bytes.size(), expected.size());
    destroyJob(job);
}

}  // namespace
