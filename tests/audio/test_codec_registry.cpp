#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "audio/decode/decode_thread.h"
#include "core/crit_section_pool.h"
#include "tests/audio/decoder_test_support.h"
#include "tests/audio/fake_codec_family.h"

using namespace decoder_test;

namespace {

enum EFakeFamily : s32 { E_FAKE_WINDOWS_MEDIA = 1, E_FAKE_QUICKTIME = 2, E_FAKE_WAV = 3, E_FAKE_AIFF = 6, E_FAKE_WAVPACK = 7 };

// Windows Media never starts; the others start while g_othersStart holds.
std::atomic<bool> g_othersStart{true};
std::atomic<int> g_windowsMediaExits{0};
std::atomic<int> g_quickTimeExits{0};

s32 initWindowsMedia() { return 0; }
s32 initOther() { return g_othersStart ? 1 : 0; }
void exitWindowsMedia() { ++g_windowsMediaExits; }
void exitQuickTime() { ++g_quickTimeExits; }
template <s32 TFamily>
ClCodecStreamInstance* createFake() { return new ClFakeCodec(SFakeCodecConfig{}, TFamily); }

class CodecRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        g_othersStart = true;
        g_windowsMediaExits = 0;
        g_quickTimeExits = 0;
        m_locksBefore = critSectionPoolUseCount();
        initCodecRegistry();
        // The records of the game's order.
        registerCodecFamily(initWindowsMedia, exitWindowsMedia, createFake<E_FAKE_WINDOWS_MEDIA>,
                            {{".mp3", E_CODECFORMAT_MP3}, {".wma", E_CODECFORMAT_WMA}});
        registerCodecFamily(initOther, exitQuickTime, createFake<E_FAKE_QUICKTIME>,
                            {{".mp3", E_CODECFORMAT_MP3}, {".m4a", E_CODECFORMAT_M4A}, {".aac", E_CODECFORMAT_AAC}});
        registerCodecFamily(initOther, nullptr, createFake<E_FAKE_WAV>, {{".wav", E_CODECFORMAT_WAV}});
        registerCodecFamily(initOther, nullptr, createFake<E_FAKE_AIFF>, {{".aiff", E_CODECFORMAT_AIFF}, {".aif", E_CODECFORMAT_AIFF}});
        registerCodecFamily(initOther, nullptr, createFake<E_FAKE_WAVPACK>, {{".wv", E_CODECFORMAT_WAVPACK}});
    }
    void TearDown() override {
        shutdownCodecRegistry();
        resetDecodeThreadInterval();
        EXPECT_EQ(g_fakeCodecLiveObjects.load(), 0);
        EXPECT_EQ(critSectionPoolUseCount(), m_locksBefore);
    }

    u32 m_locksBefore = 0;
};

// Windows Media cannot start: ".mp3" falls through to QuickTime, and ".wma", listed only by the
// failed record, is not found. The path's tail counts, with folded case, never the whole path.
struct SPathCase {
    const char* name;
    const char16_t* path;
    s32 found;
    s32 format;  // -1 when nothing is found
};
const SPathCase kPathCases[] = {
    {"mixed case in a folder", u"/music/Song.Mp3", 1, E_CODECFORMAT_MP3},
    {"the first started record", u"x.aif", 1, E_CODECFORMAT_AIFF},
    {"an extension alone", u".mp3", 0, -1},
    {"an extension inside the name", u"song.mp3.txt", 0, -1},
    {"listed only by the failed record", u"a.wma", 0, -1},
};

TEST_F(CodecRegistry, AnswersNothingBeforeTheFirstPassThenFindsTheFirstStartedRecord) {
    s32 before = 99;
    EXPECT_EQ(findCodecFormatForPath(u"song.wav", &before), 0);
    EXPECT_EQ(before, 99);
    EXPECT_EQ(openCodecJob(E_CODECFORMAT_WAV, u"song.wav"), nullptr);
    EXPECT_EQ(isCodecDisabledForPath(u"song.wav"), 1u);
    ASSERT_EQ(stepCodecManager(), 1);
    EXPECT_TRUE(isCodecRegistryReady());
    for (const SPathCase& c : kPathCases) {
        SCOPED_TRACE(c.name);
        s32 format = 99;
        EXPECT_EQ(findCodecFormatForPath(c.path, &format), c.found);
        EXPECT_EQ(format, c.format);
    }
    EXPECT_EQ(openCodecJob(E_CODECFORMAT_WMA, u"a.wma"), nullptr);
    ClCodecStreamInstance* job = openCodecJob(E_CODECFORMAT_MP3, u"a.mp3");
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(static_cast<ClFakeCodec*>(job)->m_familyTag, E_FAKE_QUICKTIME);
    EXPECT_EQ(findCodecRecordForFormat(E_CODECFORMAT_MP3)->extensionCount, 3u);
    releaseCodecJob(job);

    // A released job still decoding lives until its stop flag finishes it.
    ClCodecStreamInstance* decoding = openCodecJob(E_CODECFORMAT_WAV, u"a.wav");
    ASSERT_NE(decoding, nullptr);
    for (int pass = 0; pass < 3; ++pass) stepCodecManager();
    ASSERT_EQ(getCodecJobState(decoding), E_CODECJOB_READY);
    const int objects = g_fakeCodecLiveObjects.load();
    releaseCodecJob(decoding);
    stepCodecManager();  // not terminal yet: stepped, and its stop flag moves it to 4
    EXPECT_EQ(getCodecJobState(decoding), E_CODECJOB_FINISHED);
    EXPECT_EQ(g_fakeCodecLiveObjects.load(), objects);
    stepCodecManager();  // destroyed in the following pass
    EXPECT_EQ(g_fakeCodecLiveObjects.load(), objects - 1);
}

