// velodrix_font_gen: rasterises the game's bitmap font faces from TrueType fonts.
//
//   velodrix_font_gen OUTPUT_FOLDER TRUETYPE_FOLDER
//
// For each face below, reads its TrueType file from TRUETYPE_FOLDER (the DejaVu fonts that
// Debian installs under /usr/share/fonts/truetype/dejavu) and writes "Fonts/<face>.png" (white,
// the glyphs' coverage in alpha) and the glyph table "Fonts/<face>.vfnt" under OUTPUT_FOLDER.
// The same fonts give the same bytes.
#include "platform/gfx/font_raster.h"
#include "platform/gfx/image_decode.h"
#include "ui/font_file_format.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct SFaceSource {
    const char* face;
    const char* trueTypeFile;
    float pixelHeight;  // ascent to descent
};

const SFaceSource FACES[] = {
    {"NiceCapsBoldFont", "DejaVuSans-Bold.ttf", 48.0f},
    {"NormalFont", "DejaVuSans.ttf", 40.0f},
    {"ScriptFont", "DejaVuSerif.ttf", 40.0f},
    {"SystemFont", "DejaVuSansMono.ttf", 32.0f},
};

// Printable ASCII, Latin-1 and the punctuation the texts use.
std::vector<unsigned> codePoints() {
    std::vector<unsigned> codes;
    for (unsigned c = 0x20; c <= 0x7E; ++c) codes.push_back(c);
    for (unsigned c = 0xA0; c <= 0xFF; ++c) codes.push_back(c);
    for (unsigned c : {0x2013u, 0x2014u, 0x2018u, 0x2019u, 0x201Cu, 0x201Du, 0x2022u, 0x2026u, 0x20ACu, 0x2122u,
                       0x266Au})
        codes.push_back(c);
    return codes;
}

constexpr unsigned ATLAS_WIDTH = 1024;
// Empty pixels around each glyph, so that the smaller mipmap levels do not blend neighbours.
constexpr unsigned PADDING = 4;

bool readFile(const std::filesystem::path& path, std::vector<unsigned char>* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !out->empty();
}

bool writeFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

unsigned nextPowerOfTwo(unsigned v) {
    unsigned p = 1;
    while (p < v) p <<= 1;
    return p;
}

bool writeFace(const SFaceSource& face, const std::filesystem::path& fontFolder, const std::filesystem::path& outFolder) {
    std::vector<unsigned char> ttf;
    if (!readFile(fontFolder / face.trueTypeFile, &ttf)) {
        std::fprintf(stderr, "velodrix_font_gen: cannot read %s\n", (fontFolder / face.trueTypeFile).c_str());
        return false;
    }
    SRasterFont* font = rasterFontOpen(ttf.data(), u32(ttf.size()), face.pixelHeight);
    if (!font) {
        std::fprintf(stderr, "velodrix_font_gen: %s is not a TrueType font\n", face.trueTypeFile);
        return false;
    }
    float ascent = 0, descent = 0, lineGap = 0;
    rasterFontMetrics(font, &ascent, &descent, &lineGap);
    const float baseline = std::round(ascent);

    // Shelf packing in code order.
    std::vector<SRasterGlyph> bitmaps;
    SFontFileImage image;
    image.atlasWidth = ATLAS_WIDTH;
    image.lineHeight = std::round(ascent - descent + lineGap);
    image.ascent = baseline;
    image.fallbackCode = '?';
    unsigned penX = PADDING, penY = PADDING, shelf = 0;
    for (unsigned code : codePoints()) {
        SRasterGlyph glyph;
        if (!rasterFontGlyph(font, code, &glyph)) continue;
        if (penX + glyph.width + PADDING > ATLAS_WIDTH) {
            penX = PADDING;
            penY += shelf + PADDING;
            shelf = 0;
        }
        SFontFileGlyph g;
        g.code = code;
        g.x = u16(penX);
        g.y = u16(penY);
        g.width = u16(glyph.width);
        g.height = u16(glyph.height);
        g.offsetX = s16(glyph.left);
        g.offsetY = s16(baseline + float(glyph.top));
        g.advance = glyph.advance;
        image.glyphs.push_back(g);
        penX += glyph.width + PADDING;
        if (glyph.height > shelf) shelf = glyph.height;
        bitmaps.push_back(std::move(glyph));
    }
    rasterFontClose(font);
    image.atlasHeight = nextPowerOfTwo(penY + shelf + PADDING);

    std::vector<unsigned char> rgba(size_t(image.atlasWidth) * image.atlasHeight * 4, 0);
    for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = rgba[i + 1] = rgba[i + 2] = 255;
    for (size_t i = 0; i < bitmaps.size(); ++i) {
        const SFontFileGlyph& g = image.glyphs[i];
        for (unsigned y = 0; y < g.height; ++y)
            for (unsigned x = 0; x < g.width; ++x)
                rgba[(size_t(g.y + y) * image.atlasWidth + g.x + x) * 4 + 3] = bitmaps[i].coverage[y * g.width + x];
    }

    const std::filesystem::path base = outFolder / "Fonts" / face.face;
    if (!writePngFile((base.string() + ".png").c_str(), image.atlasWidth, image.atlasHeight, rgba.data()) ||
        !writeFile(base.string() + ".vfnt", writeFontFile(image))) {
        std::fprintf(stderr, "velodrix_font_gen: cannot write %s\n", base.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: velodrix_font_gen OUTPUT_FOLDER TRUETYPE_FOLDER\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    std::error_code ec;
    std::filesystem::create_directories(out / "Fonts", ec);
    for (const SFaceSource& face : FACES)
        if (!writeFace(face, argv[2], out)) return 1;
    return 0;
}
