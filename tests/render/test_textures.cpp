// The texture table: an image from the built data, name resolution, keys and damaged files.
#include "platform/gfx/image_decode.h"
#include "render/texture.h"
#include "render_data_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Textures = NullDeviceDataTest;

TEST_F(Textures, ABuiltImageLoadsOnceAndIsFoundWhateverTheCaseOrUnderItsKey) {
    ClTexture* texture = loadTexture("Images/Lensflare-glow");
    ASSERT_NE(texture, nullptr);
    EXPECT_NE(texture->deviceTexture(), nullptr);
    EXPECT_GT(texture->width(), 0);
    const ClTexture* again = loadTexture("Images/Lensflare-glow");
    const ClTexture* found = findTexture("images/lensflare-glow");
    EXPECT_EQ(again, texture);
    EXPECT_EQ(found, texture);

    ClTexture* keyed = loadTexture("Images/Noise", false, ".png", true, "NoiseKey");
    ASSERT_NE(keyed, nullptr);
    // Not read and inserted again; the plain name is not the key.
    EXPECT_EQ(loadTexture("Images/Noise", false, ".png", true, "NoiseKey"), keyed);
    EXPECT_EQ(findTexture("Images/Noise"), nullptr);
    EXPECT_NE(loadTexture("Images/Noise"), keyed) << "the plain name is another entry";
}

TEST_F(Textures, ResolutionPrefersBmpAndDamagedFilesGiveNoDeviceTexture) {
    const test_support::ClTempDir folder;
    const u8 red[4] = {255, 0, 0, 255};
    const u8 green[8] = {0, 255, 0, 255, 0, 255, 0, 255};
    folder.write("Images/broken.png", "this is no image");
    writePngFile(folder.file("Images/both.png").c_str(), 1, 1, red);
    // The ".bmp" candidate: really PNG bytes of another size, which the decoder reads by content.
    writePngFile(folder.file("Images/both.bmp").c_str(), 2, 1, green);
    setDataDir((folder.str() + "/").c_str());

    ClTexture* both = loadTexture("Images/both");
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(both->width(), 2.0f) << "the .bmp name is tried first";
    EXPECT_TRUE(textureFileExists("Images/both", ".png"));
    EXPECT_FALSE(textureFileExists("Images/none"));
    EXPECT_EQ(loadTexture("Images/none"), nullptr) << "a missing file registers nothing";
    EXPECT_EQ(findTexture("Images/none"), nullptr) << "a missing file registers nothing";

    ClTexture* broken = loadTexture("Images/broken");
    ASSERT_NE(broken, nullptr) << "registered, without a device texture";
    EXPECT_EQ(broken->deviceTexture(), nullptr);
    EXPECT_EQ(broken->width(), 0.0f);
}

}  // namespace
