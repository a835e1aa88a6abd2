#include "ui/font_load.h"

#include "core/fatal_error.h"
#include "render/data_file_read.h"
#include "render/texture.h"
#include "ui/font_face.h"
#include "ui/font_file_format.h"

#include <cstdio>
#include <vector>

bool loadFontFace(const char* name, std::string* error) {
    const std::string base = std::string("Fonts/") + name;
    std::vector<u8> bytes;
    if (!readDataFile((base + ".vfnt").c_str(), &bytes)) {
        *error = "no glyph table " + base + ".vfnt";
        return false;
    }
    SFontFileImage image;
    std::string reason;
    if (!readFontFile(bytes.data(), u32(bytes.size()), &image, &reason)) {
        *error = base + ".vfnt: " + reason;
        return false;
    }
    ClTexture* atlas = loadTexture(base.c_str(), false, ".png");
    if (!atlas || atlas->width() <= 0.0f) {
        *error = "no usable atlas " + base + ".png";
        return false;
    }
    if (u32(atlas->width()) != image.atlasWidth || u32(atlas->height()) != image.atlasHeight) {
        *error = base + ".png: its size differs from the glyph table's";
        return false;
    }

    SFontFace* face = createFontFace(name);
    face->texture = atlas;
    face->lineHeight = image.lineHeight;
    face->fallbackCode = image.fallbackCode;
    const f32 w = f32(image.atlasWidth);
    const f32 h = f32(image.atlasHeight);
    face->glyphs.reserve(image.glyphs.size());
    for (const SFontFileGlyph& g : image.glyphs) {
        face->glyphs.push_back(SFontGlyph{g.code,
                                          ClVec2(f32(g.x) / w, f32(g.y) / h),
                                          ClVec2(f32(g.x + g.width) / w, f32(g.y + g.height) / h),
                                          f32(g.width), f32(g.height), f32(g.offsetX), f32(g.offsetY), g.advance});
    }
    return true;
}

void loadStartupFontFaces() {
    for (const char* name : STARTUP_FONT_FACES) {
        std::string error;
        if (!loadFontFace(name, &error)) fatalErrorf("font face \"%s\": %s", name, error.c_str());
    }
    std::string error;
    if (!loadFontFace(FALLBACK_FONT_FACE, &error)) {
        std::fprintf(stderr, "velodrix: font face \"%s\": %s\n", FALLBACK_FONT_FACE, error.c_str());
        return;
    }
    const SFontFace* fallback = findFontFace(FALLBACK_FONT_FACE);
    for (const char* name : STARTUP_FONT_FACES) findFontFace(name)->fallbackFace = fallback;
}
