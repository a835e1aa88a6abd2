#include "core/async_asset.h"

#include "core/file_completions.h"
#include "core/file_layer.h"
#include "core/packaged_asset_source.h"
#include "core/packages.h"
#include <gtest/gtest.h>
#include "tests/support/file_bytes.h"
#include "tests/support/package_test.h"

#include <string>
#include <vector>

using namespace test_support;

namespace {

// The packaged-file source, failing its buffers on demand and noting the requester's word.
class ClWatchedSource : public IAsyncAssetSource {
public:
    u32 openAsync(const char* path, void** outFile, AsyncSourceOpenedFn onOpen, AsyncSourceFailedFn onFail,
                  void* user) override { return m_inner->openAsync(path, outFile, onOpen, onFail, user); }
    bool prepareBuffers(void* file, u32 size, u32 alignment, u32 userWord) override {
        lastUserWord = userWord;
        return !failBuffers && m_inner->prepareBuffers(file, size, alignment, userWord);
    }
    u32 readWholeAsync(void* file, u32 size, AsyncSourceDoneFn onDone, AsyncSourceFailedFn onFail,
                       void* user) override { return m_inner->readWholeAsync(file, size, onDone, onFail, user); }
    void* dataBuffer(void* file) override { return m_inner->dataBuffer(file); }
    u32 closeAsync(void* file, AsyncSourceDoneFn onClosed, AsyncSourceFailedFn onFail, void* user) override {
        return m_inner->closeAsync(file, onClosed, onFail, user); }
    void closeNow(void* file) override { m_inner->closeNow(file); }
    void release(void* file) override { m_inner->release(file); }

    bool failBuffers = false;
    u32 lastUserWord = 0;

private:
    IAsyncAssetSource* m_inner = packagedAssetSource();
};

struct SRequest {
    int done = 0, failed = 0, id = 0;
    s32 stage = 0;
    u32 error = 0;
    std::vector<u8> bytesAtDone = {};
    std::vector<int>* order = nullptr;
};

void requestDone(SAsyncAssetEntry* entry, void* user) {
    auto* request = static_cast<SRequest*>(user);
    ++request->done;
    const u8* data = static_cast<const u8*>(entry->data);
    request->bytesAtDone.assign(data, data + entry->size);
    if (request->order) request->order->push_back(request->id);
}

void requestFailed(SAsyncAssetEntry*, void* user, s32 stage, u32 error) {
    auto* request = static_cast<SRequest*>(user);
    ++request->failed, request->stage = stage, request->error = error;
}

// Disk loads read loose files of the data directory; packaged loads go through the watched
// source to a package "ASPEC".
class AsyncAsset : public PackageTest {
protected:
    void TearDown() override {
        EXPECT_EQ(getAsyncAssetCount(), 0u);
        PackageTest::TearDown();
    }

    // The entry is stored compressed: the loader must hand it out inflated.
    void packAndWatch(const std::string& name, const std::string& contents) {
        writeSource("ASPEC", name, contents);
        packAndMount("ASPEC", {{"*"}, {}, {}, ""});
        setAsyncAssetPackageSource(&m_source);
    }

    SAsyncAssetEntry* queue(const std::string& path, SRequest* request, bool disk, u32 ownership = 1) {
        SAsyncAssetEntry* entry =
            createAsyncAsset(path.c_str(), request, requestDone, requestFailed, nullptr, ownership, disk, nullptr, 0);
        EXPECT_NE(entry, nullptr);
        return entry;
    }

    // Frame ticks: one alertable zero-length wait and one step each.
    static void tick(int count) {
        for (int i = 0; i < count; ++i) {
            pumpFileCompletions();
            stepAsyncAssetLoader();
        }
    }

    static void tickUntilReported(const SRequest& request) {
        for (int i = 0; i < 100 && request.done + request.failed == 0; ++i) tick(1);
    }

