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

// One pull of `bytes` bytes into a buffer filled with 0xAA; the buffer afterwards.
std::vector<u8> pull(ClCodecStreamInstance* job, SAnalysisStreamInfo* info, u32 bytes, u32* got) {
    std::vector<u8> data(bytes, 0xAA);
    EXPECT_EQ(job->gameSpecificProcessDecodedData(info, data.data(), bytes, got), 1);
    return data;
}

// The registry with one fake family and its decode thread stepping every millisecond.
class SamplePull : public ::testing::Test {
protected:
    void SetUp() override {
        g_pullFakeConfig = SFakeCodecConfig{};
        ASSERT_TRUE(decoder_test::startSingleFamilyRegistry(createFake));
    }
    void TearDown() override {
        releaseCodecJob(m_job);
        shutdownCodecRegistry();
        resetDecodeThreadInterval();
        EXPECT_EQ(g_fakeCodecLiveObjects.load(), 0);
    }

    // Opens the fake song for the pull with the configuration set now.
    void openFake() {
        m_job = openCodecJob(E_CODECFORMAT_WAV, u"song.wav");
        ASSERT_NE(m_job, nullptr);
        m_info.job = m_job;
        SCommonCodecInfo codecInfo{};
        m_job->getCommonCodecInfo(&codecInfo);
        fillAnalysisStreamInfo(&m_info, codecInfo);
    }

    ClCodecStreamInstance* m_job = nullptr;
    SAnalysisStreamInfo m_info{};
    u32 m_got = 0;
};

TEST_F(SamplePull, JobFailingWhileThePullWaitsEndsTheWaitWithZeros) {
    g_pullFakeConfig = {.totalBytes = 5000, .failAtFill = 4};  // three buffers, one refill, then an error
    openFake();
    EXPECT_EQ(pull(m_job, &m_info, 1000, &m_got), fakeStreamBytes(0, 400, 600));
    EXPECT_EQ(m_got, 400u);
}

// The interval is far longer than the test may take: only the waiting pull can make the decode
// thread open, start and refill the job, so a pull that still waits out the interval between
// passes ends in the watchdog's stop, zero-filled.
TEST_F(SamplePull, AWaitingPullIsNotHeldByTheDecodeThreadInterval) {
    g_pullFakeConfig.totalBytes = 40 * 100 + 17;
    setDecodeThreadInterval(3600 * 1000);
    openFake();
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (done) return;
        m_job->m_stopFlag.store(1);
        wakeDecodeThread();
    });
    const std::vector<u8> data = pull(m_job, &m_info, g_pullFakeConfig.totalBytes, &m_got);
    done = true;
    watchdog.join();
    EXPECT_EQ(data, fakeStreamBytes(0, g_pullFakeConfig.totalBytes));
    EXPECT_EQ(m_got, g_pullFakeConfig.totalBytes);
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
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (fill == 3 && !g_completionRan && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    osQueueCompletion(osCurrentThreadQueue(), markCompletion, nullptr);
    openFake();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(pull(m_job, &m_info, 600, &m_got), fakeStreamBytes(0, 600));
    EXPECT_TRUE(g_completionRan.load());
    EXPECT_EQ(m_got, 600u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST(SamplePullRing, RequestEndingAtABufferEndFreesThatBuffer) {
    critSectionPoolInit();
    ClFakeCodec job{SFakeCodecConfig{}};
    ASSERT_EQ(initCodecJob(&job, u"x.snd"), 1);
    ASSERT_EQ(decoder_test::stepJobUntil(&job, E_CODECJOB_READY), E_CODECJOB_READY);
    SAnalysisStreamInfo info{};
    info.job = &job;
    info.one = 1;
    u32 got = 0;
    EXPECT_EQ(pull(&job, &info, 100, &got), fakeStreamBytes(0, 100));
    EXPECT_EQ(info.readIndex, 1u);
    EXPECT_EQ(info.readOffset, 0u);
    EXPECT_EQ(job.m_ring.states[0], FREE);
    EXPECT_EQ(job.m_ring.states[1], PENDING);
    shutdownCodecJob(&job);
}

}  // namespace
