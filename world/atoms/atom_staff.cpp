#include "world/atoms/atom_staff.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "core/timers.h"
#include "render/batcher.h"
#include "render/draw_lists.h"
#include "world/atoms/atom_draw.h"
#include "world/entity/base_imports.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

constexpr f32 TWO_PI = 6.2831853f;
constexpr f32 BEAM_DRAW_LENGTH = 800.0f;
constexpr u32 BEAM_IDLE_COLOUR = 0x200000FFu;
constexpr u32 RING_LIVE_COLOUR = 0xA0FF1010u;
constexpr u32 RING_HELD_COLOUR = 0x40FF0000u;
constexpr u32 NOTE_LIVE_COLOUR = 0xFFFF0000u;
constexpr u32 NOTE_HELD_COLOUR = 0x10FF0000u;
constexpr f32 RING_WIDTH = 10.0f;
constexpr f32 RING_SPIN_RATE = 0.6f;  // rad/s
constexpr f32 NOTE_BLINK_RATE = 10.0f;
constexpr f32 NOTE_BLINK_STAGGER = 1.321f;
constexpr u32 LAYER_BEAM = 172;
constexpr u32 LAYER_BEAM_COLOUR = 140;
constexpr u32 LAYER_NOTES = 236;

ClNamedMaterial g_StaffBeam("system_add_nobias", "Images/StaffTex");
ClNamedMaterial g_StaffBeamColour("system_add_color", nullptr);
ClNamedMaterial g_StaffNote("game_colorizeRed_addBlue_additiveBlend", "Images/FlyingNote-2-Bright");
ClNamedMaterial g_RingNote("game_colorizeRed_addBlue_additiveBlend", "Images/FlyingNote-1-Bright");

ClVec3 position(const ClMatrix44& m) { return matrixRow(m, 3); }

}  // namespace

void startColourFade(SColourAnimator* animator, u32 from, u32 to, f32 duration, u32 curve, f32 delay) {
    (void)curve;  // every caller's fade is linear
    animator->start(SColourAnimatorStart{0, E_COLOURANIM_FADE, E_COLOURANIM_EASE_LINEAR, from, to, delay, 0.0f, duration, 0});
}

// --- staff ----------------------------------------------------------------------------------------

void ClAtom_Bullet_Staff::init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) {
    ClAtom::init(mesh, owner, hangingOn);
    kind = E_ATOM_BULLET_STAFF;
    resetColours();
    noteColour = SColourAnimator{};
    ownerAtom = nullptr;
    ownerProcessor = nullptr;
    // Nothing the staff touches survives it.
    if (owner && owner->root && owner->root->params.isInitialised()) owner->root->params.findOrAdd("BullDmg")->setFloat(FLT_MAX);
    length = std::sqrt(325.0f * 325.0f + 269.75f * 269.75f);
    localSpheres.reset();
    localSpheresDirty = 1;
}

void ClAtom_Bullet_Staff::release() {
    // The star forgets a staff freed before it; a star freed first has cleared both links.
    ClProcessor_Enemy_AI_StaffStar* star = ownerProcessor;
    ownerAtom = nullptr;
    ownerProcessor = nullptr;
    if (star) g_BaseImports.onStaffEnded(star, this);
    ClAtom::release();
    localSpheres.release();
}

f32 ClAtom_Bullet_Staff::width() const {
    const SParamValue* value = node->params.isInitialised() ? node->params.find("staffwidth") : nullptr;
    if (!value) fatalError("a staff node without \"staffwidth\"");
    return value->real;
}

void ClAtom_Bullet_Staff::computeWorldBounds() {
    const u32 cur = g_uFrameCurrent;
    if (isLive()) {
        const f32 w = width();
        const ClVec3 x = matrixRow(worldMatrix[cur], 0);
        const ClVec3 p = position(worldMatrix[cur]);
        const ClVec3 ends[2] = {p - scaleVec3(x, w), p + scaleVec3(x, w + length)};
        worldBox[cur].setSphereFromPoints(2, ends);
    } else {
        worldBox[cur].kind = E_BOUNDS_UNBOUNDED;
    }
    if (!boundsValid) {
        boundsValid = 1;
        worldBox[g_uFramePrevious] = worldBox[cur];
    }
}

