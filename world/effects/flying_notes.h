// Flying notes: the note list (world/services/note_list.h) played out ahead of the song. Each
// entry that falls due becomes a glowing note rising from its equaliser cell; it steers straight
// up, or at the boss during the fight, and mends its target (the player's ship) when it arrives.
// A fixed pool of records, moved by a constant 1/60 s step; in-game mode only, main thread only.
#pragma once

#include "core/colour_animator.h"
#include "core/global_objects.h"
#include "core/types.h"
#include "core/vec.h"
#include "world/entity/entity_ref.h"

constexpr f32 FLYING_NOTE_STEP = 1.0f / 60.0f;
// Notes leave this many spectral frames ahead of their music.
constexpr s32 FLYING_NOTE_LEAD_FRAMES = 300;
constexpr f32 FLYING_NOTE_SPEED = 640.0f;
constexpr f32 FLYING_NOTE_LAUNCH_SPEED = 80.0f;
constexpr f32 FLYING_NOTE_STEER_GAIN = 20.0f;   // added to the steering strength per update
constexpr f32 FLYING_NOTE_ARRIVAL_RADIUS = 30.0f;
constexpr f32 FLYING_NOTE_CEILING = 600.0f;

struct SFlyingNote {
    ClVec3 position;
    ClVec3 velocity;
    ClVec3 side;  // second billboard axis
    ClVec3 up;    // first billboard axis
    SEntityRef target;  // mended on arrival; forgotten when it leaves play or is released
    SColourAnimator colour;  // fades in, then to its glow, through the animator's queue
    f32 steer;
    u32 image;  // 0 or 1: "Images/FlyingNote-1" or "-2"
    u32 poolIndex;
};

// Entering play: every note free, the note list's cursor at 0.
void initFlyingNotes();
// Entering and leaving play: every note back in the pool.
void resetFlyingNotes();
// Fills the note list from the song's spawn events (frame, band level as row, band as column),
// the cursor at 0. Call after the song's features are computed.
void loadNoteListFromSpawnEvents();
// The entry at the note list's cursor: nothing without a target; a full pool skips the note;
// a destroyed target gives the note straight back.
void spawnFlyingNote();
// Once per game step: the entries due by the current spectral frame leave (an entry without a
// target is given the player's ship), then every note moves, steers and may arrive.
void updateFlyingNotes();
// Once per drawn frame: a 20 x 20 billboard per note, as many as leave the frame's quad list
// 1,000 quads of room.
void drawFlyingNotes();
