// Vectors as one line of text, for comparing several positions or directions at once.
#pragma once

#include "core/vec.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace test_support {

// "(x y z)" per vector, space-separated, each component rounded to `step` (no negative zero), so
// values within half a step of a round expectation read as that expectation.
inline std::string vecText(std::initializer_list<ClVec3> vectors, f32 step = 1e-4f) {
    const auto round = [step](f32 x) { return double(std::round(x / step)) * double(step) + 0.0; };
    std::string out;
    for (const ClVec3& v : vectors) {
        char text[96];
        std::snprintf(text, sizeof text, "%s(%g %g %g)", out.empty() ? "" : " ", round(v.x), round(v.y), round(v.z));
        out += text;
    }
    return out;
}

}  // namespace test_support
