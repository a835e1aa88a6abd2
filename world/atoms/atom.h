// The drawable and collidable parts of entities: the atom base every kind shares.
#pragma once

#include "core/array.h"
#include "core/bounding_volume.h"
#include "core/matrix44.h"
#include "core/owner_blocks.h"
#include "core/types.h"
#include "world/atoms/atom_effect.h"
#include "world/entity/entity.h"
#include "world/entity/frame_parity.h"
#include "world/entity/param_table.h"

class ClEntity;
class ClEntityNode;
class ClGeometryMesh;

enum EAtomKind : u32 {
    E_ATOM_NONE = 0,
    E_ATOM_ATTACH_POINT = 1,  // ClAtom_InvisibleAttachPt
    E_ATOM_BODY = 2,          // ClAtom_Body
    E_ATOM_BULLET = 4,        // ClAtom_Bullet
    E_ATOM_BULLET_STAFF = 5,  // ClAtom_Bullet_Staff
    E_ATOM_BULLET_ROUND_STAFF = 6,  // ClAtom_Bullet_RoundStaff
    E_ATOM_PICKUPABLE = 7,    // ClAtom_Pickupable
};

constexpr u32 ATOM_EFFECT_CAPACITY = 4;
constexpr u32 ATOM_DEPENDANTS_INITIAL_CAPACITY = 2;
constexpr u32 ATOM_LINKED_INITIAL_CAPACITY = 8;
constexpr u32 ATOM_SHOWN_EDGES_NO_MESH_EDGES = 0xFFFFFFFFu;

class alignas(64) ClAtom : public SOwnerBlockObject {
public:
    ClAtom();
    // Gives back whatever storage release has not.
    virtual ~ClAtom();
    ClAtom(const ClAtom&) = delete;
    ClAtom& operator=(const ClAtom&) = delete;

    // The flags, transforms and boxes the per-frame update, bounds and collision walks touch,
    // kept together so that they share as few cache lines as they can: the kind, the flags and
    // the owners on the first line (all a moving shot's update reads before its transforms),
    // the mesh with the swept box, the two boxes, then each transform on a line of its own.
    u32 kind = E_ATOM_NONE;
    u32 active = 0;
    u32 effectCount = 0;
    u32 boundsValid = 0;
    u32 collisionShapeDirty = 0;
    u32 worldMatrixSet = 0;
    u32 sweptBoxDirty = 0;
    u32 registered = 0;
    ClEntity* entity = nullptr;
    ClEntityNode* node = nullptr;
    f32 hitPoints = 0.0f;
    f32 spawnHitPoints = 0.0f;
    u32 hitPointClass = 0;
    char name[ENTITY_NAME_CAPACITY] = {};
    ClGeometryMesh* geometry = nullptr;  // may be null
    ClBoundingVolume sweptBox;
    ClBoundingVolume worldBox[2];  // by frame parity
    alignas(64) ClMatrix44 localMatrix;
    ClMatrix44 worldMatrix[2];  // by frame parity
    u32 ownsGeometry = 0;                // release clears and frees the mesh
    u32 indexInEntity = 0;
    u32 shownEdgeCount = 0;  // ATOM_SHOWN_EDGES_NO_MESH_EDGES for a Body whose mesh has no edges
    u32 buildStamp = 0;      // whole when it equals the mesh's build step count
    u32 visitStamp = 0;
    ClArray<ClAtom*> linkedAtoms;
    SParamTable params;
    // effects[0 .. effectCount - 1] are attached, in slot order; the records live in the atom, so
    // attaching an effect allocates nothing.
    SAtomEffect* effects[ATOM_EFFECT_CAPACITY] = {};
    ClBoundingVolumeList collisionShape;  // world space
    ClArray<ClAtom*> dependants;
    SAtomEffect effectRecords[ATOM_EFFECT_CAPACITY];

    // Active, identity local matrix, no name, stamps 0, empty lists and no effects. Each kind
    // runs it first and then stores its kind.
    virtual void init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn);
    // Inactive; drops its effects unstopped, unlinks itself from every linked atom, frees its
    // lists and a mesh of its own.
    virtual void release();
    virtual void draw() = 0;
    // Writes the current world box (and, the first time, the previous one).
    virtual void computeWorldBounds() = 0;
    virtual void onKilled(f32 spin) { (void)spin; }
    virtual void configure(s32 variant) { (void)variant; }
    virtual void bumpStamp() { ++buildStamp; }
    virtual void rebuildCollisionShape() = 0;

    // No mesh, or a build stamp at the mesh's build step count.
    bool atomIsAlive() const;
    // Where a kind's own fields begin: right after the common ones, inside the padding that
    // rounds the common part up to whole cache lines.
    const char* ownFieldsStart() const { return reinterpret_cast<const char*>(effectRecords + ATOM_EFFECT_CAPACITY); }
    void setWorldMatrix(const ClMatrix44& matrix) {
        worldMatrix[g_uFrameCurrent] = matrix;
        if (!worldMatrixSet) {
            // The first frame's swept shapes then have zero length.
            worldMatrix[g_uFramePrevious] = matrix;
            worldMatrixSet = 1;
        }
        collisionShapeDirty = 1;
        sweptBoxDirty = 1;
        markBoundsChanged();
    }
    // The entity's bounds made during its update no longer hold.
    void markBoundsChanged() {
        if (entity) entity->boundsFrame = 0;
    }
    const ClMatrix44& currentWorldMatrix() const { return worldMatrix[g_uFrameCurrent]; }
    const ClBoundingVolume& getSweptBox();
    const ClBoundingVolumeList& getCollisionShape();
    void resetToSpawn();
    // Takes the dependants that are still active down too; unless quiet, then queues the entity
    // for the kill queue.
    void deactivate(u32 quiet);
    // This active atom and every active atom reachable through the links take the stamp.
    void stampReachable(u32 stamp);
    // Kinds 0, 4, 5, 6 and 7 replace every attached effect of those kinds. A fifth effect is
    // dropped.
    void addEffect(const SAtomEffectDesc& effect);
    // Detaches every effect.
    void dropEffects();
    // The per-frame step of the timed effects.
    void atomTick();

    // Both ways; unlinking also both ways.
    static void linkAtoms(ClAtom* a, ClAtom* b);
    static void unlinkAtoms(ClAtom* a, ClAtom* b);

private:
    // Swaps the slot with the last attached one.
    void removeEffectAt(u32 slot);
};
