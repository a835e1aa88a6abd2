// The leaderboard client and the medal queue, with the network side replaced or against a local
// server: idle without an address, the worker's start and stop (breaking off a hanging request),
// medals sent once each in the order earned, their requests as the service reads them, the
// notices of their replies, and log-in names out of their range kept off the network.
#include "online/busy_text.h"
#include "online/leaderboard_transport.h"
#include "tests/online/online_test_support.h"
#include "tests/support/leaderboard_decode.h"
#include "tests/support/local_http_server.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

using namespace test_support;

namespace {

// Answers every request with a fixed reply and keeps the request lines, read back from the
// bodies (the page probe's is empty); the page probe can be held.
struct SFakeTransport : ILeaderboardTransport {
    std::vector<std::string> lines;  // worker thread writes, read once the client is idle
    const char* reply = "0";
    bool answers = true;
    bool holdProbe = false;
    ClEvent release{true, false};

    bool exchange(const char*, const char*, const char* body, u32, ClHttpCancel*, char* out, u32 capacity) override {
        if (holdProbe && !body[0]) release.wait(OS_INFINITE);
        lines.push_back(decodeLeaderboardBody(body));
        std::strncpy(out, reply, capacity);
        return answers;
    }
};

struct SDone {
    std::vector<ELeaderboardStatus> statuses;
    static void record(void* user, ELeaderboardStatus status, const char*) {
        static_cast<SDone*>(user)->statuses.push_back(status);
    }
};

class Online : public OnlineTest {
protected:
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

