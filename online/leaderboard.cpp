#include "online/leaderboard.h"

#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/log_manager.h"
#include "online/leaderboard_request.h"
#include "online/leaderboard_transport.h"
#include "platform/http/http_client.h"
#include "platform/os/os.h"

#include <cstring>
#include <string>

namespace {

struct SLeaderboardRequest {
    char line[LEADERBOARD_TEXT_LENGTH];  // empty for the page probe, a GET
    char reply[LEADERBOARD_TEXT_LENGTH];
    u32 timeoutMs;
    LeaderboardDoneRoutine done;
    void* user;
    ELeaderboardStatus status;
};

// Requests live in a ring. The counters only grow, delivered <= sent <= queued: the worker
// sends [sent, queued), the main thread completes [delivered, sent). All three change under
// the lock; a slot's text is written before `queued` passes it and read by the main thread
// only after `sent` has.
struct SLeaderboardClient {
    SCritSection* lock = nullptr;
    ClEvent wake{false, false};
    ClThread worker;
    ClHttpCancel cancel;  // the stop breaks off the exchange under way
    char body[LEADERBOARD_BODY_LENGTH] = {};  // the worker's, for the request it sends
    ILeaderboardTransport* transport = nullptr;
    char address[LEADERBOARD_TEXT_LENGTH] = {};
    bool stop = false;
    bool started = false;  // the worker start has run once since the client's start-up
    bool active = false;
    bool logOpened = false;
    u32 queued = 0;
    u32 sent = 0;
    u32 delivered = 0;
    SLeaderboardRequest requests[LEADERBOARD_QUEUE_CAPACITY];
};

SLeaderboardClient g_client;

SLeaderboardRequest& slot(u32 counter) { return g_client.requests[counter % LEADERBOARD_QUEUE_CAPACITY]; }

void exchange(SLeaderboardRequest& request) {
    request.reply[0] = 0;
    g_client.body[0] = 0;
    ILeaderboardTransport* transport = g_client.transport;
    const bool encoded = !request.line[0] || encodeLeaderboardBody(request.line, g_client.body, sizeof g_client.body);
    if (!encoded || !transport ||
        !transport->exchange(g_client.address, LEADERBOARD_PAGE, g_client.body, request.timeoutMs, &g_client.cancel,
                             request.reply, LEADERBOARD_TEXT_LENGTH)) {
        request.reply[0] = 0;
        request.status = g_client.cancel.cancelled() ? E_LEADERBOARD_CANCELLED : E_LEADERBOARD_NO_NETWORK;
        return;
    }
    request.reply[LEADERBOARD_TEXT_LENGTH - 1] = 0;
    const char first = request.reply[0];
    request.status = first == '0'                  ? E_LEADERBOARD_OK
                     : first >= '1' && first <= '9' ? E_LEADERBOARD_REFUSED
                                                    : E_LEADERBOARD_BAD_REPLY;
}

void workerMain(void*) {
    for (;;) {
        critSectionEnter(g_client.lock);
        if (g_client.stop) {
            critSectionLeave(g_client.lock);
            return;
        }
        if (g_client.sent == g_client.queued) {
            critSectionLeave(g_client.lock);
            g_client.wake.wait(OS_INFINITE);
            continue;
        }
        SLeaderboardRequest& request = slot(g_client.sent);
        critSectionLeave(g_client.lock);
        exchange(request);
        critSectionEnter(g_client.lock);
        ++g_client.sent;
        critSectionLeave(g_client.lock);
    }
}

bool queueRequest(const char* line, u32 timeoutMs, LeaderboardDoneRoutine done, void* user) {
    if (!g_client.active || !line || std::strlen(line) >= LEADERBOARD_TEXT_LENGTH) return false;
    critSectionEnter(g_client.lock);
    const bool full = g_client.queued - g_client.delivered >= LEADERBOARD_QUEUE_CAPACITY;
    if (!full) {
        SLeaderboardRequest& request = slot(g_client.queued);
        std::strcpy(request.line, line);
        request.reply[0] = 0;
        request.timeoutMs = timeoutMs;
        request.done = done;
        request.user = user;
        request.status = E_LEADERBOARD_CANCELLED;
        ++g_client.queued;
    }
    critSectionLeave(g_client.lock);
    if (!full) g_client.wake.set();
    return !full;
}

void openOnlineLog() {
    std::u16string path(getUserDataDirW());
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
    path += u"GAMEDATA\\online.log";
    const std::string narrow = osWideToUtf8(path.c_str());
    if (narrow.size() + 1 > LOG_TEXT_CAPACITY) return;
    g_client.logOpened = openLog(ONLINE_LOG_NAME, narrow.c_str()) != logSentinel();
}

}  // namespace

