// Small drawing pieces the atom kinds share: the draw owner of an entity's commands, packed colour
// helpers, the flat-shaded triangle batch of a mesh, and the music intensity the glints follow.
#pragma once

#include "core/matrix44.h"
#include "core/types.h"
#include "core/vec.h"

class ClEntity;
class ClGeometryMesh;
struct SMaterial;

// Makes the entity's preview render target (none for the live game) the draw owner of every
// command appended while it lives; the owner goes back to none at its end.
class ClDrawOwnerScope {
public:
    explicit ClDrawOwnerScope(const ClEntity* entity);
    ~ClDrawOwnerScope();
    ClDrawOwnerScope(const ClDrawOwnerScope&) = delete;
    ClDrawOwnerScope& operator=(const ClDrawOwnerScope&) = delete;
};

inline u32 withAlpha(u32 colour, u32 alpha) { return (colour & 0x00FFFFFFu) | ((alpha & 0xFFu) << 24); }
// Red, green and blue times factor, each saturating at 255; alpha kept.
u32 brightenColour(u32 colour, f32 factor);
// 24 random colour bits brightened by factor, with the alpha given.
u32 randomBrightColour(f32 factor, u32 alpha);

// One batch object of the mesh's triangles (3 vertices each, indices in order) at the moved
// vertices, every vertex in colour with its face's unit normal; with texCoords the textured
// triangles instead. Nothing when the mesh has none or the batcher refuses.
void appendMeshTriangleBatch(const ClGeometryMesh& mesh, const ClVec3* moved, u32 movedCount, u32 colour,
                             const SMaterial* material, u32 batchKind, const ClEntity* owner, bool textured);

// A material looked up by name once and again only after the material pools purged it.
class ClNamedMaterial {
public:
    ClNamedMaterial(const char* effect, const char* texture) : m_effect(effect), m_texture(texture) {}
    const SMaterial* get();

private:
    const char* m_effect;
    const char* m_texture;  // null: the effect alone
    const SMaterial* m_material = nullptr;
    u32 m_generation = 0;
};

// Row r (0 to 3) of a matrix: its first, second and third axis and its translation.
inline ClVec3 matrixRow(const ClMatrix44& m, u32 r) { return ClVec3(m.m[4 * r], m.m[4 * r + 1], m.m[4 * r + 2], 0.0f); }
// A rotation by angle about a random unit axis (the angle is drawn by the caller first).
ClMatrix44 randomSpin(f32 angle);

// The backdrop's smoothed song intensity (0 before play): glints run faster and wider with it.
f32 atomMusicIntensity();
