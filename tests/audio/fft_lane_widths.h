// Runs a check once per lane width of the transform the processor has (four, eight, sixteen),
// each under a trace naming the width, and leaves the widest in use.
#pragma once

#include "audio/analysis/fft.h"

#include <gtest/gtest.h>

template <typename Check>
void forEachFftLaneWidth(Check check) {
    for (u32 lanes : {4u, 8u, 16u}) {
        if (fftSetLaneLimit(lanes) != lanes) continue;
        SCOPED_TRACE(::testing::Message() << lanes << " lanes");
        check();
    }
    fftSetLaneLimit(16);
}
