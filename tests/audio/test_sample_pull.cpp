#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "audio/decode/decode_thread.h"
#include "core/crit_section_pool.h"
#include "platform/os/os.h"
#include "tests/audio/decoder_test_support.h"
#include "tests/audio/fake_codec_family.h"

namespace {

SFakeCodecConfig g_pullFakeConfig;

ClCodecStreamInstance* createFake() { return new ClFakeCodec(g_pullFakeConfig); }

// The registry with one fake family and its decode thread stepping every millisecond.
class SamplePull : public ::testing::Test {
protected:
    void SetUp() override {
        g_pullFakeConfig = SFakeCodecConfig{};
        ASSERT_TRUE(decoder_test::startSingleFamilyRegistry(createFake, ".wav", E_CODECFORMAT_WAV));
    }
    void TearDown() override {
        shutdownCodecRegistry();
        resetDecodeThreadInterval();
        EXPECT_EQ(g_fakeCodecLiveObjects.load(), 0);
    }

    ClCodecStreamInstance* openFake(SAnalysisStreamInfo* info) {
        *info = SAnalysisStreamInfo{};
        ClCodecStreamInstance* job = openCodecJob(E_CODECFORMAT_WAV, u"song.wav");
        info->job = job;
        SCommonCodecInfo codecInfo{};
        if (job) job->getCommonCodecInfo(&codecInfo);
        fillAnalysisStreamInfo(info, codecInfo);
        return job;
    }
};

TEST_F(SamplePull, DeliversTheWholeSongInOrderThenZerosWithShortCounts) {
    SAnalysisStreamInfo info;
    ClCodecStreamInstance* job = openFake(&info);
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(info.one, 1u);
    EXPECT_EQ(info.integerSamples, 1u);

    std::vector<u8> song;
    u8 chunk[64];
    u32 got = 0;
    do {
        std::memset(chunk, 0xAA, sizeof(chunk));
        EXPECT_EQ(job->gameSpecificProcessDecodedData(&info, chunk, sizeof(chunk), &got), 1);
        song.insert(song.end(), chunk, chunk + got);
        for (u32 i = got; i < sizeof(chunk); ++i) ASSERT_EQ(chunk[i], 0) << i;
    } while (got == sizeof(chunk) && song.size() < 4000);
    ASSERT_EQ(song.size(), 1000u);
    EXPECT_EQ(got, 1000u % 64u);
    for (u32 i = 0; i < song.size(); ++i) ASSERT_EQ(song[i], fakeStreamByte(i)) << i;

    std::memset(chunk, 0xAA, sizeof(chunk));
    EXPECT_EQ(job->gameSpecificProcessDecodedData(&info, chunk, sizeof(chunk), &got), 1);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(chunk[0], 0);
    EXPECT_EQ(chunk[63], 0);
    releaseCodecJob(job);
}

TEST_F(SamplePull, JobFailingWhileThePullWaitsEndsTheWaitWithZeros) {
    g_pullFakeConfig = {.totalBytes = 5000, .failAtFill = 4};  // three buffers, one refill, then an error
    SAnalysisStreamInfo info;
    ClCodecStreamInstance* job = openFake(&info);
    ASSERT_NE(job, nullptr);
    std::vector<u8> data(1000, 0xAA);
    u32 got = 0;
    job->gameSpecificProcessDecodedData(&info, data.data(), u32(data.size()), &got);
    EXPECT_EQ(getCodecJobState(job), E_CODECJOB_DECODE_FAILED);
    EXPECT_EQ(got, 400u);
    EXPECT_EQ(data[399], fakeStreamByte(399));
    EXPECT_EQ(data[400], 0);
    EXPECT_EQ(data[999], 0);
    releaseCodecJob(job);
}

// The interval is far longer than the test may take: only the waiting pull can make the decode
// thread open, start and refill the job, so a pull that still waits out the interval between
// passes ends in the watchdog's stop, zero-filled.
TEST_F(SamplePull, AWaitingPullIsNotHeldByTheDecodeThreadInterval) {
    g_pullFakeConfig.totalBytes = 40 * 100 + 17;
    setDecodeThreadInterval(3600 * 1000);
    SAnalysisStreamInfo info;
    ClCodecStreamInstance* job = openFake(&info);
    ASSERT_NE(job, nullptr);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (done) return;
        job->m_stopFlag.store(1);
        wakeDecodeThread();
    });
    std::vector<u8> data(g_pullFakeConfig.totalBytes);
    u32 got = 0;
    job->gameSpecificProcessDecodedData(&info, data.data(), u32(data.size()), &got);
    done = true;
    watchdog.join();
    EXPECT_EQ(got, data.size());
    EXPECT_EQ(data.back(), fakeStreamByte(u32(data.size()) - 1));
    releaseCodecJob(job);
}

std::atomic<bool> g_completionRan{false};
void markCompletion(void*) { g_completionRan = true; }

TEST_F(SamplePull, WaitsStillRunTheWaitingThreadsFileCompletions) {
    // The refill after the first ring waits for a completion that only this thread's alertable
    // waits can run; a wait that does not run them would leave the pull stuck until the fill
    // gives up (and fails the job) after five seconds.
    g_completionRan = false;
    g_pullFakeConfig.totalBytes = 600;
    g_pullFakeConfig.onDecode = [](u32 fill) {
        if (fill != 3) return;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!g_completionRan && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    osQueueCompletion(osCurrentThreadQueue(), markCompletion, nullptr);
    SAnalysisStreamInfo info;
    ClCodecStreamInstance* job = openFake(&info);
    ASSERT_NE(job, nullptr);

    std::vector<u8> data(600);
    u32 got = 0;
    const auto start = std::chrono::steady_clock::now();
    job->gameSpecificProcessDecodedData(&info, data.data(), u32(data.size()), &got);
    EXPECT_TRUE(g_completionRan.load());
    EXPECT_EQ(got, 600u);
    EXPECT_EQ(data[599], fakeStreamByte(599));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    releaseCodecJob(job);
}

TEST(SamplePullRing, RequestEndingAtABufferEndFreesThatBuffer) {
    critSectionPoolInit();
    ClFakeCodec job{SFakeCodecConfig{}};
    ASSERT_EQ(initCodecJob(&job, 0, u"x.snd"), 1);
    ASSERT_EQ(stepFakeJobUntil(&job, {E_CODECJOB_READY}), E_CODECJOB_READY);
    SAnalysisStreamInfo info{};
    info.job = &job;
    info.one = 1;
    u8 data[100];
    u32 got = 0;
    job.gameSpecificProcessDecodedData(&info, data, 100, &got);
    EXPECT_EQ(got, 100u);
    EXPECT_EQ(info.readIndex, 1u);
    EXPECT_EQ(info.readOffset, 0u);
    EXPECT_EQ(job.m_ring.states[0], E_CODECBS_FREE);

    job.gameSpecificProcessDecodedData(&info, data, 30, &got);
    EXPECT_EQ(info.readOffset, 30u);
    EXPECT_EQ(job.m_ring.states[1], E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE);
    job.gameSpecificProcessDecodedData(&info, data, 70, &got);
    EXPECT_EQ(got, 70u);
    EXPECT_EQ(data[69], fakeStreamByte(199));
    EXPECT_EQ(info.readIndex, 2u);
    EXPECT_EQ(info.readOffset, 0u);
    EXPECT_EQ(job.m_ring.states[1], E_CODECBS_FREE);
    shutdownCodecJob(&job);
}

}  // namespace
