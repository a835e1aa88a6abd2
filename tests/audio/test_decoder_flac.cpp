#include "audio/decode/decoder_flac.h"

#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

using namespace decoder_test;

namespace {

SDecodeRun decodeFlac(const std::string& path) {
    return decodeFile<ClCodecStreamInstance_FLAC>(createCodecStreamInstanceFLAC, path);
}

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

    const SDecodeRun run = decodeFlac(folder.file("song.flac"));
    EXPECT_EQ(run.state, E_CODECJOB_FINISHED);
    EXPECT_TRUE(run.bytes == packPcm(samples, c.bits));
    const u32 container = (c.bits + 7) / 8;
    const ECodecSoundFormat formats[] = {E_CODECSOUNDFORMAT_NONE, E_CODECSOUNDFORMAT_PCM8, E_CODECSOUNDFORMAT_PCM16,
                                         E_CODECSOUNDFORMAT_PCM24};
    expectCodecInfo(run, {c.channels, c.rate, container, E_CODECSAMPLEFORMAT_INTEGER, frames, formats[container]});
}

INSTANTIATE_TEST_SUITE_P(Widths, FlacDecoderDepths,
                         ::testing::Values(SFlacCase{8, 1, 8000}, SFlacCase{12, 2, 22050}, SFlacCase{16, 2, 44100},
                                           SFlacCase{20, 2, 96000}, SFlacCase{24, 1, 44100}));

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
    out[0] = 0xAB;
    EXPECT_EQ(packFlacFrame(channels, 2, 3, 16, out, 11, &bytes), 0);
    EXPECT_EQ(out[0], 0xAB);

    const s32* three[] = {left, right, left};
    EXPECT_EQ(packFlacFrame(three, 3, 3, 16, out, sizeof(out), &bytes), 0);
    EXPECT_EQ(packFlacFrame(mono, 1, 3, 32, out, sizeof(out), &bytes), 0);
    EXPECT_EQ(packFlacFrame(mono, 1, 3, 25, out, sizeof(out), &bytes), 0);
}

TEST(FlacDecoder, TagsByTheirLastMatchingComment) {
    ClTempFolder folder;
    // ALBUMARTIST holds ARTIST, which is searched before ALBUM; the last matching comment wins.
    ASSERT_TRUE(encodeFlac(folder, "tags.flac", 2, 44100, 16, makeSignal(8000, 2, 44100, 16),
                           "-T 'title=Tïtle ♫' -T ARTIST=First -T ALBUMARTIST=Second"));
    ClCodecStreamInstance* job = openJob(createCodecStreamInstanceFLAC, folder.file("tags.flac"));
    ASSERT_EQ(stepJobUntil(job, E_CODECJOB_OPENED), E_CODECJOB_OPENED);

    EXPECT_EQ(jobTag(job, E_CODECMETA_TITLE), u"Tïtle ♫");
    EXPECT_EQ(jobTag(job, E_CODECMETA_ARTIST), u"Second");
    EXPECT_EQ(jobTag(job, E_CODECMETA_ALBUM), u"(none)");
    EXPECT_EQ(jobTag(job, E_CODECMETA_TITLE, 3), u"Tï");  // at most the buffer's units, terminator included
    EXPECT_EQ(runJob(job, &static_cast<ClCodecStreamInstance_FLAC*>(job)->m_ring).state, E_CODECJOB_FINISHED);
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
        const SDecodeRun run = decodeFlac(folder.file(name));
        EXPECT_EQ(run.state, E_CODECJOB_DECODE_FAILED) << name;
        EXPECT_TRUE(run.bytes.empty()) << name;
        EXPECT_EQ(run.soundResult, name == std::string("three.flac")) << name;
    }
}

// One song of 3 s, longer than one buffer (about 2 s here), shared by the tests below.
class FlacFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = new ClTempFolder();
        s_samples = makeSignal(3 * 44100, 2, 44100, 16);
        encodeFlac(*s_folder, "song.flac", 2, 44100, 16, s_samples);
    }
    static void TearDownTestSuite() { delete s_folder; }
    void SetUp() override {
        m_song = readFileBytes(s_folder->file("song.flac"));
        ASSERT_GT(m_song.size(), 42u);
    }
    // The decode of the song changed by `change`, written as `name`.
    SDecodeRun decodeChanged(const char* name, const std::function<void(std::vector<u8>*)>& change) const {
        std::vector<u8> bytes = m_song;
        change(&bytes);
        return decodeFlac(m_folder.write(name, bytes));
    }
    // The delivered bytes are the start of the song.
    static bool isStartOfSong(const std::vector<u8>& bytes) {
        const std::vector<u8> expected = packPcm(s_samples, 16);
        return bytes.size() <= expected.size() && std::equal(bytes.begin(), bytes.end(), expected.begin());
    }

    static inline ClTempFolder* s_folder = nullptr;
    static inline std::vector<s32> s_samples;
    ClTempFolder m_folder;
    std::vector<u8> m_song;
};

// STREAMINFO's maximum block size is bytes 10 and 11 of the file, big-endian (8 and 9: the minimum).
TEST_F(FlacFile, MaximumBlockSizeIsCheckedAgainstTheFrames) {
    // A zero maximum would size the ring from nothing: refused at open.
    const auto zero = [](std::vector<u8>* f) { std::fill(f->begin() + 8, f->begin() + 12, 0); };
    EXPECT_EQ(decodeChanged("zero.flac", zero).state, E_CODECJOB_OPEN_FAILED);
    // A maximum far below the real frames: the buffers fill up, and the frame that does not fit
    // fails the job instead of overrunning the buffer.
    const SDecodeRun run = decodeChanged("small.flac", [](std::vector<u8>* f) {
        const u8 sixteen[] = {0, 16, 0, 16};
        std::copy(sixteen, sixteen + 4, f->begin() + 8);
    });
    EXPECT_EQ(run.state, E_CODECJOB_DECODE_FAILED);
    EXPECT_LT(run.bytes.size(), s_samples.size() * 2);
    EXPECT_TRUE(isStartOfSong(run.bytes));
}

TEST_F(FlacFile, DamagedFilesFailCleanly) {
    EXPECT_EQ(decodeFlac(m_folder.write("garbage.flac", garbageBytes(4096))).state, E_CODECJOB_OPEN_FAILED);

    // Cut in the middle: what was there is delivered exactly, then the job fails.
    SDecodeRun run = decodeChanged("cut.flac", [](std::vector<u8>* f) { f->resize(f->size() * 3 / 5); });
    EXPECT_EQ(run.state, E_CODECJOB_DECODE_FAILED);
    EXPECT_GT(run.bytes.size(), 0u);
    EXPECT_TRUE(isStartOfSong(run.bytes));

    // Frames overwritten in the middle: the library skips or silences them; the job ends either
    // way, and never delivers more than the stream declared.
    run = decodeChanged("corrupt.flac", [](std::vector<u8>* f) {
        for (size_t i = f->size() / 2; i < f->size() / 2 + 2000; ++i) (*f)[i] = u8(0xFF - (i & 0x0F));
    });
    EXPECT_TRUE(run.state == E_CODECJOB_FINISHED || run.state == E_CODECJOB_DECODE_FAILED) << run.state;
    EXPECT_LE(run.bytes.size(), s_samples.size() * 2);
}

}  // namespace
