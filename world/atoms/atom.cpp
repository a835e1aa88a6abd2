#include "world/atoms/atom.h"

#include "core/fatal_error.h"
#include "render/geometry_mesh.h"
#include "world/entity/base_imports.h"
#include "world/entity/entity.h"

namespace {

// Effect kinds of which an atom keeps only the newest.
bool isExclusiveEffectKind(u32 kind) { return kind == 0 || (kind >= 4 && kind <= 7); }

void removeFirst(ClArray<ClAtom*>& list, const ClAtom* atom) {
    for (u32 i = 0; i < list.count; ++i) {
        if (list[i] == atom) {
            list.removeAt(i);
            return;
        }
    }
}

void removeAll(ClArray<ClAtom*>& list, const ClAtom* atom) {
    for (u32 i = list.count; i-- > 0;)
        if (list[i] == atom) list.removeAt(i);
}

}  // namespace

ClAtom::ClAtom() {
    for (u32 i = 0; i < ATOM_EFFECT_CAPACITY; ++i) effects[i] = &effectRecords[i];
}

ClAtom::~ClAtom() {
    linkedAtoms.release();
    params.release();
    dependants.release();
    collisionShape.release();
}

void ClAtom::init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) {
    geometry = mesh;
    entity = owner;
    node = hangingOn;
    active = 1;
    markBoundsChanged();
    registered = 0;
    localMatrix.setIdentity();
    shownEdgeCount = 0;
    buildStamp = 0;
    visitStamp = 0;
    worldMatrixSet = 0;
    boundsValid = 0;
    sweptBoxDirty = 1;
    collisionShapeDirty = 1;
    ownsGeometry = 0;
    params.init(ATOM_PARAM_CAPACITY);
    collisionShape.reset();
    effectCount = 0;
    dependants.init(ATOM_DEPENDANTS_INITIAL_CAPACITY);
    linkedAtoms.init(ATOM_LINKED_INITIAL_CAPACITY);
    name[0] = '\0';
}

void ClAtom::release() {
    active = 0;
    dropEffects();
    // Every link goes both ways, so no released atom stays in a neighbour's list.
    while (linkedAtoms.count != 0) {
        ClAtom* other = linkedAtoms[linkedAtoms.count - 1];
        linkedAtoms.removeAt(linkedAtoms.count - 1);
        if (other != this) removeAll(other->linkedAtoms, this);
    }
    linkedAtoms.release();
    params.release();
    dependants.release();
    collisionShape.release();
    if (ownsGeometry && geometry) {
        geometry->clear();
        delete geometry;
    }
    ownsGeometry = 0;
    geometry = nullptr;
}

bool ClAtom::atomIsAlive() const { return !geometry || buildStamp == geometry->detail; }

const ClBoundingVolume& ClAtom::getSweptBox() {
    if (sweptBoxDirty) {
        sweptBox.unionOf(worldBox[g_uFrameCurrent], worldBox[g_uFramePrevious]);
        sweptBoxDirty = 0;
    }
    return sweptBox;
}

const ClBoundingVolumeList& ClAtom::getCollisionShape() {
    if (collisionShapeDirty) rebuildCollisionShape();
    return collisionShape;
}

void ClAtom::resetToSpawn() {
    hitPoints = spawnHitPoints;
    active = 1;
    markBoundsChanged();
    if (geometry) {
        buildStamp = geometry->detail;
        shownEdgeCount = geometry->edges.count;
    }
}

void ClAtom::deactivate(u32 quiet) {
    active = 0;
    markBoundsChanged();
    shownEdgeCount = 0;
    buildStamp = 0;
    if (entity) entity->noBrokenAtom = 0;
    // An atom already down is skipped, so dependants that name each other cannot recurse forever.
    for (u32 i = 0; i < dependants.count; ++i)
        if (dependants[i]->active) dependants[i]->deactivate(quiet);
    if (!quiet && entity) g_BaseImports.queueKill(entity);
}

void ClAtom::stampReachable(u32 stamp) {
    if (!active) return;
    visitStamp = stamp;
    for (u32 i = 0; i < linkedAtoms.count; ++i) {
        ClAtom* linked = linkedAtoms[i];
        if (linked->active && linked->visitStamp != stamp) linked->stampReachable(stamp);
    }
}

void ClAtom::addEffect(const SAtomEffectDesc& effect) {
    if (isExclusiveEffectKind(effect.kind)) {
        for (u32 slot = effectCount; slot-- > 0;) {
            if (!isExclusiveEffectKind(effects[slot]->kind)) continue;
            removeEffectAt(slot);
        }
    }
    if (effectCount >= ATOM_EFFECT_CAPACITY) return;
    SAtomEffect* record = effects[effectCount++];
    record->atom = this;
    record->start(effect);
}

void ClAtom::dropEffects() {
    while (effectCount != 0) removeEffectAt(effectCount - 1);
}

void ClAtom::atomTick() {
    for (u32 slot = effectCount; slot-- > 0;) {
        SAtomEffect* effect = effects[slot];
        effect->update();
        if (!effect->finished) continue;
        removeEffectAt(slot);
    }
}

void ClAtom::removeEffectAt(u32 slot) {
    const u32 lastSlot = effectCount - 1;
    SAtomEffect* removed = effects[slot];
    effects[slot] = effects[lastSlot];
    effects[lastSlot] = removed;
    effectCount = lastSlot;
}

void ClAtom::linkAtoms(ClAtom* a, ClAtom* b) {
    a->linkedAtoms.push(b);
    b->linkedAtoms.push(a);
}

void ClAtom::unlinkAtoms(ClAtom* a, ClAtom* b) {
    removeFirst(a->linkedAtoms, b);
    removeFirst(b->linkedAtoms, a);
}
