#include "audio/decode/decoder_flac.h"

#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace decoder_test;

namespace {

SDecodeRun decodeFlac(const std::string& path) {
    return decodeFile<ClCodecStreamInstance_FLAC>(createCodecStreamInstanceFLAC, path);
}

// Without a channel map, three channels are written as they come.
std::string encodeFlac(const ClTempFolder& folder, const SDepth& d, const std::vector<s32>& samples) {
    return encodeWithTool(folder, "song.flac", d, samples, "flac -s -f --channel-map=none");
}

// The decoded bytes are exactly the WAV data the file was made from: containers of whole bytes,
// samples shifted left to fill them, 8-bit unsigned. The 12-bit songs take the packer's shift
// through its lanes and its tail, mono and stereo (44.1 kHz stereo ends in a group of four).
TEST(FlacDecoder, DecodesEveryDepthSampleExactly) {
    expectExactDepths(encodeFlac, decodeFlac, false, 7,
                      {{1, 8000, 8}, {2, 44100, 12}, {1, 22050, 12}, {2, 44100, 16}, {2, 96000, 20}, {1, 44100, 24}});
}

// "packed", or "refused" with the output left alone. What it packs the decodes above compare.
std::string pack(std::initializer_list<const s32*> channels, u32 frames, u32 bits, u32 room = 32) {
    u8 out[32];
    std::fill(out, out + 32, 0xAB);
    u32 bytes = 0;
    const std::vector<const s32*> list(channels);
    if (packFlacFrame(list.data(), u32(list.size()), frames, bits, out, room, &bytes)) return "packed";
    return out[0] == 0xAB ? "refused" : "refused, but wrote";
}

TEST(FlacDecoder, PackerRefusesFramesItCannotHold) {
    const s32 left[] = {-2048, 2047, 1}, right[] = {0, -1, 5}, eightBit[] = {-128, 127, 0};
    // A frame one byte too large for the room writes nothing; neither do three channels or widths
    // past 24 bits.
    EXPECT_EQ(pack({left, right}, 3, 16, 11), "refused");
    EXPECT_EQ(pack({left, right, left}, 3, 16), "refused");
    EXPECT_EQ(pack({eightBit}, 3, 32), "refused");
    EXPECT_EQ(pack({eightBit}, 3, 25), "refused");
}

// Streams above 24 bits and with more than two channels open, then fail at the first fill;
// the stream layer is never told about a width it cannot play.
TEST(FlacDecoder, WidthsAndLayoutsItCannotStreamFail) {
    ClTempFolder folder;
    for (const SDepth& d : {SDepth{2, 44100, 32}, SDepth{3, 44100, 16}}) {
        const SDecodeRun run = decodeFlac(encodeFlac(folder, d, makeSignal(4000, d.channels, 44100, d.bits)));
        EXPECT_EQ(run.state, E_CODECJOB_DECODE_FAILED);
        EXPECT_EQ(run.bytes.size(), 0u);
        EXPECT_EQ(run.soundResult, s32(d.channels == 3));
    }
}

// One song of 3 s, longer than one buffer (about 2 s here). STREAMINFO's minimum and maximum
// block sizes are bytes 8 to 11 of the file, big-endian.
TEST(FlacDecoder, DamagedFilesAndBlockSizeLiesFailCleanly) {
    ClTempFolder folder;
    const std::vector<s32> samples = makeSignal(3 * 44100, 2, 44100, 16);
    std::vector<u8> song = readFileBytes(encodeFlac(folder, {2, 44100, 16}, samples));
    ASSERT_GT(song.size(), 42u);
    expectDamagedLosslessEnds(decodeFlac, folder.str(), song, packPcm(samples, 16));

    // A zero maximum would size the ring from nothing: refused at open.
    std::fill(song.begin() + 8, song.begin() + 12, 0);
    EXPECT_EQ(decodeFlac(folder.write("zero.flac", song)).state, E_CODECJOB_OPEN_FAILED);
    // A maximum far below the real frames: the buffers fill up, and the frame that does not fit
    // fails the job instead of overrunning the buffer.
    song[9] = song[11] = 16;
    const SDecodeRun run = decodeFlac(folder.write("small.flac", song));
    EXPECT_EQ(run.state, E_CODECJOB_DECODE_FAILED);
    EXPECT_LT(run.bytes.size(), samples.size() * 2);
    EXPECT_TRUE(isPrefix(run.bytes, packPcm(samples, 16)));
}

}  // namespace
