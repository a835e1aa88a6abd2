// Replacing a file by renaming another over it.
#include "platform/os/os.h"
#include "platform/os/rename.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class RenameDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/velodrix_rename_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        m_root = name;
    }
    void TearDown() override { std::system(("rm -rf '" + m_root + "'").c_str()); }

    std::u16string gamePath(const std::string& name) const {
        std::u16string wide;
        EXPECT_TRUE(osUtf8ToWide((m_root + "\\" + name).c_str(), &wide));
        return wide;
    }
    void writeText(const std::string& name, const std::string& text) const {
        std::ofstream(m_root + "/" + name, std::ios::binary) << text;
    }
    std::string readText(const std::string& name) const {
        std::ifstream in(m_root + "/" + name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string m_root;
};

}  // namespace

TEST_F(RenameDirectory, RenameReplacesAnExistingFileAndRemovesTheSource) {
    writeText("new.tmp", "new contents");
    writeText("cache.bin", "old");
    ASSERT_TRUE(osRenameFileW(gamePath("new.tmp").c_str(), gamePath("cache.bin").c_str()));
    EXPECT_EQ(readText("cache.bin"), "new contents");
    EXPECT_FALSE(osFileExistsW(gamePath("new.tmp").c_str()));
}

TEST_F(RenameDirectory, MissingSourceFailsAndLeavesTheTargetAlone) {
    writeText("cache.bin", "old");
    EXPECT_FALSE(osRenameFileW(gamePath("absent.tmp").c_str(), gamePath("cache.bin").c_str()));
    EXPECT_EQ(osLastError(), uint32_t(E_OSERR_NOT_FOUND));
    EXPECT_EQ(readText("cache.bin"), "old");
}
