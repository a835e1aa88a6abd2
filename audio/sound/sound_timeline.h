// Timeline data and timeline players: a sample's lists of event times ("Audio/<name>.iAudioTD",
// audio/sound_bank_format.h), played against the sample's time.
//
// Main thread only. A player reference carries the player's generation, so a reference kept
// after the player finished and was handed out again touches nothing.
#pragma once

#include "audio/sound/sound_bank_format.h"
#include "core/types.h"

constexpr u32 TIMELINE_RECORD_POOL_SIZE = 256;
constexpr u32 TIMELINE_PLAYER_POOL_SIZE = 128;

struct STimelinePlayer;

struct STimelinePlayerRef {
    STimelinePlayer* player = nullptr;
    u32 generation = 0;
};

// Sets up and clears the two pools (players and records are freed).
void timelinesInit();
void timelinesShutdown();

// Loads "<directory><name>.iAudioTD" (directory null: "Audio/") from the packages. 1 when loaded
// or already loaded under the name's hash; 0 when 256 are loaded, the file is not in the
// packages, or it is damaged (one line on standard error naming the file).
s32 timelineDataLoad(const char* name, const char* directory);

// Starts a player at time 0 on the timeline loaded under the hash. A null reference when no such timeline is loaded
// or 128 players run.
STimelinePlayerRef startTimelinePlayer(u32 timelineHash);
// Returns the player to the pool; a stale reference is ignored.
void stopTimelinePlayer(STimelinePlayerRef player);
void setTimelinePlayerPaused(STimelinePlayerRef player, bool paused);
// The time comes from the sample from now on: later advances stop adding the clock's step.
// Fires the events reached.
void setTimelinePlayerTime(STimelinePlayerRef player, f32 seconds);

// Once per frame: finished players go back to the pool, then every player not paused and not
// driven by its sample moves on by the step and fires the events reached.
void advanceTimelinePlayers(f32 step);
