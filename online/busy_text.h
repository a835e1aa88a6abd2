// The line the front end shows for the leaderboard: the busy text while the client has a request
// under way, and after a reply that the player should hear of, a notice of its outcome.
#pragma once

// How long a notice stays, in seconds of the frames that draw it.
constexpr float LEADERBOARD_NOTICE_SECONDS = 4.0f;

// Shows the text of the string key once no request is under way; a later notice replaces it.
void showLeaderboardNotice(const char* key);
// The string key of what the line shows now: "leaderboard_comm" while a request is under way,
// else the notice's key while it lasts, else null.
const char* leaderboardLineKey();
// Draws the line at the bottom right of the "SAFE" canvas and counts a shown notice's time down by
// the system clock's step. True when something was drawn.
bool drawLeaderboardBusyText();
