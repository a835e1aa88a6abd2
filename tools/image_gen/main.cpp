// velodrix_image_gen: draws the images the game loads at start-up as PNG files.
//
//   velodrix_image_gen OUTPUT_FOLDER
//
// Writes "Images/<name>.png" under the folder for every image below: glows, rings, bars, bullets,
// notes, noise, particles, the boss eye and the lens-flare parts; the interface images the HUD
// draws under "UI/Images/"; and the frames of the guardian's eye under "Animations/". Each is a
// function of the pixel position (and of fixed seeds for the noise), so two builds give the same
// bytes.
#include "platform/gfx/image_decode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr float PI = 3.14159265f;

struct SRgba {
    float r, g, b, a;
};

// u and v run from -1 to 1 across the image, v downwards; r is the distance from the centre.
struct SAt {
    float u, v, r, angle;
};

using PixelFn = SRgba (*)(const SAt&);

float clamp01(float x) { return std::min(1.0f, std::max(0.0f, x)); }
float glow(float r, float power) { return std::pow(clamp01(1.0f - r), power); }
float smooth(float edge0, float edge1, float x) {
    const float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}
float disc(float r, float radius, float soft) { return 1.0f - smooth(radius - soft, radius, r); }
float ring(float r, float radius, float width) {
    const float d = (r - radius) / width;
    return std::exp(-d * d);
}
float rays(float angle, float count, float sharpness) { return std::pow(std::fabs(std::cos(angle * count * 0.5f)), sharpness); }
// A band across the image's height, brightest on the middle row.
float band(float v, float width) { return std::exp(-(v * v) / (width * width)); }

