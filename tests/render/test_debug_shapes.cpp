#include "render/debug_shapes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

TEST(DebugShapes, TheGemStripDrawsEachEdgeOnceAndTheAxisTwice) {
    createDebugShapes();
    // The gem's strip draws each of its 48 edges once and the pole-to-pole axis twice.
    const std::vector<u16>& strip = debugShapeIndices(E_DEBUG_SHAPE_GEM);
    std::multiset<std::pair<u16, u16>> segments;
    for (size_t i = 1; i < strip.size(); ++i) segments.insert(std::minmax(strip[i - 1], strip[i]));
    EXPECT_EQ(segments.size(), size_t(50));
    EXPECT_EQ((std::set<std::pair<u16, u16>>(segments.begin(), segments.end()).size()), size_t(49));
    EXPECT_EQ(segments.count({16, 17}), 2u);
    EXPECT_LT(*std::max_element(strip.begin(), strip.end()), 18);
    releaseDebugShapes();
}
