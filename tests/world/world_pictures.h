// Whole frames of the world under the offscreen video driver: the game's window, device, render
// worker and scene render, a camera looking down at a point of the arena, and what the draw lists
// held turned into a picture read back from the back buffer (written as PNG into
// VELODRIX_TEST_PNG_DIR when set). Skips when no OpenGL device can be made.
#pragma once

#include "core/types.h"
#include "core/vec.h"
#include "tests/render/render_data_support.h"

#include <functional>
#include <vector>

constexpr u32 WORLD_PICTURE_W = 512;
constexpr u32 WORLD_PICTURE_H = 320;

struct SPixelBox {
    u32 x0, y0, x1, y1;  // x1, y1 exclusive
};

class WorldPictureTest : public BuiltDataTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // The camera at eye looking at target.
    void lookAt(const ClVec3& eye, const ClVec3& target);
    // Three frames, each filled by fill (after the batcher's frame has begun); the last one's
    // pixels, RGBA top row first.
    std::vector<u8> drawFrames(const std::function<void()>& fill, const char* pngName);
    // Where the camera puts a world point, in pixels.
    ClVec2 project(const ClVec3& world) const;

    // Pixels of the box whose brightest channel is above threshold.
    static u32 litPixels(const std::vector<u8>& rgba, const SPixelBox& box, u32 threshold);
    // Summed red, green and blue of the box.
    static ClVec3 colourSum(const std::vector<u8>& rgba, const SPixelBox& box);
    bool m_ready = false;
};
