// The guardian's story sequences: an eye over a noisy backdrop that speaks in timed sequences read
// from "guardian_movies.txt" (speaker set -> sequence -> "events", optional "sound_file"), and an
// untimed static sequence that only flickers the eye. One sequence runs at a time.
//
// An event is { time; action = argument; [seconds]; }. Actions: set_visible = int; exit;
// set_state = "squint"; anim_to_state = "squint" | "normal"; play_sound; show_subtitle = "key";
// seconds; hide_subtitle. Any other action or state is fatal, and so is a missing speaker set,
// sequence or events list.
#pragma once

#include "audio/sound/sound_engine.h"
#include "core/string.h"
#include "core/types.h"
#include "render/flipbook_player.h"
#include "render/tween.h"

class ClScriptNode;

constexpr const char* GUARDIAN_SCRIPT = "guardian_movies.txt";
constexpr const char* GUARDIAN_EYE_FLIPBOOK = "Animations/eye";
constexpr f32 BOSS_ESCAPED_NOTICE_SECONDS = 5.0f;

enum EGuardianMode : s32 {
    E_GUARDIAN_TIMED = 0,
    E_GUARDIAN_STATIC = 1,
};

struct SGuardianSequence {
    s32 mode;
    f32 staticTime;
    f32 staticTotal;
    s32 squinted;
    f32 flickerTime;
    f32 eventClock;
    s32 visible;
    SCueHandle voiceCue;  // held, or null
    SCueHandle staticCue;
    const char* subtitleKey;  // points into the script tree
    f32 subtitleTime;
    u32 tag;          // what the sequence was started with
    s32 endPending;   // started and not yet ended
    u32 lastEndedTag;
    const ClScriptNode* events;
    s32 eventIndex;
    s32 paused;
    s32 active;
    s32 escapedNotice;
    f32 escapedTime;
    s32 uiGlow;  // the interface may glow: off while a sequence runs
    String soundFile;
    SFloatTween fade;  // opacity of the whole guardian layer
    ClFlipbookPlayer eye;
};

extern SGuardianSequence g_GuardianSequence;

// Starts the sequence of the speaker set (null: the current boss's name). A sequence still
// running is stopped first, at once: its held cues stop and it ends. The tag names the sequence
// to whoever waits for its end (lastEndedGuardianTag); 0 for none.
void startGuardianSequence(const char* sequence, const char* speakerSet, u32 tag);
// The eye flickers over the backdrop for the seconds; squints at 0.4 of them left, stops at 0.5 s
// left. A running sequence is stopped first as above.
void startGuardianStatic(f32 seconds, u32 tag);
// Ends the sequence once, stops the held cues and fades the layer out over 0.5 s (fade 1) or at
// once (fade 0, which also forgets the subtitle).
void stopGuardianSequence(u32 fade);
// The tag of the last sequence that ended with a tag other than 0; 0 before any. The front end's
// story screens tag each sequence with a new serial and read this in their tick.
u32 lastEndedGuardianTag();
void abortGuardianSequence();
void pauseGuardianSequence();
void resumeGuardianSequence();
// The "boss_escaped" notice for 5 s.
void showBossEscaped();
// Seconds of the sequence's sound (its cue held, measured and stopped); 0 without one.
f32 getGuardianSoundLength(const char* sequence, const char* speakerSet);
// A story sequence plays: it hides the boss meter's HUD, and the front end's quit menu waits for it.
bool guardianSequencePlaying();
// Whether the script holds the sequence and its events list (never fatal): the front end plays
// what the data has and goes on without what it lacks.
bool guardianSequenceExists(const char* sequence, const char* speakerSet);
// The name of the speaker set's sequence at the index, in file order, or null past the last.
const char* guardianSequenceName(const char* speakerSet, u32 index);

// Start-up: everything zeroed, the fade holding at 0.
void resetGuardianSequence();
// Shutdown: the sequence ended once, the eye's queue, both cues and the sound name released.
void releaseGuardianSequence();
// Every frame of the in-game and front-end modes: events, backdrop, eye and subtitle.
void updateGuardianEvents();
