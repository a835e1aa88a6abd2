// The atoms of the staff weapons. A staff is a straight beam from an enemy star's nozzle that
// sweeps the arena and is deadly only for the moment after each firing; a round staff is a ring
// of notes an enemy gun grows one note per beat, collidable once the gun lets it fly. Their
// processors decide when; these atoms hold the shape, the look and the collision shape.
#pragma once

#include "core/array.h"
#include "core/colour_animator.h"
#include "core/vec.h"
#include "world/atoms/atom.h"

class ClProcessor_Enemy_AI_StaffStar;

constexpr u32 STAFF_NOTE_COUNT = 32;
constexpr u32 STAFF_STATE_IDLE = 0;
constexpr u32 STAFF_STATE_FIRED = 3;
constexpr f32 STAFF_LIVE_SECONDS = 0.35f;  // a fired beam collides while its note fade runs
// A ring is drawn in this many segments when full.
constexpr u32 ROUND_STAFF_RING_SEGMENTS = 45;
// A ring holds at most this many notes: each note adds trunc(12 / maxNotes) records.
constexpr s32 ROUND_STAFF_MAX_NOTES = 12;

class ClAtom_Bullet_Staff final : public ClAtom {
public:
    u32 staffState = STAFF_STATE_IDLE;
    SColourAnimator beamColour;
    SColourAnimator noteColour;  // its fade running makes a fired beam live
    // Set by the star that grew the staff. Whichever of the two goes first clears the links
    // (the star both of them, the staff the star's record), so neither reads freed storage.
    ClAtom* ownerAtom = nullptr;
    ClProcessor_Enemy_AI_StaffStar* ownerProcessor = nullptr;
    ClVec3 notePoints[STAFF_NOTE_COUNT];  // local x and z on the beam
    f32 length = 0.0f;
    ClBoundingVolumeList localSpheres;
    u32 localSpheresDirty = 1;

    ~ClAtom_Bullet_Staff() override { localSpheres.release(); }
    void init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void draw() override;
    void computeWorldBounds() override;
    void rebuildCollisionShape() override;

    // Fired in state 3 with the note fade still running.
    bool isLive() const { return staffState == STAFF_STATE_FIRED && noteColour.active; }
    void fireBeam();
    void resetColours();

private:
    // The node's "staffwidth"; a node without it is fatal.
    f32 width() const;
};

struct SRoundStaffNote {
    f32 angle;  // radians about the ring's centre
    f32 radius;
};

class ClAtom_Bullet_RoundStaff final : public ClAtom {
public:
    f32 radius = 0.0f;
    s32 maxNotes = 1;
    s32 noteCount = 0;
    ClArray<SRoundStaffNote> notes;
    u32 collidable = 0;
    f32 spin = 0.0f;
    SColourAnimator noteFade;

    ~ClAtom_Bullet_RoundStaff() override { notes.release(); }
    void init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void draw() override;
    void computeWorldBounds() override;
    void rebuildCollisionShape() override;

    void setCollidable(u32 flag) { collidable = flag; }
    // The note count a ring takes, held to 1 .. 12 (0 would divide by zero, more than 12 would add
    // no records).
    void setMaxNotes(s32 count);
    // One note's share of the ring, and the fade of the newest note.
    void addNote();
    // Ring segments drawn: trunc(noteCount / maxNotes x 45), in floating point.
    u32 ringSegments() const;
};
