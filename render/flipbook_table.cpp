#include "render/flipbook_table.h"

#include "core/fatal_error.h"
#include "core/hash_map.h"
#include "core/name_hash.h"
#include "render/canvases.h"
#include "render/data_file_read.h"
#include "render/flipbook.h"
#include "render/texture.h"

#include <cstdio>
#include <string>

namespace {

constexpr u32 FLIPBOOK_TABLE_CAPACITY = 64;
// The variants "FULL" is given at start-up, for sequences loaded before the canvases exist.
const u32 FULL_CANVAS_VARIANTS[] = {1080, 720, 480};

ClHashMap g_flipbooks;
// Every sequence loaded, replaced ones included (players may still show them), until shutdown.
ClArray<SFlipbook*> g_ownedFlipbooks;

std::string framePath(const char* name, bool fromOne, u32 n, const std::string& suffix) {
    char number[16];
    std::snprintf(number, sizeof(number), fromOne ? "-%04u" : "-%03u", fromOne ? n + 1 : n);
    return std::string(name) + number + suffix;
}

// The "_<height>.<ext>" that the first frame exists with, or "" when none does.
std::string resolveSuffix(const char* name, u32 currentHeight, const u32* heights, u32 count) {
    for (bool fromOne : {false, true}) {
        for (u32 c = 0; c <= count; ++c) {
            const u32 height = c == 0 ? currentHeight : heights[c - 1];
            if (height == 0) continue;
            for (const char* extension : {".bmp", ".png"}) {
                const std::string suffix = "_" + std::to_string(height) + extension;
                if (dataFileExists(framePath(name, fromOne, 0, suffix).c_str())) return suffix;
            }
        }
    }
    return "";
}

void appendFrame(SFlipbook* flipbook, const std::string& path) {
    auto* texture = new ClTexture();
    texture->load(path.c_str(), false, false, 4);
    const u32 width = u32(texture->width()), height = u32(texture->height());
    flipbook->textures.push(texture);
    flipbook->sizes.push(SFlipbookFrameSize{width, height});
    ClRect whole{};
    whole.maxX = f32(width);
    whole.maxY = f32(height);
    flipbook->rects.push(whole);
}

void destroyFlipbook(SFlipbook* flipbook) {
    for (ClTexture* texture : flipbook->textures) delete texture;
    delete flipbook;
}

}  // namespace

void initFlipbookTable() {
    if (g_flipbooks.isInUse()) return;
    g_flipbooks.init(FLIPBOOK_TABLE_CAPACITY);
    g_ownedFlipbooks.init();
}

void releaseAllFlipbooks() {
    if (!g_flipbooks.isInUse()) return;
    for (SFlipbook* flipbook : g_ownedFlipbooks) destroyFlipbook(flipbook);
    g_ownedFlipbooks.release();
    g_flipbooks.release();
}

void loadFlipbookFrames(SFlipbook* flipbook, const char* name, u32 currentHeight, const u32* variantHeights,
                        u32 variantCount) {
    const std::string suffix = resolveSuffix(name, currentHeight, variantHeights, variantCount);
    if (suffix.empty()) return;
    for (u32 n = 0;; ++n) {
        std::string path = framePath(name, false, n, suffix);
        if (!dataFileExists(path.c_str())) {
            path = framePath(name, true, n, suffix);
            if (!dataFileExists(path.c_str())) return;
        }
        appendFrame(flipbook, path);
    }
}

SFlipbook* loadFlipbook(const char* name, f32 frameRate) {
    if (!g_flipbooks.isInUse()) fatalErrorf("loadFlipbook: the sequence table is not set up (\"%s\")", name);
    auto* flipbook = new SFlipbook();
    flipbook->frameRate = frameRate;
    if (const SCanvas* full = findCanvas("FULL")) {
        // Only the variants the canvas holds: its list has room for more than it stores.
        u32 heights[CANVAS_VARIANT_CAPACITY];
        u32 count = 0;
        for (u32 i = 0; i < full->variantCount && i < CANVAS_VARIANT_CAPACITY; ++i) {
            if (full->variants[i].pixelHeight > 0) heights[count++] = u32(full->variants[i].pixelHeight);
        }
        loadFlipbookFrames(flipbook, name, u32(full->pixelHeight), heights, count);
    } else {
        loadFlipbookFrames(flipbook, name, 0, FULL_CANVAS_VARIANTS, 3);
    }
    const u32 key = crc32TextNoCase(name);
    g_ownedFlipbooks.push(flipbook);
    g_flipbooks.remove(key);
    if (!g_flipbooks.insert(key, uintptr_t(flipbook))) fatalErrorf("loadFlipbook: the sequence table is full at \"%s\"", name);
    return flipbook;
}

SFlipbook* findFlipbook(const char* name) { return reinterpret_cast<SFlipbook*>(g_flipbooks.find(crc32TextNoCase(name))); }
