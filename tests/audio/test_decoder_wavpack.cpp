#include "audio/decode/decoder_wavpack.h"

#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

using namespace decoder_test;

namespace {

SDecodeRun decodeWavPack(const std::string& path) {
    return decodeFile<ClCodecStreamInstance_WavPack>(createCodecStreamInstanceWavPack, path);
}

bool encodeWavPack(const std::string& wav, const std::string& out, const std::string& options = "") {
    return runTool("wavpack -q -y " + options + " " + quoted(wav) + " -o " + quoted(out));
}

bool sameBits(const std::vector<f32>& a, const std::vector<f32>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * 4) == 0);
}

struct SWavPackCase {
    u32 bits;
    u32 channels;
    u32 rate;
};

class WavPackDecoderDepths : public ::testing::TestWithParam<SWavPackCase> {};

TEST_P(WavPackDecoderDepths, DecodesToScaledFloatsExactly) {
    const SWavPackCase c = GetParam();
    ClTempFolder folder;
    const u32 frames = c.rate * 3 / 4;
    const std::vector<s32> samples = makeSignal(frames, c.channels, c.rate, c.bits);
    ASSERT_TRUE(writeWavFile(folder.file("song.wav"), c.channels, c.rate, c.bits, samples));
    ASSERT_TRUE(encodeWavPack(folder.file("song.wav"), folder.file("song.wv")));

    const SDecodeRun run = decodeWavPack(folder.file("song.wv"));
    EXPECT_EQ(run.state, E_CODECJOB_FINISHED);
    EXPECT_TRUE(sameBits(floatsOf(run.bytes), scaledFloats(samples, c.bits)));
    expectCodecInfo(run, {c.channels, c.rate, 4, E_CODECSAMPLEFORMAT_FLOAT, frames, E_CODECSOUNDFORMAT_PCMFLOAT});
}

INSTANTIATE_TEST_SUITE_P(Widths, WavPackDecoderDepths,
                         ::testing::Values(SWavPackCase{8, 1, 8000}, SWavPackCase{12, 2, 22050},
                                           SWavPackCase{16, 2, 44100}, SWavPackCase{24, 1, 96000},
                                           SWavPackCase{32, 2, 44100}));

TEST(WavPackDecoder, FloatFilesPassUnchanged) {
    ClTempFolder folder;
    std::vector<f32> samples;
    for (u32 i = 0; i < 30000; ++i) {
        samples.push_back(f32(0.6 * std::sin(i * 0.031)));
        samples.push_back(i % 5000 == 0 ? -1.0f : f32(0.25 * std::cos(i * 0.007)));
    }
    ASSERT_TRUE(writeFloatWavFile(folder.file("float.wav"), 2, 44100, samples));
    ASSERT_TRUE(encodeWavPack(folder.file("float.wav"), folder.file("float.wv")));
    const SDecodeRun run = decodeWavPack(folder.file("float.wv"));
    EXPECT_EQ(run.state, E_CODECJOB_FINISHED);
    EXPECT_TRUE(sameBits(floatsOf(run.bytes), samples));
}

TEST(WavPackDecoder, TagItems) {
    ClTempFolder folder;
    ASSERT_TRUE(writeWavFile(folder.file("song.wav"), 2, 44100, 16, makeSignal(10000, 2, 44100, 16)));
    const std::string path = folder.file("tags.wv");
    ASSERT_TRUE(encodeWavPack(folder.file("song.wav"), path, "-w 'Title=Tïtle ♫' -w Artist=Ärtist"));
    ClCodecStreamInstance* job = openJob(createCodecStreamInstanceWavPack, path);
    ASSERT_EQ(stepJobUntil(job, E_CODECJOB_OPENED), E_CODECJOB_OPENED);

    EXPECT_EQ(jobTag(job, E_CODECMETA_TITLE), u"Tïtle ♫");
    EXPECT_EQ(jobTag(job, E_CODECMETA_ARTIST), u"Ärtist");
    EXPECT_EQ(jobTag(job, E_CODECMETA_ALBUM), u"(none)");
    EXPECT_EQ(jobTag(job, E_CODECMETA_TITLE, 4), u"Tït");  // the cut keeps whole characters
    EXPECT_EQ(runJob(job, &static_cast<ClCodecStreamInstance_WavPack*>(job)->m_ring).state, E_CODECJOB_FINISHED);
    destroyJob(job);
}

