// The song library's scan of the music folders and its background analysis of each song found.
//
// One scan thread does the work the main thread asks for, one request at a time: a walk of the
// music folders, or the analysis of one song. Requests are issued by songScanTick, only while
// they are not paused; the busy flag is set when one is issued and cleared by the thread when it
// is done, and the idle event is set with it. The analysis state is one global of the audio
// layer, so no request may run while a song is played: the modes pause requests and wait for
// idle before play.
//
// What the thread finds goes through a queue under a pooled lock that songScanTick drains on
// the main thread into the library.
#pragma once

#include "audio/analysis/spawn_bars.h"
#include "core/types.h"
#include "world/state/play_record.h"

// Reads the six spawn-bar ranges from "playbalance.txt" (main thread: the scripts cannot be read
// on the scan thread) and starts the thread. Requests start paused, with one walk of the
// folders asked for.
void startSongScan();
// The same with the ranges given.
void startSongScanWithRanges(const SSpawnBarRange ranges[DIFFICULTY_LEVEL_COUNT]);
// Asks the thread to stop without waiting: a walk ends at its next file, an analysis at its next
// second of audio, leaving nothing written of the song (requestSongAnalysisStop). Nothing happens
// when it does not run.
void askSongScanToStop();
// Asks the thread to stop, waits for it (at most SONG_SCAN_STOP_LIMIT_MS) and drops what it left
// in the queue; a song whose analysis was cut off is analysed again next time. Nothing happens
// when it does not run.
void stopSongScan();

// Once per frame from the tick: takes the thread's findings into the library, then issues the
// next request unless requests are paused or one is running: a walk when one is asked for,
// else the first pending song's analysis. Nothing is issued before the codec registry is ready.
//
// A record is matched by its path; when the file at a path changed, its analysis decides
// whether the record's progress stays (the same music with other tags) or goes (another song).
// A whole walk marks the records it did not find as missing; a song analysed at a new path whose
// music is that of a missing record (renamed or moved) continues that record. A folder the walk
// cannot read joins the library's unreadable folders at once, and leaves them after a whole walk
// that read it.
void songScanTick();

// How long the main thread waits for the scan: an analysis, a walk cut by a pause, and the
// thread's end at stopSongScan (a thread held in a system call is then left running, so that
// quitting never waits for a stalled disk).
constexpr u32 SONG_SCAN_IDLE_LIMIT_MS = 30000;
constexpr u32 SONG_SCAN_WALK_WAIT_MS = 2000;
constexpr u32 SONG_SCAN_STOP_LIMIT_MS = 1000;

// Sleeps 16 ms at a time (alertably) while a request runs: an analysis for at most
// SONG_SCAN_IDLE_LIMIT_MS, a walk for at most SONG_SCAN_WALK_WAIT_MS, and not at all once
// termination is asked for. True when no analysis runs (the analysis state is free for play).
bool waitForSongScanIdle();
// Stop and allow the tick's requests. An analysis already running goes on to its end; a walk
// stops after the folder it is in and is asked for again, so that play need not wait for a
// walk of a large music folder.
void pauseSongScanRequests();
void resumeSongScanRequests();
bool areSongScanRequestsPaused();
bool isSongScanBusy();

// Asks for a walk of the folders at the next tick that may issue one.
void requestSongRescan();
// True from the walk's request until the tick has taken its last finding.
bool isSongScanWalking();
