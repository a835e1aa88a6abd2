#include "library/user_save.h"

#include "core/saved_options.h"
#include "library/data_file.h"
#include "library/play_record_fill.h"
#include "library/save_bytes.h"
#include "library/save_writer.h"
#include "library/song_library.h"
#include "tests/library/library_test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <utility>

namespace {

// The save written as the game writes it, and waited for: 1 when it reached the disk, 0 when it
// was refused or failed.
s32 writtenSave() {
    const bool handedOver = saveWrite(1) == 1;
    finishSaveWrites();
    return handedOver && (libraryWriteFailedFlags() & E_DAMAGED_USER_SAVE) == 0 ? 1 : 0;
}

using library_test::ClUserDataFolder;
using test_support::readFileBytes;
using test_support::writeFileBytes;

class UserSave : public ::testing::Test {
protected:
    void SetUp() override {
        noteLibraryWrite(E_DAMAGED_USER_SAVE, true, 0);
        g_SavedOptions = defaultSavedOptions();
    }
    void TearDown() override { g_SavedOptions = defaultSavedOptions(); }

    // A library and options with something in every part of the save.
    static void fillEverything() {
        SSongLibrary& library = g_SongLibrary;
        std::strcpy(library.credentials.loginName, "ann");
        library.credentials.passwordDigest[5] = 0xAB;
        library.boss.beaten[0][1] = 1;
        library.boss.met[4] = -2;
        library.boss.pendingIdentity[7] = 99;
        library.bossStage = 3;
        library.barrelPhaseCount = 4;
        library.shownTips = onceTipBit("MegaTip_Repair");
        SCollectibleRecord* item = getSongCollectible(0x1234);
        item->identified = 1;
        item->currentLevel = 2;
        std::strcpy(library.equippedItemKeys[2], item->key);
        SSongRecord song = makeSongRecord(u"\\music\\a \u00e9.flac", 400000);
        song.title = u"Title";
        song.artist = u"Artist";
        song.state = E_SONGSTATE_READY;
        song.duration = 123.5f;
        song.sampleRate = 44100.0f;
        song.scoreTargets[5][1] = 777;
        song.bestScores[2] = 5500;
        library.songs.push_back(song);
        SSongRecord failed = makeSongRecord(u"\\music\\b.wav", 300000);
        failed.state = E_SONGSTATE_FAILED;
        failed.failure = E_SONGFAIL_TOO_SHORT;
        library.songs.push_back(failed);
        g_SavedOptions.interfacePointerSensitivity = 7.5f;
        g_SavedOptions.resolutionWidth = 1280;
        g_SavedOptions.animatedLines = 0;
    }

