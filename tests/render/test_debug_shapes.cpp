// The built-in wireframe shapes: their vertex, polyline and index counts, and the gem's one strip.
#include "render/debug_shapes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

namespace {

struct SShapeCounts {
    u32 vertices;
    std::vector<u32> linePoints;
    u32 indices;
    bool operator==(const SShapeCounts&) const = default;
};

SShapeCounts countsOf(E_DebugShape shape) {
    SShapeCounts c{debugShapeVertexCount(shape), {}, debugShapeIndexCount(shape)};
    for (u32 line = 0; line < debugShapeLineCount(shape); ++line) c.linePoints.push_back(debugShapeLinePoints(shape, line));
    return c;
}

}  // namespace

TEST(DebugShapes, EachShapeHasItsVerticesPolylinesAndIndices) {
    createDebugShapes();
    const std::vector<std::pair<E_DebugShape, SShapeCounts>> table = {
        {E_DEBUG_SHAPE_CUBE, {18, {5, 5, 2, 2, 2, 2}, 0}},
        {E_DEBUG_SHAPE_SPHERE, {516, {516}, 0}},
        {E_DEBUG_SHAPE_CAMERA, {40, {5, 5, 5, 5, 2, 2, 2, 2, 2, 2, 2, 2, 4}, 0}},
        {E_DEBUG_SHAPE_GEM, {18, {51}, 51}},
        {E_DEBUG_SHAPE_AXES, {6, {2, 2, 2}, 0}},
    };
    for (const auto& [shape, counts] : table) EXPECT_EQ(countsOf(shape), counts) << "shape " << shape;

    // The gem's strip draws each of its 48 edges once and the pole-to-pole axis twice.
    const std::vector<u16>& strip = debugShapeIndices(E_DEBUG_SHAPE_GEM);
    std::multiset<std::pair<u16, u16>> segments;
    for (size_t i = 1; i < strip.size(); ++i) segments.insert(std::minmax(strip[i - 1], strip[i]));
    EXPECT_EQ(std::make_pair(segments.size(), std::set<std::pair<u16, u16>>(segments.begin(), segments.end()).size()),
              std::make_pair(size_t(50), size_t(49)));
    EXPECT_EQ(segments.count({16, 17}), 2u);
    EXPECT_LT(*std::max_element(strip.begin(), strip.end()), 18);
    releaseDebugShapes();
}
