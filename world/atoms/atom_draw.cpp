#include "world/atoms/atom_draw.h"

#include "core/directions.h"
#include "core/matrix44.h"
#include "core/random.h"
#include "render/batcher.h"
#include "render/draw_lists.h"
#include "render/geometry_mesh.h"
#include "render/materials.h"
#include "world/entity/base_imports.h"
#include "world/entity/entity.h"
#include "world/entity/world.h"

#include <algorithm>

ClDrawOwnerScope::ClDrawOwnerScope(const ClEntity* entity) {
    setCurrentDrawOwner(getPreviewRenderTarget(entity ? entity->ownerTag : OWNER_LIVE_GAME));
}

ClDrawOwnerScope::~ClDrawOwnerScope() { setCurrentDrawOwner(nullptr); }

u32 brightenColour(u32 colour, f32 factor) {
    u32 out = colour & 0xFF000000u;
    for (u32 shift = 0; shift < 24; shift += 8) {
        const f32 channel = f32((colour >> shift) & 0xFFu) * factor;
        out |= u32(std::clamp(channel, 0.0f, 255.0f)) << shift;
    }
    return out;
}

u32 randomBrightColour(f32 factor, u32 alpha) {
    return withAlpha(brightenColour(sfmtGenRand32() & 0x00FFFFFFu, factor), alpha);
}

namespace {

// A vertex beyond the moved ones (a textured mesh of more than 256 vertices) collapses its
// triangle onto the first vertex.
u32 movedIndex(u32 index, u32 movedCount) { return index < movedCount ? index : 0; }

// Three vertices a triangle, each corner at its moved vertex, with the face's unit normal
// (c - a) x (b - a) and the texture coordinate uvOf gives the corner's vertex. Flat and textured
// triangles differ in their index type and their coordinates.
template <typename TTriangle, typename FUv>
void writeTriangles(const TTriangle* triangles, u32 count, const ClVec3* moved, u32 movedCount, u32 colour, FUv uvOf,
                    SBatchVertex* out) {
    for (const TTriangle* triangle = triangles; triangle != triangles + count; ++triangle) {
        u32 index[3];
        for (u32 k = 0; k < 3; ++k) index[k] = movedIndex(triangle->index[k], movedCount);
        const ClVec3& a = moved[index[0]];
        ClVec3 normal = (moved[index[2]] - a).cross(moved[index[1]] - a);
        normal.normalize();
        for (u32 k = 0; k < 3; ++k) {
            const ClVec3& p = moved[index[k]];
            const SMeshTexCoord uv = uvOf(index[k]);
            *out++ = SBatchVertex{p.x, p.y, p.z, colour, normal.x, normal.y, normal.z, uv.u, uv.v};
        }
    }
}

}  // namespace

void appendMeshTriangleBatch(const ClGeometryMesh& mesh, const ClVec3* moved, u32 movedCount, u32 colour,
                             const SMaterial* material, u32 batchKind, const ClEntity* owner, bool textured) {
    const u32 n = textured ? mesh.texturedTriangles.count : mesh.triangles.count;
    if (n == 0) return;
    const SBatchReservation r = reserveBatchGeometry(1, 3 * n, 3 * n);
    if (!r.vertices) return;
    if (textured) {
        // Texture coordinates belong to the textured quads' vertices, which come last in the mesh.
        const u32 texBase = mesh.vertices.count - std::min(mesh.texCoords.count, mesh.vertices.count);
        const auto texCoordOf = [&mesh, texBase](u32 vertex) {
            if (vertex >= texBase && vertex - texBase < mesh.texCoords.count) return mesh.texCoords.data[vertex - texBase];
            return SMeshTexCoord{0.0f, 0.0f};
        };
        writeTriangles(mesh.texturedTriangles.data, n, moved, movedCount, colour, texCoordOf, r.vertices);
    } else {
        const auto noTexCoord = [](u32) { return SMeshTexCoord{0.0f, 0.0f}; };
        writeTriangles(mesh.triangles.data, n, moved, movedCount, colour, noTexCoord, r.vertices);
    }
    for (u32 k = 0; k < 3 * n; ++k) r.stagedIndices[k] = r.vertexBase + k;
    r.layerMasks[0] = batchKind;
    r.indexRanges[0] = SBatchIndexRange{r.firstStagedIndex, 3 * n};
    r.depths[0] = 0.0f;
    r.materials[0] = material;
    r.keys[0] = reinterpret_cast<BatchKey>(getPreviewRenderTarget(owner ? owner->ownerTag : OWNER_LIVE_GAME));
}

f32 atomMusicIntensity() { return g_BaseImports.getBackdropIntensity(); }

const SMaterial* ClNamedMaterial::get() {
    if (!m_material || m_material->generation != m_generation) {
        SMaterial* material = m_texture ? getMaterialForEffectAndTextureName(m_effect, m_texture) : getMaterialForEffect(m_effect);
        m_material = material;
        m_generation = material->generation;
    }
    return m_material;
}

ClMatrix44 randomSpin(f32 angle) {
    ClMatrix44 spin;
    spin.setRotationAxisAngle(randomUnitVector3(), angle);
    return spin;
}
