// The network side of the leaderboard client: one request sent and its reply read, on the
// client's worker thread. Without one installed every request the worker takes fails as
// E_LEADERBOARD_NO_NETWORK and nothing leaves the machine.
#pragma once

#include "core/types.h"

class ClHttpCancel;

class ILeaderboardTransport {
public:
    virtual ~ILeaderboardTransport() = default;
    // Sends the body by POST to the page at the address (a GET when the body is empty) and
    // waits at most timeoutMs for the answer, whose text goes into reply (capacity bytes,
    // terminator included, cut when longer). The client's stop cancels the exchange through
    // cancel, which then ends at once. False on any failure, time-out or cancel.
    virtual bool exchange(const char* address, const char* page, const char* body, u32 timeoutMs, ClHttpCancel* cancel,
                          char* reply, u32 capacity) = 0;
};
