#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "render/geometry_mesh.h"
#include "render/mesh_builders.h"
#include "tests/support/vec_text.h"

using test_support::vecText;

namespace {

using MeshPtr = std::unique_ptr<ClGeometryMesh>;

// Every triangle of a convex shape faces away from its centre: (c - a) x (b - a) points out.
void expectOutwardWinding(const ClGeometryMesh& mesh, const char* name) {
    const ClVec3 centre = mesh.boundingSphere.centre;
    for (const SMeshTriangle& t : mesh.triangles) {
        const ClVec3& a = mesh.vertices[t.index[0]];
        const ClVec3& b = mesh.vertices[t.index[1]];
        const ClVec3& c = mesh.vertices[t.index[2]];
        const ClVec3 middle = scaleVec3(a + b + c, 1.0f / 3.0f);
        EXPECT_GT((c - a).cross(b - a).dot(middle - centre), 0.0f)
            << name << " triangle " << u32(t.index[0]) << " " << u32(t.index[1]) << " " << u32(t.index[2]);
    }
}

TEST(MeshBuilders, ClosedShapesFaceOutwardsAndCountsTooLargeForByteIndicesAreClamped) {
    expectOutwardWinding(*MeshPtr(buildBoxMesh(1, 2, 3)), "box");
    expectOutwardWinding(*MeshPtr(buildBipyramidMesh(7, 2, 1, 3)), "bipyramid");
    expectOutwardWinding(*MeshPtr(buildPrismMesh(5, true, 2, 1, true, false, false, nullptr, nullptr)), "prism");
    // Flat shapes face up.
    MeshPtr dart(buildDartMesh(2, 1));
    for (const SMeshTriangle& t : dart->triangles) {
        const ClVec3& a = dart->vertices[t.index[0]];
        EXPECT_GT((dart->vertices[t.index[2]] - a).cross(dart->vertices[t.index[1]] - a).y, 0.0f);
    }
    // Counts too large for byte indices are clamped.
    const auto vertices = [](ClGeometryMesh* mesh) { return MeshPtr(mesh)->vertices.count; };
    EXPECT_EQ(vertices(buildBipyramidMesh(300, 1, 1, 1)), 256u);
    EXPECT_EQ(vertices(buildPrismMesh(129, false, 1, 1, true, true, true, nullptr, nullptr)), 256u);
    EXPECT_EQ(vertices(buildPyramidMesh(0, 1, 0, 1)), 4u);
}

TEST(MeshBuilders, BoundsAndSideOutputs) {
    // The sphere is the box's, not the smallest enclosing one: the dart's box is 2.72 by 2.
    MeshPtr dart(buildDartMesh(2, 1));
    ASSERT_EQ(1u, dart->boundingVolumes.count());
    const f32 boxCornerDistance = std::sqrt(1.36f * 1.36f + 1.0f);
    EXPECT_EQ(vecText({dart->boundingSphere.centre}), vecText({ClVec3(1.36f, 0, 0)}));
    EXPECT_NEAR(dart->boundingSphere.radius, boxCornerDistance, 1e-4f);
    EXPECT_NEAR(dart->boundingVolumes[0].radius, boxCornerDistance, 1e-4f);

    f32 side = 0.0f;
    ClArray<ClVec3> midpoints;
    MeshPtr prism(buildPrismMesh(4, false, 2, 6, false, false, false, &side, &midpoints));
    ASSERT_EQ(4u, midpoints.count);
    EXPECT_NEAR(side, std::sqrt(8.0f), 1e-6f);
    EXPECT_EQ(vecText({midpoints[0]}, 1e-6f), "(1 0 1)");
    midpoints.release();
}

}  // namespace
