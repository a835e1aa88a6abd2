#include "platform/tags/music_tags.h"

#include "platform/os/os.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::u16string gamePath(const std::string& utf8) {
    std::u16string out;
    osUtf8ToWide(utf8.c_str(), &out);
    for (char16_t& c : out) {
        if (c == u'/') c = u'\\';
    }
    return out;
}

TEST(MusicTags, ReadFromAFileTheEncoderTaggedAndAbsentOtherwise) {
    test_support::ClTempDir folder;
    const std::string wav = folder.write("in.wav", test_support::wavImage(1, 1, 8000, 16,
                                                                           test_support::pcm16Bytes(std::vector<s16>(8000, 100))));
    const std::string flac = folder.file("t\u00e9st.flac");
    const std::string longTitle(4096, 'x');
    const std::string command = "flac -s -f --tag='TITLE=Caf\u00e9 Song' --tag=ARTIST=Ann --tag=ALBUM=" + longTitle +
                                " -o '" + flac + "' '" + wav + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);

    SMusicTags tags;
    ASSERT_TRUE(readMusicTags(gamePath(flac).c_str(), &tags));
    EXPECT_EQ(tags.title, u"Caf\u00e9 Song");
    EXPECT_EQ(tags.artist, u"Ann");
    EXPECT_EQ(tags.album, u"") << "a tag of 4096 units counts as absent";

    EXPECT_FALSE(readMusicTags(gamePath(folder.file("missing.flac")).c_str(), &tags));
    EXPECT_EQ(tags.title, u"");
}

}  // namespace