    SFakeTransport m_transport;
};

TEST_F(Online, WithoutAnAddressTheClientStaysIdleAndSaysSoOnce) {
    configSetValue("USE_PAD_MONKEY_LOGIN", "1");
    ASSERT_TRUE(applyPadMonkeyLogin());
    medalQueueStartup();

    EXPECT_FALSE(leaderboardWorkerStart());
    EXPECT_FALSE(leaderboardWorkerStart());
    EXPECT_EQ(leaderboardSubmit("action=login", SDone::record, nullptr), false);
    awardMedal(3);
    medalQueueTick();
    leaderboardTick();

    EXPECT_STREQ(onlineUserName(), "");
    EXPECT_EQ(log(), "leaderboard: no LEADERBOARD_IP set; the client stays idle\n");
}

TEST_F(Online, WithoutANetworkEachRequestFailsOnceInOrder) {
    startOnline(false);
    SDone done;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(leaderboardSubmit("action=login", SDone::record, &done));
    settle(false);

    EXPECT_EQ(done.statuses, std::vector<ELeaderboardStatus>(3, E_LEADERBOARD_NO_NETWORK));
    EXPECT_EQ(log(), "leaderboard: no network client is installed; requests to 192.0.2.1 fail\n");
}

TEST_F(Online, StopJoinsTheWorkerAndCompletesEveryRequestOnce) {
    m_transport.holdProbe = true;
    startOnline();
    SDone done;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(leaderboardSubmit("action=login", SDone::record, &done));
    m_transport.release.set();
    leaderboardClientShutdown();

    // However far the worker got: those it sent come first, the rest are cancelled.
    std::vector<ELeaderboardStatus> expected(3, E_LEADERBOARD_CANCELLED);
    std::fill_n(expected.begin(), std::count(m_transport.lines.begin(), m_transport.lines.end(), "action=login"),
                E_LEADERBOARD_OK);
    EXPECT_EQ(done.statuses, expected);
    EXPECT_FALSE(leaderboardIsActive());
    EXPECT_FALSE(leaderboardSubmit("action=login", SDone::record, &done));
}

// A full queue refuses the next request: none waiting to be sent or completed is written over.
TEST_F(Online, AFullQueueRefusesTheNextRequest) {
    startOnline();  // the page probe takes the first place
    SDone done;
    for (u32 i = 1; i < LEADERBOARD_QUEUE_CAPACITY; ++i) ASSERT_TRUE(leaderboardSubmit("action=login", SDone::record, &done));
    EXPECT_FALSE(leaderboardSubmit("action=login", SDone::record, &done));
    settle(false);
    EXPECT_EQ(done.statuses.size(), size_t(LEADERBOARD_QUEUE_CAPACITY - 1));
}

TEST_F(Online, MedalsAreSentOnceEachInTheOrderEarned) {
    configSetValue("USE_PAD_MONKEY_LOGIN", "1");
    applyPadMonkeyLogin();
    startOnline();
    medalQueueStartup();

    // Ids out of range first: one queued would be sent, or would hold up the rest.
    awardMedal(MEDAL_ID_LIMIT);
    awardMedal(-1);
    awardMedalFromPlay(MEDAL_ID_LIMIT);
    awardMedal(5);
    awardMedalFromPlay(3u);
    awardMedal(5);
    settle(true);
    // An accepted medal is not sent again.
    awardMedal(3);
    settle(true);

    // The medal field of each request after the probe.
    std::vector<std::string> medals;
    for (size_t i = 1; i < m_transport.lines.size(); ++i) medals.push_back(leaderboardField(m_transport.lines[i], "medal"));
    ASSERT_EQ(medals.size(), 2u);
    EXPECT_EQ(medals[0], "5");
    EXPECT_EQ(medals[1], "3");
    EXPECT_EQ(leaderboardField(m_transport.lines[1], "action"), "medal");
}

// After a medal's reply the leaderboard line tells its outcome.
TEST_F(Online, AMedalsReplyIsToldOnTheLeaderboardLine) {
    struct SCase {
        const char* name;
        const char* reply;
        bool answers;
        const char* notice;
        size_t resent;  // after the wait for a retry
    };
    const SCase cases[] = {
        {"accepted", "0", true, "leaderboard_medal_awarded", 0},
        {"refused", "1 unknown user", true, "leaderboard_medal_refused", 1},
        {"unanswered", "0", false, "leaderboard_medal_unreachable", 1},
    };
    configSetValue("USE_PAD_MONKEY_LOGIN", "1");
    applyPadMonkeyLogin();
    startOnline();
    settle(false);
    s32 medal = 3;
    for (const SCase& c : cases) {
        medalQueueStartup();
        m_transport.reply = c.reply;
        m_transport.answers = c.answers;
        awardMedal(medal++);
        medalQueueTick();
        settle(false);
        EXPECT_STREQ(leaderboardLineKey(), c.notice) << c.name;
        const size_t sent = m_transport.lines.size();
        for (u32 i = 0; i < MEDAL_RETRY_TICKS; ++i) medalQueueTick();
        settle(true);
        EXPECT_EQ(m_transport.lines.size() - sent, c.resent) << c.name;
    }
}

// A name the service would not take (a save can hold any bytes) makes no online user: no log-in
// and no medal is sent.
TEST_F(Online, ALogInNameOutOfItsRangeSendsNothing) {
    struct SCase {
        const char* name;
        const char* loginName;
    };
    const SCase cases[] = {
        {"empty", ""},
        {"control character", "ace\n"},
        {"space", "ace one"},
        {"accented", "ac\xC3\xA9"},
        {"seventeen characters", "abcdefghijklmnopq"},
    };
    startOnline();
    medalQueueStartup();
    settle(false);
    for (const SCase& c : cases) {
        signIn(c.loginName, "secret");
        EXPECT_STREQ(onlineUserName(), "") << c.name;
        EXPECT_FALSE(leaderboardLogIn(SDone::record, nullptr)) << c.name;
        awardMedal(3);
    }
    // A medal earned under such a name is not sent once the account is a good one.
    signIn("ace", "secret");
    settle(true);
    EXPECT_EQ(m_transport.lines.size(), 1u);
}

// Quitting while the service holds a request unanswered: the stop breaks it off at once, long
// before its time-out, and its routine hears that it was cancelled.
TEST_F(Online, TheStopBreaksOffAHangingRequest) {
    ClLocalHttpServer server("0", 200, false);
    signIn("ace", "secret");
    startOverHttp(server.address());
    SDone done;
    ASSERT_TRUE(leaderboardLogIn(SDone::record, &done));
    while (server.requestLines().size() < 2) osSleep(5);

    const auto start = std::chrono::steady_clock::now();
    leaderboardClientShutdown();
    const auto stopTook = std::chrono::steady_clock::now() - start;

    EXPECT_LT(stopTook, std::chrono::seconds(LEADERBOARD_TIMEOUT_MS / 2000));
    EXPECT_EQ(done.statuses, std::vector<ELeaderboardStatus>{E_LEADERBOARD_CANCELLED});
}

TEST_F(Online, AnAddressThatIsNoHostLeavesTheClientIdle) {
    setLeaderboardTransport(httpLeaderboardTransport());
    configSetValue("LEADERBOARD_IP", "host/page");

    EXPECT_FALSE(leaderboardWorkerStart());
    EXPECT_EQ(log(), "leaderboard: LEADERBOARD_IP \"host/page\" is not a host or host:port; the client stays idle\n");
}

}  // namespace
