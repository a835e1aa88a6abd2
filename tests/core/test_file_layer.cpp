#include "core/file_layer.h"

#include "core/crit_section_pool.h"
#include "core/file_completions.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr u32 MIB = 0x100000;

// Bytes that differ from piece to piece, so data landing at a wrong offset is seen.
std::vector<u8> patternBytes(u32 size) {
    std::vector<u8> bytes(size);
    for (u32 i = 0; i < size; ++i) bytes[i] = u8((i * 131u) ^ (i >> 13));
    return bytes;
}

std::u16string widen(const std::string& text) {
    std::u16string wide;
    osUtf8ToWide(text.c_str(), &wide);
    return wide;
}

struct SReadLog {
    int done = 0;
    int failed = 0;
    u32 error = 0;
    SDiskFileSlot* slot = nullptr;
    std::thread::id thread;
};

void logDone(SDiskFileSlot* slot, void* user) {
    auto* log = static_cast<SReadLog*>(user);
    ++log->done;
    log->slot = slot;
    log->thread = std::this_thread::get_id();
}

void logFailed(SDiskFileSlot* slot, u32 error, void* user) {
    auto* log = static_cast<SReadLog*>(user);
    ++log->failed;
    log->error = error;
    log->slot = slot;
}

class FileLayer : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/velodrix_file_layer_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        m_directory = name;
        fileLayerInit();
    }

    void TearDown() override {
        for (int i = 0; i < 4; ++i) pumpFileCompletions();
        fileLayerShutdown();
        std::filesystem::remove_all(m_directory);
    }

    std::string makeFile(const std::string& name, const std::vector<u8>& bytes) {
        const std::string path = m_directory + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }

    SDiskFileSlot* open(const std::string& path, u32* size = nullptr) {
        u32 ignored = 0;
        SDiskFileSlot* slot = nullptr;
        EXPECT_EQ(openDiskFileA(path.c_str(), size ? size : &ignored, &slot), u32(E_FILESTATUS_OK)) << path;
        return slot;
    }

    // Pumps one round of completions at a time until the log shows an outcome; returns how
    // many rounds it took. Each round runs the completion of one piece, since a piece issued
    // from a completion waits for the next alertable wait.
    int pumpUntilOutcome(const SReadLog& log, std::vector<u32>* pieceSizes = nullptr) {
        int rounds = 0;
        while (log.done == 0 && log.failed == 0 && rounds < 100) {
            pumpFileCompletions();
            ++rounds;
            if (pieceSizes && log.done == 0 && log.failed == 0) pieceSizes->push_back((*m_slot).pieceSize);
        }
        return rounds;
    }

    std::string m_directory;
    SDiskFileSlot* m_slot = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Split reads

TEST_F(FileLayer, TwoAndAHalfMiBReadInThreePiecesWithOneOnDone) {
    const std::vector<u8> bytes = patternBytes(2 * MIB + MIB / 2);
    u32 size = 0;
    m_slot = open(makeFile("song.bin", bytes), &size);
    ASSERT_EQ(size, bytes.size());

    std::vector<u8> buffer(size);
    SReadLog log;
    ASSERT_EQ(readDiskFileAsync(m_slot, 0, size, buffer.data(), logDone, &log, logFailed, &log), u32(E_FILESTATUS_OK));
    EXPECT_EQ(m_slot->pieceSize, MIB);
    EXPECT_EQ(log.done, 0) << "completions never run inside the issuing call";

    std::vector<u32> laterPieces;
    EXPECT_EQ(pumpUntilOutcome(log, &laterPieces), 3);
    EXPECT_EQ(laterPieces, (std::vector<u32>{MIB, MIB / 2}));
    EXPECT_EQ(log.done, 1);
    EXPECT_EQ(log.failed, 0);
    EXPECT_EQ(log.slot, m_slot);
    EXPECT_TRUE(buffer == bytes);
    EXPECT_FALSE(diskFileReadInFlight(m_slot));
    EXPECT_EQ(m_slot->wholePiecesLeft, -1);

    for (int i = 0; i < 3; ++i) pumpFileCompletions();
    EXPECT_EQ(log.done, 1);
    EXPECT_EQ(closeDiskFile(m_slot), u32(E_FILESTATUS_OK));
}

