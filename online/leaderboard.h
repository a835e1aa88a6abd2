// The leaderboard client: requests to the leaderboard service at LEADERBOARD_IP, sent one at a
// time by its worker thread and completed on the main thread by leaderboardTick.
//
// Without LEADERBOARD_IP the client stays idle: the worker never starts, every request is
// refused, and one line in the "online" log says so. The main thread never waits on the network:
// the stop breaks off the request under way.
#pragma once

#include "core/types.h"

class ILeaderboardTransport;

constexpr u32 LEADERBOARD_QUEUE_CAPACITY = 8;
// Address, request line and reply, terminator included. The body sent is longer
// (online/leaderboard_request.h).
constexpr u32 LEADERBOARD_TEXT_LENGTH = 256;
constexpr u32 LEADERBOARD_TIMEOUT_MS = 10000;
// The page fetched once when the worker starts, with a short time-out, its result ignored.
constexpr u32 LEADERBOARD_PROBE_TIMEOUT_MS = 1000;
constexpr const char* LEADERBOARD_PAGE = "XLBPage.aspx";
// The log the client writes to: "GAMEDATA\online.log" under the user-data directory.
constexpr const char* ONLINE_LOG_NAME = "online";

// Replies start with a status digit.
enum ELeaderboardStatus : u32 {
    E_LEADERBOARD_OK = 0,         // the reply began with '0'
    E_LEADERBOARD_REFUSED = 1,    // with any other digit
    E_LEADERBOARD_BAD_REPLY = 2,  // with no digit
    E_LEADERBOARD_NO_NETWORK = 3, // the exchange failed or timed out, or no transport is installed
    E_LEADERBOARD_CANCELLED = 4,  // the client stopped before the request was sent
};

// Main thread, exactly once per accepted request; the reply is empty unless one came.
using LeaderboardDoneRoutine = void (*)(void* user, ELeaderboardStatus status, const char* reply);

// Start-up, before the settings are read: the request state (its lock and the worker's event).
void leaderboardClientStartup();
// Once the settings and the logs are up: opens the "online" log and, with LEADERBOARD_IP set to a
// host or host:port, starts the worker and queues the page probe (a GET of LEADERBOARD_PAGE that
// waits at most LEADERBOARD_PROBE_TIMEOUT_MS, its result ignored; the busy text shows meanwhile).
// Never waits for the network. Without a usable address, logs that the client stays idle and
// returns false.
bool leaderboardWorkerStart();
// Breaks off the request under way, stops and joins the worker, completes every request left as
// cancelled (their routines run here), closes the log and frees the request state. Safe to call
// when nothing was started.
void leaderboardClientShutdown();

// Once per frame: runs the routines of finished requests, in the order they were submitted.
void leaderboardTick();

// True while the worker runs.
bool leaderboardIsActive();
// True while any accepted request has not yet run its routine.
bool leaderboardIsBusy();
// Queues a request line (online/leaderboard_request.h, at most LEADERBOARD_TEXT_LENGTH - 1
// characters), which the worker enciphers and POSTs. False, with the routine never run, while
// idle, when the queue is full or when the line is empty or too long.
bool leaderboardSubmit(const char* line, LeaderboardDoneRoutine done, void* user);

// The network side; null (the default) fails every request. The program installs the HTTP one
// (online/http_transport.h). Set it before the worker starts; the caller keeps it alive until the
// client's shutdown.
void setLeaderboardTransport(ILeaderboardTransport* transport);
