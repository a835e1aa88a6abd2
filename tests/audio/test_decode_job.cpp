#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/crit_section_pool.h"
#include "tests/audio/decoder_test_support.h"
#include "tests/audio/fake_codec_family.h"

using decoder_test::stepJobUntil;

namespace {

// One decode pass; the state after it.
s32 step(ClCodecStreamInstance* job) {
    stepCodecJob(job);
    return getCodecJobState(job);
}

// What the stream reads next: `bytes` bytes, the unfilled rest silent.
std::vector<u8> streamRead(ClCodecStreamInstance* job, u32 bytes) {
    std::vector<u8> data(bytes, 0xAA);
    EXPECT_EQ(job->handleFMODReadCallback(data.data(), bytes), CODEC_STREAM_READ_OK);
    return data;
}

class DecodeJob : public ::testing::Test {
protected:
    void SetUp() override { critSectionPoolInit(); }
    void TearDown() override {
        for (ClFakeCodec* job : m_jobs) decoder_test::destroyJob(job);
    }

    ClFakeCodec* makeJob(const SFakeCodecConfig& config, s32* initResult = nullptr) {
        ClFakeCodec* job = m_jobs.emplace_back(new ClFakeCodec(config));
        const s32 result = initCodecJob(job, u"C:\\Music\\fake.snd");
        if (initResult) *initResult = result;
        return job;
    }
    ClFakeCodec* makeReadyJob(const SFakeCodecConfig& config) {
        ClFakeCodec* job = makeJob(config);
        EXPECT_EQ(stepJobUntil(job, E_CODECJOB_READY), E_CODECJOB_READY);
        return job;
    }