TEST_F(FileLayer, ExactlyTwoMiBReadInTwoPieces) {
    const std::vector<u8> bytes = patternBytes(2 * MIB);
    m_slot = open(makeFile("two.bin", bytes));
    std::vector<u8> buffer(bytes.size());
    SReadLog log;
    ASSERT_EQ(readDiskFileAsync(m_slot, 0, 2 * MIB, buffer.data(), logDone, &log, logFailed, &log), u32(E_FILESTATUS_OK));
    EXPECT_EQ(pumpUntilOutcome(log), 2);
    EXPECT_EQ(log.done, 1);
    EXPECT_TRUE(buffer == bytes);
    closeDiskFile(m_slot);
}

TEST_F(FileLayer, SplitReadFromAnOffsetTakesEachPieceFromItsOwnOffset) {
    const std::vector<u8> bytes = patternBytes(3 * MIB);
    m_slot = open(makeFile("offset.bin", bytes));
    const u32 offset = 12345;
    const u32 size = MIB + MIB / 2 + 7;
    std::vector<u8> buffer(size);
    SReadLog log;
    ASSERT_EQ(readDiskFileAsync(m_slot, offset, size, buffer.data(), logDone, &log, logFailed, &log), u32(E_FILESTATUS_OK));
    pumpUntilOutcome(log);
    ASSERT_EQ(log.done, 1);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bytes.begin() + offset));

    std::vector<u8> blocking(size);
    EXPECT_EQ(readDiskFileBlocking(m_slot, offset, size, blocking.data()), u32(E_FILESTATUS_OK));
    EXPECT_TRUE(blocking == buffer);
    closeDiskFile(m_slot);
}

// ---------------------------------------------------------------------------------------------
// Refused reads and read errors

TEST_F(FileLayer, AnyReadOnASlotWithAReadInFlightIsRefused) {
    const std::vector<u8> bytes = patternBytes(2 * MIB + 10);
    m_slot = open(makeFile("busy.bin", bytes));
    std::vector<u8> buffer(bytes.size()), other(bytes.size());
    SReadLog log, otherLog;
    ASSERT_EQ(readDiskFileAsync(m_slot, 0, u32(bytes.size()), buffer.data(), logDone, &log, logFailed, &log), 0u);
    EXPECT_EQ(readDiskFileAsync(m_slot, 0, 100, other.data(), logDone, &otherLog, logFailed, &otherLog),
              u32(E_FILESTATUS_READ_NOT_STARTED));
    EXPECT_EQ(readDiskFilePiece(m_slot, 0, 100, other.data()), u32(E_FILESTATUS_READ_NOT_STARTED));
    EXPECT_EQ(readDiskFileBlocking(m_slot, 0, 100, other.data()), u32(E_FILESTATUS_READ_NOT_STARTED));

    // Between pieces the split read is still in flight.
    pumpFileCompletions();
    EXPECT_EQ(log.done, 0);
    EXPECT_EQ(readDiskFilePiece(m_slot, 0, 100, other.data()), u32(E_FILESTATUS_READ_NOT_STARTED));

    pumpUntilOutcome(log);
    EXPECT_EQ(log.done, 1);
    EXPECT_TRUE(buffer == bytes);
    EXPECT_EQ(otherLog.done + otherLog.failed, 0);
    EXPECT_EQ(readDiskFilePiece(m_slot, 0, 100, other.data()), u32(E_FILESTATUS_OK));
    pumpFileCompletions();
    closeDiskFile(m_slot);
}

TEST_F(FileLayer, ReadsPastTheEndOrWithoutABufferAreRefused) {
    m_slot = open(makeFile("small.bin", patternBytes(100)));
    std::vector<u8> buffer(200);
    EXPECT_EQ(readDiskFileBlocking(m_slot, 50, 51, buffer.data()), u32(E_FILESTATUS_READ_NOT_STARTED));
    EXPECT_EQ(readDiskFilePiece(m_slot, 0xFFFFFFF0u, 0x20, buffer.data()), u32(E_FILESTATUS_READ_NOT_STARTED));
    EXPECT_EQ(readDiskFileBlocking(m_slot, 0, 10, nullptr), u32(E_FILESTATUS_READ_NOT_STARTED));
    EXPECT_EQ(readDiskFileBlocking(nullptr, 0, 10, buffer.data()), u32(E_FILESTATUS_READ_NOT_STARTED));
    EXPECT_EQ(readDiskFileBlocking(m_slot, 50, 50, buffer.data()), u32(E_FILESTATUS_OK));
    closeDiskFile(m_slot);
}

