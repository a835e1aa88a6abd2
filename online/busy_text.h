// The line the front end shows while the leaderboard client has a request under way.
#pragma once

// Draws the "leaderboard_comm" text at the bottom right of the "SAFE" canvas while a request is
// under way. True when it was drawn.
bool drawLeaderboardBusyText();