    ClWatchedSource m_source;
};

// Every slot can be opened at once: nothing is left holding one.
void expectEverySlotFree(const std::string& path) {
    SDiskFileSlot* slots[DISK_FILE_SLOT_COUNT];
    u32 size = 0;
    for (SDiskFileSlot*& slot : slots) ASSERT_EQ(openDiskFileA(path.c_str(), &size, &slot), u32(E_FILESTATUS_OK));
    for (SDiskFileSlot* slot : slots) closeDiskFile(slot);
}

TEST_F(AsyncAsset, ADiskLoadCallsOnDoneOnceWithTheWholeFile) {
    const std::vector<u8> bytes = patternBytes(2 * DISK_READ_PIECE_SIZE + 777);
    const std::string path = m_root.write("effect.fxo", bytes);
    SRequest request;
    SAsyncAssetEntry* entry = queue(path, &request, true);
    tickUntilReported(request);
    tick(5);
    EXPECT_EQ(request.done, 1);
    EXPECT_EQ(request.bytesAtDone, bytes);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(entry->data) % ASYNC_ASSET_ALIGNMENT, uintptr_t(0));
    EXPECT_EQ(releaseAsyncAsset(entry), 1u);
    expectEverySlotFree(path);
}

TEST_F(AsyncAsset, APackagedLoadArrivesUnpackedThroughTheSourceAndKeepsItsFileObject) {
    const std::string text = repeatedText(20000, "loader ");
    packAndWatch("Shaders/Glow.txt", text);
    SRequest request;
    SAsyncAssetEntry* entry = queue("Shaders\\Glow.txt", &request, false, 4);
    tickUntilReported(request);
    EXPECT_EQ(std::string(request.bytesAtDone.begin(), request.bytesAtDone.end()), text);
    EXPECT_EQ(m_source.lastUserWord, 4u);
    EXPECT_EQ(getAssetFileCount(), 1u);
    releaseAsyncAsset(entry);
    EXPECT_EQ(getAssetFileCount(), 0u);
}

TEST_F(AsyncAsset, APathInNoPackageFailsAtTheFirstStepAndReportsAtTheNext) {
    setAsyncAssetPackageSource(nullptr);  // no source: every packaged load fails at the open
    SRequest request;
    SAsyncAssetEntry* entry = queue("Shaders/missing.fxo", &request, false);
    stepAsyncAssetLoader();
    EXPECT_EQ(entry->state, s32(E_ASYNCASSET_FAILED));
    EXPECT_EQ(request.failed, 0);
    stepAsyncAssetLoader();
    EXPECT_EQ(request.failed, 1);
    EXPECT_EQ(request.stage, s32(E_ASYNCSTAGE_OPEN));
    EXPECT_EQ(request.error, u32(E_FILESTATUS_OPEN_FAILED));
    releaseAsyncAsset(entry);

    // With packages mounted, a path too long to keep.
    packAndWatch("other.txt", "other");
    SRequest tooLong;
    SAsyncAssetEntry* second = queue(std::string(FILE_PATH_LIMIT, 'x'), &tooLong, true);
    tick(4);
    EXPECT_EQ(tooLong.failed, 1);
    EXPECT_EQ(tooLong.stage, s32(E_ASYNCSTAGE_OPEN));
    EXPECT_EQ(tooLong.error, u32(E_FILESTATUS_BAD_PATH));
    releaseAsyncAsset(second);
}

