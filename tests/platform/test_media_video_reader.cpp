// Video reader: films that are damaged, missing or no films at all are refused at open. What a
// good film decodes to, and again after a rewind, is the film player's test.
#include "platform/media/media_video_reader.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

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
    EXPECT_EQ(E_MEDIAVIDEO_END, reader.next());
}

}  // namespace
