// The beat cache: its image, its files, and loadOrAnalyseBeats with and without it, down to one
// song decoded through the codec registry.
#include "audio/analysis/beat_cache.h"

#include "audio/analysis/tempo_search.h"
#include "audio/decode/codec_registry.h"
#include "audio/decode/decode_thread.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/file_layer.h"
#include "tests/audio/decoder_test_support.h"
#include "tests/support/audio_songs.h"

#include <filesystem>

using namespace decoder_test;
using test_support::songCacheFile;

namespace {

SBeat beatAt(f32 time, f32 strength, u32 candidate) {
    SBeat beat{time, strength, BEAT_FLAG_ON_PULSE, 0, {}};
    beat.candidateMember[candidate] = 1;
    return beat;
}

std::vector<u8> imageOf(std::initializer_list<f32> times) {
    SBeatArray beats;
    beats.init();
    for (f32 t : times) pushBeat(&beats, beatAt(t, 2.0f, 0));
    u8* block = nullptr;
    u32 size = 0;
    EXPECT_TRUE(buildBeatCacheImage(beats, &block, &size));
    std::vector<u8> image(block, block + size);
    std::free(block);
    beats.release();
    return image;
}

// The number of beats an image is accepted with for a song of 100 s, or "refused".
std::string verdict(const std::vector<u8>& image) {
    u32 count = 0;
    return validateBeatCacheImage(image.data(), u32(image.size()), 100.0f, &count) ? std::to_string(count) : "refused";
}

}  // namespace

TEST(BeatCacheImage, HeadThenRecordsAndOnlySoundListsAreAccepted) {
    std::vector<u8> image = imageOf({1.0f, 2.5f, 3.0f});
    ASSERT_EQ(image.size(), 8u + 3u * 80u);
    EXPECT_EQ(std::memcmp(image.data(), "BSYM\x01\x00\x00\x00", 8), 0);
    SBeat second;
    std::memcpy(&second, image.data() + 8 + 80, 80);
    EXPECT_EQ(second.time, 2.5f);
    image.resize(8 + 2 * 80 + 79);  // a trailing part of a record is ignored

    // A song with no beats writes the 8-byte head alone; it reads as not cached, as do 9 bytes.
    std::vector<u8> head = imageOf({}), head9 = head, head10 = head, version2 = imageOf({1.0f}), foreign = version2;
    head9.resize(9, 0);
    head10.resize(10, 0);
    version2[4] = 2;
    foreign[0] = 'S';
    // Times must be finite, ascending and within the song.
    const struct {
        const char* name;
        std::vector<u8> image;
        const char* verdict;
    } cases[] = {
        {"a trailing part of a record", image, "2"},
        {"the head alone", head, "refused"},
        {"9 bytes", head9, "refused"},
        {"10 bytes", head10, "0"},
        {"version 2", version2, "refused"},
        {"another magic", foreign, "refused"},
        {"from 0 to the song's end", imageOf({0.0f, 1.0f, 100.0f}), "3"},
        {"not a number", imageOf({1.0f, NAN}), "refused"},
        {"equal times", imageOf({1.0f, 1.0f}), "refused"},
        {"before the song", imageOf({-0.5f, 1.0f}), "refused"},
        {"after the song", imageOf({1.0f, 100.5f}), "refused"},
    };
    for (const auto& c : cases) EXPECT_EQ(verdict(c.image), c.verdict) << c.name;
}

// ---------------------------------------------------------------------------------------------
// Files

namespace {

constexpr f32 FRAME_126 = 1.0f / 126.0f;

class BeatCacheFiles : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        fileLayerInit();
        configClear();
        resetSpectrumAnalysis();
        g_SpectrumAnalysis.header.frameDuration = FRAME_126;
        g_SpectrumAnalysis.header.frameCount = 126 * 100;
        createOnsetLists();
        emptyBeats(&g_aSongBeats);
        m_identity.bytes[0] = 7;
    }
    void TearDown() override {
        releaseTempoCandidates();
        g_aSongBeats.release();
        resetSpectrumAnalysis();
        configClear();
    }

    std::string cacheFile() const { return songCacheFile(m_identity, BEAT_CACHE_NAME_SALT, BEAT_CACHE_EXTENSION); }
    std::vector<u8> songBeatBytes() const {
        const u8* bytes = reinterpret_cast<const u8*>(g_aSongBeats.data);
        return std::vector<u8>(bytes, bytes + size_t(g_aSongBeats.count) * sizeof(SBeat));
    }
    // Three-band energies of a click every half second from 1 s, as a decoding pass leaves them.
    void giveClickEnergies() {
        const u32 frames = g_SpectrumAnalysis.header.frameCount;
        allocateSpectrumEnergyTables(frames);
        for (u32 k = 0; 126 + 63 * k + 20 < frames; ++k) {
            for (u32 j = 0; j < 20; ++j) {
                SThreeBandEnergy& e = g_SpectrumAnalysis.threeBandEnergies[126 + 63 * k + j];
                e.low = e.middle = e.high = std::exp(-f32(j) / 2.5f);
            }
        }
    }

    ClTempUserFolder m_folder;
    SSongIdentity m_identity{};
};

}  // namespace

