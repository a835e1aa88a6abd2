#include "online/leaderboard.h"

void leaderboardTick() {
    // No request is ever under way offline.
}
