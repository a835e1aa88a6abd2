// Replacing a file by renaming another over it.
#include "platform/os/os.h"
#include "platform/os/rename.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class RenameDirectory : public ::testing::Test {
protected:
    // The game's form of a path in the folder: UTF-16 with a backslash.
    std::u16string gamePath(const std::string& name) const {
        std::u16string wide;
        EXPECT_TRUE(osUtf8ToWide((m_folder.str() + "\\" + name).c_str(), &wide));
        return wide;
    }
    test_support::ClTempDir m_folder;
};

}  // namespace

TEST_F(RenameDirectory, RenameReplacesAnExistingFileAndAMissingSourceLeavesTheTargetAlone) {
    m_folder.write("new.tmp", "new contents");
    m_folder.write("cache.bin", "old");
    EXPECT_FALSE(osRenameFileW(gamePath("absent.tmp").c_str(), gamePath("cache.bin").c_str()));
    EXPECT_EQ(osLastError(), uint32_t(E_OSERR_NOT_FOUND));
    EXPECT_EQ(test_support::readFileText(m_folder.file("cache.bin")), "old");
    ASSERT_TRUE(osRenameFileW(gamePath("new.tmp").c_str(), gamePath("cache.bin").c_str()));
    EXPECT_EQ(test_support::readFileText(m_folder.file("cache.bin")), "new contents");
    EXPECT_FALSE(osFileExistsW(gamePath("new.tmp").c_str()));
}
