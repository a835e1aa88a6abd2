#include "platform/tags/music_tags.h"

#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>

namespace {

TEST(MusicTags, ReadFromAFileTheEncoderTaggedAbsentOtherwiseOrOnceAStopIsAskedAndSearchedOnlyToALimit) {
    test_support::ClTempDir folder;
    const std::string wav = folder.write("in.wav", test_support::wavImage({.channels = 1, .rate = 8000},
                                                                           test_support::pcm16Bytes(std::vector<s16>(8000, 100))));
    const std::string flac = folder.file("tagged.flac");
    // An album tag of 4096 units counts as absent.
    const std::string command = "flac -s -f --tag='TITLE=Caf\u00e9 Song' --tag=ARTIST=Ann --tag=ALBUM=" +
                                std::string(4096, 'x') + " -o '" + flac + "' '" + wav + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    SMusicTags tags;
    ASSERT_TRUE(readMusicTags(test_support::widePath(flac).c_str(), &tags));
    EXPECT_EQ(tags.title, u"Caf\u00e9 Song");
    EXPECT_EQ(tags.artist, u"Ann");
    EXPECT_EQ(tags.album, u"");
    EXPECT_FALSE(readMusicTags(test_support::widePath(folder.file("missing.flac")).c_str(), &tags));
    EXPECT_EQ(tags.title, u"");
    const std::atomic<bool> stop{true};
    readMusicTags(test_support::widePath(flac).c_str(), &tags, &stop);
    EXPECT_EQ(tags.title, u"");

    // A file of zeros named as an MP3 (a download in progress) is searched only to its limit, not
    // through its 5 GB, which took minutes.
    const std::string download = folder.file("download.mp3");
    test_support::writeZeroFile(download, u64(5) << 30);
    const auto start = std::chrono::steady_clock::now();
    readMusicTags(test_support::widePath(download).c_str(), &tags);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