TEST_F(FileLayer, ErrorsOfAPieceReachOnFailAndResetTheSplitState) {
    const std::string path = makeFile("shrinks.bin", patternBytes(2 * MIB + 5));
    m_slot = open(path);
    // The file loses its tail after the open: the second piece comes back short.
    std::filesystem::resize_file(path, MIB + MIB / 2);
    std::vector<u8> buffer(2 * MIB + 5);
    SReadLog log;
    ASSERT_EQ(readDiskFileAsync(m_slot, 0, u32(buffer.size()), buffer.data(), logDone, &log, logFailed, &log), 0u);
    pumpUntilOutcome(log);
    EXPECT_EQ(log.done, 0);
    EXPECT_EQ(log.failed, 1);
    EXPECT_NE(log.error, 0u);
    EXPECT_EQ(m_slot->readError, log.error);
    EXPECT_FALSE(diskFileReadInFlight(m_slot));
    EXPECT_EQ(m_slot->wholePiecesLeft, -1);
    EXPECT_EQ(m_slot->remainder, 0u);
    EXPECT_EQ(m_slot->bytesRead, 0u);

    // Gone past the end altogether: the first piece fails.
    std::filesystem::resize_file(path, 0);
    SReadLog second;
    ASSERT_EQ(readDiskFileAsync(m_slot, 0, 100, buffer.data(), logDone, &second, logFailed, &second), 0u);
    pumpUntilOutcome(second);
    EXPECT_EQ(second.failed, 1);
    EXPECT_EQ(second.done, 0);
    closeDiskFile(m_slot);
}

TEST_F(FileLayer, BlockingReadReturnsNineWhenAPieceFails) {
    const std::string path = makeFile("blocking.bin", patternBytes(2 * MIB + MIB / 2));
    m_slot = open(path);
    std::vector<u8> buffer(2 * MIB + MIB / 2);
    EXPECT_EQ(readDiskFileBlocking(m_slot, 0, u32(buffer.size()), buffer.data()), u32(E_FILESTATUS_OK));
    EXPECT_TRUE(buffer == patternBytes(u32(buffer.size())));

    std::filesystem::resize_file(path, MIB + 3);
    EXPECT_EQ(readDiskFileBlocking(m_slot, 0, u32(buffer.size()), buffer.data()), u32(E_FILESTATUS_READ_NOT_STARTED));
    EXPECT_NE(m_slot->readError, 0u);
    EXPECT_FALSE(diskFileReadInFlight(m_slot));
    closeDiskFile(m_slot);
}

TEST_F(FileLayer, AFailedReissueCallsOnFailAndResetsTheSplitState) {
    m_slot = open(makeFile("reissue.bin", patternBytes(3 * MIB)));
    std::vector<u8> buffer(3 * MIB);
    SReadLog log;
    ASSERT_EQ(readDiskFileAsync(m_slot, 0, 3 * MIB, buffer.data(), logDone, &log, logFailed, &log), 0u);
    // Without a file the next piece cannot be issued from the completion.
    SOsFile* file = m_slot->file;
    m_slot->file = nullptr;
    testing::internal::CaptureStderr();
    pumpFileCompletions();
    const std::string report = testing::internal::GetCapturedStderr();
    m_slot->file = file;

    EXPECT_EQ(log.failed, 1);
    EXPECT_EQ(log.done, 0);
    EXPECT_NE(log.error, 0u);
    EXPECT_NE(report.find("failed with error"), std::string::npos);
    EXPECT_EQ(m_slot->wholePiecesLeft, -1);
    EXPECT_FALSE(diskFileReadInFlight(m_slot));
    EXPECT_EQ(readDiskFileBlocking(m_slot, 0, 3 * MIB, buffer.data()), u32(E_FILESTATUS_OK));
    closeDiskFile(m_slot);
}

