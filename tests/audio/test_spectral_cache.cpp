#include "audio/analysis/spectral_cache.h"

#include "audio/analysis/spectrum_geometry.h"
#include "core/crit_section_pool.h"
#include "core/digest.h"
#include "core/file_layer.h"
#include "platform/os/os.h"
#include "tests/audio/decoder_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

// A small analysis at 44.1 kHz: F frames of 18 bands with values that differ per frame and band.
void fillAnalysis(u32 frames) {
    resetSpectrumAnalysis();
    SSpectrumGeometry g;
    ASSERT_TRUE(computeSpectrumGeometry(44100.0f, &g));
    SSpectrumHeader& h = g_SpectrumAnalysis.header;
    h.windowLength = g.windowLength;
    h.transformSize = g.transformSize;
    h.hop = g.hop;
    h.sampleRate = g.sampleRate;
    h.nyquist = g.nyquist;
    h.frameDuration = g.frameDuration;
    h.channels = 2;
    h.bytesPerSample = 2;
    h.frameCount = frames;
    h.bandCount = g.bandCount;
    h.duration = 180.0f;
    h.sampleRateF = 44100.0f;
    h.bandValues = static_cast<f32*>(std::malloc(size_t(frames) * g.bandCount * sizeof(f32)));
    for (u32 i = 0; i < frames * g.bandCount; ++i) h.bandValues[i] = f32(i % 97) * 0.01f;
}

std::vector<u8> buildImage() {
    u8* block = nullptr;
    u32 size = 0;
    EXPECT_TRUE(buildSpectralCacheImage(g_SpectrumAnalysis.header, &block, &size));
    std::vector<u8> image(block, block + size);
    std::free(block);
    return image;
}

// Applies the change to the content and signs it again, so only the structure is wrong.
std::vector<u8> resigned(std::vector<u8> image, const std::function<void(std::vector<u8>*)>& change) {
    image.resize(image.size() - DIGEST_SIZE);
    change(&image);
    u8* block = nullptr;
    u32 size = 0;
    appendDigest(image.data(), static_cast<u32>(image.size()), SPECTRAL_CACHE_TRAILER_VALUE, &block, &size);
    std::vector<u8> out(block, block + size);
    std::free(block);
    return out;
}

void setWord(std::vector<u8>* image, u32 offset, u32 value) {
    for (u32 i = 0; i < 4; ++i) (*image)[offset + i] = u8(value >> (8 * i));
}
void setFloat(std::vector<u8>* image, u32 offset, f32 value) {
    u32 bits;
    std::memcpy(&bits, &value, 4);
    setWord(image, offset, bits);
}

bool accepted(const std::vector<u8>& image) {
    SSpectrumHeader header;
    return validateSpectralCacheImage(image.data(), static_cast<u32>(image.size()), &header);
}

class SpectralCache : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        fileLayerInit();
        for (u32 i = 0; i < SONG_IDENTITY_BYTES; ++i) m_identity.bytes[i] = u8(i * 7 + 1);
    }
    void TearDown() override { resetSpectrumAnalysis(); }
    std::string cacheFile() const {
        char16_t path[768];
        EXPECT_TRUE(buildSongCachePath(m_identity, SPECTRAL_CACHE_NAME_SALT, SPECTRAL_CACHE_EXTENSION, path, 768));
        return osSystemPathW(path);
    }

    decoder_test::ClTempUserFolder m_folder;
    SSongIdentity m_identity{};
};

}  // namespace

TEST(SpectralCacheName, OneNamePerIdentityAndSaltWhateverTheSlashes) {
    SSongIdentity a;
    SSongIdentity b;
    SSongIdentity c;
    songIdentityFromPath(u"/music/Ångström.flac", &a);
    songIdentityFromPath(u"\\music\\Ångström.flac", &b);
    songIdentityFromPath(u"/music/Angstrom.flac", &c);
    char first[SONG_CACHE_NAME_PART_LENGTH + 1];
    char same[SONG_CACHE_NAME_PART_LENGTH + 1];
    char other[SONG_CACHE_NAME_PART_LENGTH + 1];
    char beats[SONG_CACHE_NAME_PART_LENGTH + 1];
    buildSongCacheNamePart(a, SPECTRAL_CACHE_NAME_SALT, first);
    buildSongCacheNamePart(b, SPECTRAL_CACHE_NAME_SALT, same);
    buildSongCacheNamePart(c, SPECTRAL_CACHE_NAME_SALT, other);
    buildSongCacheNamePart(a, 3105872, beats);
    EXPECT_EQ(std::strlen(first), 44u);
    EXPECT_STREQ(first, same);
    EXPECT_STRNE(first, other);
    EXPECT_STRNE(first, beats);
    EXPECT_EQ(first[43], '_');
    for (u32 i = 0; i < 44; ++i) EXPECT_TRUE(std::isalnum(u8(first[i])) || first[i] == '_') << first;
}

TEST_F(SpectralCache, ThreeMinutesAtFortyFourKilohertzIsTheWorkedSize) {
    EXPECT_EQ(spectralCacheFileSize(22680, 18), 1723780u);
    fillAnalysis(22680);
    const std::vector<u8> image = buildImage();
    EXPECT_EQ(image.size(), 1723780u);
    EXPECT_EQ(std::memcmp(image.data(), "SDFT", 4), 0);
    EXPECT_TRUE(accepted(image));
}

