#include "audio/decode/decoder_wavpack.h"

#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>

using namespace decoder_test;

namespace {

SDecodeRun decodeWavPack(const std::string& path) {
    return decodeFile<ClCodecStreamInstance_WavPack>(createCodecStreamInstanceWavPack, path);
}

std::string encodeWavPack(const ClTempFolder& folder, const SDepth& d, const std::vector<s32>& samples) {
    return encodeWithTool(folder, "song.wv", d, samples, "wavpack -q -y");
}

TEST(WavPackDecoder, DecodesEveryDepthToScaledFloatsExactly) {
    expectExactDepths(encodeWavPack, decodeWavPack, true, 7,
                      {{1, 8000, 8}, {2, 22050, 12}, {2, 44100, 16}, {1, 96000, 24}, {2, 44100, 32}});
}

TEST(WavPackDecoder, FloatFilesPassUnchanged) {
    ClTempFolder folder;
    std::vector<f32> samples;
    for (u32 i = 0; i < 30000; ++i) {
        samples.push_back(f32(0.6 * std::sin(i * 0.031)));
        samples.push_back(i % 5000 == 0 ? -1.0f : f32(0.25 * std::cos(i * 0.007)));
    }
    writeFileBytes(folder.file("float.wav"),
                   wavImage({.bits = 32, .tag = 3, .extensible = true}, bytesOf(samples)));
    ASSERT_TRUE(runTool("wavpack -q -y " + quoted(folder.file("float.wav")) + " -o " + quoted(folder.file("float.wv"))));
    const SDecodeRun run = decodeWavPack(folder.file("float.wv"));
    EXPECT_EQ(run.state, s32(E_CODECJOB_FINISHED));
    EXPECT_TRUE(run.bytes == bytesOf(samples));
}

// Written to a pipe, the file's header has no sample count; read from a pipe, the library cannot
// look for the last block either.
TEST(WavPackDecoder, FileOfUnknownLengthIsRefusedAtOpen) {
    ClTempFolder folder;
    writeWavFile(folder.file("song.wav"), 2, 44100, 16, makeSignal(4000, 2, 44100, 16));
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
    const std::vector<u8> file = readFileBytes(encodeWavPack(folder, {2, 44100, 16}, samples));
    expectDamagedLosslessEnds(decodeWavPack, folder.str(), file, bytesOf(scaledFloats(samples, 16)));
}

}  // namespace
