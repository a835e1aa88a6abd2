// velodrix_font_gen: rasterises the game's bitmap font faces from TrueType fonts.
//
//   velodrix_font_gen OUTPUT_FOLDER TRUETYPE_FOLDER
//
// For each face below, reads its TrueType file from TRUETYPE_FOLDER (the DejaVu fonts that
// Debian installs under /usr/share/fonts/truetype/dejavu) and writes "Fonts/<face>.png" (white,
// the glyphs' coverage in alpha) and the glyph table "Fonts/<face>.vfnt" under OUTPUT_FOLDER.
// The same fonts give the same bytes.
//
// The fallback face, which every face draws the characters it lacks from, takes each character
// from the first of its fonts that has it: DejaVu Sans (Latin, Greek, Cyrillic, symbols), Nanum
// Gothic for Hangul only (fonts-nanum; Debian's Droid Sans Fallback holds next to none of it),
// Droid Sans Fallback (fonts-droid-fallback: kana, the common CJK ideographs) and Symbola
// (fonts-symbola: emoji and pictographs, drawn in one colour), the last three from their folders
// beside TRUETYPE_FOLDER.
#include "platform/gfx/font_raster.h"
#include "platform/gfx/image_decode.h"
#include "ui/font_file_format.h"

#include <iconv.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
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

// The fallback face: about 9,000 characters at a smaller size in one wide atlas (the texts draw it
// scaled to each face's line height). The common CJK ideographs are what the national character
// sets hold as their first level (JIS X 0208 level 1, GB 2312 level 1) and the Hangul syllables
// of KS X 1001; rarer ideographs are drawn as the face's '?'. Every one of the 20,000-odd
// ideographs and 11,000 syllables would take four such atlases.
constexpr const char* FALLBACK_FACE = "FallbackFont";
constexpr float FALLBACK_PIXEL_HEIGHT = 24.0f;
constexpr unsigned FALLBACK_ATLAS_WIDTH = 4096;
constexpr unsigned FALLBACK_PADDING = 2;
bool isHangul(unsigned code) {
    return (code >= 0x1100 && code <= 0x11FF) || (code >= 0x3130 && code <= 0x318F) || (code >= 0xA960 && code <= 0xA97F) ||
           (code >= 0xAC00 && code <= 0xD7FF);
}

struct SFontSource {
    const char* file;
    bool (*takes)(unsigned code);  // null: every character the font has
};

const SFontSource FALLBACK_FONTS[] = {{"DejaVuSans.ttf", nullptr},
                                      {"../nanum/NanumGothic.ttf", isHangul},
                                      {"../droid/DroidSansFallbackFull.ttf", nullptr},
                                      {"../ancient-scripts/Symbola_hint.ttf", nullptr}};

// The characters of rows [firstRow, lastRow] of a 94 x 94 national character set, by its
// EUC encoding, converted by the C library.
void addCharacterSetRows(const char* encoding, unsigned firstRow, unsigned lastRow, std::vector<unsigned>* out) {
    iconv_t convert = iconv_open("UTF-32LE", encoding);
    if (convert == iconv_t(-1)) {
        std::fprintf(stderr, "velodrix_font_gen: no %s conversion; its characters are left out\n", encoding);
        return;
    }
    for (unsigned row = firstRow; row <= lastRow; ++row) {
        for (unsigned cell = 1; cell <= 94; ++cell) {
            char in[2] = {char(0xA0 + row), char(0xA0 + cell)};
            unsigned char outBytes[8] = {};
            char* inPointer = in;
            char* outPointer = reinterpret_cast<char*>(outBytes);
            size_t inLeft = 2, outLeft = sizeof(outBytes);
            if (iconv(convert, &inPointer, &inLeft, &outPointer, &outLeft) == size_t(-1) || outLeft != 4) continue;
            out->push_back(unsigned(outBytes[0]) | unsigned(outBytes[1]) << 8 | unsigned(outBytes[2]) << 16);
        }
    }
    iconv_close(convert);
}

std::vector<unsigned> fallbackCodePoints() {
    std::vector<unsigned> codes;
    const auto range = [&codes](unsigned first, unsigned last) {
        for (unsigned c = first; c <= last; ++c) codes.push_back(c);
    };
    range(0x0100, 0x024F);  // Latin extended
    range(0x0370, 0x03FF);  // Greek
    range(0x0400, 0x04FF);  // Cyrillic
    range(0x2000, 0x206F);  // punctuation
    range(0x20A0, 0x20CF);  // currency
    range(0x2100, 0x21FF);  // letter-like symbols, number forms, arrows
    range(0x2460, 0x24FF);  // enclosed numbers
    range(0x25A0, 0x27BF);  // shapes, symbols, dingbats
    range(0x2B00, 0x2BFF);  // more arrows and shapes
    range(0x3000, 0x30FF);  // CJK punctuation, hiragana, katakana
    range(0x3130, 0x318F);  // Hangul letters
    range(0x31F0, 0x31FF);  // small katakana
    range(0xFF00, 0xFFEF);  // full-width and half-width forms
    range(0xFFFD, 0xFFFD);  // the replacement character
    addCharacterSetRows("EUC-JP", 16, 47, &codes);  // JIS X 0208 level 1 kanji
    addCharacterSetRows("EUC-CN", 16, 55, &codes);  // GB 2312 level 1 hanzi
    addCharacterSetRows("EUC-KR", 16, 40, &codes);  // KS X 1001 Hangul syllables
    range(0x1F300, 0x1F64F);  // pictographs and emoticons
    range(0x1F680, 0x1F6FF);  // transport and map symbols
    range(0x1F900, 0x1F9FF);  // supplemental pictographs
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    return codes;
}

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

