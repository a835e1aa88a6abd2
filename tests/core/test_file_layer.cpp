#include "core/file_layer.h"

#include "core/crit_section_pool.h"
#include "core/file_completions.h"
#include "tests/support/fatal_catch.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

using namespace test_support;

namespace {

constexpr u32 MIB = 0x100000;

constexpr u32 OK = E_FILESTATUS_OK, REFUSED = E_FILESTATUS_READ_NOT_STARTED;

struct SReadLog {
    int done = 0, failed = 0;
    u32 error = 0;
    SDiskFileSlot* slot = nullptr;
};

void logDone(SDiskFileSlot* slot, void* user) {
    auto* log = static_cast<SReadLog*>(user);
    ++log->done, log->slot = slot;
}

void logFailed(SDiskFileSlot* slot, u32 error, void* user) {
    auto* log = static_cast<SReadLog*>(user);
    ++log->failed, log->error = error, log->slot = slot;
}

u32 readAsync(SDiskFileSlot* slot, u32 offset, u32 size, std::vector<u8>* buffer, SReadLog* log) {
    return readDiskFileAsync(slot, offset, size, buffer->data(), logDone, log, logFailed, log);
}

class FileLayer : public ::testing::Test {
protected:
    void SetUp() override { fileLayerInit(); }
    void TearDown() override {
        for (int i = 0; i < 4; ++i) pumpFileCompletions();
        fileLayerShutdown();
    }

    std::string makeFile(const std::string& name, const std::vector<u8>& bytes) {
        writeFileBytes(m_dir.path() / name, bytes);
        return m_dir.str() + "/" + name;
    }

    SDiskFileSlot* open(const std::string& path, u32* size = nullptr) {
        u32 ignored = 0;
        SDiskFileSlot* slot = nullptr;
        EXPECT_EQ(openDiskFileA(path.c_str(), size ? size : &ignored, &slot), OK) << path;
        return slot;
    }

    // Pumps one round of completions at a time until the log shows an outcome; returns how
    // many rounds it took. Each round runs the completion of one piece, since a piece issued
    // from a completion waits for the next alertable wait.
    int pumpUntilOutcome(const SReadLog& log, SDiskFileSlot* slot = nullptr, std::vector<u32>* pieceSizes = nullptr) {
        int rounds = 0;
        while (log.done == 0 && log.failed == 0 && rounds < 100) {
            pumpFileCompletions();
            ++rounds;
            if (pieceSizes && log.done == 0 && log.failed == 0) pieceSizes->push_back(slot->pieceSize);
        }
        return rounds;
    }

    ClTempDir m_dir;
};

TEST_F(FileLayer, SplitReadsTakeOnePiecePerMiBFromTheirOwnOffsetsAndCallOnDoneOnce) {
    const struct {
        u32 fileSize, offset, size;
        std::vector<u32> pieces;
    } cases[] = {{2 * MIB + MIB / 2, 0, 2 * MIB + MIB / 2, {MIB, MIB, MIB / 2}},
                 {2 * MIB, 0, 2 * MIB, {MIB, MIB}},
                 {3 * MIB, 12345, MIB + MIB / 2 + 7, {MIB, MIB / 2 + 7}}};
    for (const auto& [fileSize, offset, size, pieces] : cases) {
        const std::vector<u8> bytes = patternBytes(fileSize);
        u32 opened = 0;
        SDiskFileSlot* slot = open(makeFile("song.bin", bytes), &opened);
        ASSERT_EQ(opened, fileSize);
        std::vector<u8> buffer(size), blocking(size);
        SReadLog log;
        ASSERT_EQ(readAsync(slot, offset, size, &buffer, &log), OK);
        std::vector<u32> seen{slot->pieceSize};
        EXPECT_EQ(pumpUntilOutcome(log, slot, &seen), int(pieces.size()));
        EXPECT_EQ(seen, pieces);
        EXPECT_EQ(log.done, 1);
        EXPECT_EQ(log.slot, slot);
        EXPECT_EQ(diskFileReadInFlight(slot), false);
        EXPECT_EQ(slot->wholePiecesLeft, -1);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bytes.begin() + offset));
        EXPECT_EQ(readDiskFileBlocking(slot, offset, size, blocking.data()), OK);
        EXPECT_EQ(blocking, buffer);
        EXPECT_EQ(closeDiskFile(slot), OK);
    }
}

TEST_F(FileLayer, ReadsPastTheEndWithoutABufferOrOnABusySlotAreRefused) {
    SDiskFileSlot* slot = open(makeFile("small.bin", patternBytes(100)));
    std::vector<u8> buffer(2 * MIB + 10);
    EXPECT_EQ(readDiskFileBlocking(slot, 50, 51, buffer.data()), REFUSED);
    EXPECT_EQ(readDiskFileBlocking(slot, 0, 10, nullptr), REFUSED);
    EXPECT_EQ(readDiskFileBlocking(slot, 0xFFFFFFF0u, 0x20, buffer.data()), REFUSED);
    EXPECT_EQ(readDiskFileBlocking(slot, 50, 50, buffer.data()), OK);
    closeDiskFile(slot);

    const std::vector<u8> bytes = patternBytes(2 * MIB + 10);
    slot = open(makeFile("busy.bin", bytes));
    std::vector<u8> other(100);
    SReadLog log, otherLog;
    ASSERT_EQ(readAsync(slot, 0, u32(bytes.size()), &buffer, &log), 0u);
    EXPECT_EQ(readAsync(slot, 0, 100, &other, &otherLog), REFUSED);
    EXPECT_EQ(readDiskFileBlocking(slot, 0, 100, other.data()), REFUSED);
    // Between pieces the split read is still in flight.
    pumpFileCompletions();
    EXPECT_EQ(log.done, 0);
    EXPECT_EQ(readDiskFileBlocking(slot, 0, 100, other.data()), REFUSED);

    pumpUntilOutcome(log);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer.begin()));
    EXPECT_EQ(otherLog.done + otherLog.failed, 0);
    EXPECT_EQ(readDiskFileBlocking(slot, 0, 100, other.data()), OK);
    closeDiskFile(slot);
}