void leaderboardClientStartup() {
    if (g_client.lock) return;
    g_client.lock = critSectionCreateOrDie("leaderboard client");
    g_client.wake.reset();
    g_client.stop = false;
    g_client.queued = g_client.sent = g_client.delivered = 0;
}

bool leaderboardWorkerStart() {
    leaderboardClientStartup();
    if (g_client.started) return g_client.active;
    g_client.started = true;
    openOnlineLog();
    const char* address = configGetString("LEADERBOARD_IP");
    if (!address || !address[0]) {
        writeLog(findLog(ONLINE_LOG_NAME), "leaderboard: no LEADERBOARD_IP set; the client stays idle");
        return false;
    }
    if (std::strlen(address) >= LEADERBOARD_TEXT_LENGTH) {
        writeLog(findLog(ONLINE_LOG_NAME), "leaderboard: LEADERBOARD_IP is too long; the client stays idle");
        return false;
    }
    if (!isValidHttpAddress(address)) {
        writeLog(findLog(ONLINE_LOG_NAME), "leaderboard: LEADERBOARD_IP \"%s\" is not a host or host:port; the client stays idle",
                 address);
        return false;
    }
    std::strcpy(g_client.address, address);
    g_client.cancel.reset();
    if (!g_client.worker.start(workerMain, nullptr, "leaderboard")) {
        writeLog(findLog(ONLINE_LOG_NAME), "leaderboard: the worker thread cannot start; the client stays idle");
        return false;
    }
    g_client.active = true;
    if (!g_client.transport) {
        writeLog(findLog(ONLINE_LOG_NAME), "leaderboard: no network client is installed; requests to %s fail",
                 g_client.address);
    }
    queueRequest("", LEADERBOARD_PROBE_TIMEOUT_MS, nullptr, nullptr);
    return true;
}

void leaderboardClientShutdown() {
    if (!g_client.lock) return;
    if (g_client.worker.isRunning()) {
        critSectionEnter(g_client.lock);
        g_client.stop = true;
        critSectionLeave(g_client.lock);
        g_client.cancel.cancel();
        g_client.wake.set();
        g_client.worker.join();
    }
    g_client.active = false;
    g_client.started = false;
    critSectionEnter(g_client.lock);
    for (u32 i = g_client.sent; i != g_client.queued; ++i) slot(i).status = E_LEADERBOARD_CANCELLED;
    g_client.sent = g_client.queued;
    critSectionLeave(g_client.lock);
    leaderboardTick();
    if (g_client.logOpened) closeLog(ONLINE_LOG_NAME);
    g_client.logOpened = false;
    critSectionDestroy(g_client.lock);
    g_client.lock = nullptr;
}

void leaderboardTick() {
    if (!g_client.lock) return;
    for (;;) {
        critSectionEnter(g_client.lock);
        const bool finished = g_client.delivered != g_client.sent;
        critSectionLeave(g_client.lock);
        if (!finished) return;
        // The slot stays taken while its routine runs, so a routine may submit again.
        const SLeaderboardRequest& request = slot(g_client.delivered);
        if (request.done) request.done(request.user, request.status, request.reply);
        critSectionEnter(g_client.lock);
        ++g_client.delivered;
        critSectionLeave(g_client.lock);
    }
}

bool leaderboardIsActive() { return g_client.active; }

bool leaderboardIsBusy() {
    if (!g_client.lock) return false;
    critSectionEnter(g_client.lock);
    const bool busy = g_client.delivered != g_client.queued;
    critSectionLeave(g_client.lock);
    return busy;
}

bool leaderboardSubmit(const char* line, LeaderboardDoneRoutine done, void* user) {
    return line && line[0] && queueRequest(line, LEADERBOARD_TIMEOUT_MS, done, user);
}

void setLeaderboardTransport(ILeaderboardTransport* transport) { g_client.transport = transport; }
