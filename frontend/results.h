// The numbers the results screen shows, from the first player's record of the play.
#pragma once

#include "core/types.h"

struct SPlayerState;

struct SResultsValues {
    s32 score;         // shown points: the stored score / 11, truncated toward zero
    s32 kills;
    s32 deaths;
    f32 playTime;      // seconds
    s32 pointsLost;    // shown points
    f32 killPercentage;  // 0 to 100; -1 when the number of enemies offered is unknown
};

// enemiesOffered of 0 or less leaves the percentage unknown; more kills than enemies count as
// 100.
SResultsValues computeResults(const SPlayerState& player, s32 enemiesOffered);
