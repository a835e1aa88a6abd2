// Song titles and display names from their tags, the folder order, and play times as clock text.
#include "world/play/play_time.h"
#include "world/play/song_names.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

std::u16string displayName(const SSongNameTags& song) {
    std::u16string name(getSongDisplayNameLength(song), u'#');
    formatSongDisplayName(song, name.data());
    EXPECT_EQ(name.back(), u'\0') << "the length counts the terminator";
    name.pop_back();
    return name;
}

TEST(SongNames, ArtistThenTitleOrTheFileNameOfThePath) {
    const char16_t* path = u"C:\\Music\\Band\\track01.mp3";
    EXPECT_EQ(displayName({path, u"Song", u"Band"}), u"Band - Song");
    EXPECT_EQ(displayName({path, u"Song", nullptr}), u"Song");
    EXPECT_EQ(displayName({path, nullptr, u"Band"}), u"Band - track01.mp3");
    EXPECT_EQ(displayName({path, u"", u""}), u"track01.mp3");
    EXPECT_EQ(displayName({u"track02.ogg", nullptr, nullptr}), u"track02.ogg");
    EXPECT_EQ(displayName({u"C:\\Music\\", nullptr, u"Band"}), u"Band - ");
    EXPECT_EQ(getSongTitle({path, nullptr, nullptr}), path + 14) << "the title points into the path";
}

TEST(SongNames, FolderPathsCompareByCodeUnitsInTheSortsDirection) {
    setFolderSortAscending(true);
    EXPECT_LT(compareFolderPaths(u"C:\\Music\\B", u"C:\\Music\\a"), 0) << "upper case sorts before lower";
    EXPECT_GT(compareFolderPaths(u"C:\\Music\\\u00e9", u"C:\\Music\\z"), 0);
    EXPECT_EQ(compareFolderPaths(u"C:\\x", u"C:\\x"), 0);
    setFolderSortAscending(false);
    EXPECT_GT(compareFolderPaths(u"C:\\Music\\B", u"C:\\Music\\a"), 0);
    setFolderSortAscending(true);
}

TEST(PlayTime, SplitTruncatesEachPartAndTheClockShowsHoursOnlyWhenThereAreAny) {
    struct SCase {
        f32 seconds;
        u32 hours, minutes, wholeSeconds;
    };
    const SCase cases[] = {{0.0f, 0, 0, 0},    {59.9f, 0, 0, 59},  {3599.5f, 0, 59, 59},
                           {3600.0f, 1, 0, 0}, {3725.5f, 1, 2, 5}, {-5.0f, 0, 0, 0},
                           {NAN, 0, 0, 0},     {INFINITY, 0xFFFFFFFFu, 0, 0},
                           // 2^64 seconds: the hours saturate and the remainder is exact.
                           {18446744073709551616.0f, 0xFFFFFFFFu, 0, 16}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.seconds);
        SPlayTime t;
        EXPECT_EQ(splitPlayTime(&t, c.seconds), &t);
        EXPECT_EQ(t.hours, c.hours);
        EXPECT_EQ(t.minutes, c.minutes);
        EXPECT_EQ(t.seconds, c.wholeSeconds);
    }

    char16_t text[16];
    formatPlayTime(3725.5f, text, 16);
    EXPECT_EQ(std::u16string(text), u"1:02:05");
    formatPlayTime(3725.5f, text, 4);
    EXPECT_EQ(std::u16string(text), u"1:0");
}

}  // namespace
