// Entities of one atom for the atom tests: a program of one node carrying one atom of the kind
// (on a mesh when given), built into a live-game entity of the world, the atom placed at a point.
#pragma once

#include "core/types.h"
#include "core/vec.h"

class ClAtom;
class ClDNAProgram;
class ClEntity;
class ClGeometryMesh;

// A ring of `edges` vertices of radius 10 in the x-z plane joined by as many edges, a fan of
// triangles over it, 10 build steps.
ClGeometryMesh* makeRingMesh(u32 edges);

struct SOneAtomEntity {
    ClDNAProgram* program = nullptr;
    ClEntity* entity = nullptr;
    ClAtom* atom = nullptr;

    // mesh (owned by the program from then on) may be null; pattern > 0 writes the atom's "PAT".
    void build(u32 programKind, u32 atomKind, ClGeometryMesh* mesh, s32 pattern = 0);
    // A bullet atom of the type and level (render radius 1, colour green) at the point.
    void buildBullet(s32 type, s32 level, s32 flag, const ClVec3& at);
    // Root, node and atom at the point (scaled by `scale`): both frames of a new atom, the current
    // one after.
    void placeAt(const ClVec3& position, f32 scale = 1.0f);
    void release();
};
