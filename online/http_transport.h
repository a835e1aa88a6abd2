// The leaderboard client's network side over HTTP: each request is an exchange with the page at
// LEADERBOARD_IP (a host or host:port) through the platform's HTTP client.
#pragma once

#include "online/leaderboard_transport.h"

class ClHttpLeaderboardTransport : public ILeaderboardTransport {
public:
    bool exchange(const char* address, const char* page, const char* body, u32 timeoutMs, ClHttpCancel* cancel,
                  char* reply, u32 capacity) override;
};

// The one transport the program installs with setLeaderboardTransport.
ILeaderboardTransport* httpLeaderboardTransport();