TEST_F(FileLayer, APieceOfMoreThanOneMiBStopsTheProgram) {
    m_slot = open(makeFile("big.bin", patternBytes(2 * MIB)));
    std::vector<u8> buffer(2 * MIB);
    EXPECT_EXIT(readDiskFilePiece(m_slot, 0, MIB + 1, buffer.data()), ::testing::ExitedWithCode(3), "1 MiB");
    closeDiskFile(m_slot);
}

// ---------------------------------------------------------------------------------------------
// Threading

TEST_F(FileLayer, CompletionsRunOnlyInTheIssuingThreadsAlertableWaits) {
    const std::vector<u8> bytes = patternBytes(MIB + 1);
    m_slot = open(makeFile("thread.bin", bytes));
    std::vector<u8> buffer(bytes.size());
    SReadLog log;
    ASSERT_EQ(readDiskFileAsync(m_slot, 0, u32(bytes.size()), buffer.data(), logDone, &log, logFailed, &log), 0u);

    std::atomic<bool> stop{false};
    std::thread other([&stop] {
        while (!stop.load()) osSleepEx(1, true);
    });
    osSleep(20);
    stop.store(true);
    other.join();
    EXPECT_EQ(log.done, 0) << "another thread's alertable waits ran the completion";

    osSleepEx(5, false);
    EXPECT_EQ(log.done, 0) << "a wait that is not alertable ran the completion";

    pumpUntilOutcome(log);
    EXPECT_EQ(log.done, 1);
    EXPECT_EQ(log.thread, std::this_thread::get_id());
    EXPECT_TRUE(buffer == bytes);
    closeDiskFile(m_slot);
}

// ---------------------------------------------------------------------------------------------
// Opening, slots and closing

TEST_F(FileLayer, BadPathsAreRefusedWithTwo) {
    u32 size = 0;
    SDiskFileSlot* slot = nullptr;
    const std::string tooLong(768, 'a');
    const std::string longest(767, 'a');
    EXPECT_EQ(openDiskFileA(tooLong.c_str(), &size, &slot), u32(E_FILESTATUS_BAD_PATH));
    EXPECT_EQ(openDiskFileA(longest.c_str(), &size, &slot), u32(E_FILESTATUS_OPEN_FAILED));
    EXPECT_EQ(openDiskFileW(std::u16string(768, u'a').c_str(), &size, &slot), u32(E_FILESTATUS_BAD_PATH));
    EXPECT_EQ(openDiskFileA("", &size, &slot), u32(E_FILESTATUS_BAD_PATH));
    EXPECT_EQ(openDiskFileW(u"", &size, &slot), u32(E_FILESTATUS_BAD_PATH));
    EXPECT_EQ(openDiskFileA(nullptr, &size, &slot), u32(E_FILESTATUS_BAD_PATH));
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(fileExistsA(tooLong.c_str()), 0u);
    EXPECT_EQ(writeWholeFileW(std::u16string(768, u'a').c_str(), "x", 1), u32(E_FILESTATUS_BAD_PATH));
}

TEST_F(FileLayer, MissingEmptyAndHugeFilesAreRefused) {
    u32 size = 0;
    SDiskFileSlot* slot = nullptr;
    EXPECT_EQ(openDiskFileA((m_directory + "/absent.bin").c_str(), &size, &slot), u32(E_FILESTATUS_OPEN_FAILED));
    EXPECT_EQ(openDiskFileA(makeFile("empty.bin", {}).c_str(), &size, &slot), u32(E_FILESTATUS_EMPTY_FILE));

    // Sparse files: nothing is written to the disk.
    const std::string huge = makeFile("huge.bin", {1});
    std::filesystem::resize_file(huge, u64(1) << 32);
    EXPECT_EQ(openDiskFileA(huge.c_str(), &size, &slot), u32(E_FILESTATUS_OPEN_FAILED));
    std::filesystem::resize_file(huge, (u64(1) << 32) - 1);
    ASSERT_EQ(openDiskFileA(huge.c_str(), &size, &slot), u32(E_FILESTATUS_OK));
    EXPECT_EQ(size, 0xFFFFFFFFu);
    closeDiskFile(slot);
}

