#include "world/entity/entity_node.h"

#include "core/fatal_error.h"
#include "render/geometry_mesh.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_factory.h"
#include "world/entity/entity.h"
#include "world/entity/processor.h"

#include <cstring>
#include <new>

namespace {

const char* const ANCHOR_ATOM_NAME = "AnchorCL";

void mergeAtomBoxes(ClEntityNode* node, ClBoundingVolume* out, u32 parity) {
    for (ClAtom* atom : node->atoms) {
        if (!atom->active) continue;
        if (atom->worldBox[parity].kind != E_BOUNDS_UNBOUNDED) out->merge(atom->worldBox[parity]);
    }
}

void removeAtomFrom(ClArray<ClAtom*>& list, ClAtom* atom) {
    for (u32 i = 0; i < list.count; ++i) {
        if (list[i] == atom) {
            list.removeAt(i);
            return;
        }
    }
}

void reownSubtree(ClEntityNode* node, ClEntity* oldEntity, ClEntity* newEntity) {
    for (ClAtom* atom : node->atoms) {
        if (oldEntity) removeAtomFrom(oldEntity->atoms, atom);
        atom->entity = newEntity;
        if (atom->geometry && !atom->ownsGeometry) {
            ClGeometryMesh* own = new (std::nothrow) ClGeometryMesh();
            if (!own) fatalError("out of memory copying a grafted atom's mesh");
            own->assign(*atom->geometry);
            atom->geometry = own;
            atom->ownsGeometry = 1;
        }
    }
    node->entity = newEntity;
    for (ClProcessor* processor : node->processors) processor->entity = newEntity;
    for (ClEntityNode* child : node->children) reownSubtree(child, oldEntity, newEntity);
}

}  // namespace

ClEntityNode* allocEntityNode() {
    ClEntityNode* node = new (std::nothrow) ClEntityNode();
    if (!node) fatalError("out of memory for an entity node");
    return node;
}

void freeEntityNode(ClEntityNode* node) { delete node; }

void ClEntityNode::init() {
    children.init();
    atoms.init();
    processors.init();
    params.init(NODE_PARAM_CAPACITY);
    parent = nullptr;
    entity = nullptr;
    localMatrix.setIdentity();
    worldSet = 0;
    boundsSet = 0;
    std::memset(name, 0, sizeof(name));
    anyActive = 1;
}

void ClEntityNode::releaseTree() {
    for (ClEntityNode* child : children) {
        child->releaseTree();
        freeEntityNode(child);
    }
    children.count = 0;
    releaseContents();
}

void ClEntityNode::releaseContents() {
    for (ClProcessor* processor : processors) {
        processor->release();
        processorFree(processor);
    }
    for (ClAtom* atom : atoms) {
        atom->release();
        atomFree(atom);
    }
    children.release();
    atoms.release();
    processors.release();
    params.release();
}

ClAtom* ClEntityNode::findAtomByIndex(u32 indexInEntity) {
    for (ClAtom* atom : atoms)
        if (atom->indexInEntity == indexInEntity) return atom;
    for (ClEntityNode* child : children)
        if (ClAtom* found = child->findAtomByIndex(indexInEntity)) return found;
    return nullptr;
}

ClAtom* ClEntityNode::findAtomByName(const char* atomName) {
    for (ClAtom* atom : atoms)
        if (std::strcmp(atom->name, atomName) == 0) return atom;
    for (ClEntityNode* child : children)
        if (ClAtom* found = child->findAtomByName(atomName)) return found;
    return nullptr;
}

ClEntityNode* ClEntityNode::findByParamValue(const char* paramName, s32 value) {
    const SParamValue* param = params.find(paramName);
    if (param && param->integer == value) return this;
    for (ClEntityNode* child : children)
        if (ClEntityNode* found = child->findByParamValue(paramName, value)) return found;
    return nullptr;
}

ClProcessor* ClEntityNode::findProcessor(u32 typeId) {
    for (ClProcessor* processor : processors)
        if (processor->typeId == typeId) return processor;
    fatalErrorf("node \"%s\" carries no processor of type %u", name, typeId);
}

void ClEntityNode::forEachNamed(const char* nodeName, uintptr_t user, NamedNodeCallback callback) {
    if (std::strcmp(name, nodeName) == 0) callback(this, user);
    for (ClEntityNode* child : children) child->forEachNamed(nodeName, user, callback);
}

u32 ClEntityNode::updateAliveFlags() {
    u32 alive = 0;
    for (ClAtom* atom : atoms)
        if (atom->active) alive = 1;
    for (ClEntityNode* child : children) alive |= child->updateAliveFlags();
    anyActive = alive;
    return alive;
}

u32 ClEntityNode::allAtomsIntact() {
    for (ClAtom* atom : atoms)
        if (!atom->atomIsAlive()) return 0;
    for (ClEntityNode* child : children)
        if (!child->allAtomsIntact()) return 0;
    return 1;
}

u32 ClEntityNode::allAtomsIntactAndActive() {
    for (ClAtom* atom : atoms)
        if (!atom->atomIsAlive() || !atom->active) return 0;
    for (ClEntityNode* child : children)
        if (!child->allAtomsIntactAndActive()) return 0;
    return 1;
}

u32 ClEntityNode::isChainIntact() {
    if (parent && !parent->isChainIntact()) return 0;
    for (ClAtom* atom : atoms)
        if (!atom->atomIsAlive() || !atom->active) return 0;
    return 1;
}

