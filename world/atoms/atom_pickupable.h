// The collectible the player's ship picks up: a swarm of notes orbiting a shrinking centre, or a
// small glittering mesh that blinks before it goes. Its life is a float tween started on its first
// draw; its collision sphere lies on the arena floor whatever its height.
#pragma once

#include "core/array.h"
#include "render/tween.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_edges.h"

struct SMaterial;

constexpr u32 PICKUP_ORBIT_NOTE_COUNT = 20;
constexpr f32 PICKUP_COLLISION_RADIUS = 15.0f;

enum EPickupPattern : u32 {
    E_PICKUP_PATTERN_UNREAD = 0,
    E_PICKUP_PATTERN_NOTES = 1,
    E_PICKUP_PATTERN_MESH = 2,
};

struct SOrbitNote {
    f32 angle;   // radians
    f32 radius;  // of the orbit
    f32 size;    // of the sprite
    f32 speed;   // radians per second
};

class ClAtom_Pickupable final : public ClAtom {
public:
    SOrbitNote orbitNotes[PICKUP_ORBIT_NOTE_COUNT] = {};
    const SMaterial* noteMaterial = nullptr;  // also the mesh look's edge material
    const SMaterial* glassMaterial = nullptr;
    u32 pattern = E_PICKUP_PATTERN_UNREAD;  // read from the atom's "PAT" on the first draw
    u32 bigNotes = 0;                       // from the root's "inspbig"
    ClArray<SBodyEdgeRecord> edgeRecords;
    // Its value is the swarm's centre size; its progress thins the notes and starts the blinking;
    // once it stops running the pickup removes itself.
    SFloatTween lifeTween;

    ~ClAtom_Pickupable() override { releaseEdgeRecords(&edgeRecords); }
    void init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    // A pattern other than 1 or 2 is fatal.
    void draw() override;
    void computeWorldBounds() override;
    void rebuildCollisionShape() override;

private:
    void startLook();
    void drawNotes();
    void drawMesh();
};

// The life tween's progress 0..1: time x step, or 1 once it holds.
f32 pickupLifeProgress(const SFloatTween& tween);
// Orbit notes shown at a progress: all 20 until the shrink starts, then one fewer per twentieth.
u32 pickupOrbitNotesShown(f32 progress);