TEST_F(FileLayer, PathsAreUtf8NarrowAndUtf16Wide) {
    const std::vector<u8> bytes = patternBytes(64);
    const std::string path = makeFile("Bj\xC3\xB6rk \xE2\x80\x94 J\xC3\xB3ga.wav", bytes);
    u32 size = 0;
    SDiskFileSlot* slot = nullptr;
    ASSERT_EQ(openDiskFileW(widen(path).c_str(), &size, &slot), u32(E_FILESTATUS_OK));
    EXPECT_STREQ(slot->path, path.c_str());
    closeDiskFile(slot);
    ASSERT_EQ(openDiskFileA(path.c_str(), &size, &slot), u32(E_FILESTATUS_OK));
    EXPECT_EQ(size, 64u);
    closeDiskFile(slot);
    EXPECT_EQ(fileExistsA(path.c_str()), 1u);
    EXPECT_EQ(fileExistsW(widen(path).c_str()), 1u);

    // Game paths use '\'.
    std::string backslashed = path;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    EXPECT_EQ(fileExistsA(backslashed.c_str()), 1u);
}

TEST_F(FileLayer, EightSlotsThenNoFreeSlot) {
    const std::string path = makeFile("slots.bin", patternBytes(10));
    SDiskFileSlot* slots[DISK_FILE_SLOT_COUNT];
    for (SDiskFileSlot*& slot : slots) slot = open(path);
    u32 size = 0;
    SDiskFileSlot* extra = nullptr;
    EXPECT_EQ(openDiskFileA(path.c_str(), &size, &extra), u32(E_FILESTATUS_NO_FREE_OBJECT));
    EXPECT_EQ(closeDiskFile(slots[3]), u32(E_FILESTATUS_OK));
    EXPECT_EQ(closeDiskFile(slots[3]), u32(E_FILESTATUS_CLOSE_FAILED)) << "a slot closed twice";
    ASSERT_EQ(openDiskFileA(path.c_str(), &size, &extra), u32(E_FILESTATUS_OK));
    EXPECT_EQ(extra, slots[3]);
    for (SDiskFileSlot* slot : slots) closeDiskFile(slot);
}

TEST_F(FileLayer, ASlotClosedWithAReadInFlightIsReusedOnlyAfterItsCompletion) {
    const std::string path = makeFile("inflight.bin", patternBytes(1000));
    SDiskFileSlot* slots[DISK_FILE_SLOT_COUNT];
    for (SDiskFileSlot*& slot : slots) slot = open(path);
    std::vector<u8> buffer(1000);
    SReadLog log;
    ASSERT_EQ(readDiskFileAsync(slots[0], 0, 1000, buffer.data(), logDone, &log, logFailed, &log), 0u);
    EXPECT_EQ(closeDiskFile(slots[0]), u32(E_FILESTATUS_OK));

    u32 size = 0;
    SDiskFileSlot* extra = nullptr;
    EXPECT_EQ(openDiskFileA(path.c_str(), &size, &extra), u32(E_FILESTATUS_NO_FREE_OBJECT));
    pumpFileCompletions();
    EXPECT_EQ(log.done + log.failed, 0) << "a closed file reports nothing";
    ASSERT_EQ(openDiskFileA(path.c_str(), &size, &extra), u32(E_FILESTATUS_OK));
    closeDiskFile(extra);
    for (u32 i = 1; i < DISK_FILE_SLOT_COUNT; ++i) closeDiskFile(slots[i]);
}

struct SCallbackLog {
    int opened = 0, closed = 0, failed = 0;
    u32 size = 0, status = 0;
    SDiskFileSlot* slot = nullptr;
};

