#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/fatal_error.h"
#include "render/geometry_file.h"
#include "render/geometry_mesh.h"
#include "render/mesh_builders.h"
#include "tests/support/fatal_catch.h"
#include "tests/support/package_test.h"
#include "tests/support/vec_text.h"

using test_support::fatalReasonOf;
using test_support::vecText;

namespace {

using MeshPtr = std::unique_ptr<ClGeometryMesh>;

struct SCounts {
    u32 vertices, edges, triangles;
    bool operator==(const SCounts&) const = default;
};

SCounts countsOf(const ClGeometryMesh& mesh) { return {mesh.vertices.count, mesh.edges.count, mesh.triangles.count}; }

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

TEST(MeshBuilders, CountsOfEachShape) {
    EXPECT_EQ((SCounts{6, 12, 8}), countsOf(*MeshPtr(buildBipyramidMesh(4, 1, 1, 1))));
    EXPECT_EQ((SCounts{8, 12, 12}), countsOf(*MeshPtr(buildBoxMesh(1, 2, 3))));
    // Sides 2 per face, caps n - 2 each.
    EXPECT_EQ((SCounts{12, 18, 12 + 2 * 4}), countsOf(*MeshPtr(buildPrismMesh(6, false, 1, 1, true, true, true, nullptr, nullptr))));
    EXPECT_EQ((SCounts{12, 0, 12}), countsOf(*MeshPtr(buildPrismMesh(6, true, 1, 1, false, false, false, nullptr, nullptr))));
    EXPECT_EQ((SCounts{2 + 4 * 5, 5, 5 + 3 * 10 + 5}),
              countsOf(*MeshPtr(buildFacetedSolidMesh(5, 2, 1, 0.5f, 0.2f, 1, FACETED_EDGES_UPPER_OUTER_RING, nullptr, nullptr, false))));
    EXPECT_EQ((SCounts{4 * 4, 4 * 3 + 8, 8 * 3}), countsOf(*MeshPtr(buildArcBandMesh(3, 1.0f, 1, 2, 0.5f, 0.5f, true))));
    EXPECT_EQ((SCounts{8, 0, 12}), countsOf(*MeshPtr(buildArcSegmentMesh(8, 0, 1, 2, 0.5f, 0.5f))));
    EXPECT_EQ((SCounts{6, 10, 5}), countsOf(*MeshPtr(buildPyramidMesh(5, 1, 0, 2))));
    EXPECT_EQ((SCounts{3, 3, 1}), countsOf(*MeshPtr(buildDartMesh(2, 1))));
    EXPECT_EQ((SCounts{4, 4, 0}), countsOf(*MeshPtr(buildDiamondOutlineMesh(1, 2))));
}

TEST(MeshBuilders, ClosedShapesFaceOutwards) {
    expectOutwardWinding(*MeshPtr(buildBoxMesh(1, 2, 3)), "box");
    expectOutwardWinding(*MeshPtr(buildBipyramidMesh(7, 2, 1, 3)), "bipyramid");
    expectOutwardWinding(*MeshPtr(buildPrismMesh(5, true, 2, 1, true, false, false, nullptr, nullptr)), "prism");
    expectOutwardWinding(*MeshPtr(buildFacetedSolidMesh(6, 3, 1, 0.5f, 1, 2, 0, nullptr, nullptr, false)), "faceted solid");
    // Flat shapes face up.
    MeshPtr rectangle(buildRectangleMesh(2, 1));
    MeshPtr dart(buildDartMesh(2, 1));
    for (const ClGeometryMesh* mesh : {rectangle.get(), dart.get()})
        for (const SMeshTriangle& t : mesh->triangles) {
            const ClVec3& a = mesh->vertices[t.index[0]];
            EXPECT_GT((mesh->vertices[t.index[2]] - a).cross(mesh->vertices[t.index[1]] - a).y, 0.0f);
        }
}

TEST(MeshBuilders, CountsTooLargeForByteIndicesAreClamped) {
    const auto vertices = [](ClGeometryMesh* mesh) { return MeshPtr(mesh)->vertices.count; };
    EXPECT_EQ(vertices(buildBipyramidMesh(300, 1, 1, 1)), 256u);
    EXPECT_EQ(vertices(buildPrismMesh(129, false, 1, 1, true, true, true, nullptr, nullptr)), 256u);
    EXPECT_EQ(vertices(buildArcBandMesh(64, 1, 1, 2, 1, 1, true)), 256u);
    EXPECT_EQ(vertices(buildPyramidMesh(0, 1, 0, 1)), 4u);
    EXPECT_GE(256u, vertices(buildFacetedSolidMesh(64, 2, 1, 1, 1, 1, 7, nullptr, nullptr, false)));
}

TEST(MeshBuilders, BoundsAndSideOutputs) {
    // Corners on the circle.
    MeshPtr square(buildSquareMeshInCircle(1.0f));
    for (const ClVec3& v : square->vertices) EXPECT_NEAR(1.0f, v.length(), 1e-6f);
    // The sphere is the box's, not the smallest enclosing one: the dart's box is 2.72 by 2.
    MeshPtr dart(buildDartMesh(2, 1));
    ASSERT_EQ(1u, dart->boundingVolumes.count());
    EXPECT_EQ(vecText({dart->boundingSphere.centre, ClVec3(dart->boundingSphere.radius, dart->boundingVolumes[0].radius, 0)}),
              vecText({ClVec3(1.36f, 0, 0), ClVec3(std::sqrt(1.36f * 1.36f + 1.0f), std::sqrt(1.36f * 1.36f + 1.0f), 0)}));

    f32 side = 0.0f;
    ClArray<ClVec3> midpoints;
    MeshPtr prism(buildPrismMesh(4, false, 2, 6, false, false, false, &side, &midpoints));
    ASSERT_EQ(4u, midpoints.count);
    EXPECT_EQ(vecText({ClVec3(side, 0, 0), midpoints[0]}, 1e-6f), vecText({ClVec3(std::sqrt(8.0f), 0, 0), ClVec3(1, 0, 1)}, 1e-6f));
    midpoints.release();
}

TEST(MeshBuilders, AssignCopiesEverything) {
    MeshPtr box(buildBoxMesh(1, 2, 3));
    box->addTexturedQuad(77, ClVec3(), ClVec3(1, 0, 0), ClVec3(0, 0, 1), 2, 2);
    ClGeometryMesh copy;
    copy.init();
    copy.assign(*box);
    EXPECT_EQ(countsOf(*box), countsOf(copy));
    EXPECT_EQ(2u, copy.texturedTriangles.count);
    EXPECT_EQ(4u, copy.texCoords.count);
    EXPECT_EQ(77u, copy.material);
    EXPECT_EQ(2u, copy.boundingVolumes.count());
    EXPECT_EQ(10u, copy.detail);
}

class GeometryFiles : public test_support::FatalThrowingTest {};

TEST_F(GeometryFiles, TextRoundTripsThroughTheWriter) {
    MeshPtr prism(buildPrismMesh(5, true, 3, 2, true, true, true, nullptr, nullptr));
    const std::string text = formatGeometryText(*prism, 2.0f);
    MeshPtr read(parseGeometryText(text.data(), u32(text.size()), "prism", 2.0f));
    ASSERT_EQ(countsOf(*prism), countsOf(*read));
    for (u32 i = 0; i < prism->vertices.count; ++i)
        EXPECT_EQ(vecText({prism->vertices[i]}, 1e-5f), vecText({read->vertices[i]}, 1e-5f)) << i;
    EXPECT_EQ(0, std::memcmp(prism->triangles.data, read->triangles.data, prism->triangles.count * 3));
    EXPECT_EQ(0, std::memcmp(prism->edges.data, read->edges.data, prism->edges.count * 2));
}

TEST_F(GeometryFiles, BlankCrLfLinesAreSkippedAndAxesTurned) {
    const std::string text = "2\r\n\r\n 1 2 3\r\n0 0 0\r\n  \r\n1\r\n0 1\r\n0\r\n";
    MeshPtr mesh(parseGeometryText(text.data(), u32(text.size()), "t", 2.0f));
    ASSERT_EQ((SCounts{2, 1, 0}), countsOf(*mesh));
    const ClVec3& v = mesh->vertices[0];
    EXPECT_EQ(2.0f, v.x);
    EXPECT_EQ(6.0f, v.y);
    EXPECT_EQ(-4.0f, v.z);
    EXPECT_EQ(E_BOUNDS_SPHERE, mesh->boundingSphere.kind);
}

TEST_F(GeometryFiles, DamagedFilesAreFatalNamingFileAndLine) {
    const auto reasonFor = [](const std::string& text) {
        return fatalReasonOf([&] { delete parseGeometryText(text.data(), u32(text.size()), "Geometry/bad.qlt", 1.0f); });
    };
    EXPECT_EQ("geometry file Geometry/bad.qlt: line 5: vertex index 300 out of range (2 vertices)",
              reasonFor("2\n0 0 0\n1 1 1\n1\n0 300\n0\n"));
    EXPECT_EQ("geometry file Geometry/bad.qlt: line 1: 257 vertices, at most 256", reasonFor("257\n"));
    EXPECT_EQ("geometry file Geometry/bad.qlt: ends at line 3 where a vertex was expected", reasonFor("3\n0 0 0\n1 1 1\n"));
    EXPECT_EQ("geometry file Geometry/bad.qlt: line 2: y expected in \"1\"", reasonFor("1\n1\n0\n0\n"));
    EXPECT_EQ("geometry file Geometry/bad.qlt: line 2: x is not a finite number in \"nan 0 0\"", reasonFor("1\nnan 0 0\n0\n0\n"));
    EXPECT_EQ("geometry file Geometry/bad.qlt: line 2: y is not a finite number in \"0 -inf 0\"", reasonFor("1\n0 -inf 0\n0\n0\n"));
    EXPECT_EQ("geometry file Geometry/bad.qlt: line 2: z is not a finite number in \"0 0 1e39\"", reasonFor("1\n0 0 1e39\n0\n0\n"));
}

class GeometryPackages : public test_support::PackageTest {};

TEST_F(GeometryPackages, LoadsFromThePackagesAndAMissingFileIsFatal) {
    writeSource("GEO", "Geometry/ship.qlt", "1\n1 2 3\n0\n0\n");
    packAndMount("GEO");
    MeshPtr ship(loadGeometryMesh("ship", 1.0f));
    EXPECT_EQ(3.0f, ship->vertices[0].y);
    setFatalErrorHook(test_support::throwOnFatal);
    EXPECT_EQ("loadGeometryMesh: cannot read Geometry/none.qlt", fatalReasonOf([] { loadGeometryMesh("none", 1.0f); }));
    setFatalErrorHook(nullptr);
}

}  // namespace