TEST_F(FileLayer, ErrorsOfAPieceReachOnFailAndResetTheSplitState) {
    const std::string path = makeFile("shrinks.bin", patternBytes(2 * MIB + 5));
    SDiskFileSlot* slot = open(path);
    // The file loses its tail after the open: the second piece comes back short.
    std::filesystem::resize_file(path, MIB + MIB / 2);
    std::vector<u8> buffer(2 * MIB + 5);
    SReadLog log;
    ASSERT_EQ(readAsync(slot, 0, u32(buffer.size()), &buffer, &log), 0u);
    pumpUntilOutcome(log);
    EXPECT_EQ(log.done, 0);
    EXPECT_EQ(log.failed, 1);
    EXPECT_NE(log.error, 0);
    EXPECT_EQ(slot->readError, log.error);
    EXPECT_EQ(slot->wholePiecesLeft, -1);
    EXPECT_EQ(slot->remainder, 0u);
    EXPECT_EQ(slot->bytesRead, 0u);

    // The blocking form returns 9 instead of success with a partly filled buffer.
    slot->readError = 0;
    EXPECT_EQ(readDiskFileBlocking(slot, 0, u32(buffer.size()), buffer.data()), REFUSED);
    EXPECT_NE(slot->readError, 0);
    EXPECT_EQ(diskFileReadInFlight(slot), false);
    closeDiskFile(slot);
}

TEST_F(FileLayer, AFailedReissueCallsOnFailAndResetsTheSplitState) {
    SDiskFileSlot* slot = open(makeFile("reissue.bin", patternBytes(3 * MIB)));
    std::vector<u8> buffer(3 * MIB);
    SReadLog log;
    ASSERT_EQ(readAsync(slot, 0, 3 * MIB, &buffer, &log), 0u);
    // Without a file the next piece cannot be issued from the completion.
    SOsFile* file = slot->file;
    slot->file = nullptr;
    testing::internal::CaptureStderr();
    pumpFileCompletions();
    const std::string report = testing::internal::GetCapturedStderr();
    slot->file = file;

    EXPECT_NE(report.find("failed with error"), std::string::npos);
    EXPECT_EQ(log.failed, 1);
    EXPECT_EQ(log.done, 0);
    EXPECT_EQ(slot->wholePiecesLeft, -1);
    EXPECT_EQ(diskFileReadInFlight(slot), false);
    EXPECT_EQ(readDiskFileBlocking(slot, 0, 3 * MIB, buffer.data()), OK);
    EXPECT_EQ(buffer, patternBytes(3 * MIB));
    closeDiskFile(slot);
}

TEST_F(FileLayer, BadPathsAreRefusedWithTwoAndMissingEmptyOrHugeFilesWithTheirOwnCodes) {
    u32 size = 0;
    SDiskFileSlot* slot = nullptr;
    // Sparse files: nothing is written to the disk.
    const std::string huge = makeFile("Bj\xC3\xB6rk.wav", {1});
    std::filesystem::resize_file(huge, u64(1) << 32);
    const auto openA = [&](const char* path) { return openDiskFileA(path, &size, &slot); };
    const u32 BAD = E_FILESTATUS_BAD_PATH, FAILED = E_FILESTATUS_OPEN_FAILED;
    EXPECT_EQ(openA(std::string(768, 'a').c_str()), BAD);
    EXPECT_EQ(openDiskFileW(u"", &size, &slot), BAD);
    EXPECT_EQ(openA(nullptr), BAD);
    EXPECT_EQ(writeWholeFileW(std::u16string(768, u'a').c_str(), "x", 1), BAD);
    EXPECT_EQ(openA(std::string(767, 'a').c_str()), FAILED);
    EXPECT_EQ(openA(huge.c_str()), FAILED);
    EXPECT_EQ(openA(makeFile("empty.bin", {}).c_str()), E_FILESTATUS_EMPTY_FILE);
    EXPECT_EQ(slot, nullptr);
    std::filesystem::resize_file(huge, (u64(1) << 32) - 1);
    ASSERT_EQ(openDiskFileW(widePath(huge).c_str(), &size, &slot), OK);
    ASSERT_EQ(size, 0xFFFFFFFFu);
    EXPECT_STREQ(slot->path, huge.c_str());  // a wide path is kept as UTF-8, for messages
    closeDiskFile(slot);
}

TEST_F(FileLayer, EightSlotsThenNoFreeSlotAndOneClosedInFlightIsReusedOnlyAfterItsCompletion) {
    const std::string path = makeFile("slots.bin", patternBytes(1000));
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

    std::vector<u8> buffer(1000);
    SReadLog log;
    ASSERT_EQ(readAsync(slots[0], 0, 1000, &buffer, &log), 0u);
    EXPECT_EQ(closeDiskFile(slots[0]), OK);
    EXPECT_EQ(openDiskFileA(path.c_str(), &size, &extra), u32(E_FILESTATUS_NO_FREE_OBJECT));
    pumpFileCompletions();
    // A closed file reports nothing.
    EXPECT_EQ(log.done + log.failed, 0);
    EXPECT_EQ(openDiskFileA(path.c_str(), &size, &extra), OK);
    EXPECT_EQ(extra, slots[0]);
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