TEST_F(AsyncAsset, ReleasingAQueuedEntryDoesNotWaitAndTheNextQueuedBecomesCurrent) {
    const std::string path = m_root.write("a.bin", patternBytes(100));
    SRequest a, b, c;
    SAsyncAssetEntry* first = queue(path, &a, true);
    SAsyncAssetEntry* second = queue(path, &b, true);
    SAsyncAssetEntry* third = queue(path, &c, true);
    for (int i = 0; i < 20 && first->state != E_ASYNCASSET_DONE; ++i) tick(1);
    stepAsyncAssetLoader();
    ASSERT_EQ(a.done, 1);
    ASSERT_EQ(getCurrentAsyncAsset(), second);
    ASSERT_EQ(second->state, s32(E_ASYNCASSET_QUEUED));

    // Nothing is stepped: the third stays queued.
    releaseAsyncAsset(second);
    EXPECT_EQ(getCurrentAsyncAsset(), third);
    EXPECT_EQ(third->state, s32(E_ASYNCASSET_QUEUED));
    EXPECT_EQ(b.done + b.failed, 0);
    tickUntilReported(c);
    EXPECT_EQ(c.done, 1);
    releaseAsyncAsset(first);
    releaseAsyncAsset(third);
}

TEST_F(AsyncAsset, OneLoadAtATimeInQueueOrder) {
    std::vector<int> order;
    SRequest requests[3]{{.id = 0, .order = &order}, {.id = 1, .order = &order}, {.id = 2, .order = &order}};
    SAsyncAssetEntry* entries[3];
    for (int i = 0; i < 3; ++i) entries[i] = queue(m_root.write("f" + std::to_string(i), patternBytes(1000 + i)), &requests[i], true);
    for (int round = 0; round < 40; ++round) {
        tick(1);
        int inFlight = 0;
        for (SAsyncAssetEntry* entry : entries) inFlight += entry->state >= E_ASYNCASSET_OPENING && entry->state <= E_ASYNCASSET_CLOSING;
        EXPECT_LE(inFlight, 1);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    for (SAsyncAssetEntry* entry : entries) releaseAsyncAsset(entry);
}

TEST_F(AsyncAsset, ReleasingALoadInFlightWaitsUntilItsOperationHasEnded) {
    const std::string path = m_root.write("big.bin", patternBytes(3 * DISK_READ_PIECE_SIZE));
    SRequest request;
    SAsyncAssetEntry* entry = queue(path, &request, true);
    for (int i = 0; i < 2; ++i) stepAsyncAssetLoader();
    ASSERT_EQ(entry->state, E_ASYNCASSET_READING);

    releaseAsyncAsset(entry);
    EXPECT_EQ(getCurrentAsyncAsset(), nullptr);
    // A completion left behind would now write into freed memory (the sanitiser run sees it).
    tick(5);
    EXPECT_EQ(request.done + request.failed, 0);
    expectEverySlotFree(path);
}

TEST_F(AsyncAsset, ReadAndBufferFailuresEndAtTheirStagesAndGiveTheirFilesBack) {
    const std::string path = m_root.write("shrinking.bin", patternBytes(2 * DISK_READ_PIECE_SIZE));
    SRequest request;
    SAsyncAssetEntry* entry = queue(path, &request, true);
    stepAsyncAssetLoader();
    ASSERT_EQ(entry->state, E_ASYNCASSET_OPENING);
    std::filesystem::resize_file(path, DISK_READ_PIECE_SIZE + 1);
    tickUntilReported(request);
    EXPECT_EQ(request.failed, 1);
    EXPECT_EQ(request.stage, s32(E_ASYNCSTAGE_READ));
    EXPECT_EQ(request.error, u32(E_OSERR_HANDLE_EOF));
    releaseAsyncAsset(entry);
    expectEverySlotFree(path);

    packAndWatch("texture.png", repeatedText(64, "png"));
    m_source.failBuffers = true;
    SRequest buffers;
    SAsyncAssetEntry* noBuffers = queue("texture.png", &buffers, false);
    tickUntilReported(buffers);
    EXPECT_EQ(buffers.failed, 1);
    EXPECT_EQ(buffers.stage, s32(E_ASYNCSTAGE_BUFFER));
    EXPECT_EQ(getAssetFileCount(), 0u);
    releaseAsyncAsset(noBuffers);
}

}  // namespace
