// The leaderboard client: requests to the leaderboard service, completed on the main thread.
#pragma once

// Once per frame from the tick: completes a finished request.
void leaderboardTick();