TEST_F(FileLayer, CallbackFormsReportAtOnce) {
    const std::string path = makeFile("callbacks.bin", patternBytes(33));
    SCallbackLog log;
    auto onOpen = [](SDiskFileSlot* slot, u32 size, void* user) {
        auto* l = static_cast<SCallbackLog*>(user);
        ++l->opened;
        l->size = size;
        l->slot = slot;
    };
    auto onFail = [](SDiskFileSlot* slot, u32 status, void* user) {
        auto* l = static_cast<SCallbackLog*>(user);
        ++l->failed;
        l->status = status;
        l->slot = slot;
    };
    auto onClosed = [](SDiskFileSlot*, void* user) { ++static_cast<SCallbackLog*>(user)->closed; };

    EXPECT_EQ(openDiskFileWithCallbacks(path.c_str(), onOpen, &log, onFail, &log), u32(E_FILESTATUS_OK));
    EXPECT_EQ(log.opened, 1);
    EXPECT_EQ(log.size, 33u);
    SDiskFileSlot* slot = log.slot;
    EXPECT_EQ(closeDiskFileWithCallbacks(slot, onClosed, &log, onFail, &log), u32(E_FILESTATUS_OK));
    EXPECT_EQ(log.closed, 1);

    EXPECT_EQ(openDiskFileWithCallbacks((m_directory + "/none").c_str(), onOpen, &log, onFail, &log),
              u32(E_FILESTATUS_OPEN_FAILED));
    EXPECT_EQ(log.failed, 1);
    EXPECT_EQ(log.status, u32(E_FILESTATUS_OPEN_FAILED));
    EXPECT_EQ(log.slot, nullptr);
    EXPECT_EQ(log.opened, 1);
}

// ---------------------------------------------------------------------------------------------
// Listing, existence, writing and directories