TEST_F(SpectralCache, WrittenFileReadsBackAsTheSameFrames) {
    fillAnalysis(500);
    const std::vector<f32> values(g_SpectrumAnalysis.header.bandValues,
                                  g_SpectrumAnalysis.header.bandValues + 500 * 18);
    writeSpectrumCache(u"ignored.wav", m_identity);
    EXPECT_EQ(std::filesystem::file_size(cacheFile()), spectralCacheFileSize(500, 18));

    resetSpectrumAnalysis();
    ASSERT_EQ(readSpectrumCache(u"other.wav", m_identity), 1);
    const SSpectrumHeader& h = g_SpectrumAnalysis.header;
    EXPECT_EQ(h.frameCount * 100 + h.bandCount, 50018u);
    EXPECT_EQ(h.hop, 350u);
    EXPECT_EQ(h.duration, 180.0f);
    EXPECT_EQ(g_SpectrumAnalysis.framesPerSecond, 126u);
    EXPECT_EQ(std::memcmp(h.bandValues, values.data(), values.size() * sizeof(f32)), 0);

    // Another identity has no file.
    SSongIdentity other = m_identity;
    other.bytes[0] ^= 1;
    EXPECT_EQ(readSpectrumCache(u"ignored.wav", other), 0);
}

TEST_F(SpectralCache, DamagedFilesReadAsNotCachedAndLeaveTheStateAlone) {
    fillAnalysis(40);
    const std::vector<u8> good = buildImage();
    std::vector<u8> lastByte = good;
    lastByte.back() ^= 0x01;
    std::vector<u8> truncated(good.begin(), good.end() - 1);
    const std::vector<u8> version1 = resigned(good, [](std::vector<u8>* i) { setWord(i, 4, 1); });
    for (const std::vector<u8>* bad : std::initializer_list<const std::vector<u8>*>{&lastByte, &truncated, &version1}) {
        decoder_test::writeFileBytes(cacheFile(), *bad);
        EXPECT_EQ(readSpectrumCache(u"x.wav", m_identity), 0);
        EXPECT_EQ(g_SpectrumAnalysis.header.frameCount, 40u);  // the current analysis stays
        EXPECT_EQ(g_SpectrumAnalysis.cacheImage, nullptr);
    }
    decoder_test::writeFileBytes(cacheFile(), good);
    EXPECT_EQ(readSpectrumCache(u"x.wav", m_identity), 1);
}

TEST_F(SpectralCache, SignedFilesWithAWrongStructureAreRejected) {
    fillAnalysis(40);
    const std::vector<u8> good = buildImage();
    ASSERT_TRUE(accepted(good));
    const u32 valuesStart = 68 + 4 * 40;
    struct SCase {
        const char* what;
        std::function<void(std::vector<u8>*)> change;
    };
    const SCase cases[] = {
        {"magic", [](std::vector<u8>* i) { (*i)[0] = 'X'; }},
        {"huge frame count", [](std::vector<u8>* i) { setWord(i, 40, 0xFFFFFFFFu); }},
        {"one frame more", [](std::vector<u8>* i) { setWord(i, 40, 41); }},
        {"no frames", [](std::vector<u8>* i) { setWord(i, 40, 0); }},
        {"no bands", [](std::vector<u8>* i) { setWord(i, 52, 0); }},
        {"33 bands", [](std::vector<u8>* i) { setWord(i, 52, 33); }},
        {"table offset", [](std::vector<u8>* i) { setWord(i, 44, 72); }},
        {"frame offset", [valuesStart](std::vector<u8>* i) { setWord(i, 68 + 4 * 39, valuesStart + 4 * 18 * 40); }},
        {"first offset", [](std::vector<u8>* i) { setWord(i, 68, 0); }},
        {"hop", [](std::vector<u8>* i) { setWord(i, 16, 351); }},
        {"window", [](std::vector<u8>* i) { setWord(i, 8, 702); }},
        {"transform", [](std::vector<u8>* i) { setWord(i, 12, 2048); }},
        {"rate word", [](std::vector<u8>* i) { setWord(i, 20, 48000); }},
        {"rate float", [](std::vector<u8>* i) { setFloat(i, 64, 48000.0f); }},
        {"odd rate", [](std::vector<u8>* i) { setFloat(i, 64, 44056.0f); }},
        {"frame duration", [](std::vector<u8>* i) { setFloat(i, 28, 0.008f); }},
        {"channels", [](std::vector<u8>* i) { setWord(i, 32, 0); }},
        {"bytes per sample", [](std::vector<u8>* i) { setWord(i, 36, 5); }},
        {"duration", [](std::vector<u8>* i) { setFloat(i, 60, __builtin_nanf("")); }},
        {"band value", [valuesStart](std::vector<u8>* i) { setFloat(i, valuesStart + 4 * 5, __builtin_nanf("")); }},
        {"band value range", [valuesStart](std::vector<u8>* i) { setFloat(i, valuesStart, 7.0f); }},
    };
    for (const SCase& c : cases) EXPECT_FALSE(accepted(resigned(good, c.change))) << c.what;
    // The words readers ignore may hold anything.
    EXPECT_TRUE(accepted(resigned(good, [](std::vector<u8>* i) {
        setWord(i, 48, 1);
        setWord(i, 56, 0xDEADBEEFu);
    })));
    // Too short for a head, with a valid trailer.
    EXPECT_FALSE(accepted(resigned(good, [](std::vector<u8>* i) { i->resize(40); })));
    EXPECT_FALSE(accepted(resigned(good, [](std::vector<u8>* i) { i->clear(); })));
}
