#include "core/file_layer.h"

#include "core/crit_section_pool.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace test_support;

namespace {

constexpr u32 MIB = 0x100000;

constexpr u32 OK = E_FILESTATUS_OK, REFUSED = E_FILESTATUS_READ_NOT_STARTED;

class FileLayer : public ::testing::Test {
protected:
    void SetUp() override { fileLayerInit(); }
    void TearDown() override { fileLayerShutdown(); }

    SDiskFileSlot* open(const std::string& path, u32* size = nullptr) {
        u32 ignored = 0;
        SDiskFileSlot* slot = nullptr;
        EXPECT_EQ(openDiskFileA(path.c_str(), size ? size : &ignored, &slot), OK) << path;
        return slot;
    }

    ClTempDir m_dir;
};

// Reads of more than a piece are made of pieces of 1 MiB, each from its own offset.
TEST_F(FileLayer, ReadsOfSeveralPiecesFillTheBufferFromTheirOffset) {
    const struct {
        u32 fileSize, offset, size;
    } cases[] = {{2 * MIB + MIB / 2, 0, 2 * MIB + MIB / 2}, {2 * MIB, 0, 2 * MIB}, {3 * MIB, 12345, MIB + MIB / 2 + 7}};
    for (const auto& [fileSize, offset, size] : cases) {
        const std::vector<u8> bytes = patternBytes(fileSize);
        u32 opened = 0;
        SDiskFileSlot* slot = open(m_dir.write("song.bin", bytes), &opened);
        ASSERT_EQ(opened, fileSize);
        std::vector<u8> buffer(size);
        EXPECT_EQ(readDiskFileBlocking(slot, offset, size, buffer.data()), OK) << size;
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bytes.begin() + offset)) << size;
        EXPECT_EQ(closeDiskFile(slot), OK);
    }
}

TEST_F(FileLayer, ReadsPastTheEndOrWithoutABufferAreRefused) {
    SDiskFileSlot* slot = open(m_dir.write("small.bin", patternBytes(100)));
    std::vector<u8> buffer(100);
    EXPECT_EQ(readDiskFileBlocking(slot, 50, 51, buffer.data()), REFUSED);
    EXPECT_EQ(readDiskFileBlocking(slot, 0, 10, nullptr), REFUSED);
    EXPECT_EQ(readDiskFileBlocking(slot, 0xFFFFFFF0u, 0x20, buffer.data()), REFUSED);
    EXPECT_EQ(readDiskFileBlocking(slot, 50, 50, buffer.data()), OK);
    closeDiskFile(slot);
}

// The file loses its tail after the open: the second piece comes back short, and the read fails
// instead of succeeding with a partly filled buffer.
TEST_F(FileLayer, AReadOfAFileThatShrankFailsWithItsError) {
    const std::string path = m_dir.write("shrinks.bin", patternBytes(2 * MIB + 5));
    SDiskFileSlot* slot = open(path);
    std::filesystem::resize_file(path, MIB + MIB / 2);
    std::vector<u8> buffer(2 * MIB + 5);
    EXPECT_EQ(readDiskFileBlocking(slot, 0, u32(buffer.size()), buffer.data()), REFUSED);
    EXPECT_NE(slot->readError, 0);
    closeDiskFile(slot);
}

TEST_F(FileLayer, BadPathsAreRefusedWithTwoAndMissingEmptyOrHugeFilesWithTheirOwnCodes) {
    u32 size = 0;
    SDiskFileSlot* slot = nullptr;
    // Sparse files: nothing is written to the disk.
    const std::string huge = m_dir.write("Bj\xC3\xB6rk.wav", "x");
    std::filesystem::resize_file(huge, u64(1) << 32);
    const auto openA = [&](const char* path) { return openDiskFileA(path, &size, &slot); };
    const u32 BAD = E_FILESTATUS_BAD_PATH, FAILED = E_FILESTATUS_OPEN_FAILED;
    EXPECT_EQ(openA(std::string(768, 'a').c_str()), BAD);
    EXPECT_EQ(openDiskFileW(u"", &size, &slot), BAD);
    EXPECT_EQ(openA(nullptr), BAD);
    EXPECT_EQ(writeWholeFileW(std::u16string(768, u'a').c_str(), "x", 1), BAD);
    EXPECT_EQ(openA(std::string(767, 'a').c_str()), FAILED);
    EXPECT_EQ(openA(huge.c_str()), FAILED);
    EXPECT_EQ(openA(m_dir.write("empty.bin", "").c_str()), E_FILESTATUS_EMPTY_FILE);
    EXPECT_EQ(slot, nullptr);
    std::filesystem::resize_file(huge, (u64(1) << 32) - 1);
    ASSERT_EQ(openDiskFileW(widePath(huge).c_str(), &size, &slot), OK);
    ASSERT_EQ(size, 0xFFFFFFFFu);
    EXPECT_STREQ(slot->path, huge.c_str());  // a wide path is kept as UTF-8, for messages
    closeDiskFile(slot);
}

TEST_F(FileLayer, EightSlotsThenNoFreeSlotAndAClosedOneIsReused) {
    const std::string path = m_dir.write("slots.bin", patternBytes(1000));
    SDiskFileSlot* slots[DISK_FILE_SLOT_COUNT];
    for (SDiskFileSlot*& slot : slots) slot = open(path);
    u32 size = 0;
    SDiskFileSlot* extra = nullptr;
    EXPECT_EQ(openDiskFileA(path.c_str(), &size, &extra), u32(E_FILESTATUS_NO_FREE_OBJECT));
    // A slot closed twice.
    EXPECT_EQ(closeDiskFile(slots[3]), OK);
    EXPECT_EQ(closeDiskFile(slots[3]), E_FILESTATUS_CLOSE_FAILED);
    EXPECT_EQ(openDiskFileA(path.c_str(), &size, &extra), OK);
    EXPECT_EQ(extra, slots[3]);

    for (SDiskFileSlot* slot : slots) closeDiskFile(slot);
}

TEST(FileLayerLock, InitTakesOnePooledLockAndShutdownGivesItBack) {
    critSectionPoolInit();
    const u32 before = critSectionPoolUseCount();
    fileLayerInit();
    fileLayerInit();
    EXPECT_EQ(critSectionPoolUseCount(), before + 1);
    fileLayerShutdown();
    EXPECT_EQ(critSectionPoolUseCount(), before);
}

}  // namespace