// Written to a pipe, the file's header has no sample count; read from a pipe, the library cannot
// look for the last block either.
TEST(WavPackDecoder, FileOfUnknownLengthIsRefusedAtOpen) {
    ClTempFolder folder;
    ASSERT_TRUE(writeWavFile(folder.file("song.wav"), 2, 44100, 16, makeSignal(4000, 2, 44100, 16)));
    ASSERT_TRUE(runTool("cat " + quoted(folder.file("song.wav")) + " | wavpack -q -y -i - -o - 2>/dev/null | tee " +
                        quoted(folder.file("streamed.wv"))));
    const std::vector<u8> streamed = readFileBytes(folder.file("streamed.wv"));
    ASSERT_GT(streamed.size(), 32u);
    ASSERT_LT(streamed.size(), 60000u);  // fits in the pipe, so the writer never waits for the reader
    const std::string fifo = folder.file("fifo.wv");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    std::thread writer([&] {
        // Bounded: a reader that never comes leaves the writer after two seconds.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        int fd = -1;
        while (fd < 0 && std::chrono::steady_clock::now() < deadline) {
            fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (fd < 0) return;
        fcntl(fd, F_SETFL, 0);
        EXPECT_EQ(write(fd, streamed.data(), streamed.size()), ssize_t(streamed.size()));
        close(fd);
    });
    EXPECT_EQ(decodeWavPack(fifo).state, E_CODECJOB_OPEN_FAILED);
    writer.join();
}

TEST(WavPackDecoder, DamagedFilesFailCleanly) {
    ClTempFolder folder;
    const std::vector<s32> samples = makeSignal(3 * 44100, 2, 44100, 16);
    ASSERT_TRUE(writeWavFile(folder.file("song.wav"), 2, 44100, 16, samples));
    ASSERT_TRUE(encodeWavPack(folder.file("song.wav"), folder.file("song.wv")));
    const std::vector<u8> file = readFileBytes(folder.file("song.wv"));
    const std::vector<f32> expected = scaledFloats(samples, 16);

    EXPECT_EQ(decodeWavPack(folder.write("garbage.wv", garbageBytes(4096))).state, E_CODECJOB_OPEN_FAILED);

    // Cut in the middle: what was there is delivered exactly, then the job fails.
    SDecodeRun run = decodeWavPack(folder.write("cut.wv", firstBytes(file, file.size() * 3 / 5)));
    EXPECT_EQ(run.state, E_CODECJOB_DECODE_FAILED);
    const std::vector<f32> delivered = floatsOf(run.bytes);
    EXPECT_GT(delivered.size(), 0u);
    ASSERT_LT(delivered.size(), expected.size());
    EXPECT_TRUE(sameBits(delivered, std::vector<f32>(expected.begin(), expected.begin() + delivered.size())));

    // Blocks overwritten in the middle: the job ends, with no more than the declared length.
    std::vector<u8> corrupt = file;
    for (size_t i = file.size() / 2; i < file.size() / 2 + 2000; ++i) corrupt[i] = u8(0xFF - (i & 0x0F));
    run = decodeWavPack(folder.write("corrupt.wv", corrupt));
    EXPECT_TRUE(run.state == E_CODECJOB_FINISHED || run.state == E_CODECJOB_DECODE_FAILED) << run.state;
    EXPECT_LE(run.bytes.size(), expected.size() * 4);
}

}  // namespace