    std::vector<ClFakeCodec*> m_jobs;
};

TEST_F(DecodeJob, WalksFromNewToFinishedThroughTheRingDecodingOutsideTheLock) {
    ClFakeCodec* job = makeJob({});
    EXPECT_EQ(getCodecJobState(job), s32(E_CODECJOB_NEW));
    EXPECT_EQ(step(job), s32(E_CODECJOB_PRE_OPEN_PASSED));
    EXPECT_EQ(step(job), s32(E_CODECJOB_OPENED));
    EXPECT_EQ(step(job), s32(E_CODECJOB_READY));
    // The first fill filled every buffer: the ring is full, so the job stays ready.
    EXPECT_EQ(u32(job->m_produced), 300u);
    EXPECT_EQ(step(job), s32(E_CODECJOB_READY));

    streamRead(job, 100);
    EXPECT_EQ(step(job), s32(E_CODECJOB_DECODING));
    EXPECT_EQ(step(job), s32(E_CODECJOB_READY));
    EXPECT_EQ(job->m_produced, 400u);

    // Drain to the end: 1000 bytes then a 0-byte fill finish the job.
    for (int i = 0; i < 20 && getCodecJobState(job) != E_CODECJOB_FINISHED; ++i) {
        streamRead(job, 250);
        stepCodecJob(job);
        stepCodecJob(job);
    }
    EXPECT_EQ(getCodecJobState(job), s32(E_CODECJOB_FINISHED));
    EXPECT_EQ(job->m_produced, 1000u);

    // Buffers decode outside the buffer lock. The job exists before its first decode, which is
    // its first step.
    std::atomic<int> lockFreeDuringDecode{0}, decodes{0};
    ClFakeCodec* const locked = makeJob({.onDecode = [&](u32) {
        ++decodes;
        // Another thread must be able to take the buffer lock while a buffer decodes.
        std::thread other([&] {
            if (critSectionTryEnter(locked->m_bufferLock)) {
                ++lockFreeDuringDecode;
                critSectionLeave(locked->m_bufferLock);
            }
        });
        other.join();
    }});
    ASSERT_EQ(stepJobUntil(locked, E_CODECJOB_READY), E_CODECJOB_READY);
    EXPECT_EQ(decodes.load(), 3);
    EXPECT_EQ(lockFreeDuringDecode.load(), 3);
}

TEST_F(DecodeJob, FailuresAndAMissingLockEndInTheirOwnStates) {
    ClFakeCodec* notOpened = makeJob({.failOpen = true});
    EXPECT_EQ(step(notOpened), s32(E_CODECJOB_PRE_OPEN_PASSED));
    EXPECT_EQ(step(notOpened), s32(E_CODECJOB_OPEN_FAILED));
    EXPECT_EQ(step(notOpened), s32(E_CODECJOB_OPEN_FAILED)) << "a failed job stays failed";
    EXPECT_EQ(notOpened->m_fills, 0u);

    EXPECT_EQ(step(makeJob({.failPreOpen = true})), E_CODECJOB_OPEN_FAILED);
    EXPECT_EQ(stepJobUntil(makeJob({.failStart = true}), E_CODECJOB_READY), E_CODECJOB_START_FAILED);

    // A failed set-up is an open failure at the first step, never a finished job.
    s32 initResult = -1;
    ClFakeCodec* uninitialised = makeJob({.failInitializeMembers = true}, &initResult);
    EXPECT_EQ(initResult, 0);
    EXPECT_EQ(step(uninitialised), s32(E_CODECJOB_OPEN_FAILED));

    // A job that finds the lock pool empty gets no buffer lock (the pool's own accounting is the
    // pool's to test).
    std::vector<SCritSection*> held;
    while (critSectionPoolUseCount() < CRIT_SECTION_POOL_CAPACITY) {
        ASSERT_EQ(critSectionCreate(&held.emplace_back(nullptr)), 1);
    }
    initResult = -1;
    ClFakeCodec* starved = makeJob({}, &initResult);
    EXPECT_EQ(initResult, 0);
    EXPECT_EQ(step(starved), s32(E_CODECJOB_OPEN_FAILED)) << "without a lock";
    EXPECT_EQ(starved->m_fills, 0u);
    for (SCritSection* lock : held) critSectionDestroy(lock);
}

// A read ending at a buffer's end frees that buffer. With two of three buffers ready, the read
// stops at the third, which stays the read position, and the rest is silence.
TEST_F(DecodeJob, StreamReadFreesBuffersStopsOnTheFirstUnfilledOneAndDrainsOnlyAtTheEnd) {
    ClFakeCodec* exact = makeReadyJob({});
    EXPECT_EQ(streamRead(exact, 30), fakeStreamBytes(0, 30));
    EXPECT_EQ(streamRead(exact, 70), fakeStreamBytes(30, 70));
    EXPECT_EQ(exact->m_ring.streamRead.index, 1u);
    EXPECT_EQ(exact->m_ring.streamRead.offset, 0u);
    EXPECT_EQ(exact->m_ring.states[0], FREE);

    ClFakeCodec* shortRing = makeJob({.failAtFill = 2});
    stepJobUntil(shortRing, E_CODECJOB_START_FAILED);
    EXPECT_EQ(streamRead(shortRing, 400), fakeStreamBytes(0, 200, 200));
    EXPECT_EQ(shortRing->m_ring.streamRead.index, 2u);

    // The stream is drained only once decoding ended and every buffer was read.
    SCodecCreateSoundExInfo info = {};
    ClFakeCodec* job = makeReadyJob({.totalBytes = 250});
    ASSERT_EQ(job->fillCreateSoundExInfo(&info), 1);
    EXPECT_EQ(job->isStreamDrained(), 0) << "decoding has not ended";
    streamRead(job, 100);
    ASSERT_EQ(stepJobUntil(job, E_CODECJOB_FINISHED), E_CODECJOB_FINISHED);
    EXPECT_EQ(job->isStreamDrained(), 0) << "150 bytes are still in the ring";
    streamRead(job, 200);
    EXPECT_EQ(job->isStreamDrained(), 1);

    // A job that failed half-way keeps what it decoded readable, and is drained once that has
    // been read.
    ClFakeCodec* broken = makeReadyJob({.totalBytes = 1000, .failAtFill = 3});
    ASSERT_EQ(broken->fillCreateSoundExInfo(&info), 1);
    streamRead(broken, 100);
    EXPECT_EQ(stepJobUntil(broken, E_CODECJOB_DECODE_FAILED), s32(E_CODECJOB_DECODE_FAILED));
    EXPECT_EQ(broken->isStreamDrained(), 0);
    EXPECT_EQ(streamRead(broken, 200), fakeStreamBytes(100, 200));
    EXPECT_EQ(broken->isStreamDrained(), 1);
}

TEST(CodecRing, RefusesEmptyOversizedAndTooManyBuffers) {
    SCodecRing ring;
    for (const auto& [count, bytes] : {std::pair<u32, u64>{0, 100}, {3, 0}, {CODEC_RING_MAX_BUFFERS + 1, 100},
                                       {2, u64(CODEC_RING_MAX_BUFFER_BYTES) + 1}, {2, 0x100000000ull}})
        EXPECT_EQ(allocateCodecRing(&ring, count, bytes, nullptr), 0) << count << " x " << bytes;
    ASSERT_EQ(allocateCodecRing(&ring, 2, 13, nullptr), 1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ring.buffers[1]) % 16, 0u);
    releaseCodecRing(&ring);
    EXPECT_EQ(ring.buffers[0], nullptr);
    EXPECT_FALSE(codecByteCountSupported(0x100000000ull));
    EXPECT_TRUE(codecByteCountSupported(0xFFFFFFFFull));
}

}  // namespace
