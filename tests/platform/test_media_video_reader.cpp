// Video reader: a film made by the ffmpeg command from a test pattern and a tone decodes to its
// pictures and its sound, and again after a rewind.
#include "platform/media/media_video_reader.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool ffmpegHasEncoders() {
    return std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q ' mpeg4 '") == 0 &&
           std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q ' aac '") == 0;
}

struct SCounts {
    u32 pictures = 0;
    u64 soundFrames = 0;
    f64 lastTime = -1.0;
    bool timesRise = true;
    std::vector<u8> firstPixel;  // RGBA
};

SCounts readAll(ClMediaVideoReader& reader) {
    SCounts counts;
    for (u32 guard = 0; guard < 10000; ++guard) {
        const EMediaVideoEvent event = reader.next();
        if (event == E_MEDIAVIDEO_PICTURE) {
            if (counts.pictures++ == 0) counts.firstPixel.assign(reader.pixels(), reader.pixels() + 4);
            counts.timesRise = counts.timesRise && reader.pictureTime() > counts.lastTime;
            counts.lastTime = reader.pictureTime();
        } else if (event == E_MEDIAVIDEO_SOUND) {
            counts.soundFrames += reader.soundFrames();
        } else {
            EXPECT_EQ(E_MEDIAVIDEO_END, event) << reader.lastError();
            break;
        }
    }
    return counts;
}

TEST(MediaVideoReader, DecodesEveryPictureAndTheSoundAgainAfterARewind) {
    if (!ffmpegHasEncoders()) GTEST_SKIP() << "this ffmpeg has no mpeg4 or aac encoder";
    test_support::ClTempDir folder;
    const std::string path = folder.file("film.mov");
    // One second: 10 pictures of solid red at 64 x 48 and a 440 Hz tone at 22,050 Hz.
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i color=c=red:size=64x48:rate=10:duration=1 "
        "-f lavfi -i sine=frequency=440:sample_rate=22050:duration=1 -c:v mpeg4 -q:v 2 -c:a aac '" + path + "'";
    ASSERT_EQ(0, std::system(command.c_str())) << "ffmpeg could not make the film";

    ClMediaVideoReader reader;
    ASSERT_EQ(E_MEDIAERR_NONE, reader.open(test_support::widePath(path).c_str()));
    const SMediaVideoFormat format = reader.format();
    EXPECT_EQ(format.hasVideo, true);
    EXPECT_EQ(format.hasAudio, true);
    EXPECT_EQ(format.width, 64u);
    EXPECT_EQ(format.height, 48u);
    EXPECT_EQ(format.sampleRate, 22050u);
    const SCounts first = readAll(reader);
    EXPECT_EQ(first.pictures, 10u);
    EXPECT_EQ(first.timesRise, true);
    EXPECT_NEAR(0.9, first.lastTime, 1e-6);
    EXPECT_NEAR(22050.0, f64(first.soundFrames), 2048.0);  // the encoder's priming and padding
    EXPECT_NEAR(0xFE, first.firstPixel[0], 4);  // red, within the codec's rounding
    EXPECT_LT(first.firstPixel[1], 4);
    EXPECT_EQ(int(first.firstPixel[3]), 0xFF);

    ASSERT_TRUE(reader.rewind());
    const SCounts second = readAll(reader);
    EXPECT_EQ(second.pictures, first.pictures);
    EXPECT_EQ(second.soundFrames, first.soundFrames);
}

// A film whose sound description states a rate no sound has: four bytes of a good film changed.
struct SDamagedRateCase {
    const char* name;
    u32 madeAt;                 // the film's sound rate as made
    std::vector<u8> statedAs;   // the bytes of the description's rate as made ...
    std::vector<u8> changedTo;  // ... and as damaged
};

const SDamagedRateCase DAMAGED_RATE_CASES[] = {
    // Rates above 65535 Hz are stated as a double: its high word turned into 2,000,000,000.
    {"TwoBillionHertz", 96000, {0x40, 0xF7, 0x70, 0x00, 0x00, 0x00, 0x00, 0x00}, {0x41, 0xDD, 0xCD, 0x65}},
    // Others as 16.16 fixed point after the sample size (16), compression and packet size (0).
    {"TwentyHertz", 22050, {0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x56, 0x22, 0x00, 0x00},
     {0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14}},
};

class MediaVideoReaderDamagedRate : public ::testing::TestWithParam<SDamagedRateCase> {};

TEST_P(MediaVideoReaderDamagedRate, IsRefusedAtOpen) {
    if (std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q ' mpeg4 '") != 0) GTEST_SKIP() << "no mpeg4 encoder";
    const SDamagedRateCase& c = GetParam();
    test_support::ClTempDir folder;
    const std::string path = folder.file("film.mov");
    const std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i color=c=red:size=64x48:rate=10:duration=1 "
                                "-f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(c.madeAt) +
                                ":duration=1 -c:v mpeg4 -c:a pcm_s16le '" + path + "'";
    ASSERT_EQ(0, std::system(command.c_str())) << "ffmpeg could not make the film";
    std::vector<u8> bytes = test_support::readFileBytes(path);
    const auto at = std::search(bytes.begin(), bytes.end(), c.statedAs.begin(), c.statedAs.end());
    ASSERT_NE(at, bytes.end()) << "the film states its rate as made";
    std::copy(c.changedTo.begin(), c.changedTo.end(), at);
    test_support::writeFileBytes(path, bytes);

    ClMediaVideoReader reader;
    EXPECT_EQ(E_MEDIAERR_UNSUPPORTED_FORMAT, reader.open(test_support::widePath(path).c_str()));
}

INSTANTIATE_TEST_SUITE_P(StatedRates, MediaVideoReaderDamagedRate, ::testing::ValuesIn(DAMAGED_RATE_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MediaVideoReader, MissingAndForeignFilesDoNotOpen) {
    test_support::ClTempDir folder;
    ClMediaVideoReader reader;
    EXPECT_EQ(E_MEDIAERR_FILE_NOT_FOUND, reader.open(test_support::widePath(folder.file("none.mov")).c_str()));
    EXPECT_EQ(E_MEDIAERR_NOT_A_MEDIA_FILE, reader.open(test_support::widePath(folder.write("text.mov", "no film in here\n")).c_str()));
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(E_MEDIAVIDEO_END, reader.next());
}

}  // namespace
