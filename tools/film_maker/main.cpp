// velodrix_film_maker: makes the short intro film the splash screen plays from generated images.
//
//   velodrix_film_maker OUTPUT.mov IMAGE.png...
//
// The images (at least one, RGBA PNG) are the steps of an animation, shown one after another,
// centred and scaled to fit the film's height over a dark blue ground: the film fades in from
// black over the first steps, holds the last one and fades out to black. 320 x 180 pixels at
// 15 pictures a second, 2 seconds long: small to store and quick to build. Two builds give the
// same pictures.
#include "platform/gfx/image_decode.h"
#include "platform/media/media_video_writer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr u32 FILM_WIDTH = 320;
constexpr u32 FILM_HEIGHT = 180;
constexpr u32 FILM_RATE = 15;
constexpr u32 FILM_PICTURES = 30;
// Pictures spent on the animation's steps; the rest holds the last step.
constexpr u32 ANIMATION_PICTURES = 16;
constexpr u32 FADE_PICTURES = 6;
// The image's share of the film's height.
constexpr float IMAGE_HEIGHT_SHARE = 0.6f;
constexpr u8 GROUND[3] = {12, 18, 40};

bool loadImage(const char* path, SDecodedImage* out) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string error;
    if (!file.good() && !file.eof()) error = "cannot be read";
    if (error.empty() && bytes.empty()) error = "is empty";
    if (error.empty() && !decodeImage(bytes.data(), bytes.size(), out, &error)) error = "does not decode: " + error;
    if (error.empty()) return true;
    std::fprintf(stderr, "velodrix_film_maker: %s %s\n", path, error.c_str());
    return false;
}

// The step over the ground, scaled by nearest pixel, all of it dimmed by the fade (0 .. 1).
void drawPicture(const SDecodedImage& step, float fade, std::vector<u8>* out) {
    const float scale = float(FILM_HEIGHT) * IMAGE_HEIGHT_SHARE / float(step.height);
    const float drawnWidth = float(step.width) * scale;
    const float drawnHeight = float(step.height) * scale;
    const float left = (float(FILM_WIDTH) - drawnWidth) * 0.5f;
    const float top = (float(FILM_HEIGHT) - drawnHeight) * 0.5f;
    u8* pixel = out->data();
    for (u32 y = 0; y < FILM_HEIGHT; ++y) {
        for (u32 x = 0; x < FILM_WIDTH; ++x, pixel += 4) {
            float colour[3] = {float(GROUND[0]), float(GROUND[1]), float(GROUND[2])};
            const float u = (float(x) + 0.5f - left) / scale;
            const float v = (float(y) + 0.5f - top) / scale;
            if (u >= 0.0f && v >= 0.0f && u < float(step.width) && v < float(step.height)) {
                const u8* source = &step.rgba[(size_t(v) * step.width + size_t(u)) * 4];
                const float alpha = float(source[3]) / 255.0f;
                for (int c = 0; c < 3; ++c) colour[c] += (float(source[c]) - colour[c]) * alpha;
            }
            for (int c = 0; c < 3; ++c) pixel[c] = u8(std::clamp(colour[c] * fade + 0.5f, 0.0f, 255.0f));
            pixel[3] = 255;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: velodrix_film_maker OUTPUT.mov IMAGE.png...\n");
        return 2;
    }
    std::vector<SDecodedImage> steps(size_t(argc - 2));
    for (int i = 2; i < argc; ++i) {
        if (!loadImage(argv[i], &steps[size_t(i - 2)])) return 1;
        if (steps[size_t(i - 2)].width == 0 || steps[size_t(i - 2)].height == 0) {
            std::fprintf(stderr, "velodrix_film_maker: %s has no pixels\n", argv[i]);
            return 1;
        }
    }
    ClMediaVideoWriter writer;
    if (!writer.open(argv[1], FILM_WIDTH, FILM_HEIGHT, FILM_RATE)) {
        std::fprintf(stderr, "velodrix_film_maker: %s: %s\n", argv[1], writer.error());
        return 1;
    }
    std::vector<u8> picture(size_t(FILM_WIDTH) * FILM_HEIGHT * 4);
    for (u32 i = 0; i < FILM_PICTURES; ++i) {
        const size_t step = std::min(steps.size() - 1, size_t(i) * steps.size() / ANIMATION_PICTURES);
        const u32 fromEnd = FILM_PICTURES - 1 - i;
        const float fade = std::min({1.0f, float(i + 1) / float(FADE_PICTURES), float(fromEnd + 1) / float(FADE_PICTURES)});
        drawPicture(steps[step], fade, &picture);
        if (!writer.addPicture(picture.data())) {
            std::fprintf(stderr, "velodrix_film_maker: %s: %s\n", argv[1], writer.error());
            return 1;
        }
    }
    if (!writer.finish()) {
        std::fprintf(stderr, "velodrix_film_maker: %s: %s\n", argv[1], writer.error());
        return 1;
    }
    return 0;
}
