// The leaderboard client and the medal queue with the network side replaced: idle without an
// address, the worker's start and stop, and medals sent once each in the order earned.
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/log_manager.h"
#include "online/credentials.h"
#include "online/http_transport.h"
#include "online/leaderboard.h"
#include "online/leaderboard_transport.h"
#include "online/medal_queue.h"
#include "platform/os/os.h"
#include "world/play/player_state.h"
#include <gtest/gtest.h>
#include "tests/support/file_bytes.h"
#include "tests/support/local_http_server.h"
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace test_support;

namespace {

// Answers every request with a fixed reply and keeps the bodies; the page probe can be held.
struct SFakeTransport : ILeaderboardTransport {
    std::vector<std::string> bodies;  // worker thread writes, read once the client is idle
    const char* reply = "0";
    bool holdProbe = false;
    ClEvent release{true, false};

    bool exchange(const char*, const char*, const char* body, u32, char* out, u32 capacity) override {
        if (holdProbe && !body[0]) release.wait(OS_INFINITE);
        bodies.emplace_back(body);
        std::strncpy(out, reply, capacity);
        return true;
    }
};

struct SDone {
    std::vector<ELeaderboardStatus> statuses;
    static void record(void* user, ELeaderboardStatus status, const char*) {
        static_cast<SDone*>(user)->statuses.push_back(status);
    }
};

class Online : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        std::filesystem::create_directories(m_dir.path() / "GAMEDATA");
        setUserDataDirW(widePath(m_dir.str() + "/").c_str());
        logManagerInit();
        configClear();
        leaderboardClientStartup();
    }
    void TearDown() override {
        medalQueueShutdown();
        leaderboardClientShutdown();
        setLeaderboardTransport(nullptr);
        setLeaderboardCredentials(SLeaderboardCredentials{});
        setAwardedMedals(0);
        configFree();
        logManagerShutdown();
    }
    // Ticks until every request has completed (and, with medals, until none is left), or gives up.
    void settle(bool medals) {
        for (u32 i = 0; i < 20000 && (leaderboardIsBusy() || (medals && pendingMedalCount())); ++i) {
            if (medals) medalQueueTick();
            leaderboardTick();
            osSleep(1);
        }
        ASSERT_FALSE(leaderboardIsBusy());
    }
    // The client with an address, over the fake transport (or none).
    void startOnline(bool transport = true) {
        setLeaderboardTransport(transport ? &m_transport : nullptr);
        configSetValue("LEADERBOARD_IP", "192.0.2.1");
        ASSERT_TRUE(leaderboardWorkerStart());
    }
    std::string log() {
        leaderboardClientShutdown();
        return readFileText(m_dir.path() / "GAMEDATA" / "online.log");
    }

    ClTempDir m_dir;
    SFakeTransport m_transport;
};

TEST_F(Online, WithoutAnAddressTheClientStaysIdleAndSaysSoOnce) {
    configSetValue("USE_PAD_MONKEY_LOGIN", "1");
    ASSERT_TRUE(applyPadMonkeyLogin());
    medalQueueStartup();

    const bool started = leaderboardWorkerStart();
    EXPECT_EQ(started, false);
    EXPECT_EQ(leaderboardWorkerStart(), false);
    EXPECT_EQ(leaderboardSubmit("score", SDone::record, nullptr), false);
    awardMedal(3);
    medalQueueTick();
    leaderboardTick();

    EXPECT_STREQ(onlineUserName(), "");
    EXPECT_EQ(pendingMedalCount(), 0u);
    EXPECT_FALSE(leaderboardIsBusy());
    EXPECT_EQ(log(), "leaderboard: no LEADERBOARD_IP set; the client stays idle\n");
}

TEST_F(Online, WithoutANetworkEachRequestFailsOnceInOrder) {
    startOnline(false);
    SDone done;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(leaderboardSubmit("score", SDone::record, &done));
    settle(false);

    EXPECT_EQ(done.statuses, std::vector<ELeaderboardStatus>(3, E_LEADERBOARD_NO_NETWORK));
    EXPECT_EQ(log(), "leaderboard: no network client is installed; requests to 192.0.2.1 fail\n");
    EXPECT_EQ(leaderboardIsActive(), false);
}

