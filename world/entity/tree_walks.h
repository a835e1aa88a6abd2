// The walks over an entity's node tree that reach its processors and atoms, in a fixed order:
// a node's own processors in list order, then its children, recursively (reloadParameters
// visits the children first).
#pragma once

#include "core/types.h"
#include "core/vec.h"

class ClAtom;
class ClEntity;
class ClEntityNode;

void broadcastSpawn(ClEntityNode* node);
void broadcastPreviewSpawn(ClEntityNode* node);
void broadcastActivate(ClEntityNode* node);
void broadcastPathSignal(ClEntityNode* node);
void broadcastUpdatePreview(ClEntityNode* node);
void broadcastWorldFrames(ClEntityNode* node);
void broadcastFirePressed(ClEntityNode* node);
void broadcastFireReleased(ClEntityNode* node);
void broadcastReload(ClEntityNode* node);
void broadcastDestroy(ClEntityNode* node);
// Started on the hit atom's node.
void broadcastDamaged(ClEntityNode* node, ClAtom* hitAtom);

// Per frame: each node's atoms step their effects, then its processors update, then its children.
void updateNodeTree(ClEntityNode* node);
// Each node's processors draw their overlays, then its active atoms draw, then its children.
void drawNodeTree(ClEntityNode* node);

// Active atoms whose visit stamp differs (cut off from every main atom) are killed and break up.
void killUnreachedAtoms(ClEntityNode* node, u32 stamp);
// Every active atom of the subtree goes inactive; unless quiet, each also breaks up. Every node
// visited ends with its any-active flag 0.
void explodeAllAtoms(ClEntityNode* node, u32 quiet);

// The particles and the blast of an atom breaking up.
void emitAtomBreakUp(ClAtom* atom);
