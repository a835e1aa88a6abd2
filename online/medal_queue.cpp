#include "online/medal_queue.h"

#include "online/busy_text.h"
#include "online/credentials.h"
#include "online/leaderboard_request.h"

#include <cstring>

namespace {

struct SMedalQueue {
    s32 pending[MEDAL_ID_LIMIT];  // oldest first
    u32 pendingCount = 0;
    u64 pendingBits = 0;
    u64 awardedBits = 0;
    bool sending = false;  // the oldest is with the client
    u32 holdTicks = 0;
    bool failureShown = false;  // the oldest's failure has been told once
};

SMedalQueue g_medals;

u64 medalBit(s32 id) { return u64(1) << id; }

void dropOldest() {
    g_medals.pendingBits &= ~medalBit(g_medals.pending[0]);
    --g_medals.pendingCount;
    std::memmove(g_medals.pending, g_medals.pending + 1, g_medals.pendingCount * sizeof(s32));
}

void medalSent(void*, ELeaderboardStatus status, const char*) {
    g_medals.sending = false;
    if (g_medals.pendingCount == 0 || status == E_LEADERBOARD_CANCELLED) return;
    if (status == E_LEADERBOARD_OK) {
        g_medals.awardedBits |= medalBit(g_medals.pending[0]);
        dropOldest();
        g_medals.failureShown = false;
        showLeaderboardNotice("leaderboard_medal_awarded");
        return;
    }
    g_medals.holdTicks = MEDAL_RETRY_TICKS;
    if (g_medals.failureShown) return;
    g_medals.failureShown = true;
    showLeaderboardNotice(status == E_LEADERBOARD_NO_NETWORK ? "leaderboard_medal_unreachable"
                                                             : "leaderboard_medal_refused");
}

}  // namespace

void awardMedalFromPlay(u32 medalId) { awardMedal(medalId < u32(MEDAL_ID_LIMIT) ? s32(medalId) : -1); }

void medalQueueStartup() {
    g_medals.pendingCount = 0;
    g_medals.pendingBits = 0;
    g_medals.awardedBits = 0;
    g_medals.sending = false;
    g_medals.holdTicks = 0;
    g_medals.failureShown = false;
}

void medalQueueShutdown() {
    g_medals.pendingCount = 0;
    g_medals.pendingBits = 0;
}

void medalQueueTick() {
    if (g_medals.holdTicks > 0) {
        --g_medals.holdTicks;
        return;
    }
    if (g_medals.sending || g_medals.pendingCount == 0 || !onlineUserName()[0]) return;
    char line[LEADERBOARD_TEXT_LENGTH];
    if (!writeLeaderboardRequest(E_LEADERBOARD_MEDAL, leaderboardCredentials(), g_medals.pending[0], line, sizeof line))
        return;
    g_medals.sending = leaderboardSubmit(line, medalSent, nullptr);
}

void awardMedal(s32 id) {
    if (id < 0 || id >= MEDAL_ID_LIMIT || !onlineUserName()[0]) return;
    if ((g_medals.pendingBits | g_medals.awardedBits) & medalBit(id)) return;
    g_medals.pending[g_medals.pendingCount++] = id;
    g_medals.pendingBits |= medalBit(id);
}