void ClAtom_Bullet_Staff::rebuildCollisionShape() {
    if (isLive()) {
        if (localSpheresDirty) {
            localSpheres.coverSegmentWithSpheres(ClVec3(0.0f, 0.0f, 0.0f), ClVec3(length, 0.0f, 0.0f), width());
            localSpheresDirty = 0;
        }
        collisionShape.sweepSpheres(localSpheres, worldMatrix[g_uFramePrevious], worldMatrix[g_uFrameCurrent]);
    } else {
        collisionShape.setUnbounded();
    }
    collisionShapeDirty = 0;
}

void ClAtom_Bullet_Staff::fireBeam() {
    startColourFade(&beamColour, 0x4FFF2000u, 0x20FF2000u, STAFF_LIVE_SECONDS, 0, 0.0f);
    startColourFade(&noteColour, 0xFFFF2000u, 0x00FF2000u, STAFF_LIVE_SECONDS, 0, 0.0f);
    staffState = STAFF_STATE_FIRED;
    for (u32 i = 0; i < STAFF_NOTE_COUNT; ++i) {
        const f32 x = 20.0f * f32(i + 1) + randomFloatInRange(-6.0f, 6.0f);
        notePoints[i] = ClVec3(x, 0.0f, randomFloatInRange(-5.0f, 5.0f));
    }
}

void ClAtom_Bullet_Staff::resetColours() {
    beamColour.setConstant(BEAM_IDLE_COLOUR);
    staffState = STAFF_STATE_IDLE;
}

void ClAtom_Bullet_Staff::draw() {
    // A nozzle gone (or a star that let the staff go) ends the staff. The star is told first so
    // that it drops its record of this staff.
    if (!ownerAtom || !ownerAtom->active) {
        ClProcessor_Enemy_AI_StaffStar* star = ownerProcessor;
        ownerAtom = nullptr;
        ownerProcessor = nullptr;
        if (star) g_BaseImports.onStaffEnded(star, this);
        if (entity->state == E_ENTITY_ACTIVE) entity->destroy();
        return;
    }
    const f32 dt = gameClock(GAME_CLOCK_GAMEPLAY).frameTime;
    beamColour.advance(dt);
    noteColour.advance(dt);
    ClDrawOwnerScope scope(entity);
    const ClMatrix44& m = currentWorldMatrix();
    const f32 w = width();
    const ClVec3 x = matrixRow(m, 0), y = matrixRow(m, 1), z = matrixRow(m, 2);
    const ClVec3 corner = position(m) - scaleVec3(z, 0.5f * w);
    appendQuadCommand(corner, y, x, BEAM_DRAW_LENGTH, w, beamColour.current, g_StaffBeam.get(), LAYER_BEAM, 0.0f);
    appendQuadCommand(corner, y, x, BEAM_DRAW_LENGTH, w, beamColour.current, g_StaffBeamColour.get(), LAYER_BEAM_COLOUR, 0.0f);
    if (staffState != STAFF_STATE_FIRED) return;
    for (const ClVec3& note : notePoints) {
        const f32 along = 16.0f + 8.0f * randomUnitFloat();
        appendCentredQuadCommand(m.transformPoint(note), y, x, along, 20.0f, noteColour.current, g_StaffNote.get(), LAYER_NOTES, 0.0f);
    }
}

// --- round staff ----------------------------------------------------------------------------------

void ClAtom_Bullet_RoundStaff::init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) {
    ClAtom::init(mesh, owner, hangingOn);
    kind = E_ATOM_BULLET_ROUND_STAFF;
    notes.release();
    notes.init(8);
    noteCount = 0;
    maxNotes = 1;
    spin = 0.0f;
    collidable = 0;
    noteFade = SColourAnimator{};
}

void ClAtom_Bullet_RoundStaff::release() {
    ClAtom::release();
    notes.release();
}

void ClAtom_Bullet_RoundStaff::setMaxNotes(s32 count) { maxNotes = std::clamp(count, 1, ROUND_STAFF_MAX_NOTES); }