void ClEntityNode::resetAtoms() {
    for (ClAtom* atom : atoms) atom->resetToSpawn();
    for (ClEntityNode* child : children) child->resetAtoms();
}

void ClEntityNode::resetAtomsWithParam(const char* paramName) {
    if (params.find(paramName))
        for (ClAtom* atom : atoms) atom->resetToSpawn();
    for (ClEntityNode* child : children) child->resetAtomsWithParam(paramName);
}

void ClEntityNode::addEffectToAtoms(const SAtomEffectDesc& effect) {
    for (ClAtom* atom : atoms) atom->addEffect(effect);
    for (ClEntityNode* child : children) child->addEffectToAtoms(effect);
}

void ClEntityNode::collectAtoms() {
    for (ClAtom* atom : atoms) entity->atoms.push(atom);
    for (ClEntityNode* child : children) child->collectAtoms();
}

namespace {

// Cur = the box around the node's active atoms, each atom's world box made first; empty when
// none is active.
inline void boundAtoms(ClEntityNode* node, ClBoundingVolume& cur, u32 current) {
    cur.kind = E_BOUNDS_EMPTY;
    for (ClAtom* atom : node->atoms) {
        if (!atom->active) continue;
        atom->computeWorldBounds();
        const ClBoundingVolume& box = atom->worldBox[current];
        // The first sphere is taken whole, as merging it into the empty volume would.
        if (cur.kind == E_BOUNDS_EMPTY && box.kind == E_BOUNDS_SPHERE)
            cur = box;
        else if (box.kind != E_BOUNDS_UNBOUNDED)
            cur.merge(box);
    }
}

}  // namespace

void ClEntityNode::computeBounds() {
    const u32 current = g_uFrameCurrent;
    const u32 previous = g_uFramePrevious;
    ClBoundingVolume& cur = bounds[current];
    boundAtoms(this, cur, current);
    for (ClEntityNode* child : children) {
        child->computeBounds();
        cur.merge(child->bounds[current]);
    }
    if (cur.kind == E_BOUNDS_EMPTY) cur.kind = E_BOUNDS_UNBOUNDED;
    if (!boundsSet) {
        ClBoundingVolume& prev = bounds[previous];
        prev.kind = E_BOUNDS_EMPTY;
        mergeAtomBoxes(this, &prev, previous);
        for (ClEntityNode* child : children) prev.merge(child->bounds[previous]);
        if (prev.kind == E_BOUNDS_EMPTY) prev.kind = E_BOUNDS_UNBOUNDED;
        boundsSet = 1;
    }
    sweptBox.unionOf(cur, bounds[previous]);
}

namespace {

// Kinds whose world box is made from their world matrix and data fixed after their first bounds;
// the staffs' boxes also follow lengths and flags their processors change.
bool boundsFollowMatrixAlone(u32 kind) {
    return kind == E_ATOM_ATTACH_POINT || kind == E_ATOM_BODY || kind == E_ATOM_BULLET || kind == E_ATOM_PICKUPABLE;
}

}  // namespace

bool ClEntityNode::computeBoundsInUpdate() {
    if (!boundsSet || children.count != 0) return false;
    for (const ClAtom* atom : atoms)
        if (!atom->boundsValid || !boundsFollowMatrixAlone(atom->kind)) return false;
    // What computeBounds does for a node without children whose previous bounds are made.
    const u32 current = g_uFrameCurrent;
    ClBoundingVolume& cur = bounds[current];
    boundAtoms(this, cur, current);
    if (cur.kind == E_BOUNDS_EMPTY) cur.kind = E_BOUNDS_UNBOUNDED;
    sweptBox.unionOf(cur, bounds[g_uFramePrevious]);
    entity->boundsFrame = g_uFrameFlips;
    return true;
}

void ClEntityNode::graftOnto(ClEntityNode* newParent) {
    ClEntity* oldEntity = entity;
    ClEntity* newEntity = newParent->entity;
    ClEntityNode* oldParent = parent;
    if (oldParent) {
        for (u32 i = 0; i < oldParent->children.count; ++i) {
            if (oldParent->children[i] == this) {
                oldParent->children.removeAt(i);
                if (oldEntity) oldEntity->boundsFrame = 0;
                break;
            }
        }
    }
    parent = newParent;
    newParent->children.push(this);
    if (newEntity) newEntity->boundsFrame = 0;

    ClAtom* anchor = nullptr;
    for (ClAtom* atom : atoms) {
        if (std::strcmp(atom->name, ANCHOR_ATOM_NAME) == 0) {
            anchor = atom;
            break;
        }
    }
    if (!anchor) {
        for (ClAtom* atom : atoms) {
            if (atom->kind == E_ATOM_BODY) {
                anchor = atom;
                break;
            }
        }
    }
    if (anchor) {
        for (u32 i = anchor->linkedAtoms.count; i-- > 0;) {
            ClAtom* linked = anchor->linkedAtoms[i];
            if (oldParent && linked->node == oldParent) ClAtom::unlinkAtoms(anchor, linked);
        }
        ClAtom* partner = nullptr;
        for (ClAtom* atom : newParent->atoms) {
            if (atom->linkedAtoms.count != 0) {
                partner = atom;
                break;
            }
        }
        if (partner) {
            ClAtom::linkAtoms(partner, anchor);
        } else {
            anchor->registered = 1;
            newEntity->registeredAtoms.push(anchor);
        }
    }
    reownSubtree(this, oldEntity, newEntity);
    newEntity->rebuildAtomList();
    if (oldEntity && oldEntity->root == this) oldEntity->root = nullptr;
}
