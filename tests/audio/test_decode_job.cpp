#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/crit_section_pool.h"
#include "tests/audio/fake_codec_family.h"

namespace {

// One decode pass; the state after it.
s32 step(ClCodecStreamInstance* job) {
    stepCodecJob(job);
    return getCodecJobState(job);
}

class DecodeJob : public ::testing::Test {
protected:
    void SetUp() override { critSectionPoolInit(); }
    void TearDown() override {
        for (ClFakeCodec* job : m_jobs) {
            shutdownCodecJob(job);
            delete job;
        }
    }

    ClFakeCodec* makeJob(const SFakeCodecConfig& config, s32* initResult = nullptr) {
        ClFakeCodec* job = new ClFakeCodec(config);
        const s32 result = initCodecJob(job, 0, u"C:\\Music\\fake.snd");
        if (initResult) *initResult = result;
        m_jobs.push_back(job);
        return job;
    }

    std::vector<ClFakeCodec*> m_jobs;
};

TEST_F(DecodeJob, WalksFromNewToFinishedThroughTheRing) {
    ClFakeCodec* job = makeJob({});
    EXPECT_EQ(getCodecJobState(job), E_CODECJOB_NEW);
    EXPECT_EQ(step(job), E_CODECJOB_PRE_OPEN_PASSED);
    EXPECT_EQ(step(job), E_CODECJOB_OPENED);
    EXPECT_EQ(step(job), E_CODECJOB_READY);
    // The first fill filled every buffer: the ring is full, so the job stays ready.
    EXPECT_EQ(job->m_produced, 300u);
    EXPECT_EQ(step(job), E_CODECJOB_READY);

    u8 sink[100];
    job->handleFMODReadCallback(sink, sizeof(sink));
    EXPECT_EQ(step(job), E_CODECJOB_DECODING);
    EXPECT_EQ(step(job), E_CODECJOB_READY);
    EXPECT_EQ(job->m_produced, 400u);

    // Drain to the end: 1000 bytes then a 0-byte fill finish the job.
    u8 big[250];
    for (int i = 0; i < 20 && getCodecJobState(job) != E_CODECJOB_FINISHED; ++i) {
        job->handleFMODReadCallback(big, sizeof(big));
        stepCodecJob(job);
        stepCodecJob(job);
    }
    EXPECT_EQ(getCodecJobState(job), E_CODECJOB_FINISHED);
    EXPECT_EQ(job->m_produced, 1000u);
}

TEST_F(DecodeJob, FailuresEndInTheirOwnStates) {
    ClFakeCodec* notOpened = makeJob({.failOpen = true});
    EXPECT_EQ(step(notOpened), E_CODECJOB_PRE_OPEN_PASSED);
    EXPECT_EQ(step(notOpened), E_CODECJOB_OPEN_FAILED);
    for (int i = 0; i < 3; ++i) stepCodecJob(notOpened);
    EXPECT_EQ(getCodecJobState(notOpened), E_CODECJOB_OPEN_FAILED);
    EXPECT_EQ(notOpened->m_fills, 0u);

    EXPECT_EQ(step(makeJob({.failPreOpen = true})), E_CODECJOB_OPEN_FAILED);

    EXPECT_EQ(stepFakeJobUntil(makeJob({.failStart = true}), {E_CODECJOB_START_FAILED, E_CODECJOB_READY}),
              E_CODECJOB_START_FAILED);

    // A decoding error keeps what the ring already holds readable.
    ClFakeCodec* broken = makeJob({.failAtFill = 3});
    EXPECT_EQ(stepFakeJobUntil(broken, {E_CODECJOB_READY}), E_CODECJOB_READY);
    u8 first[100];
    broken->handleFMODReadCallback(first, sizeof(first));
    EXPECT_EQ(stepFakeJobUntil(broken, {E_CODECJOB_DECODE_FAILED}), E_CODECJOB_DECODE_FAILED);
    u8 rest[200];
    broken->handleFMODReadCallback(rest, sizeof(rest));
    EXPECT_EQ(rest[199], fakeStreamByte(299));

    // A failed set-up is an open failure at the first step, never a finished job.
    s32 initResult = -1;
    ClFakeCodec* uninitialised = makeJob({.failInitializeMembers = true}, &initResult);
    EXPECT_EQ(initResult, 0);
    EXPECT_EQ(step(uninitialised), E_CODECJOB_OPEN_FAILED);
}

TEST_F(DecodeJob, EachJobTakesTwoPooledLocksAndOneWithoutLocksEndsAtItsFirstStep) {
    const u32 before = critSectionPoolUseCount();
    ClFakeCodec* first = makeJob({});
    ClFakeCodec* second = makeJob({});
    EXPECT_EQ(critSectionPoolUseCount(), before + 4);

    // Leave exactly one lock in the pool: the next job gets its buffer lock but not the other.
    std::vector<SCritSection*> held;
    while (critSectionPoolUseCount() + 1 < CRIT_SECTION_POOL_CAPACITY) {
        SCritSection* lock = nullptr;
        ASSERT_EQ(critSectionCreate(&lock), 1);
        held.push_back(lock);
    }
    s32 initResult = -1;
    ClFakeCodec* starved = makeJob({}, &initResult);
    EXPECT_EQ(initResult, 0);
    EXPECT_EQ(step(starved), E_CODECJOB_OPEN_FAILED);
    EXPECT_EQ(starved->m_fills, 0u);
    for (SCritSection* lock : held) critSectionDestroy(lock);

    EXPECT_EQ(stepFakeJobUntil(first, {E_CODECJOB_READY}), E_CODECJOB_READY);
    EXPECT_EQ(stepFakeJobUntil(second, {E_CODECJOB_READY}), E_CODECJOB_READY);
}

TEST_F(DecodeJob, StopFlagInReadyOrDecodingFinishesInTheSameStep) {
    for (const s32 state : {E_CODECJOB_READY, E_CODECJOB_DECODING}) {
        ClFakeCodec* job = makeJob({});
        ASSERT_EQ(stepFakeJobUntil(job, {E_CODECJOB_READY}), E_CODECJOB_READY);
        if (state == E_CODECJOB_DECODING) {
            u8 sink[100];
            job->handleFMODReadCallback(sink, sizeof(sink));
            ASSERT_EQ(step(job), state);
        }
        job->m_stopFlag.store(1);
        EXPECT_EQ(step(job), E_CODECJOB_FINISHED);
    }
}

TEST_F(DecodeJob, StreamReadGivesTheRingThenSilenceAndStopsOnTheFirstUnfilledBuffer) {
    // Buffers of 100, 100 and 50: the ring holds the whole stream.
    ClFakeCodec* job = makeJob({.totalBytes = 250});
    ASSERT_EQ(stepFakeJobUntil(job, {E_CODECJOB_READY}), E_CODECJOB_READY);

    u8 data[400];
    std::memset(data, 0xAA, sizeof(data));
    EXPECT_EQ(job->handleFMODReadCallback(data, sizeof(data)), CODEC_STREAM_READ_OK);
    for (u32 i = 0; i < 250; ++i) ASSERT_EQ(data[i], fakeStreamByte(i)) << i;
    for (u32 i = 250; i < 400; ++i) ASSERT_EQ(data[i], 0) << i;
    // Every buffer was read and freed; the position wrapped back to buffer 0, the first unfilled.
    EXPECT_EQ(job->m_ring.streamRead.index, 0u);
    EXPECT_EQ(job->m_ring.streamRead.offset, 0u);
    for (u32 i = 0; i < 3; ++i) EXPECT_EQ(job->m_ring.states[i], E_CODECBS_FREE);

    // Two of three buffers ready: the read stops at the third, which stays the read position.
    ClFakeCodec* shortRing = makeJob({.failAtFill = 2});
    stepFakeJobUntil(shortRing, {E_CODECJOB_START_FAILED});
    shortRing->handleFMODReadCallback(data, sizeof(data));
    EXPECT_EQ(data[199], fakeStreamByte(199));
    EXPECT_EQ(data[200], 0);
    EXPECT_EQ(shortRing->m_ring.streamRead.index, 2u);
}

TEST_F(DecodeJob, TheStreamIsDrainedOnlyOnceDecodingEndedAndEveryBufferWasRead) {
    ClFakeCodec* job = makeJob({.totalBytes = 250});
    ASSERT_EQ(stepFakeJobUntil(job, {E_CODECJOB_READY}), E_CODECJOB_READY);
    SCodecCreateSoundExInfo info = {};
    ASSERT_EQ(job->fillCreateSoundExInfo(&info), 1);
    EXPECT_EQ(job->isStreamDrained(), 0) << "decoding has not ended";

    u8 data[100];
    job->handleFMODReadCallback(data, sizeof(data));
    ASSERT_EQ(stepFakeJobUntil(job, {E_CODECJOB_FINISHED}), E_CODECJOB_FINISHED);
    EXPECT_EQ(job->isStreamDrained(), 0) << "150 bytes are still in the ring";
    job->handleFMODReadCallback(data, sizeof(data));
    job->handleFMODReadCallback(data, sizeof(data));
    EXPECT_EQ(job->isStreamDrained(), 1);

    // A job that failed half-way is drained once what it decoded has been read.
    ClFakeCodec* broken = makeJob({.totalBytes = 1000, .failAtFill = 3});
    ASSERT_EQ(stepFakeJobUntil(broken, {E_CODECJOB_READY}), E_CODECJOB_READY);
    ASSERT_EQ(broken->fillCreateSoundExInfo(&info), 1);
    broken->handleFMODReadCallback(data, sizeof(data));
    ASSERT_EQ(stepFakeJobUntil(broken, {E_CODECJOB_DECODE_FAILED}), E_CODECJOB_DECODE_FAILED);
    EXPECT_EQ(broken->isStreamDrained(), 0);
    for (int i = 0; i < 3; ++i) broken->handleFMODReadCallback(data, sizeof(data));
    EXPECT_EQ(broken->isStreamDrained(), 1);
}

TEST_F(DecodeJob, StreamReadOfExactlyTheRemainingBytesFreesTheBuffer) {
    ClFakeCodec* job = makeJob({});
    ASSERT_EQ(stepFakeJobUntil(job, {E_CODECJOB_READY}), E_CODECJOB_READY);
    u8 data[100];
    job->handleFMODReadCallback(data, 30);
    EXPECT_EQ(job->m_ring.streamRead.offset, 30u);
    job->handleFMODReadCallback(data, 70);
    EXPECT_EQ(data[69], fakeStreamByte(99));
    EXPECT_EQ(job->m_ring.streamRead.index, 1u);
    EXPECT_EQ(job->m_ring.streamRead.offset, 0u);
    EXPECT_EQ(job->m_ring.states[0], E_CODECBS_FREE);
}

TEST_F(DecodeJob, DecodesOutsideTheBufferLock) {
    std::atomic<int> lockFreeDuringDecode{0};
    std::atomic<int> decodes{0};
    ClFakeCodec* job = nullptr;
    SFakeCodecConfig config;
    config.onDecode = [&](u32) {
        ++decodes;
        // Another thread must be able to take the buffer lock while a buffer decodes.
        std::thread other([&] {
            if (critSectionTryEnter(job->m_bufferLock)) {
                ++lockFreeDuringDecode;
                critSectionLeave(job->m_bufferLock);
            }
        });
        other.join();
    };
    job = makeJob(config);
    ASSERT_EQ(stepFakeJobUntil(job, {E_CODECJOB_READY}), E_CODECJOB_READY);
    EXPECT_EQ(decodes.load(), 3);
    EXPECT_EQ(lockFreeDuringDecode.load(), 3);
}

struct SCallbackRecord {
    s32 kind;
    u32 result;
    u32 userWord;
    char16_t firstUnit;
};
std::vector<SCallbackRecord> g_metaDataCalls;

void recordMetaDataCall(s32 kind, ClCodecStreamInstance*, char16_t* buffer, u32, u32 userWord, u32 result, u32) {
    g_metaDataCalls.push_back({kind, result, userWord, buffer[0]});
}

TEST_F(DecodeJob, MetaDataRequestsAreAnsweredWhenReadyAndCancelledAtShutdown) {
    g_metaDataCalls.clear();
    std::u16string title(16, u'x');
    std::u16string album(16, u'x');
    ClFakeCodec* job = makeJob({});
    job->m_requestQueue.push({E_CODECMETA_TITLE, title.data(), 32, recordMetaDataCall, 11});
    job->m_requestQueue.push({E_CODECMETA_ALBUM, album.data(), 32, recordMetaDataCall, 12});
    ASSERT_EQ(stepFakeJobUntil(job, {E_CODECJOB_READY}), E_CODECJOB_READY);
    stepCodecJob(job);
    ASSERT_EQ(g_metaDataCalls.size(), 2u);
    EXPECT_EQ(g_metaDataCalls[0].result, E_CODECMETARESULT_ANSWERED);
    EXPECT_EQ(g_metaDataCalls[0].firstUnit, u'F');
    EXPECT_EQ(g_metaDataCalls[1].result, E_CODECMETARESULT_NOT_ANSWERED);
    EXPECT_EQ(g_metaDataCalls[1].firstUnit, 0);
    EXPECT_EQ(job->m_requestQueue.count, 0u);

    // Requests still queued when the job is destroyed are cancelled with a cleared buffer.
    g_metaDataCalls.clear();
    title.assign(16, u'x');
    job->m_requestQueue.push({E_CODECMETA_TITLE, title.data(), 32, recordMetaDataCall, 21});
    const u32 locksBefore = critSectionPoolUseCount();
    shutdownCodecJob(job);
    ASSERT_EQ(g_metaDataCalls.size(), 1u);
    EXPECT_EQ(g_metaDataCalls[0].result, E_CODECMETARESULT_CANCELLED);
    EXPECT_EQ(g_metaDataCalls[0].userWord, 21u);
    EXPECT_EQ(title[15], 0);
    EXPECT_EQ(critSectionPoolUseCount(), locksBefore - 2);
    m_jobs.erase(std::find(m_jobs.begin(), m_jobs.end(), job));
    delete job;
}

TEST(CodecRing, RefusesEmptyOversizedAndTooManyBuffers) {
    SCodecRing ring;
    EXPECT_EQ(allocateCodecRing(&ring, 0, 100, nullptr), 0);
    EXPECT_EQ(allocateCodecRing(&ring, 3, 0, nullptr), 0);
    EXPECT_EQ(allocateCodecRing(&ring, CODEC_RING_MAX_BUFFERS + 1, 100, nullptr), 0);
    EXPECT_EQ(allocateCodecRing(&ring, 2, u64(CODEC_RING_MAX_BUFFER_BYTES) + 1, nullptr), 0);
    EXPECT_EQ(allocateCodecRing(&ring, 2, 0x100000000ull, nullptr), 0);
    ASSERT_EQ(allocateCodecRing(&ring, 2, 13, nullptr), 1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ring.buffers[1]) % 16, 0u);
    releaseCodecRing(&ring);
    EXPECT_EQ(ring.buffers[0], nullptr);
    EXPECT_FALSE(codecByteCountSupported(0x100000000ull));
    EXPECT_TRUE(codecByteCountSupported(0xFFFFFFFFull));
}

}  // namespace