void ClAtom_Bullet_RoundStaff::computeWorldBounds() {
    const u32 cur = g_uFrameCurrent;
    if (collidable) {
        worldBox[cur].centre = position(worldMatrix[cur]);
        worldBox[cur].radius = radius;
        worldBox[cur].kind = E_BOUNDS_SPHERE;
    } else {
        worldBox[cur].kind = E_BOUNDS_UNBOUNDED;
    }
    if (!boundsValid) {
        boundsValid = 1;
        worldBox[g_uFramePrevious] = worldBox[cur];
    }
}

void ClAtom_Bullet_RoundStaff::rebuildCollisionShape() {
    collisionShape.setSegment(position(worldMatrix[g_uFramePrevious]), position(worldMatrix[g_uFrameCurrent]), radius);
    collisionShapeDirty = 0;
}

void ClAtom_Bullet_RoundStaff::addNote() {
    const s32 steps = ROUND_STAFF_MAX_NOTES / maxNotes;
    const f32 noteAngle = TWO_PI / f32(maxNotes);
    for (s32 i = 0; i < steps; ++i)
        notes.push(SRoundStaffNote{f32(noteCount) * noteAngle + (f32(i) + 0.5f) * noteAngle / f32(steps), radius});
    startColourFade(&noteFade, 0xFFFF0000u, 0x10FF0000u, 0.95f, 0, 0.0f);
    ++noteCount;
}

u32 ClAtom_Bullet_RoundStaff::ringSegments() const {
    if (noteCount <= 0) return 0;
    return u32(f32(noteCount) / f32(maxNotes) * f32(ROUND_STAFF_RING_SEGMENTS));
}

void ClAtom_Bullet_RoundStaff::draw() {
    const f32 dt = gameClock(GAME_CLOCK_GAMEPLAY).frameTime;
    spin += dt * RING_SPIN_RATE;
    noteFade.advance(dt);
    const u32 n = ringSegments();
    if (n == 0) return;
    ClDrawOwnerScope scope(entity);
    const ClVec3 centre = position(currentWorldMatrix());

    const SBatchReservation r = reserveBatchGeometry(1, 2 * n + 2, 6 * n);
    if (r.vertices) {
        const u32 colour = collidable ? RING_LIVE_COLOUR : RING_HELD_COLOUR;
        for (u32 k = 0; k <= n; ++k) {
            const f32 a = spin + f32(k) * TWO_PI / f32(ROUND_STAFF_RING_SEGMENTS);
            const f32 c = std::cos(a), s = std::sin(a);
            const f32 inner = radius - RING_WIDTH;
            r.vertices[2 * k] = SBatchVertex{centre.x + inner * c, centre.y, centre.z + inner * s, colour, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f};
            r.vertices[2 * k + 1] = SBatchVertex{centre.x + radius * c, centre.y, centre.z + radius * s, colour, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f};
        }
        for (u32 k = 0; k < n; ++k) {
            const u32 v = r.vertexBase + 2 * k;
            const u32 quad[6] = {v, v + 1, v + 2, v + 1, v + 3, v + 2};
            std::copy(quad, quad + 6, r.stagedIndices + 6 * k);
        }
        r.layerMasks[0] = LAYER_NOTES;
        r.indexRanges[0] = SBatchIndexRange{r.firstStagedIndex, 6 * n};
        r.depths[0] = 0.0f;
        r.materials[0] = g_StaffBeam.get();
        r.keys[0] = reinterpret_cast<BatchKey>(getPreviewRenderTarget(entity->ownerTag));
    }

    const ClVec3 up = matrixRow(currentWorldMatrix(), 1);
    for (u32 i = 0; i < notes.count; ++i) {
        if (collidable && isBlinkOn(NOTE_BLINK_RATE, f32(i) * NOTE_BLINK_STAGGER, GAME_CLOCK_GAMEPLAY)) continue;
        const f32 a = spin + notes[i].angle;
        const f32 c = std::cos(a), s = std::sin(a);
        const ClVec3 at = centre + ClVec3(notes[i].radius * c, 0.0f, notes[i].radius * s);
        u32 colour = collidable ? NOTE_LIVE_COLOUR : NOTE_HELD_COLOUR;
        if (!collidable && i + 1 == notes.count) colour = noteFade.current;
        appendCentredQuadCommand(at, up, ClVec3(-s, 0.0f, c), 20.0f, 20.0f, colour, g_RingNote.get(), LAYER_NOTES, 0.0f);
    }
}
