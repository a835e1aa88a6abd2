#include "ui/font_face.h"

#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "core/string_helpers.h"

#include <algorithm>
#include <memory>

namespace {

std::vector<std::unique_ptr<SFontFace>> g_FontFaces;

}  // namespace

const SFontGlyph* SFontFace::findOwnGlyph(u32 code) const {
    if (code == 0) return nullptr;
    const auto it = std::lower_bound(glyphs.begin(), glyphs.end(), code,
                                     [](const SFontGlyph& g, u32 c) { return g.code < c; });
    return it != glyphs.end() && it->code == code ? &*it : nullptr;
}

const SFontGlyph* SFontFace::findGlyph(u32 code) const {
    if (const SFontGlyph* glyph = findOwnGlyph(code)) return glyph;
    return findOwnGlyph(fallbackCode);
}

SFontFace* createFontFace(const char* name) {
    if (findFontFace(name)) fatalErrorf("createFontFace: a face named \"%s\" exists already", name);
    auto face = std::make_unique<SFontFace>();
    strCopyN(face->name, name ? name : "", FONT_FACE_NAME_LENGTH);
    face->nameHash = crc32TextNoCase(face->name);
    return g_FontFaces.emplace_back(std::move(face)).get();
}

void releaseFontFaces() { g_FontFaces.clear(); }

SFontFace* findFontFace(const char* name) {
    const u32 hash = crc32TextNoCase(name);
    for (const auto& face : g_FontFaces)
        if (face->nameHash == hash) return face.get();
    return nullptr;
}

SFontFace* findFontFaceOrBase(const char* name) {
    if (!name) return nullptr;
    if (SFontFace* face = findFontFace(name)) return face;
    const char* dash = std::strrchr(name, '-');
    if (!dash || dash == name) return nullptr;
    char base[FONT_FACE_NAME_LENGTH];
    const size_t length = std::min<size_t>(size_t(dash - name), FONT_FACE_NAME_LENGTH - 1);
    std::memcpy(base, name, length);
    base[length] = 0;
    return findFontFace(base);
}
