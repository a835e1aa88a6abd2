// The body atom: the visible hull of the ship, enemies and bosses. Its mesh is drawn as glowing
// edge lines over flat glass triangles (with textured faces for some enemies), as a ghost while
// its enemy flies in, edge by edge while it is built up, and it breaks into debris when killed.
#pragma once

#include "core/array.h"
#include "core/colour_animator.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_edges.h"

#include <cstddef>

struct SMaterial;

// The glints each edge of a body keeps running: with the length and the count they fill the
// first line of the edge's record.
constexpr u32 BODY_GLINTS_PER_EDGE = 2;
static_assert(offsetof(SBodyEdgeRecord, glints) + BODY_GLINTS_PER_EDGE * sizeof(SEdgeGlint) <= 64);

class ClAtom_Body final : public ClAtom {
public:
    // What a plain frame's draw reads comes first, on the line the atom's own fields end on as it
    // stands: the colour and materials of the triangles and edges, then the records' block and
    // count. The looks of the ghost, the red and the textured faces follow.
    const SColourAnimator* triangleColour = nullptr;  // entries of g_BarColourScheme
    const SMaterial* edgeMaterial = nullptr;
    const SMaterial* triangleMaterial = nullptr;
    const SMaterial* texturedFaceMaterial = nullptr;
    ClArray<SBodyEdgeRecord> edgeRecords;  // one per mesh edge
    const SColourAnimator* faceColour = nullptr;
    const SMaterial* flashMaterial = nullptr;
    const SMaterial* redEdgeMaterial = nullptr;
    const SMaterial* redTriangleMaterial = nullptr;
    const SMaterial* ghostMaterial = nullptr;
    const SColourAnimator* ghostColour = nullptr;  // enemy look only
    const SColourAnimator* spareColour = nullptr;  // set by configure, not drawn with
    const SColourAnimator* spareColours[2] = {};
    u32 variant = 0;
    SColourAnimator colourAnimator;

    ~ClAtom_Body() override { releaseEdgeRecords(&edgeRecords); }
    void init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void draw() override;
    void computeWorldBounds() override;
    void onKilled(f32 spin) override;
    // Player look (owner kinds 0, 3) takes variants 0 and 1, the enemy look (1, 4, 5) 0 to 2;
    // anything else is fatal. Nothing while the effects are not loaded.
    void configure(s32 newVariant) override;
    void bumpStamp() override;
    void rebuildCollisionShape() override;

    // The hit handling's cue when damage leaves the body alive: at the other atom's node.
    void playImpactCue(f32 damage, const ClAtom* other);
    void refreshGlints(u32 randomOffset);

private:
    bool playerLook() const;
    void drawGlintLook(bool invincible, const ClVec3* moved);
};

// The ghost's alpha at height y while its enemy flies in: 255 up to 50, fading to 0 at 100.
u32 bodyGhostAlpha(f32 y);
// Edges shown after a build stamp: all of them once the stamp reaches the step count, a share in
// proportion below it; ATOM_SHOWN_EDGES_NO_MESH_EDGES for a mesh without edges.
u32 bodyShownEdgeCount(u32 stamp, u32 stepCount, u32 edgeCount);
