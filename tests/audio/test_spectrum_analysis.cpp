#include "audio/analysis/spectrum_analysis.h"

#include "audio/audio_imports.h"
#include "audio/decode/codec_registry.h"
#include "audio/decode/decode_thread.h"
#include "core/config.h"
#include "core/file_layer.h"
#include "tests/audio/decoder_test_support.h"
#include "tests/support/audio_songs.h"

#include <filesystem>

// ---------------------------------------------------------------------------------------------
// The whole analysis through the codec registry, the WAV decoder and the cache

namespace {

using namespace decoder_test;

std::u16string g_preparedPath;
f32 g_preparedDuration = 0.0f;
f32 g_preparedRate = 0.0f;
u32 g_prepareAnswer = 1;
u32 recordPrepare(const char16_t* path, f32 duration, f32 rate) {
    g_preparedPath = path;
    g_preparedDuration = duration;
    g_preparedRate = rate;
    return g_prepareAnswer;
}

class SongAnalysis : public ::testing::Test {
protected:
    void SetUp() override {
        fileLayerInit();
        configClear();
        writeWavFile(m_folder.file("song.wav"), 1, 22050, 16, makeSignal(22050u * 90u, 1, 22050, 16));
        ASSERT_TRUE(startSingleFamilyRegistry(createCodecStreamInstanceWAV));
        resetSpectrumAnalysis();
        SAudioImports imports;
        imports.prepareSongSound = recordPrepare;
        setAudioImports(&imports);
        g_prepareAnswer = 1;
        songIdentityFromPath(widePath(m_folder.file("song.wav")).c_str(), &m_identity);
    }
    void TearDown() override {
        resetSpectrumAnalysis();
        setAudioImports(nullptr);
        shutdownCodecRegistry();
        resetDecodeThreadInterval();
        configClear();
    }

    std::string cacheFile() const {
        return test_support::songCacheFile(m_identity, SPECTRAL_CACHE_NAME_SALT, SPECTRAL_CACHE_EXTENSION);
    }
    // analyseSongSpectrum of the named file (the song by default): its answer and result code.
    std::pair<s32, s32> analyse(u32 prepare, const char* name = "song.wav", u32 force = 0) {
        s32 result = -1;
        const s32 answer = analyseSongSpectrum(widePath(m_folder.file(name)).c_str(), m_identity, &result, prepare, force);
        return {answer, result};
    }
    // Analyses the song afresh and answers whether its frames came from the cache.
    u32 analyseFromCache(u32 force = 0) {
        resetSpectrumAnalysis();
        const std::pair<s32, s32> analysed = analyse(0, "song.wav", force);
        EXPECT_EQ(analysed.first, 1);
        EXPECT_EQ(analysed.second, 0);
        return g_SpectrumAnalysis.header.loadedFromCache;
    }

    ClTempUserFolder m_folder;
    SSongIdentity m_identity{};
};

}  // namespace

TEST_F(SongAnalysis, CacheIsWrittenOnceAndUsedUnlessForcedOrTurnedOffAndPlaybackIsPrepared) {
    EXPECT_EQ(analyseFromCache(), 0u);
    EXPECT_EQ(g_SpectrumAnalysis.header.frameCount, 90u * 126u);
    EXPECT_NE(g_SpectrumAnalysis.threeBandEnergies, nullptr);

    // What the file holds is the spectral cache's to test.
    EXPECT_EQ(analyseFromCache(), 1u);
    EXPECT_EQ(g_SpectrumAnalysis.threeBandEnergies, nullptr);
    EXPECT_EQ(analyseFromCache(1), 0u);

    // Turned off, the song is decoded again but the cache still written.
    configSetValue("NEVER_CACHE", "1");
    std::filesystem::remove(cacheFile());
    EXPECT_EQ(analyseFromCache(), 0u);
    EXPECT_TRUE(std::filesystem::exists(cacheFile()));
    configClear();
    configSetValue("VISUAL_BEAT_ANALYSIS", "/music/song.wav");
    EXPECT_EQ(analyseFromCache(), 0u);
    configClear();

    // Playback is prepared with the song's duration and rate.
    resetSpectrumAnalysis();
    std::filesystem::remove(cacheFile());
    ASSERT_EQ(analyse(1).first, 1);
    EXPECT_FLOAT_EQ(g_preparedDuration, 90.0f);
    // The stored path uses '\'.
    EXPECT_EQ(g_preparedRate, 22050.0f);
    EXPECT_EQ(g_preparedPath.find(u'/'), std::u16string::npos);

    g_preparedRate = 0.0f;
    resetSpectrumAnalysis();
    EXPECT_EQ(analyse(1).first, 1);  // from the cache
    EXPECT_EQ(g_preparedRate, 22050.0f);

    g_prepareAnswer = 0;
    resetSpectrumAnalysis();
    const std::pair<s32, s32> refused = analyse(1);
    EXPECT_EQ(refused.first, 0);
    EXPECT_EQ(refused.second, 0);
}

TEST_F(SongAnalysis, UnusableSongsGetTheirResultCodes) {
    writeWavFile(m_folder.file("short.wav"), 1, 8000, 16, makeSignal(8000u * 89u + 7999u, 1, 8000, 16));
    m_folder.write("notes.txt", test_support::repeatedText(5400, "These words are not audio.\n"));  // no codec serves it
    const std::pair<const char*, s32> cases[] = {{"missing.wav", E_SPECTRUM_RESULT_CANNOT_OPEN},
                                                 {"short.wav", E_SPECTRUM_RESULT_TOO_SHORT},
                                                 {"notes.txt", E_SPECTRUM_RESULT_UNDECODABLE}};
    for (const auto& [name, code] : cases) {
        const std::pair<s32, s32> analysed = analyse(0, name);
        EXPECT_EQ(analysed.first, 0) << name;
        EXPECT_EQ(analysed.second, code) << name;
    }
}