    ClUserDataFolder m_user;
};

// Saves handed over faster than the disk takes them: the last one is what the file holds.
TEST_F(UserSave, TheLastOfSavesInARowIsTheOneKept) {
    fillEverything();
    for (s32 best = 1; best <= 20; ++best) {
        g_SongLibrary.songs[0].bestScores[2] = best;
        saveWrite(1);
    }
    const std::vector<u8> last = encodeUserSave();
    finishSaveWrites();
    createSongLibrary();
    g_SavedOptions = defaultSavedOptions();

    ASSERT_EQ(saveRead(1), 1);
    EXPECT_EQ(libraryDamagedFileFlags(), 0u);
    EXPECT_EQ(encodeUserSave(), last);
    EXPECT_EQ(g_PlayRecord.boss.beaten[0][1], 1) << "the world sees the saved boss progress at once";
}

// A song saved while it is analysed is written as waiting for its analysis, which the next start
// runs again; a save that holds one being analysed all the same is read as waiting.
TEST_F(UserSave, ASongBeingAnalysedIsWrittenAndReadAsWaiting) {
    fillEverything();
    g_SongLibrary.songs[1].failure = E_SONGFAIL_NONE;
    g_SongLibrary.songs[1].state = E_SONGSTATE_PENDING;
    const std::vector<u8> waiting = encodeUserSave();
    g_SongLibrary.songs[1].state = E_SONGSTATE_ANALYSING;
    EXPECT_EQ(encodeUserSave(), waiting);

    // The state's byte is where the save of a ready song differs.
    g_SongLibrary.songs[1].state = E_SONGSTATE_READY;
    const std::vector<u8> ready = encodeUserSave();
    std::vector<u8> analysing = waiting;
    analysing[size_t(std::mismatch(waiting.begin(), waiting.end(), ready.begin()).first - waiting.begin())] = u8(E_SONGSTATE_ANALYSING);
    createSongLibrary();
    EXPECT_TRUE(decodeUserSave(analysing, true));
    EXPECT_EQ(g_SongLibrary.songs[1].state, u32(E_SONGSTATE_PENDING));
}

TEST_F(UserSave, ContentThatDoesNotHoldIsRefusedWhateverItsTrailer) {
    fillEverything();
    const std::vector<u8> good = encodeUserSave();
    std::vector<u8> longer = good;
    longer.push_back(0);
    std::vector<u8> hugeCount = good;
    // The song count is the word before the first song's 32 identity bytes.
    const u8* identity = g_SongLibrary.songs[0].identity.bytes;
    const auto at = std::search(hugeCount.begin(), hugeCount.end(), identity, identity + 32) - hugeCount.begin() - 4;
    hugeCount[size_t(at) + 3] = 0x7F;
    const std::pair<const char*, std::vector<u8>> refused[] = {
        {"cut short", {good.begin(), good.end() - 3}}, {"one byte too many", longer}, {"a song count far beyond the bytes", hugeCount}};
    for (const auto& [name, content] : refused) EXPECT_FALSE(decodeUserSave(content, true)) << name;
    EXPECT_EQ(g_SongLibrary.songs.size(), 2u);
    EXPECT_TRUE(decodeUserSave(good, true));
}

// Values a good digest can still carry that no writer makes (and a song the scan thread holds): each
// is mended as its field's meaning says and the rest of the save is kept. A NUL put into a text of
// the save's bytes is one: the text is not cut short at it but refused with what depends on it.
struct SUnwrittenValueCase {
    const char* name;
    void (*damage)();
    f64 (*readBack)();
    f64 expected;
    const char16_t* nulText = nullptr;  // the last text of the save equal to this ...
    u32 nulAt = 0;                      // ... gets a NUL in this place
    bool nulWide = false;
};

SSongLibrary& lib() { return g_SongLibrary; }
SSavedOptions& opts() { return g_SavedOptions; }
// A value put into one field, and the same field read back.
#define ONE_FIELD(field, value) [] { field = value; }, [] { return f64(field); }
// A text put into one field, and the length of the field's text read back.
#define ONE_TEXT(field, text) [] { std::strcpy(field, text); }, [] { return f64(std::strlen(field)); }

const SUnwrittenValueCase UNWRITTEN_VALUE_CASES[] = {
    {"ItemLevelOfTheLargestInteger", ONE_FIELD(lib().collectibles[0].currentLevel, 2147483647), 5},
    {"NegativeItemLevel", ONE_FIELD(lib().collectibles[0].currentLevel, -3), 0},
    {"KeyHashNotTheKeys", ONE_FIELD(lib().collectibles[0].keyHash, 7), 0x1234},
    {"IdentifiedFlagOfTwo", ONE_FIELD(lib().collectibles[0].identified, 2), 1},
    {"EquippedItemNotOwned", ONE_TEXT(lib().equippedItemKeys[0], "gun_seeker"), 0},
    {"EquippedInASlotPastTheShips", ONE_TEXT(lib().equippedItemKeys[5], "item_00001234"), 0},
    {"OneItemEquippedTwice", [] { std::strcpy(lib().equippedItemKeys[0], "item_00001234"); },
     [] { return f64(std::strlen(lib().equippedItemKeys[2])); }, 0},
    {"WaterFlagOfTwo", ONE_FIELD(opts().waterReflection, 2), 1},
    {"BloomFlagOfAllOnes", ONE_FIELD(opts().bloom, 0xFFFFFFFFu), 1},
    {"ControllerSensitivityNotANumber", ONE_FIELD(opts().controllerSensitivity, std::nanf("")), 5},
    {"PointerSensitivityOfForty", ONE_FIELD(opts().interfacePointerSensitivity, 40.0f), 10},
    {"AmbientLayoutOfSeven", ONE_FIELD(opts().ambientLayout, 7), 0},
    {"LoginNameWithALineBreak", ONE_TEXT(lib().credentials.loginName, "an\n"), 0},
    {"LoginNameWithALineBreakLosesItsDigest", [] { std::strcpy(lib().credentials.loginName, "an\n"); },
     [] { return f64(lib().credentials.passwordDigest[5]); }, 0},
    {"BossBeatenFlagOfTwo", ONE_FIELD(lib().boss.beaten[2][0], 2), 1},
    {"BossStageOfNine", ONE_FIELD(lib().bossStage, 9), 5},
    {"NoBarrelPhase", ONE_FIELD(lib().barrelPhaseCount, 0), 1},
    {"NegativeBestScore", ONE_FIELD(lib().songs[0].bestScores[3], -1), 0},
    {"NegativeScoreTarget", ONE_FIELD(lib().songs[0].scoreTargets[5][1], -5), 0},
    {"ScoreScaleNotANumber", ONE_FIELD(lib().songs[0].scoreScale[1], std::nanf("")), 1},
    {"ScoreFieldsSettledAgainKeepTheBest", [] { lib().songs[0].progressValue = INFINITY; },
     [] { return f64(lib().songs[0].bestScores[2]); }, 5500},
    {"FourBillionRandomDraws", ONE_FIELD(lib().songs[0].randomState.draws, 4000000000u), 0},
    {"NegativeSpawnTargetsAnalyseAgain", [] { lib().songs[0].levelSpawnTargets[1] = -2; },
     [] { return f64(lib().songs[0].state); }, E_SONGSTATE_PENDING},
    {"DurationNotANumberAnalysesAgain", [] { lib().songs[0].duration = std::nanf(""); },
     [] { return f64(lib().songs[0].state); }, E_SONGSTATE_PENDING},
    {"SongStateOfNine", ONE_FIELD(lib().songs[1].state, 9), E_SONGSTATE_PENDING},
    {"FailedWithoutAReason", [] { lib().songs[1].failure = E_SONGFAIL_NONE; },
     [] { return f64(lib().songs[1].state); }, E_SONGSTATE_PENDING},
    {"NulInAnItemKeyDropsTheItem", nullptr, [] { return f64(lib().collectibles.size()); }, 0, u"item_00001234", 5},
    {"NulInTheLoginName", nullptr, [] { return f64(std::strlen(lib().credentials.loginName)); }, 0, u"ann", 1},
    {"NulInATitleDropsIt", nullptr, [] { return f64(lib().songs[0].title.size()); }, 0, u"Title", 2, true},
    {"NulInAPathDropsTheSong", nullptr, [] { return f64(lib().songs.size()); }, 1, u"\\music\\b.wav", 6, true},
};
#undef ONE_FIELD
#undef ONE_TEXT

class UserSaveUnwrittenValue : public UserSave, public ::testing::WithParamInterface<SUnwrittenValueCase> {};

TEST_P(UserSaveUnwrittenValue, IsMendedAndTheSaveKept) {
    const SUnwrittenValueCase& c = GetParam();
    fillEverything();
    if (c.damage) c.damage();
    std::vector<u8> content = encodeUserSave();
    if (c.nulText) {
        // The text as the save holds it: its count, then its bytes or units.
        const std::u16string text = c.nulText;
        ClByteWriter held;
        if (c.nulWide) {
            held.putWide(text);
        } else {
            held.putText(std::string(text.begin(), text.end()).c_str(), u32(text.size() + 1));
        }
        const std::vector<u8> bytes = held.takeBytes();
        const auto found = std::find_end(content.begin(), content.end(), bytes.begin(), bytes.end());
        ASSERT_NE(found, content.end());
        found[4 + c.nulAt * (c.nulWide ? 2 : 1)] = 0;
    }
    createSongLibrary();
    g_SavedOptions = defaultSavedOptions();

    EXPECT_TRUE(decodeUserSave(content, true));
    EXPECT_EQ(c.readBack(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(EachValue, UserSaveUnwrittenValue, ::testing::ValuesIn(UNWRITTEN_VALUE_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// A text must leave room for its end in the reader's buffer.
TEST(SaveBytes, ATextAsLongAsTheBufferIsRefused) {
    ClByteWriter out;
    out.putU32(4);
    out.putBytes("abcd", 4);
    const std::vector<u8> bytes = out.takeBytes();
    char text[5] = "zzzz";
    ClByteReader exact(bytes.data(), u32(bytes.size()));
    exact.getText(text, 4);
    EXPECT_TRUE(exact.failed());
    EXPECT_STREQ(text, "");
    ClByteReader roomy(bytes.data(), u32(bytes.size()));
    roomy.getText(text, 5);
    EXPECT_TRUE(roomy.finishedCleanly());
    EXPECT_STREQ(text, "abcd");
}

// Older saves load: one written before the profile kept its shown tips ends after the songs (it
// loads with no tip shown yet), and one of the first version; the songs' fingerprints are kept.
TEST_F(UserSave, OlderSavesLoadAndTheSongsFingerprintIsKept) {
    fillEverything();
    EXPECT_EQ(g_SongLibrary.shownTips, 1u);
    std::vector<u8> older = encodeUserSave();
    older.resize(older.size() - 4);
    g_SongLibrary.shownTips = 0;
    const std::vector<u8> expected = encodeUserSave();
    createSongLibrary();
    g_SongLibrary.shownTips = 1;

    ASSERT_TRUE(decodeUserSave(older, true));
    EXPECT_EQ(g_SongLibrary.shownTips, 0u);
    EXPECT_EQ(encodeUserSave(), expected);

    g_SongLibrary.songs[0].fingerprint = {1, 2, 3, 250};
    const std::vector<u8> current = encodeUserSave();
    ASSERT_TRUE(decodeUserSave(current, true));
    EXPECT_EQ(g_SongLibrary.songs[0].fingerprint, (std::vector<u8>{1, 2, 3, 250}));
    EXPECT_TRUE(g_SongLibrary.songs[1].fingerprint.empty());

    // The first version: the same fields, without the line style after the latched-fire word and
    // without the song audio after the songs.
    constexpr size_t LINE_STYLE_OFFSET = 8 + 8 * 4 + 3 * 4 + 4 + 4;
    std::vector<u8> first(current.begin(), current.end() - (4 + 4 + 4));
    first.erase(first.begin() + LINE_STYLE_OFFSET, first.begin() + LINE_STYLE_OFFSET + 4);
    first[4] = 1;
    createSongLibrary();
    g_SavedOptions = defaultSavedOptions();
    ASSERT_TRUE(decodeUserSave(first, true));
    EXPECT_EQ(g_SavedOptions.animatedLines, defaultSavedOptions().animatedLines);
    ASSERT_EQ(g_SongLibrary.songs.size(), 2u);
    EXPECT_EQ(g_SongLibrary.songs[0].bestScores[2], 5500);
    EXPECT_TRUE(g_SongLibrary.songs[0].fingerprint.empty());
    // A version from the future is refused.
    std::vector<u8> future = current;
    future[4] = u8(USER_SAVE_VERSION + 1);
    EXPECT_FALSE(decodeUserSave(future, true));
}

// A damaged save is set aside and nothing of it is taken; every damaged save is kept, under a
// numbered name stepping over a folder; one that cannot be set aside is never written over; a
// missing save is no damage.
TEST_F(UserSave, DamagedSavesAreSetAsideUnderNumberedNamesAndOneThatCannotBeIsNeverWrittenOver) {
    fillEverything();
    ASSERT_EQ(writtenSave(), 1);
    const std::string path = m_user.file("SAVEDATA/USR-DATA");
    std::vector<u8> bytes = readFileBytes(path);
    bytes[40] ^= 0x01;
    writeFileBytes(path, bytes);
    finishLibrarySetup();
    std::filesystem::create_directory(path + ".damaged.1");
    EXPECT_EQ(saveRead(1), 0);
    EXPECT_EQ(libraryDamagedFileFlags(), u32(E_DAMAGED_USER_SAVE));
    EXPECT_EQ(g_SongLibrary.songs.size(), size_t(0));
    test_support::writeFileText(path, "second damaged save");
    EXPECT_EQ(saveRead(1), 0);
    EXPECT_EQ(readFileBytes(path + ".damaged"), bytes);
    EXPECT_EQ(test_support::readFileText(path + ".damaged.2"), "second damaged save");
    EXPECT_TRUE(std::filesystem::is_directory(path + ".damaged.1"));

    for (u32 n = 3; n < DATA_FILE_SET_ASIDE_LIMIT; ++n) std::filesystem::create_directory(path + ".damaged." + std::to_string(n));
    test_support::writeFileText(path, "the only copy of the scores");
    EXPECT_EQ(saveRead(1), 0);
    EXPECT_EQ(writtenSave(), 0);
    EXPECT_EQ(test_support::readFileText(path), "the only copy of the scores");
    EXPECT_EQ(libraryWriteFailedFlags(), u32(E_DAMAGED_USER_SAVE));
    // Once the file is gone there is nothing left to keep.
    std::filesystem::remove(path);
    createSongLibrary();
    EXPECT_EQ(saveRead(1), 0);
    EXPECT_EQ(libraryDamagedFileFlags(), 0u);
    EXPECT_EQ(writtenSave(), 1);
}

// Each way a write fails is told (libraryWriteFailedFlags) and leaves the file; the next save
// that can write clears the notice.
class UserSaveWriteFailure : public UserSave {
protected:
    void SetUp() override {
        UserSave::SetUp();
        ASSERT_EQ(writtenSave(), 1);
        m_old = readFileBytes(m_path);
        fillEverything();
    }
    void expectRefusedThenWritten(void (*undo)(const std::string& path)) {
        EXPECT_EQ(writtenSave(), 0);
        EXPECT_EQ(libraryWriteFailedFlags(), u32(E_DAMAGED_USER_SAVE));
        undo(m_path);
        EXPECT_EQ(writtenSave(), 1);
    }
    const std::string m_path = m_user.file("SAVEDATA/USR-DATA");
    std::vector<u8> m_old;
};

// A write that fails at the end of a run (the size limit stands for a full disk) is refused and
// leaves the old file and its marker; the next start finds the marker, and the next write that
// succeeds clears the notice and removes the marker.
TEST_F(UserSaveWriteFailure, AFailedWriteIsFoundByTheNextStartUntilAWriteSucceeds) {
    // No file may grow past 64 bytes while the save is written.
    struct rlimit previous;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    struct rlimit limited = previous;
    limited.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const s32 written = writtenSave();
    setrlimit(RLIMIT_FSIZE, &previous);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(libraryWriteFailedFlags(), u32(E_DAMAGED_USER_SAVE));
    EXPECT_EQ(readFileBytes(m_path), m_old);
    EXPECT_FALSE(std::filesystem::exists(m_path + ".tmp")) << "the temporary file is removed";
    EXPECT_TRUE(std::filesystem::exists(m_path + ".unsaved"));
    noteEarlierWriteFailure(E_DAMAGED_USER_SAVE, USER_SAVE_RELATIVE_PATH);
    EXPECT_EQ(libraryEarlierWriteFailedFlags(), u32(E_DAMAGED_USER_SAVE));
    EXPECT_EQ(writtenSave(), 1);
    EXPECT_FALSE(std::filesystem::exists(m_path + ".unsaved"));
    EXPECT_EQ(libraryEarlierWriteFailedFlags(), 0u);
}

// A folder that cannot hold files, then a folder in the file's place.
TEST_F(UserSaveWriteFailure, AFolderThatCannotHoldFilesOrAFolderInTheFilesPlace) {
    // Even for root, nothing can be created in a "folder" that is a regular file.
    const std::filesystem::path folder = std::filesystem::path(m_path).parent_path();
    std::filesystem::rename(folder, folder.string() + ".kept");
    test_support::writeFileText(folder, "not a folder");
    expectRefusedThenWritten([](const std::string& path) {
        const std::filesystem::path parent = std::filesystem::path(path).parent_path();
        std::filesystem::remove(parent);
        std::filesystem::rename(parent.string() + ".kept", parent);
    });
    EXPECT_NE(readFileBytes(m_path), m_old);
    std::filesystem::remove(m_path);
    std::filesystem::create_directory(m_path);
    expectRefusedThenWritten([](const std::string& path) { std::filesystem::remove(path); });
}

TEST_F(UserSave, ThePlayRecordIsFilledFromAPlayableSongAndGivesItsResultsBackToThatSongOnly) {
    fillEverything();
    EXPECT_FALSE(fillPlayRecordForSong(1, 0));  // the failed song
    EXPECT_FALSE(fillPlayRecordForSong(0, 6));
    ASSERT_TRUE(fillPlayRecordForSong(0, 5));
    const SPlayRecord& r = g_PlayRecord;
    EXPECT_EQ(std::memcmp(r.song.identity, g_SongLibrary.songs[0].identity.bytes, 32), 0);
    EXPECT_EQ(r.song.duration, 123.5f);
    EXPECT_EQ(r.song.scoreTargets[5][1], 777);
    EXPECT_EQ(r.barrelPhaseCount, 4);
    EXPECT_EQ(std::string(r.equippedItemKeys[2]), "item_00001234");
    EXPECT_EQ(r.difficulty, 5);

    g_PlayRecord.boss.beaten[4][2] = 1;
    g_PlayRecord.boss.skip = 1;
    g_PlayRecord.song.scoreTargets[0][0] = 42;
    collectPlayRecord(0);
    const SSongLibrary& l = g_SongLibrary;
    EXPECT_EQ(l.boss.beaten[4][2], 1);
    EXPECT_EQ(l.boss.skip, 1);
    EXPECT_EQ(l.songs[0].scoreTargets[0][0], 42);
    EXPECT_TRUE(recordBestScore(0, 2, 6000));
    EXPECT_FALSE(recordBestScore(0, 2, 100));
    EXPECT_EQ(l.songs[0].bestScores[2], 6000);

    // The one water option both holds the static sparks' pan and silences the corruption sound.
    for (s32 water : {1, 0}) {
        g_SavedOptions.waterReflection = u32(water);
        ASSERT_TRUE(fillPlayRecordForSong(0, 1));
        EXPECT_EQ(g_PlayRecord.boss.corruptionSoundOff, water) << "water option " << water;
        EXPECT_EQ(g_PlayRecord.waterOption, water) << "water option " << water;
    }

    // A played song removed during play gives its results to no other song, its boss state still
    // comes back.
    g_SongLibrary.boss.skip = 0;
    ASSERT_TRUE(fillPlayRecordForSong(0, 1));
    const SSongIdentity played = g_SongLibrary.songs[0].identity;
    g_SongLibrary.songs.erase(g_SongLibrary.songs.begin());
    g_PlayRecord.song.scoreTargets[0][0] = 42;
    g_PlayRecord.boss.skip = 1;
    EXPECT_EQ(collectPlayRecordForSong(played), -1);
    EXPECT_EQ(g_SongLibrary.songs[0].scoreTargets[0][0], 0);
    EXPECT_EQ(g_SongLibrary.boss.skip, 1);
}

}  // namespace
