// A node of an entity's tree: its atoms and processors, its named parameters, its local and
// (double-buffered) world transforms, a short name and its bounds.
#pragma once

#include "core/array.h"
#include "core/bounding_volume.h"
#include "core/matrix44.h"
#include "core/owner_blocks.h"
#include "core/types.h"
#include "world/entity/entity.h"
#include "world/entity/frame_parity.h"
#include "world/entity/param_table.h"

class ClAtom;
class ClEntity;
class ClProcessor;
struct SAtomEffectDesc;

// Laid out in cache lines: the lists the walks read first, then the flags and swept box, and each
// transform on a line of its own, so that a walk reading one transform reads one line. The atoms'
// and the children's blocks and counts share the second line: all the draw and the collision pass
// read of the lists; the update reads the processors' on the first line too.
class alignas(64) ClEntityNode : public SOwnerBlockObject {
public:
    using NamedNodeCallback = void (*)(ClEntityNode* node, uintptr_t user);

    ClEntity* entity = nullptr;
    ClEntityNode* parent = nullptr;  // null for the root
    ClArray<ClProcessor*> processors; // creation order
    ClArray<ClAtom*> atoms;           // creation order
    ClArray<ClEntityNode*> children;
    SParamTable params;
    u32 worldSet = 0;
    u32 boundsSet = 0;
    ClBoundingVolume sweptBox;  // union of this frame's and the previous frame's bounds
    char name[ENTITY_NAME_CAPACITY] = {};
    u32 anyActive = 1;  // some atom of the subtree is active
    alignas(64) ClMatrix44 localMatrix;  // relative to the parent
    ClMatrix44 worldMatrix[2];  // by frame parity
    ClBoundingVolume bounds[2];  // by frame parity

    // Lists with room for 8, a table of 16, identity local matrix, flags cleared, any-active 1.
    void init();
    // Children first (each released recursively and freed), then this node's contents. The node's
    // own storage is its owner's to free.
    void releaseTree();
    // Each processor's release, then its storage; each atom's release, then its storage; then
    // the node's lists and parameter table.
    void releaseContents();

    // Into the current parity; the first time into both, so a new node has no stale previous.
    void setWorldMatrix(const ClMatrix44& matrix) {
        worldMatrix[g_uFrameCurrent] = matrix;
        currentWorldMatrixWritten();
    }
    // setWorldMatrix of the current matrix with its translation row moved to position (m[15] = 1),
    // written in place: the rotation rows are neither read nor copied.
    void setWorldTranslation(const ClVec3& position) {
        ClMatrix44& world = worldMatrix[g_uFrameCurrent];
        world.setTranslationXYZ(position.x, position.y, position.z);
        world.m[15] = 1.0f;
        currentWorldMatrixWritten();
    }
    // After a write of the current matrix: the entity's bounds are stale, and the first write
    // goes into the other parity too.
    void currentWorldMatrixWritten() {
        if (entity) entity->boundsFrame = 0;
        if (!worldSet) {
            worldMatrix[1 - g_uFrameCurrent] = worldMatrix[g_uFrameCurrent];
            worldSet = 1;
        }
    }
    const ClMatrix44& currentWorldMatrix() const { return worldMatrix[g_uFrameCurrent]; }
    const ClMatrix44& previousWorldMatrix() const { return worldMatrix[g_uFramePrevious]; }

    // Pre-order look-ups: a node's own items first, then each child in order.
    ClAtom* findAtomByIndex(u32 indexInEntity);
    ClAtom* findAtomByName(const char* atomName);  // byte comparison
    // A node without a parameter table is fatal.
    ClEntityNode* findByParamValue(const char* paramName, s32 value);
    // This node only; no processor of that type is fatal.
    ClProcessor* findProcessor(u32 typeId);
    void forEachNamed(const char* nodeName, uintptr_t user, NamedNodeCallback callback);

    // Sets anyActive over the whole subtree (every child is visited) and returns this node's.
    u32 updateAliveFlags();
    u32 allAtomsIntact();
    u32 allAtomsIntactAndActive();
    // The atoms of this node and of all its ancestors are whole and active.
    u32 isChainIntact();

    void resetAtoms();
    void resetAtomsWithParam(const char* paramName);
    void addEffectToAtoms(const SAtomEffectDesc& effect);
    // Appends the subtree's atoms, pre-order, to the owning entity's atoms list.
    void collectAtoms();

    // Current-parity bounds of the subtree from its active atoms, and the swept box.
    void computeBounds();
    // Makes this frame's bounds of a root during its entity's update, while its records are
    // still in the cache, when they depend on nothing but the node's own atoms: a node without
    // children whose atoms all have their first bounds and are of the kinds whose bounds follow
    // from their world matrix alone. Marks them made in the entity (boundsFrame); the collision
    // pass then takes them as they are unless something changed them. Returns whether it made them.
    bool computeBoundsInUpdate();

    // Moves this subtree under another entity's node, re-owning its atoms and processors.
    void graftOnto(ClEntityNode* newParent);
};

// A node of 16-byte aligned storage, constructed; running out of memory is fatal.
ClEntityNode* allocEntityNode();
void freeEntityNode(ClEntityNode* node);
