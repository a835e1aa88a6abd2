// Timeline data and timeline players: a sample's lists of event times ("Audio/<name>.iAudioTD",
// audio/sound_bank_format.h), played against the sample's time and fired to the listeners that
// registered for a track's event id.
//
// Main thread only. A player reference carries the player's generation, so a reference kept
// after the player finished and was handed out again touches nothing.
#pragma once

#include "audio/sound/sound_bank_format.h"
#include "core/types.h"

constexpr u32 TIMELINE_RECORD_POOL_SIZE = 256;
constexpr u32 TIMELINE_PLAYER_POOL_SIZE = 128;
constexpr u32 TIMELINE_LISTENER_POOL_SIZE = 64;

class ITimelineListener {
public:
    virtual ~ITimelineListener() = default;
    // A timeline with a track of this listener's event id has started playing.
    virtual void started(u32 eventId) = 0;
    // An event time of such a track has been reached; currentTime is the player's time.
    virtual void event(u32 eventId, f32 eventTime, f32 currentTime, u32 eventIndex) = 0;
};

struct STimelinePlayer;
struct STimelineListenerRecord;

struct STimelinePlayerRef {
    STimelinePlayer* player = nullptr;
    u32 generation = 0;
    explicit operator bool() const { return player != nullptr; }
};

// Sets up and clears the three pools (players and records are freed, listeners forgotten).
void timelinesInit();
void timelinesShutdown();

// Loads "<directory><name>.iAudioTD" (directory null: "Audio/") from the packages. 1 when loaded
// or already loaded under the name's hash; 0 when 256 are loaded, the file is not in the
// packages, or it is damaged (one line on standard error naming the file).
s32 timelineDataLoad(const char* name, const char* directory);

// Starts a player at time 0 on the timeline loaded under the hash and tells every listener whose
// event id some track carries that it started. A null reference when no such timeline is loaded
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

// Null when 64 listeners are registered.
STimelineListenerRecord* addTimelineListener(u32 eventId, ITimelineListener* listener);
void removeTimelineListener(STimelineListenerRecord* registration);

u32 getRunningTimelinePlayerCount();
