// Film writer: pictures written as a silent film read back through the video reader, in number,
// size, rate and colour; bad sizes and unwritable paths are refused.
#include "platform/media/media_video_reader.h"
#include "platform/media/media_video_writer.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr u32 WIDTH = 64;
constexpr u32 HEIGHT = 32;
constexpr u32 RATE = 10;
constexpr u32 PICTURES = 12;

std::vector<u8> solid(u8 r, u8 g, u8 b) {
    std::vector<u8> pixels;
    for (u32 i = 0; i < WIDTH * HEIGHT; ++i) pixels.insert(pixels.end(), {r, g, b, 255});
    return pixels;
}

TEST(MediaVideoWriter, ItsFilmReadsBackPictureForPicture) {
    test_support::ClTempDir folder;
    const std::string path = folder.file("film.mov");
    ClMediaVideoWriter writer;
    ASSERT_TRUE(writer.open(path.c_str(), WIDTH, HEIGHT, RATE)) << writer.error();
    const std::vector<u8> blue = solid(20, 40, 200);
    const std::vector<u8> yellow = solid(230, 220, 30);
    for (u32 i = 0; i < PICTURES; ++i) ASSERT_TRUE(writer.addPicture((i < PICTURES / 2 ? blue : yellow).data()));
    ASSERT_TRUE(writer.finish()) << writer.error();

    ClMediaVideoReader reader;
    ASSERT_EQ(reader.open(test_support::widePath(path).c_str()), E_MEDIAERR_NONE);
    const SMediaVideoFormat format = reader.format();
    EXPECT_TRUE(format.hasVideo);
    EXPECT_FALSE(format.hasAudio);
    EXPECT_EQ(format.width, WIDTH);
    EXPECT_EQ(format.height, HEIGHT);
    EXPECT_NEAR(format.frameRate, f64(RATE), 0.01);
    u32 pictures = 0;
    std::vector<u8> first, last;
    for (u32 guard = 0; guard < 1000; ++guard) {
        const EMediaVideoEvent event = reader.next();
        if (event != E_MEDIAVIDEO_PICTURE) {
            EXPECT_EQ(event, E_MEDIAVIDEO_END);
            break;
        }
        const u8* centre = reader.pixels() + (size_t(HEIGHT / 2) * WIDTH + WIDTH / 2) * 4;
        (pictures++ == 0 ? first : last).assign(centre, centre + 3);
    }
    EXPECT_EQ(pictures, PICTURES);
    ASSERT_EQ(first.size(), 3u);
    ASSERT_EQ(last.size(), 3u);
    // Lossy: within a few steps of what went in.
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(first[c], blue[c], 8) << "channel " << c;
        EXPECT_NEAR(last[c], yellow[c], 8) << "channel " << c;
    }
}

TEST(MediaVideoWriter, BadSizesAndPathsAreRefused) {
    test_support::ClTempDir folder;
    const std::string path = folder.file("film.mov");
    ClMediaVideoWriter writer;
    EXPECT_FALSE(writer.open(path.c_str(), 63, 32, RATE));
    EXPECT_FALSE(writer.open(path.c_str(), 8, 8, RATE));
    EXPECT_FALSE(writer.open(path.c_str(), WIDTH, HEIGHT, 0));
    EXPECT_FALSE(writer.open(nullptr, WIDTH, HEIGHT, RATE));
    EXPECT_FALSE(writer.open(folder.file("missing/film.mov").c_str(), WIDTH, HEIGHT, RATE));
    EXPECT_STREQ(writer.error(), "the film file cannot be created");
    EXPECT_FALSE(writer.addPicture(solid(0, 0, 0).data()));
    EXPECT_FALSE(writer.finish());
}

}  // namespace
