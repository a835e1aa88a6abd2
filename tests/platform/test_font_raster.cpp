// TrueType fonts sized by their ascent and descent, or by their em so that fonts of different
// proportions draw their letters at one size.
#include "platform/gfx/font_raster.h"
#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(FontRaster, AFontSizedByItsEmHasThatManyPixelsToTheEm) {
    const std::vector<u8> sans = test_support::readFileBytes("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    ASSERT_FALSE(sans.empty());
    SRasterFont* byHeight = rasterFontOpen(sans.data(), u32(sans.size()), 26.0f);
    SRasterFont* byEm = rasterFontOpenEm(sans.data(), u32(sans.size()), 20.0f);
    ASSERT_NE(byHeight, nullptr);
    ASSERT_NE(byEm, nullptr);
    f32 ascent = 0, descent = 0, gap = 0;
    rasterFontMetrics(byHeight, &ascent, &descent, &gap);
    EXPECT_NEAR(ascent - descent, 26.0f, 0.01f);
    EXPECT_NEAR(rasterFontPixelsPerEm(byEm), 20.0f, 0.001f);
    // DejaVu's ascent and descent span more than its em.
    EXPECT_LT(rasterFontPixelsPerEm(byHeight), 26.0f);
    rasterFontClose(byHeight);
    rasterFontClose(byEm);
    EXPECT_EQ(rasterFontOpenEm(sans.data(), 8, 20.0f), nullptr);
}

}  // namespace
