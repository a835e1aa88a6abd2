// The operations on the state of one play: the player records (world/state/player_records.h),
// the wave-kill chain and its window (world/services/session_timers.h), and the score rules. The
// score is held as 11 x the shown score: writers multiply the points they add by 11, readers
// divide with truncation toward zero.
#pragma once

#include "core/types.h"
#include "world/services/session_timers.h"
#include "world/state/player_records.h"

class ClEntity;
struct ClVec3;

// Zeroes the four records and chain counts and empties the popup pool.
void resetPlayerStates();
void enableFirstPlayer();

// The shown score of the record.
s32 shownScore(const SPlayerState& player);

// trunc(selected song's score scale for the difficulty x the program's inspiration score).
s32 getKillPoints(const ClEntity* entity);
// One step of the wave-kill chain for player p: its bonus, medal and popup.
void awardWaveKillChainBonus(u32 player, const ClVec3& position);
// A score pickup's points for the first player; the popup follows the ship.
void addPickupScore(s32 points);
// The ship of player p was destroyed: a death, the difficulty's penalty (the score never falls
// below 0), its popup, the cue and flash. Nothing without a ship or with every popup in use.
void applyDeathPenalty(u32 player);
// A message above player p's ship; nothing without a ship.
void showPlayerPopupText(u32 player, const char* textKey);

// Seconds of song played go into player p's play time.
void addPlayerPlayTime(u32 player, f32 seconds);
// Player p's running invincibility loses the step; none running stays as it is.
void runDownPlayerInvincibility(u32 player, f32 step);
// An invincibility pickup: a spent (negative) time counts as 0 before the seconds are added.
void addPlayerInvincibility(u32 player, f32 seconds);
// A chain-bonus pickup: player p's chain starts again from 0 when its window had closed, and
// the window opens for its full length.
void reopenWaveKillChainWindow(u32 player);
// Sets player p's score (held as 11 x the shown score).
void setPlayerScore(u32 player, s32 score);
// The results screen's kill percentage of player p.
void setPlayerKillPercentage(u32 player, f32 percentage);