TEST_F(CodecRegistry, DisabledFlagIsSetOnTheFirstEqualEntryOnly) {
    ASSERT_EQ(stepCodecManager(), 1);
    // ".mp3" disabled through the Windows Media entry, while the QuickTime record's own ".mp3"
    // entry keeps its flag; equality, not a substring, so "aif" names ".aif", not ".aiff"; an
    // extension no record lists cannot be disabled and counts as disabled.
    const SCodecRecord* quickTime = findCodecRecordForFormat(E_CODECFORMAT_MP3);
    ASSERT_NE(quickTime, nullptr);
    EXPECT_EQ(isCodecDisabledForPath(u"x.Mp3"), 0u);
    EXPECT_EQ(setCodecDisabledForExtension("MP3", 1), 1);
    EXPECT_EQ(isCodecDisabledForPath(u"x.Mp3"), 1u);
    EXPECT_EQ(quickTime->extensions[0].disabledByUser, 0u);
    EXPECT_EQ(setCodecDisabledForExtension("aif", 1), 1);
    EXPECT_EQ(isCodecDisabledForPath(u"x.aif"), 1u);
    EXPECT_EQ(isCodecDisabledForPath(u"x.aiff"), 0u);
    EXPECT_EQ(setCodecDisabledForExtension("ogg", 1), 0);
    EXPECT_EQ(isCodecDisabledForPath(u"x.ogg"), 1u);
}

TEST_F(CodecRegistry, EveryFamilyFailingLeavesTheRegistryNeverReady) {
    g_othersStart = false;
    EXPECT_EQ(stepCodecManager(), 0);
    EXPECT_FALSE(isCodecRegistryReady());
    shutdownCodecRegistry();
    EXPECT_EQ(g_windowsMediaExits.load(), 0);
    EXPECT_EQ(g_quickTimeExits.load(), 0);
    initCodecRegistry();  // for TearDown

    // No records at all count as every family failing.
    EXPECT_EQ(stepCodecManager(), 0);
    EXPECT_FALSE(isCodecRegistryReady());
}

TEST_F(CodecRegistry, DecodeThreadStartsFamiliesStepsJobsAndExitsOnlyStartedOnes) {
    ASSERT_TRUE(startDecodeThreadAndWait());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);

    ClCodecStreamInstance* kept = openCodecJob(E_CODECFORMAT_WAVPACK, u"b.wv");
    ASSERT_NE(kept, nullptr);
    while (getCodecJobState(kept) != E_CODECJOB_READY && std::chrono::steady_clock::now() < deadline)
        waitForCodecJobProgress(kept, 10);
    EXPECT_EQ(getCodecJobState(kept), E_CODECJOB_READY);

    // The job never released is stopped and freed by the shutdown itself; what becomes of a
    // released one is the manager's pass above.
    shutdownCodecRegistry();
    EXPECT_EQ(g_fakeCodecLiveObjects.load(), 0);
    EXPECT_EQ(g_quickTimeExits.load(), 1);
    EXPECT_EQ(g_windowsMediaExits.load(), 0);
    initCodecRegistry();  // for TearDown
}

TEST(CodecAudioLog, GoesUnderTheUserFolderWhateverItsNameAndOnlyWhileLoggingIsOn) {
    const ClTempFolder folder;
    ClAudioLogCapture log(folder.file("décodeur 曲"));
    setCodecLogging(0);
    writeCodecAudioLog("dropped %d", 1);
    setCodecLogging(1);
    writeCodecAudioLog("buffer [%d] kept", 2);
    writeCodecAudioLog("wrapped around to buffer [%d]\n", 3);  // a decoder text with its own line end
    EXPECT_EQ(log.finish(), "buffer [2] kept\nwrapped around to buffer [3]\n");
}

TEST(CodecRecord, HoldsAtMostEightLowerCasedExtensions) {
    SCodecRecord record;
    initCodecRecord(&record, nullptr, nullptr, nullptr);
    EXPECT_EQ(addCodecRecordExtension(&record, ".FLAC", E_CODECFORMAT_FLAC), 1);
    EXPECT_STREQ(record.extensions[0].extension, ".flac");
    EXPECT_EQ(addCodecRecordExtension(&record, "", E_CODECFORMAT_FLAC), 0);
    for (u32 i = 1; i < CODEC_MAX_EXTENSIONS; ++i) EXPECT_EQ(addCodecRecordExtension(&record, ".x", 0), 1);
    EXPECT_EQ(addCodecRecordExtension(&record, ".y", 0), 0);
    EXPECT_EQ(record.extensionCount, CODEC_MAX_EXTENSIONS);
}

}  // namespace