// Lattice noise that wraps every `period` cells, so it tiles.
float lattice(int x, int y, int period, unsigned seed) {
    x = ((x % period) + period) % period;
    y = ((y % period) + period) % period;
    unsigned h = unsigned(x) * 374761393u + unsigned(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return float((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}
float valueNoise(float x, float y, int period, unsigned seed) {
    const int x0 = int(std::floor(x));
    const int y0 = int(std::floor(y));
    const float fx = smooth(0.0f, 1.0f, x - float(x0));
    const float fy = smooth(0.0f, 1.0f, y - float(y0));
    const float top = lattice(x0, y0, period, seed) * (1 - fx) + lattice(x0 + 1, y0, period, seed) * fx;
    const float bottom = lattice(x0, y0 + 1, period, seed) * (1 - fx) + lattice(x0 + 1, y0 + 1, period, seed) * fx;
    return top * (1 - fy) + bottom * fy;
}
// Four octaves over the unit square (u, v from -1 to 1), tiling.
float fractal(const SAt& p, unsigned seed) {
    float sum = 0.0f;
    float weight = 0.5f;
    int period = 4;
    for (int octave = 0; octave < 4; ++octave) {
        sum += weight * valueNoise((p.u + 1.0f) * 0.5f * float(period), (p.v + 1.0f) * 0.5f * float(period), period, seed + unsigned(octave));
        weight *= 0.5f;
        period *= 2;
    }
    return sum / 0.9375f;
}

SRgba white(float a) { return {1, 1, 1, clamp01(a)}; }
SRgba tinted(float r, float g, float b, float a) { return {r, g, b, clamp01(a)}; }

SAt rotated(const SAt& p, float radians) {
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    SAt q = p;
    q.u = p.u * c - p.v * s;
    q.v = p.u * s + p.v * c;
    q.angle = p.angle + radians;
    return q;
}

float bulletCore(const SAt& p, float core) { return std::max(disc(p.r, core, 0.08f), 0.6f * glow(p.r, 2.5f)); }
float doubleDot(const SAt& p, float spacing) {
    const float left = std::hypot(p.u + spacing, p.v);
    const float right = std::hypot(p.u - spacing, p.v);
    return std::max(bulletCore({0, 0, left * 2.0f, 0}, 0.35f), bulletCore({0, 0, right * 2.0f, 0}, 0.35f));
}
// A note: a tilted oval head, a stem on its right and, for eighths, a flag.
float noteShape(const SAt& p, bool flag) {
    const SAt head = rotated({(p.u + 0.25f) / 0.42f, (p.v - 0.5f) / 0.28f, 0, 0}, -0.4f);
    float a = disc(std::hypot(head.u, head.v), 1.0f, 0.15f);
    if (p.u > 0.1f && p.u < 0.2f && p.v > -0.85f && p.v < 0.45f) a = 1.0f;
    if (flag && p.u > 0.15f && p.v > -0.85f && p.v < -0.3f && p.u < 0.15f + 0.5f * (p.v + 0.85f)) a = 1.0f;
    return a;
}
float eye(const SAt& p, float pupil, float lid) {
    const float white = disc(std::hypot(p.u, p.v / lid), 0.95f, 0.05f);
    return white * (1.0f - 0.8f * disc(p.r, pupil, 0.05f)) * (0.7f + 0.3f * ring(p.r, pupil + 0.15f, 0.1f));
}
float hexagon(const SAt& p, float radius) {
    const float sector = std::fmod(p.angle + 2 * PI, PI / 3.0f) - PI / 6.0f;
    return disc(p.r * std::cos(sector) / std::cos(PI / 6.0f), radius, 0.05f);
}

struct SImage {
    const char* name;
    int width;
    int height;
    PixelFn pixel;
};

const SImage IMAGES[] = {
    {"Bar_WhiteTight", 64, 16, [](const SAt& p) { return white(band(p.v, 0.25f)); }},
    {"square", 16, 16, [](const SAt&) { return white(1.0f); }},
    {"BulletWithGlow", 64, 64, [](const SAt& p) { return white(bulletCore(p, 0.3f)); }},
    {"BulletWithGlow-sub", 64, 64, [](const SAt& p) { return white(0.7f * bulletCore(p, 0.2f)); }},
    {"Bullet-Enemy-Rays-rot1", 64, 64, [](const SAt& p) { return white(std::max(disc(p.r, 0.25f, 0.1f), glow(p.r, 1.5f) * rays(p.angle, 4, 8))); }},
    {"Bullet-Enemy-Rays-rot2", 64, 64, [](const SAt& p) { return white(std::max(disc(p.r, 0.25f, 0.1f), glow(p.r, 1.5f) * rays(p.angle + PI / 4, 4, 8))); }},
    {"Bullet-Player-Double1", 64, 64, [](const SAt& p) { return white(doubleDot(p, 0.3f)); }},
    {"Bullet-Player-Double2", 64, 64, [](const SAt& p) { return white(doubleDot(p, 0.4f)); }},
    {"Bullet-Player-Double3", 64, 64, [](const SAt& p) { return white(doubleDot(p, 0.5f)); }},
    {"Bullet-Player-Double1-black", 64, 64, [](const SAt& p) { return tinted(0, 0, 0, doubleDot(p, 0.3f)); }},
    {"Bullet-Player-Double2-black", 64, 64, [](const SAt& p) { return tinted(0, 0, 0, doubleDot(p, 0.4f)); }},
    {"Bullet-Player-Double3-black", 64, 64, [](const SAt& p) { return tinted(0, 0, 0, doubleDot(p, 0.5f)); }},
    {"EQ", 16, 64, [](const SAt& p) { return white(0.35f + 0.65f * clamp01(0.5f - 0.5f * p.v)); }},
    {"Arrow", 64, 64, [](const SAt& p) { return white(p.v > -0.8f && p.v < 0.8f && std::fabs(p.u) < 0.5f * (p.v + 0.8f) ? 1.0f : 0.0f); }},
    {"BarBig", 128, 32, [](const SAt& p) { return white(band(p.v, 0.5f)); }},
    {"Cloud", 128, 128, [](const SAt& p) { return white(fractal(p, 11) * glow(p.r, 1.2f) * 1.6f); }},
    {"Geosphere", 128, 128, [](const SAt& p) {
         const float z = std::sqrt(std::max(0.0f, 1.0f - p.r * p.r));
         const float light = clamp01(0.2f + 0.8f * (-0.4f * p.u - 0.5f * p.v + 0.77f * z));
         return tinted(light, light, light, disc(p.r, 0.98f, 0.03f));
     }},
    {"WaterBump", 128, 128, [](const SAt& p) {
         // A tiling normal map: x and y slopes of two crossing waves in red and green.
         const float dx = 0.5f * std::cos(PI * 2 * p.u + PI * p.v);
         const float dy = 0.5f * std::cos(PI * 3 * p.v - PI * p.u);
         return tinted(0.5f + 0.5f * dx, 0.5f + 0.5f * dy, 1.0f, 1.0f);
     }},
    {"ExplosionPart", 64, 64, [](const SAt& p) { return tinted(1.0f, 0.8f, 0.5f, glow(p.r, 1.5f) * (0.5f + fractal(p, 23))); }},
    {"Explosion-core", 64, 64, [](const SAt& p) { return white(glow(p.r, 0.8f)); }},
    {"ExplosionPart_Blue", 64, 64, [](const SAt& p) { return tinted(0.5f, 0.7f, 1.0f, glow(p.r, 1.5f) * (0.5f + fractal(p, 29))); }},
    {"BarBrightLine", 64, 8, [](const SAt& p) { return white(band(p.v, 0.15f)); }},
    {"Noise", 128, 128, [](const SAt& p) { const float n = fractal(p, 3); return tinted(n, n, n, 1.0f); }},
    {"NoiseDots", 128, 128, [](const SAt& p) {
         const float n = lattice(int((p.u + 1) * 64), int((p.v + 1) * 64), 128, 41);
         const float d = n > 0.93f ? 1.0f : 0.0f;
         return tinted(d, d, d, 1.0f);
     }},
    {"FlyingNote-1", 64, 64, [](const SAt& p) { return white(noteShape(p, false)); }},
    {"FlyingNote-1-Bright", 64, 64, [](const SAt& p) { return white(std::max(noteShape(p, false), 0.5f * glow(p.r, 2.0f))); }},
    {"FlyingNote-2", 64, 64, [](const SAt& p) { return white(noteShape(p, true)); }},
    {"FlyingNote-2-Bright", 64, 64, [](const SAt& p) { return white(std::max(noteShape(p, true), 0.5f * glow(p.r, 2.0f))); }},
    {"FlyingNote-2-Bright-sub", 64, 64, [](const SAt& p) { return white(0.6f * std::max(noteShape(p, true), 0.5f * glow(p.r, 2.0f))); }},
    {"FlyingNote-Rest", 64, 64, [](const SAt& p) { return white(std::fabs(p.u) < 0.35f && p.v > -0.1f && p.v < 0.15f ? 1.0f : 0.0f); }},
    {"NoteGlow", 64, 64, [](const SAt& p) { return white(glow(p.r, 2.0f)); }},
    {"fx-with-big-orange-glow", 128, 128, [](const SAt& p) { return tinted(1.0f, 0.55f, 0.15f, std::max(disc(p.r, 0.15f, 0.05f), glow(p.r, 1.2f))); }},
    {"Bar-New-White", 64, 16, [](const SAt& p) { return white(band(p.v, 0.4f)); }},
    {"hud-solkey", 64, 128, [](const SAt& p) {
         const float loop = ring(std::hypot(p.u * 2.0f, (p.v - 0.3f) * 2.0f), 0.8f, 0.12f);
         const float stem = std::fabs(p.u - 0.15f) < 0.08f && std::fabs(p.v) < 0.9f ? 1.0f : 0.0f;
         return white(std::max(loop, stem));
     }},
    {"hud-strokes", 128, 32, [](const SAt& p) { return white(std::fabs(std::fmod(p.u * 4 + p.v + 8.0f, 1.0f) - 0.5f) < 0.12f ? 1.0f : 0.0f); }},
    {"StaffTex", 128, 64, [](const SAt& p) {
         const float line = std::fabs(std::fmod((p.v + 1.0f) * 3.0f, 1.2f) - 0.6f);
         return white(std::fabs(p.v) < 0.85f && line < 0.06f ? 1.0f : 0.0f);
     }},
    {"Shockwave", 128, 128, [](const SAt& p) { return white(ring(p.r, 0.8f, 0.12f)); }},
    {"Shockwave_small", 64, 64, [](const SAt& p) { return white(ring(p.r, 0.75f, 0.15f)); }},
    {"GuardianBG", 256, 256, [](const SAt& p) { const float n = fractal(p, 57); return tinted(n, n, n, 1.0f); }},
    {"smallcircle", 32, 32, [](const SAt& p) { return white(disc(p.r, 0.9f, 0.1f)); }},
    {"bossEye1", 128, 128, [](const SAt& p) { return tinted(1.0f, 0.9f, 0.8f, eye(p, 0.3f, 0.6f)); }},
    {"bossEye2", 128, 128, [](const SAt& p) { return tinted(1.0f, 0.9f, 0.8f, eye(p, 0.25f, 0.4f)); }},
    {"bossEye3", 128, 128, [](const SAt& p) { return tinted(1.0f, 0.9f, 0.8f, eye(p, 0.2f, 0.2f)); }},
    {"ExplosionRed", 64, 64, [](const SAt& p) { return tinted(1.0f, 0.25f, 0.1f, glow(p.r, 1.2f)); }},
    {"Particle-1", 32, 32, [](const SAt& p) { return white(glow(p.r, 2.0f)); }},
    {"Particle-2", 32, 32, [](const SAt& p) { return white(glow(p.r, 1.0f)); }},
    {"Particle-3", 32, 32, [](const SAt& p) { return white(disc(p.r, 0.6f, 0.3f)); }},
    {"Bullet-Blaster", 64, 64, [](const SAt& p) { return white(bulletCore({p.u, p.v, std::hypot(p.u * 2.5f, p.v), 0}, 0.4f)); }},
    {"Bullet-Misc", 64, 64, [](const SAt& p) { return white(std::max(disc(std::fabs(p.u) + std::fabs(p.v), 0.6f, 0.1f), 0.5f * glow(p.r, 2.0f))); }},
    {"Bullet-Shotgun", 32, 32, [](const SAt& p) { return white(disc(p.r, 0.5f, 0.15f)); }},
    {"Lensflare-rays", 128, 128, [](const SAt& p) { return white(glow(p.r, 1.0f) * (0.3f + 0.7f * rays(p.angle, 12, 16))); }},
    {"Lensflare-glow", 128, 128, [](const SAt& p) { return white(glow(p.r, 2.2f)); }},
    {"Lensflare-filled-3", 64, 64, [](const SAt& p) { return white(0.5f * hexagon(p, 0.85f)); }},
    {"Lensflare-filled", 64, 64, [](const SAt& p) { return white(0.5f * disc(p.r, 0.9f, 0.1f)); }},
    {"Lensflare-ring", 128, 128, [](const SAt& p) { return white(ring(p.r, 0.85f, 0.06f)); }},
    {"Lensflare-semifilledhalo", 128, 128, [](const SAt& p) { return white(std::max(ring(p.r, 0.85f, 0.08f), 0.25f * disc(p.r, 0.85f, 0.1f))); }},
};

// The interface's images, under "UI/Images/": the boss's health bar, filled from the left to the
// boss's strength (a red to orange run with a lit upper edge in a dark rim), the white bar laid
// over it while a hit shows, and the menu pointer.
float barBody(const SAt& p) { return disc(std::fabs(p.u), 0.98f, 0.02f) * disc(std::fabs(p.v), 0.92f, 0.08f); }

// The pointer: an arrow with its tip in the image's top-left corner, white with a dark rim. x and
// y run from 0 at the tip to 1 across the image; d is how far inside the arrow's three edges the
// point lies (negative outside).
SRgba pointerArrow(const SAt& p) {
    const float x = 0.5f * (p.u + 1.0f), y = 0.5f * (p.v + 1.0f);
    const float left = x - 0.03f;                       // the upright edge
    const float slant = (y - x) * 0.70710678f;           // the edge from the tip down to the right
    // The base, from (0.03, 0.9) to (0.66, 0.66): the tip's side is inside.
    const float bx = 0.63f, by = -0.24f, length = std::hypot(bx, by);
    const float base = ((x - 0.03f) * by - (y - 0.9f) * bx) / length;
    const float d = std::min(left, std::min(slant, base));
    const float alpha = smooth(-0.02f, 0.01f, d);
    const float fill = smooth(0.04f, 0.07f, d);
    return tinted(fill, fill, fill, alpha);
}
const SImage UI_IMAGES[] = {
    {"hud-boss-bar", 256, 32, [](const SAt& p) {
         const float along = 0.5f + 0.5f * p.u;
         const float lit = 0.75f + 0.25f * band(p.v + 0.45f, 0.3f) - 0.25f * clamp01(p.v);
         const float rim = std::fabs(p.v) > 0.7f ? 0.45f : 1.0f;
         return tinted(lit * rim, (0.12f + 0.45f * along) * lit * rim, 0.05f * rim, barBody(p));
     }},
    {"hud-boss-bar-hit", 256, 32, [](const SAt& p) { return white(0.85f * barBody(p)); }},
    {"PointerDefault", 32, 32, pointerArrow},
};

// The guardian's eye, the image sequence "Animations/eye": frame 0 squinted, the last wide open,
// named "eye-000_1080.png" and on (the sequence loader's numbering for the 1080-line canvas).
constexpr int EYE_FRAME_COUNT = 8;
constexpr float EYE_SQUINT_LID = 0.12f;
constexpr float EYE_OPEN_LID = 0.75f;
float g_eyeLid = EYE_OPEN_LID;
SRgba eyeFrame(const SAt& p) { return tinted(1.0f, 0.85f, 0.6f, eye(p, 0.28f, g_eyeLid)); }

u8 toByte(float x) { return u8(std::lround(clamp01(x) * 255.0f)); }

bool writeImage(const std::string& folder, const SImage& image) {
    std::vector<u8> pixels(size_t(image.width) * size_t(image.height) * 4);
    u8* out = pixels.data();
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            SAt at;
            at.u = (float(x) + 0.5f) / float(image.width) * 2.0f - 1.0f;
            at.v = (float(y) + 0.5f) / float(image.height) * 2.0f - 1.0f;
            at.r = std::hypot(at.u, at.v);
            at.angle = std::atan2(at.v, at.u);
            const SRgba c = image.pixel(at);
            *out++ = toByte(c.r);
            *out++ = toByte(c.g);
            *out++ = toByte(c.b);
            *out++ = toByte(c.a);
        }
    }
    const std::string path = folder + "/" + image.name + ".png";
    if (!writePngFile(path.c_str(), u32(image.width), u32(image.height), pixels.data())) {
        std::fprintf(stderr, "velodrix_image_gen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool makeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) std::fprintf(stderr, "velodrix_image_gen: cannot make %s: %s\n", folder.c_str(), error.message().c_str());
    return !error;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velodrix_image_gen OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string root = argv[1];
    const std::string folder = root + "/Images", ui = root + "/UI/Images", animations = root + "/Animations";
    if (!makeFolder(folder) || !makeFolder(ui) || !makeFolder(animations)) return 1;
    for (const SImage& image : IMAGES) {
        if (!writeImage(folder, image)) return 1;
    }
    for (const SImage& image : UI_IMAGES) {
        if (!writeImage(ui, image)) return 1;
    }
    for (int frame = 0; frame < EYE_FRAME_COUNT; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "eye-%03d_1080", frame);
        g_eyeLid = EYE_SQUINT_LID + (EYE_OPEN_LID - EYE_SQUINT_LID) * float(frame) / float(EYE_FRAME_COUNT - 1);
        if (!writeImage(animations, SImage{name, 256, 128, eyeFrame})) return 1;
    }
    return 0;
}