TEST_F(BeatCacheFiles, WrittenListReadsBackWholeUnderItsOwnNameAndRejectedFilesLeaveItAlone) {
    for (const SBeat& beat : {beatAt(1.0f, 3.0f, 2), beatAt(1.5f, 4.0f, 15)}) pushBeat(&g_aSongBeats, beat);
    const std::vector<u8> written = songBeatBytes();
    writeFileBytes(cacheFile(), imageOf({1.0f, 2.0f, 101.0f}));  // the song lasts 100 s
    EXPECT_EQ(readBeatCache(nullptr, m_identity), 0);
    EXPECT_EQ(songBeatBytes(), written);
    writeBeatCache(u"any/song.wav", m_identity);

    emptyBeats(&g_aSongBeats);
    EXPECT_EQ(readBeatCache(u"other/path.wav", m_identity), 1);
    EXPECT_EQ(songBeatBytes(), written);

    // Without VISUAL_BEAT_ANALYSIS the records are appended; with it the list is emptied first.
    EXPECT_EQ(readBeatCache(nullptr, m_identity), 1);
    EXPECT_EQ(g_aSongBeats.count, 4u);
    configSetValue("VISUAL_BEAT_ANALYSIS", "song.wav");
    EXPECT_EQ(readBeatCache(nullptr, m_identity), 1);
    EXPECT_EQ(songBeatBytes(), written);
}

TEST_F(BeatCacheFiles, AnalysedBeatsAreCachedAndReloadByteForByte) {
    // The song's beats after a fresh loadOrAnalyseBeats.
    const auto load = [this] {
        emptyBeats(&g_aSongBeats);
        EXPECT_EQ(loadOrAnalyseBeats(u"music/song.wav", m_identity, 0), 1);
        return songBeatBytes();
    };
    giveClickEnergies();
    g_iCurrentBeat = 5;
    const std::vector<u8> analysed = load();
    EXPECT_EQ(g_iCurrentBeat, 0);
    ASSERT_GT(g_aSongBeats.count, 190u);
    EXPECT_EQ(readFileBytes(cacheFile()).size(), 8u + analysed.size());

    // The cache answers now, even with the energies gone.
    releaseSpectrumEnergyTables();
    EXPECT_EQ(load(), analysed);

    // A damaged cache is analysed again and rewritten.
    giveClickEnergies();
    std::vector<u8> damaged = readFileBytes(cacheFile());
    damaged[4] = 2;
    writeFileBytes(cacheFile(), damaged);
    EXPECT_EQ(load(), analysed);
    EXPECT_EQ(readFileBytes(cacheFile())[4], u8(1));

    // NEVER_CACHE analyses although a valid cache exists, and still rewrites it.
    configSetValue("NEVER_CACHE", "1");
    writeFileBytes(cacheFile(), imageOf({50.0f}));
    EXPECT_EQ(load(), analysed);
    EXPECT_EQ(readFileBytes(cacheFile()).size(), 8u + analysed.size());
}

// ---------------------------------------------------------------------------------------------
// One song through the codec registry, the decode thread, the spectral analysis and both caches

namespace {

constexpr u32 SONG_RATE = 22050;
constexpr u32 SONG_SECONDS = 100;
constexpr f32 SONG_BPM = 120.0f;

// 16-bit mono: a decaying noise burst on every beat from 1 s.
std::vector<s32> makeDrumSong() {
    std::vector<f32> mono(SONG_RATE * SONG_SECONDS, 0.0f);
    u32 noise = 99;
    for (u32 first = SONG_RATE; first + SONG_RATE < mono.size(); first += u32(60.0f / SONG_BPM * f32(SONG_RATE))) {
        for (u32 i = 0; i < SONG_RATE / 10; ++i) {
            noise = noise * 1664525u + 1013904223u;
            mono[first + i] = (f32(noise >> 8) / f32(1u << 24) - 0.5f) * std::exp(-f32(i) / f32(SONG_RATE / 50));
        }
    }
    return quantise16(mono);
}

class SongBeats : public BeatCacheFiles {
protected:
    void SetUp() override {
        BeatCacheFiles::SetUp();
        const std::string song = m_folder.file("song.wav");
        writeWavFile(song, 1, SONG_RATE, 16, makeDrumSong());
        m_songPath = widePath(song);
        ASSERT_TRUE(startSingleFamilyRegistry(createCodecStreamInstanceWAV));
    }
    void TearDown() override {
        shutdownCodecRegistry();
        resetDecodeThreadInterval();
        BeatCacheFiles::TearDown();
    }

    // A new song state, as the library or the in-game entry makes it, then both analyses.
    void analyseSong() {
        resetSpectrumAnalysis();
        createOnsetLists();
        emptyBeats(&g_aSongBeats);
        s32 result = -1;
        ASSERT_EQ(analyseSongSpectrum(m_songPath.c_str(), m_identity, &result, 0, 0), 1);
        ASSERT_EQ(result, 0);
        ASSERT_EQ(loadOrAnalyseBeats(m_songPath.c_str(), m_identity, 0), 1);
    }

    std::u16string m_songPath;
};

}  // namespace

TEST_F(SongBeats, SpectralCacheWithoutABeatCacheDecodesTheSongAgainForTheSameBeats) {
    analyseSong();
    EXPECT_EQ(g_SpectrumAnalysis.header.loadedFromCache, 0u);
    const std::vector<u8> analysed = songBeatBytes();
    ASSERT_GT(g_aSongBeats.count, 150u);

    // Frames from the spectral cache carry no energies: without a beat cache the song is
    // decoded again for them, and the beats come out the same.
    std::filesystem::remove(cacheFile());
    analyseSong();
    EXPECT_EQ(songBeatBytes(), analysed);
    EXPECT_NE(g_SpectrumAnalysis.threeBandEnergies, nullptr);
}