// Atlas heights are whole rows of 64 pixels: a power of two would leave the fallback face's
// atlas 40% empty.
constexpr unsigned ATLAS_HEIGHT_STEP = 64;

unsigned roundUpToStep(unsigned v) { return (v + ATLAS_HEIGHT_STEP - 1) / ATLAS_HEIGHT_STEP * ATLAS_HEIGHT_STEP; }

struct SFaceBuild {
    const char* face;
    std::vector<std::filesystem::path> fonts;  // the first that has a character draws it
    std::vector<bool (*)(unsigned)> takes;      // per font: null, or the characters it may draw
    // Ascent to descent of the first font; the others are drawn at its size of em.
    float pixelHeight;
    std::vector<unsigned> codes;
    unsigned atlasWidth;
    unsigned padding;
};

bool writeFace(const SFaceBuild& build, const std::filesystem::path& outFolder) {
    std::vector<std::vector<unsigned char>> files(build.fonts.size());
    std::vector<SRasterFont*> fonts;
    float pixelsPerEm = 0.0f;
    for (size_t i = 0; i < build.fonts.size(); ++i) {
        SRasterFont* font = nullptr;
        if (readFile(build.fonts[i], &files[i])) {
            font = i == 0 ? rasterFontOpen(files[i].data(), u32(files[i].size()), build.pixelHeight)
                          : rasterFontOpenEm(files[i].data(), u32(files[i].size()), pixelsPerEm);
        }
        if (!font) {
            std::fprintf(stderr, "velodrix_font_gen: cannot read the TrueType font %s\n", build.fonts[i].c_str());
            for (SRasterFont* open : fonts) rasterFontClose(open);
            return false;
        }
        fonts.push_back(font);
        if (i == 0) pixelsPerEm = rasterFontPixelsPerEm(font);
    }
    float ascent = 0, descent = 0, lineGap = 0;
    rasterFontMetrics(fonts[0], &ascent, &descent, &lineGap);
    const float baseline = std::round(ascent);

    // Shelf packing in code order.
    std::vector<SRasterGlyph> bitmaps;
    SFontFileImage image;
    image.atlasWidth = build.atlasWidth;
    image.lineHeight = std::round(ascent - descent + lineGap);
    image.ascent = baseline;
    image.fallbackCode = '?';
    const unsigned pad = build.padding;
    unsigned penX = pad, penY = pad, shelf = 0;
    for (unsigned code : build.codes) {
        SRasterGlyph glyph;
        bool found = false;
        for (size_t i = 0; i < fonts.size() && !found; ++i) {
            const bool mayDraw = i >= build.takes.size() || !build.takes[i] || build.takes[i](code);
            found = mayDraw && rasterFontGlyph(fonts[i], code, &glyph);
        }
        if (!found) continue;
        if (penX + glyph.width + pad > build.atlasWidth) {
            penX = pad;
            penY += shelf + pad;
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
        penX += glyph.width + pad;
        if (glyph.height > shelf) shelf = glyph.height;
        bitmaps.push_back(std::move(glyph));
    }
    for (SRasterFont* font : fonts) rasterFontClose(font);
    image.atlasHeight = roundUpToStep(penY + shelf + pad);
    if (image.atlasHeight > FONT_ATLAS_MAX_SIDE || image.glyphs.size() > FONT_FILE_MAX_GLYPHS) {
        std::fprintf(stderr, "velodrix_font_gen: %s does not fit its atlas\n", build.face);
        return false;
    }

    std::vector<unsigned char> rgba(size_t(image.atlasWidth) * image.atlasHeight * 4, 0);
    for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = rgba[i + 1] = rgba[i + 2] = 255;
    for (size_t i = 0; i < bitmaps.size(); ++i) {
        const SFontFileGlyph& g = image.glyphs[i];
        for (unsigned y = 0; y < g.height; ++y)
            for (unsigned x = 0; x < g.width; ++x)
                rgba[(size_t(g.y + y) * image.atlasWidth + g.x + x) * 4 + 3] = bitmaps[i].coverage[y * g.width + x];
    }

    const std::filesystem::path base = outFolder / "Fonts" / build.face;
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
    const std::filesystem::path trueType(argv[2]);
    for (const SFaceSource& face : FACES) {
        if (!writeFace({face.face, {trueType / face.trueTypeFile}, {}, face.pixelHeight, codePoints(), ATLAS_WIDTH, PADDING},
                       out))
            return 1;
    }
    std::vector<std::filesystem::path> fallbackFonts;
    std::vector<bool (*)(unsigned)> fallbackTakes;
    for (const SFontSource& font : FALLBACK_FONTS) {
        fallbackFonts.push_back(trueType / font.file);
        fallbackTakes.push_back(font.takes);
    }
    return writeFace({FALLBACK_FACE, fallbackFonts, fallbackTakes, FALLBACK_PIXEL_HEIGHT, fallbackCodePoints(), FALLBACK_ATLAS_WIDTH,
                      FALLBACK_PADDING},
                     out)
               ? 0
               : 1;
}