TEST_F(Online, StopJoinsTheWorkerAndCompletesEveryRequestOnce) {
    m_transport.holdProbe = true;
    startOnline();
    SDone done;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(leaderboardSubmit("score", SDone::record, &done));
    m_transport.release.set();
    leaderboardClientShutdown();

    // However far the worker got: those it sent come first, the rest are cancelled.
    std::vector<ELeaderboardStatus> expected(3, E_LEADERBOARD_CANCELLED);
    std::fill_n(expected.begin(), std::count(m_transport.bodies.begin(), m_transport.bodies.end(), "score"), E_LEADERBOARD_OK);
    EXPECT_EQ(done.statuses, expected);
    EXPECT_FALSE(leaderboardIsActive());
    EXPECT_FALSE(leaderboardIsBusy());
    EXPECT_FALSE(leaderboardSubmit("score", SDone::record, &done));
}

TEST_F(Online, MedalsAreSentOnceEachInTheOrderEarned) {
    configSetValue("USE_PAD_MONKEY_LOGIN", "1");
    applyPadMonkeyLogin();
    startOnline();
    medalQueueStartup();

    awardMedal(5);
    awardMedal(3u);  // the play state's award, through the hook
    awardMedal(5);
    awardMedal(MEDAL_ID_LIMIT);
    awardMedal(-1);
    EXPECT_EQ(pendingMedalCount(), 2u);
    settle(true);
    awardMedal(3);

    EXPECT_EQ(m_transport.bodies,
              (std::vector<std::string>{"", "AwardMedal user=MONKEY id=5", "AwardMedal user=MONKEY id=3"}));
    EXPECT_EQ(awardedMedals(), (u64(1) << 5) | (u64(1) << 3));
    EXPECT_EQ(pendingMedalCount(), 0u);
}

TEST_F(Online, ARefusedMedalStaysQueued) {
    m_transport.reply = "1 unknown user";
    SLeaderboardCredentials credentials;
    makeCredentials("ace", "secret", &credentials);
    setLeaderboardCredentials(credentials);
    startOnline();
    medalQueueStartup();
    awardMedal(12);
    medalQueueTick();
    settle(false);

    EXPECT_EQ(m_transport.bodies, (std::vector<std::string>{"", "AwardMedal user=ace id=12"}));
    EXPECT_EQ(pendingMedalCount(), 1u);
}

// Over HTTP, the worker's start fetches the service's page once, by GET.
TEST_F(Online, TheStartFetchesThePageOnceOverHttp) {
    ClLocalHttpServer server("0");
    setLeaderboardTransport(httpLeaderboardTransport());
    configSetValue("LEADERBOARD_IP", server.address().c_str());
    ASSERT_TRUE(leaderboardWorkerStart());
    settle(false);

    ASSERT_EQ(server.requestLines().size(), 1u);
    EXPECT_EQ(server.requestLines()[0], "GET /XLBPage.aspx HTTP/1.1");
}

// An address that never answers: the start does not wait for the page (it returns before the
// probe's time-out could have passed), the client is busy meanwhile, and the probe gives up.
TEST_F(Online, AnAddressThatNeverAnswersDelaysNothing) {
    ClSilentHttpServer server;
    setLeaderboardTransport(httpLeaderboardTransport());
    configSetValue("LEADERBOARD_IP", server.address().c_str());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(leaderboardWorkerStart());
    const auto startTook = std::chrono::steady_clock::now() - start;
    const bool busyAfterStart = leaderboardIsBusy();
    settle(false);
    const auto settled = std::chrono::steady_clock::now() - start;

    EXPECT_LT(startTook, std::chrono::milliseconds(LEADERBOARD_PROBE_TIMEOUT_MS));
    EXPECT_TRUE(busyAfterStart);
    EXPECT_LT(settled, std::chrono::seconds(10));
}

TEST_F(Online, AnAddressThatIsNoHostLeavesTheClientIdle) {
    setLeaderboardTransport(httpLeaderboardTransport());
    configSetValue("LEADERBOARD_IP", "host/page");

    EXPECT_FALSE(leaderboardWorkerStart());
    EXPECT_EQ(log(), "leaderboard: LEADERBOARD_IP \"host/page\" is not a host or host:port; the client stays idle\n");
}

}  // namespace
