// The leaderboard client's surroundings for a test: the lock pool, a user-data folder with its
// GAMEDATA folder for the "online" log, the logs and the settings. The client, the medal queue
// and the account are put back after each test.
#pragma once

#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/log_manager.h"
#include "online/credentials.h"
#include "online/http_transport.h"
#include "online/leaderboard.h"
#include "online/medal_queue.h"
#include "platform/os/os.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class OnlineTest : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        std::filesystem::create_directories(m_dir.path() / "GAMEDATA");
        setUserDataDirW(test_support::widePath(m_dir.str() + "/").c_str());
        logManagerInit();
        configClear();
        leaderboardClientStartup();
    }
    void TearDown() override {
        medalQueueShutdown();
        leaderboardClientShutdown();
        setLeaderboardTransport(nullptr);
        setLeaderboardCredentials(SLeaderboardCredentials{});
        configFree();
        logManagerShutdown();
    }
    // The account of the name and password becomes the client's.
    static void signIn(const char* name, const char* password) {
        SLeaderboardCredentials credentials;
        makeCredentials(name, password, &credentials);
        setLeaderboardCredentials(credentials);
    }
    // The client started over HTTP with the service at the address, and the medal queue.
    static void startOverHttp(const std::string& address) {
        setLeaderboardTransport(httpLeaderboardTransport());
        configSetValue("LEADERBOARD_IP", address.c_str());
        ASSERT_TRUE(leaderboardWorkerStart());
        medalQueueStartup();
    }
    // Ticks until every request has completed (and, with medals, until the queue hands the client
    // no more), or gives up.
    static void settle(bool medals) {
        for (u32 i = 0; i < 20000; ++i) {
            if (medals) medalQueueTick();
            if (!leaderboardIsBusy()) break;
            leaderboardTick();
            osSleep(1);
        }
        ASSERT_FALSE(leaderboardIsBusy());
    }
    test_support::ClTempDir m_dir;
};
