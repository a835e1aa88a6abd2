#include "audio/analysis/spectral_cache.h"

#include "audio/analysis/spectrum_geometry.h"
#include "core/crit_section_pool.h"
#include "core/digest.h"
#include "core/file_layer.h"
#include "core/package_format.h"
#include "tests/audio/decoder_test_support.h"
#include "tests/support/audio_songs.h"

#include <bit>
#include <filesystem>
#include <functional>

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
    h.channels = h.bytesPerSample = 2;
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

void setWord(std::vector<u8>* image, u32 offset, u32 value) { storeLe32(&(*image)[offset], value); }

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
        return test_support::songCacheFile(m_identity, SPECTRAL_CACHE_NAME_SALT, SPECTRAL_CACHE_EXTENSION);
    }

    decoder_test::ClTempUserFolder m_folder;
    SSongIdentity m_identity{};
};

}  // namespace

TEST(SpectralCacheName, OneNamePerIdentityAndSaltWhateverTheSlashes) {
    const auto namePart = [](const char16_t* path, u32 salt) {
        SSongIdentity identity;
        songIdentityFromPath(path, &identity);
        char part[SONG_CACHE_NAME_PART_LENGTH + 1];
        buildSongCacheNamePart(identity, salt, part);
        return std::string(part);
    };
    const std::string first = namePart(u"/music/Ångström.flac", SPECTRAL_CACHE_NAME_SALT);
    EXPECT_EQ(namePart(u"\\music\\Ångström.flac", SPECTRAL_CACHE_NAME_SALT), first);
    EXPECT_NE(namePart(u"/music/Angstrom.flac", SPECTRAL_CACHE_NAME_SALT), first);
    EXPECT_NE(namePart(u"/music/Ångström.flac", 3105872), first);
    ASSERT_EQ(first.size(), 44u);
    EXPECT_EQ(first[43], '_');
    for (char c : first) EXPECT_TRUE(std::isalnum(u8(c)) || c == '_') << first;
}

TEST_F(SpectralCache, WrittenFileReadsBackAsTheSameFramesAndAShortSongIsWrittenFromItsBlock) {
    fillAnalysis(500);
    const std::vector<f32> values(g_SpectrumAnalysis.header.bandValues,
                                  g_SpectrumAnalysis.header.bandValues + 500 * 18);
    writeSpectrumCache(u"ignored.wav", m_identity);

    resetSpectrumAnalysis();
    ASSERT_EQ(readSpectrumCache(u"other.wav", m_identity), 1);
    const SSpectrumHeader& h = g_SpectrumAnalysis.header;
    EXPECT_EQ(h.frameCount, 500u);
    EXPECT_EQ(h.bandCount, 18u);
    EXPECT_EQ(h.hop, 350u);
    EXPECT_EQ(h.duration, 180.0f);
    EXPECT_EQ(g_SpectrumAnalysis.framesPerSecond, 126u);
    EXPECT_EQ(std::memcmp(h.bandValues, values.data(), values.size() * sizeof(f32)), 0);

    // Another identity has no file.
    SSongIdentity other = m_identity;
    other.bytes[0] ^= 1;
    EXPECT_EQ(readSpectrumCache(u"ignored.wav", other), 0);

    // The pass keeps its band values in a block laid out as their file, sized for the promised
    // frames; a song that came out shorter is written from the same block as a built image.
    fillAnalysis(40);
    const std::vector<u8> expected = buildImage();
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    const std::vector<f32> shortValues(s.header.bandValues, s.header.bandValues + 40 * 18);
    f32* inBlock = nullptr;
    u8* block = allocateSpectralCacheBlock(50, 18, &inBlock);
    ASSERT_NE(block, nullptr);
    std::memcpy(inBlock, shortValues.data(), shortValues.size() * sizeof(f32));
    std::free(s.header.bandValues);
    s.header.bandValues = inBlock;
    s.cacheImage = block;

    writeSpectrumCache(u"ignored.wav", m_identity);
    EXPECT_EQ(decoder_test::readFileBytes(cacheFile()), expected);
    EXPECT_EQ(std::memcmp(s.header.bandValues, shortValues.data(), shortValues.size() * sizeof(f32)), 0);
}

TEST_F(SpectralCache, ImagesHaveTheWorkedSizeAndDamagedFilesOrSignedOnesWithAWrongStructureAreRejected) {
    // Three minutes at 44.1 kHz.
    fillAnalysis(22680);
    const std::vector<u8> threeMinutes = buildImage();
    EXPECT_EQ(threeMinutes.size(), 1723780u);
    EXPECT_EQ(std::memcmp(threeMinutes.data(), "SDFT", 4), 0);
    EXPECT_TRUE(accepted(threeMinutes));

    fillAnalysis(40);
    const std::vector<u8> good = buildImage();
    ASSERT_TRUE(accepted(good));
    std::vector<u8> lastByte = good;
    lastByte.back() ^= 0x01;
    // A damaged file reads as not cached: the last byte changed, the file cut by a byte, and
    // version 1; the current analysis stays.
    for (const std::vector<u8>& bad : {lastByte, decoder_test::firstBytes(good, good.size() - 1),
                                       resigned(good, [](std::vector<u8>* i) { setWord(i, 4, 1); })}) {
        decoder_test::writeFileBytes(cacheFile(), bad);
        EXPECT_EQ(readSpectrumCache(u"x.wav", m_identity), 0);
        EXPECT_EQ(g_SpectrumAnalysis.header.frameCount, 40u);
        ASSERT_NE(g_SpectrumAnalysis.header.bandValues, nullptr);
        EXPECT_FLOAT_EQ(g_SpectrumAnalysis.header.bandValues[96], 0.96f);
        EXPECT_EQ(g_SpectrumAnalysis.cacheImage, nullptr);
    }
    decoder_test::writeFileBytes(cacheFile(), good);
    EXPECT_EQ(readSpectrumCache(u"x.wav", m_identity), 1);

    const u32 values = 68 + 4 * 40;
    const auto bits = [](f32 value) { return std::bit_cast<u32>(value); };
    // Words overwritten at their offsets.
    const std::pair<u32, u32> words[] = {
        {40, 0xFFFFFFFFu}, {40, 41}, {40, 0}, {52, 0}, {52, 33},          // frame and band counts
        {44, 72}, {68 + 4 * 39, values + 4 * 18 * 40}, {68, 0},             // table and frame offsets
        {16, 351}, {8, 702}, {12, 2048}, {20, 48000}, {28, bits(0.008f)},  // hop, window, transform, rate, frame
        {64, bits(48000.0f)}, {64, bits(44056.0f)}, {32, 0}, {36, 5},      // rate, channels, sample width
        {60, bits(NAN)}, {values + 4 * 5, bits(NAN)}, {values, bits(7.0f)}};  // duration and band values
    for (const auto& [offset, word] : words)
        EXPECT_FALSE(accepted(resigned(good, [&](std::vector<u8>* i) { setWord(i, offset, word); }))) << offset << ": " << word;
    EXPECT_FALSE(accepted(resigned(good, [](std::vector<u8>* i) { (*i)[0] = 'X'; })));  // the magic
    // The words readers ignore may hold anything.
    EXPECT_TRUE(accepted(resigned(good, [](std::vector<u8>* i) {
        setWord(i, 48, 1);
        setWord(i, 56, 0xDEADBEEFu);
    })));
    // Too short for a head, with a valid trailer.
    EXPECT_FALSE(accepted(resigned(good, [](std::vector<u8>* i) { i->resize(40); })));
    EXPECT_FALSE(accepted(resigned(good, [](std::vector<u8>* i) { i->clear(); })));
}