std::vector<std::string> namesOf(const ClArray<SDirectoryEntry>& entries) {
    std::vector<std::string> names;
    for (const SDirectoryEntry& entry : entries) names.push_back(osWideToUtf8(entry.name));
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(FileLayer, ListingWithMaskOneAndSkipDotsGivesOnlySubDirectories) {
    std::filesystem::create_directory(m_directory + "/Albums");
    std::filesystem::create_directory(m_directory + "/Singles");
    makeFile("track.mp3", patternBytes(4));
    makeFile("notes.txt", patternBytes(4));

    ClArray<SDirectoryEntry> entries;
    const std::u16string directory = widen(m_directory);
    ASSERT_EQ(listDirectoryW(&entries, directory.c_str(), E_FILEATTR_DIRECTORY, true), u32(E_FILESTATUS_OK));
    EXPECT_EQ(namesOf(entries), (std::vector<std::string>{"Albums", "Singles"}));
    for (const SDirectoryEntry& entry : entries) EXPECT_EQ(entry.attributes & E_FILEATTR_FILE, 0u);

    ASSERT_EQ(listDirectoryW(&entries, directory.c_str(), E_FILEATTR_DIRECTORY, false), u32(E_FILESTATUS_OK));
    EXPECT_EQ(namesOf(entries), (std::vector<std::string>{".", "..", "Albums", "Singles"}));

    ASSERT_EQ(listDirectoryW(&entries, (directory + u"\\").c_str(), E_FILEATTR_FILE, true), u32(E_FILESTATUS_OK));
    EXPECT_EQ(namesOf(entries), (std::vector<std::string>{"notes.txt", "track.mp3"}));

    ASSERT_EQ(listDirectoryW(&entries, (directory + u"\\*.MP3").c_str(), E_FILEATTR_FILE, true, true),
              u32(E_FILESTATUS_OK));
    EXPECT_EQ(namesOf(entries), (std::vector<std::string>{"track.mp3"}));

    ASSERT_EQ(listDirectoryW(&entries, (directory + u"\\*.flac").c_str(), E_FILEATTR_FILE, true, true),
              u32(E_FILESTATUS_OK));
    EXPECT_EQ(entries.count, 0u);

    EXPECT_EQ(listDirectoryW(&entries, (directory + u"\\missing").c_str(), E_FILEATTR_DIRECTORY, true),
              u32(E_FILESTATUS_SEARCH_FAILED));
    EXPECT_EQ(entries.count, 0u);
    entries.release();
}

TEST_F(FileLayer, WholeFileWritesReplaceTheFileAndCreateDirectoryMakesParents) {
    const std::u16string folder = widen(m_directory) + u"\\user\\SAVEDATA";
    EXPECT_EQ(createDirectoryW(folder.c_str()), 1u);
    EXPECT_EQ(createDirectoryW(folder.c_str()), 1u) << "an existing folder is fine";
    EXPECT_TRUE(std::filesystem::is_directory(m_directory + "/user/SAVEDATA"));

    const std::u16string file = folder + u"\\GM-DATA";
    const std::vector<u8> first = patternBytes(5000);
    EXPECT_EQ(fileExistsW(file.c_str()), 0u);
    EXPECT_EQ(writeWholeFileW(file.c_str(), first.data(), 5000), u32(E_FILESTATUS_OK));
    EXPECT_EQ(fileExistsW(file.c_str()), 1u);
    EXPECT_EQ(writeWholeFileW(file.c_str(), "abc", 3), u32(E_FILESTATUS_OK));
    EXPECT_EQ(std::filesystem::file_size(m_directory + "/user/SAVEDATA/GM-DATA"), 3u);

    EXPECT_EQ(writeWholeFileW((widen(m_directory) + u"\\no\\such\\folder\\file").c_str(), "abc", 3),
              u32(E_FILESTATUS_WRITE_FAILED));
    EXPECT_EQ(fileExistsW(folder.c_str()), 0u) << "a folder is not a file";
    EXPECT_EQ(registerFileWatch("Scripts\\sos.txt", 1, nullptr), 0u);
}

TEST_F(FileLayer, StreamWriterCountsItsBytes) {
    const std::u16string path = widen(m_directory) + u"\\USR-DATA";
    ClStreamWriter writer;
    EXPECT_EQ(writer.write("lost", 4), 0u);
    ASSERT_TRUE(writer.open(path.c_str()));
    EXPECT_EQ(writer.write("save", 4), 4u);
    EXPECT_EQ(writer.write("data", 4), 4u);
    EXPECT_EQ(writer.getBytesWritten(), 8u);
    EXPECT_TRUE(writer.close());
    EXPECT_FALSE(writer.isOpen());
    EXPECT_EQ(std::filesystem::file_size(m_directory + "/USR-DATA"), 8u);
    EXPECT_FALSE(writer.open((widen(m_directory) + u"\\missing\\USR-DATA").c_str()));
}

TEST(FileLayerLock, InitTakesOnePooledLockAndShutdownGivesItBack) {
    critSectionPoolInit();
    const u32 before = critSectionPoolUseCount();
    fileLayerInit();
    fileLayerInit();
    EXPECT_EQ(critSectionPoolUseCount(), before + 1);
    fileSystemLockEnter();
    fileSystemLockEnter();
    fileSystemLockLeave();
    fileSystemLockLeave();
    fileLayerShutdown();
    EXPECT_EQ(critSectionPoolUseCount(), before);
}

// ---------------------------------------------------------------------------------------------
// Error reports and bounded formatting

TEST(FileLayerReports, LastErrorZeroWritesNothingAndReturnsZero) {
    osSetLastError(0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(reportLastError(), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    osSetLastError(E_OSERR_NOT_FOUND);
    testing::internal::CaptureStderr();
    EXPECT_EQ(reportLastError(), u32(E_OSERR_NOT_FOUND));
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("failed with error 2: ", 0), 0u);
}

TEST(FileLayerReports, FormatBoundedCutsAndTerminates) {
    char buffer[8];
    EXPECT_EQ(formatBounded(buffer, sizeof buffer, "%d-%s", 42, "ok"), u32(E_FORMAT_BOUNDED_OK));
    EXPECT_STREQ(buffer, "42-ok");
    EXPECT_EQ(formatBounded(buffer, sizeof buffer, "%s", "overflowing"), u32(E_FORMAT_BOUNDED_TRUNCATED));
    EXPECT_STREQ(buffer, "overflo");
    EXPECT_EQ(formatBounded(buffer, 0, "x"), u32(E_FORMAT_BOUNDED_INVALID_ARGUMENT));
    EXPECT_EQ(formatBounded(buffer, size_t(0x80000000u), "x"), u32(E_FORMAT_BOUNDED_INVALID_ARGUMENT));
}

}  // namespace
