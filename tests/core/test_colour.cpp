#include "core/colour.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Colour, ScalingEachByteSaturatesAt255AndTruncates) {
    const u32 colour = 0x80FF4020u;  // alpha 128, red 255, green 64, blue 32
    struct SCase {
        f32 factor;
        u32 expected;
    };
    for (const SCase& c : {SCase{1.0f, 0x80FF4020u}, SCase{2.0f, 0xFFFF8040u}, SCase{0.5f, 0x407F2010u},
                           SCase{0.0f, 0u}, SCase{std::nanf(""), 0xFFFFFFFFu}}) {
        u32 scaled = colour;
        scaleColourARGB(&scaled, c.factor);
        EXPECT_EQ(scaled, c.expected) << c.factor;
    }
}
