// The texture table: an image from the built data, name resolution, keys and damaged files.
#include "platform/gfx/image_decode.h"
#include "render/texture.h"
#include "render_data_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class Textures : public BuiltDataTest {
protected:
    void SetUp() override {
        BuiltDataTest::SetUp();
        ASSERT_TRUE(startDevice(E_GFX_BACKEND_NULL));
        initTextureTable();
    }
    void TearDown() override {
        destroyAllTextures();
        BuiltDataTest::TearDown();
    }
};

TEST_F(Textures, ABuiltImageLoadsOnceAndIsFoundWhateverTheCaseOrUnderItsKey) {
    ClTexture* texture = loadTexture("Images/Lensflare-glow");
    ASSERT_NE(texture, nullptr);
    EXPECT_TRUE(texture->deviceTexture() && texture->width() > 0);
    EXPECT_EQ((std::tuple{loadTexture("Images/Lensflare-glow"), findTexture("images/lensflare-glow"), getTextureCount()}),
              std::make_tuple(texture, texture, 1u));

    ClTexture* keyed = loadTexture("Images/Noise", false, ".png", true, "NoiseKey");
    ASSERT_NE(keyed, nullptr);
    // Not read and inserted again; the plain name is not the key.
    EXPECT_EQ(loadTexture("Images/Noise", false, ".png", true, "NoiseKey"), keyed);
    EXPECT_EQ(std::make_pair(getTextureCount(), findTexture("Images/Noise")), std::make_pair(2u, (ClTexture*)nullptr));
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
    EXPECT_TRUE(textureFileExists("Images/both", ".png") && !textureFileExists("Images/none"));
    EXPECT_EQ((std::pair{loadTexture("Images/none"), getTextureCount()}), std::pair((ClTexture*)nullptr, 1u)) << "a missing file registers nothing";

    ClTexture* broken = loadTexture("Images/broken");
    ASSERT_NE(broken, nullptr) << "registered, without a device texture";
    EXPECT_TRUE(!broken->deviceTexture() && broken->width() == 0.0f);
    EXPECT_EQ((std::pair{broken->saveToFile(folder.file("saved.png").c_str()), std::filesystem::exists(folder.file("saved.png"))}),
              std::pair(0u, false));
}

}  // namespace
