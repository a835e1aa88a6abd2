#include "world/effects/flying_notes.h"

#include "audio/analysis/spawn_bars.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/play/song_clock.h"
#include "core/directions.h"
#include "core/fixed_pool.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/draw_lists.h"
#include "render/render_worker.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_draw.h"
#include "world/effects/equaliser_cell.h"
#include "world/entity/entity.h"
#include "world/services/bar_colour_scheme.h"
#include "world/services/note_list.h"
#include "world/state/boss_encounter.h"
#include "world/state/player_records.h"

#include <algorithm>

namespace {

// The colour-scheme entries a note fades through: in over 0.1 s, then to its glow over 1 s.
constexpr u32 SCHEME_NOTE_FIRST_COLOUR = 30;
constexpr u32 SCHEME_NOTE_SECOND_COLOUR = 31;
constexpr f32 NOTE_FADE_IN_SECONDS = 0.1f;
constexpr f32 NOTE_GLOW_SECONDS = 1.0f;
constexpr f32 NOTE_LAUNCH_CONE_DEGREES = 50.0f;
constexpr f32 NOTE_SIZE = 20.0f;
constexpr u32 NOTE_LAYER = 180;
// Quads left in the frame's list for what draws after the notes. Notes move by a fixed step per
// game step, so a slow machine keeps more of them in flight than the quad list holds; the
// newest ones beyond the room are not drawn that frame rather than stopping the program.
constexpr u32 NOTE_QUAD_RESERVE = 1000;

using ClNotePool = ClFixedPool<SFlyingNote, FLYING_NOTE_CAPACITY>;
ClLazyFixedPool<SFlyingNote, FLYING_NOTE_CAPACITY> g_Notes;

ClNamedMaterial g_aNoteMaterials[2] = {{"system_add_nobias", "Images/FlyingNote-1"},
                                       {"system_add_nobias", "Images/FlyingNote-2"}};


ClVec3 atomPosition(const ClAtom* atom) { return matrixRow(atom->currentWorldMatrix(), 3); }

// The boss's note target while the fight is on; null otherwise.
const ClAtom* bossNoteTarget() {
    return g_BossEncounter.phase == E_BOSSPHASE_FIGHT ? g_BossEncounter.noteTargetAtom : nullptr;
}

// A target that left play (destroyed, or its record released, whatever took it since) is
// forgotten: the note flies on up. The note's target afterwards, null when none.
ClEntity* dropGoneTarget(SFlyingNote* note) {
    ClEntity* target = entityRefGet(note->target);
    if (target && (target->state == E_ENTITY_DESTROYED || !target->isListed(E_LIST_LIVE))) target = nullptr;
    if (!target) note->target = SEntityRef();
    return target;
}

void steer(SFlyingNote* note, const ClAtom* bossTarget) {
    ClVec3 aim = bossTarget ? atomPosition(bossTarget) - note->position : ClVec3(0.0f, 1.0f, 0.0f);
    aim.setLength(FLYING_NOTE_SPEED);
    ClVec3 change = aim - note->velocity;
    const f32 limit = note->steer * FLYING_NOTE_STEP;
    if (change.length() > limit) change.setLength(limit);
    note->velocity += change;
}

void orient(SFlyingNote* note, const ClVec3& eye) {
    ClVec3 up = (eye - note->position).cross(note->velocity);
    up.normalize();
    ClVec3 side = note->velocity.cross(up);
    side.normalize();
    note->up = up;
    note->side = side;
}

bool arrived(const SFlyingNote& note, const ClEntity* target, const ClAtom* bossTarget) {
    if (note.position.y > FLYING_NOTE_CEILING) return true;
    if (!target) return false;
    const ClVec4 focus = target->focusPosition;
    const ClVec3 point = bossTarget ? atomPosition(bossTarget) : ClVec3(focus.x, focus.y, focus.z);
    const ClVec3 d = point - note.position;
    return d.dot(d) < FLYING_NOTE_ARRIVAL_RADIUS * FLYING_NOTE_ARRIVAL_RADIUS;
}

ClVec3 eyePosition() {
    const ClCamera* camera = viewCamera();
    return camera ? camera->position() : ClVec3();
}

}  // namespace

void initFlyingNotes() {
    g_Notes.init();
    g_NoteList.cursor = 0;
}

