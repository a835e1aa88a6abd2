// The HTTP client against servers the test starts on 127.0.0.1: a reply longer than its buffer, an
// exchange broken off from another thread, a closed port, and addresses and pages refused before
// anything is sent. The requests a leaderboard makes, the statuses that are no answer and a server
// that never answers are the online and options tests'.
#include "platform/http/http_client.h"
#include "tests/support/local_http_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

using namespace test_support;

namespace {

constexpr u32 TIMEOUT_MS = 1000;

TEST(HttpClient, ALongReplyIsCutToItsBuffer) {
    ClLocalHttpServer server("0123456789");
    char reply[5];
    EXPECT_EQ(httpExchange(server.address().c_str(), "p", "", TIMEOUT_MS, reply, sizeof reply), E_HTTP_OK);
    EXPECT_STREQ(reply, "0123");
    EXPECT_EQ(httpExchange(server.address().c_str(), "p", "", TIMEOUT_MS, nullptr, 0), E_HTTP_OK);
}

// A cancel from another thread ends the exchange under way at once, long before its time-out,
// and every later one before it is sent, until reset.
TEST(HttpClient, ACancelBreaksOffTheExchangeUnderWay) {
    ClLocalHttpServer server("0", 200, false);
    ClHttpCancel cancel;
    EHttpResult result = E_HTTP_OK;
    const auto start = std::chrono::steady_clock::now();
    std::thread exchange([&] {
        char reply[8];
        result = httpExchange(server.address().c_str(), "p", "m=1", 60000, reply, sizeof reply, &cancel);
    });
    while (server.requestLines().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    cancel.cancel();
    exchange.join();
    const auto waited = std::chrono::steady_clock::now() - start;
    const EHttpResult later = httpExchange(server.address().c_str(), "p", "m=2", TIMEOUT_MS, nullptr, 0, &cancel);

    EXPECT_EQ(result, E_HTTP_CANCELLED);
    EXPECT_LT(waited, std::chrono::seconds(10));
    EXPECT_EQ(later, E_HTTP_CANCELLED);
    EXPECT_EQ(server.requestLines().size(), 1u);
}

TEST(HttpClient, AClosedPortFailsToConnect) {
    int port = 0;
    {
        ClLocalHttpServer closed("0");  // the port is free again once it is gone
        port = std::stoi(closed.address().substr(10));
    }
    const std::string address = "127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(httpExchange(address.c_str(), "XLBPage.aspx", "", TIMEOUT_MS, nullptr, 0), E_HTTP_NO_CONNECTION);
}

TEST(HttpClient, AddressesAreAHostWithAnOptionalPortAndBadOnesAndPagesSendNothing) {
    for (const char* good : {"leaderboard.example", "127.0.0.1:8080", "host:1", "host:65535"})
        EXPECT_TRUE(isValidHttpAddress(good)) << good;
    EXPECT_FALSE(isValidHttpAddress(nullptr));
    for (const char* bad : {"", ":80", "host:", "host:0", "host:65536", "host:12a", "user@host", "host/path", "http://host"})
        EXPECT_FALSE(isValidHttpAddress(bad)) << bad;

    // Bad addresses and pages send nothing.
    ClLocalHttpServer server("0");
    char reply[8];
    EXPECT_EQ(httpExchange("host name", "p", "", TIMEOUT_MS, reply, sizeof reply), E_HTTP_BAD_ADDRESS);
    for (const char* page : {"../etc", "/abs", "p?q=1", ""})
        EXPECT_EQ(httpExchange(server.address().c_str(), page, "", TIMEOUT_MS, reply, sizeof reply), E_HTTP_BAD_ADDRESS) << page;
    EXPECT_EQ(server.requestLines().size(), 0u);
}

}  // namespace