void resetFlyingNotes() {
    if (g_Notes.isReady()) g_Notes.get()->releaseAll();
}

void loadNoteListFromSpawnEvents() {
    resetNoteList();
    for (const SSpawnEvent& event : getSongSpawnEvents())
        appendNoteListEntry(SNoteListEntry{s32(event.frame), nullptr, event.bandLevel, event.band, {}});
}

void spawnFlyingNote() {
    const SNoteListEntry& entry = g_NoteList.entries[u32(g_NoteList.cursor)];
    if (!entry.target) return;
    if (!g_Notes.isReady()) return;
    ClNotePool& notes = *g_Notes.get();
    SFlyingNote* note = notes.take();
    if (!note) return;
    note->target = makeEntityRef(entry.target);
    if (entry.target->state == E_ENTITY_DESTROYED) {
        notes.release(note);
        return;
    }
    getEqCellPosition(&note->position, entry.column, entry.row, spectrumAnalysis().header.bandCount);
    note->position.w = 0.0f;
    note->velocity = randomDirectionInCone(ClVec3(0.0f, 1.0f, 0.0f), NOTE_LAUNCH_CONE_DEGREES);
    note->velocity.setLength(FLYING_NOTE_LAUNCH_SPEED);
    note->up = ClVec3(1.0f, 0.0f, 0.0f);
    note->side = ClVec3(0.0f, 0.0f, 1.0f);
    note->steer = 0.0f;
    note->image = (sfmtGenRand32() % 2147483647u) % 2u;
    note->colour = SColourAnimator();
    note->colour.setConstant(0);
    note->colour.queueFade(g_BarColourScheme.colour(SCHEME_NOTE_FIRST_COLOUR).current, NOTE_FADE_IN_SECONDS, 0.0f);
    note->colour.queueFade(g_BarColourScheme.colour(SCHEME_NOTE_SECOND_COLOUR).current, NOTE_GLOW_SECONDS, 0.0f);
}

void updateFlyingNotes() {
    if (g_NoteList.entries.inUse) {
        while (u32(g_NoteList.cursor) < g_NoteList.entries.count &&
               g_NoteList.entries[u32(g_NoteList.cursor)].frame <= currentSpectrumFrame() + FLYING_NOTE_LEAD_FRAMES) {
            SNoteListEntry& entry = g_NoteList.entries[u32(g_NoteList.cursor)];
            if (!entry.target) entry.target = playerShip(0);
            spawnFlyingNote();
            ++g_NoteList.cursor;
        }
    }
    if (!g_Notes.isReady()) return;
    ClNotePool& notes = *g_Notes.get();
    const ClVec3 eye = eyePosition();
    const ClAtom* bossTarget = bossNoteTarget();
    for (u32 i = notes.used; i-- > 0;) {
        SFlyingNote* note = notes.table[i];
        note->colour.advanceQueued(gameClock(GAME_CLOCK_GAMEPLAY).frameTime);
        ClEntity* target = dropGoneTarget(note);
        if (target && note->steer > 0.0f) steer(note, bossTarget);
        note->steer += FLYING_NOTE_STEER_GAIN;
        note->position += scaleVec3(note->velocity, FLYING_NOTE_STEP);
        orient(note, eye);
        if (!arrived(*note, target, bossTarget)) continue;
        if (target) target->repairAtoms();
        notes.release(note);
    }
}

void drawFlyingNotes() {
    if (!g_Notes.isReady()) return;
    ClNotePool& notes = *g_Notes.get();
    const u32 queued = drawListCounts(1u - renderFlipIndex()).quads;
    const u32 room = queued + NOTE_QUAD_RESERVE < QUAD_COMMAND_CAPACITY ? QUAD_COMMAND_CAPACITY - NOTE_QUAD_RESERVE - queued : 0;
    const u32 shown = std::min(notes.used, room);
    for (u32 i = shown; i-- > 0;) {
        const SFlyingNote* note = notes.table[i];
        appendCentredQuadCommandUV(note->position, note->side, note->up, NOTE_SIZE, NOTE_SIZE, note->colour.current,
                                   g_aNoteMaterials[note->image].get(), ClVec2{0.0f, 0.0f}, ClVec2{1.0f, 1.0f},
                                   NOTE_LAYER, 0.0f);
    }
}
