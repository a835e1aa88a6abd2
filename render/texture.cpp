#include "render/texture.h"

#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/hash_map.h"
#include "core/name_hash.h"
#include "platform/gfx/gfx_device.h"
#include "platform/gfx/image_decode.h"
#include "render/data_file_read.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

ClHashMap g_TextureTable;

std::string withBackslashes(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// The file a name resolves to, relative to the data directory; empty when none exists.
std::string resolveTexturePath(const std::string& folder, const char* name, const char* extension) {
    const std::string base = withBackslashes(folder + name);
    if (extension) return dataFileExists((base + extension).c_str()) ? base + extension : std::string();
    for (const char* probe : {".bmp", ".png", ".tga"}) {
        if (dataFileExists((base + probe).c_str())) return base + probe;
    }
    return {};
}

ClTexture* loadTextureFrom(const std::string& folder, const char* name, bool cube, const char* extension,
                           bool singleLevel, const char* key, u32 readMode) {
    // A keyed texture is registered under its key, so that is where it is found again.
    const char* tableName = key ? key : name;
    if (ClTexture* known = findTexture(tableName)) return known;
    const std::string path = resolveTexturePath(folder, name, extension);
    if (path.empty()) return nullptr;
    auto* texture = new ClTexture();
    texture->load(path.c_str(), cube, singleLevel, readMode);
    if (!g_TextureTable.insertByName(tableName, reinterpret_cast<uintptr_t>(texture))) {
        fatalErrorf("the texture table is full (%u textures) at \"%s\"", g_TextureTable.getCount(), tableName);
    }
    return texture;
}

void destroyTexture(uintptr_t value, void*) { delete reinterpret_cast<ClTexture*>(value); }

}  // namespace

ClTexture::~ClTexture() { releaseDeviceTexture(); }

void ClTexture::releaseDeviceTexture() {
    if (m_texture && !m_wrapped) gfxReleaseTexture(m_texture);
    m_texture = nullptr;
    m_wrapped = false;
    m_width = m_height = 0.0f;
}

void ClTexture::load(const char* path, bool cube, bool singleLevel, u32) {
    if (!dataFileExists(path)) fatalErrorf("texture file \"%s\" does not exist", path);
    std::vector<u8> bytes;
    if (!readDataFile(path, &bytes)) {
        std::fprintf(stderr, "texture \"%s\" cannot be read\n", path);
        return;
    }
    createFromMemory(bytes.data(), bytes.size(), path, cube, singleLevel);
}

bool ClTexture::createFromMemory(const void* data, size_t size, const char* path, bool cube, bool singleLevel) {
    releaseDeviceTexture();
    if (cube) {
        std::fprintf(stderr, "texture \"%s\": cube textures are not supported\n", path);
        return false;
    }
    SDecodedImage image;
    std::string error;
    if (!decodeImage(data, size, &image, &error)) {
        std::fprintf(stderr, "texture \"%s\" refused: %s\n", path, error.c_str());
        return false;
    }
    m_texture = gfxCreateTexture(image.width, image.height, image.rgba.data(), !singleLevel);
    if (m_texture == nullptr) {
        std::fprintf(stderr, "texture \"%s\": the device made no texture\n", path);
        return false;
    }
    m_width = f32(image.width);
    m_height = f32(image.height);
    return true;
}

void ClTexture::wrapDeviceTexture(SGfxTexture* texture) {
    releaseDeviceTexture();
    m_texture = texture;
    m_wrapped = texture != nullptr;
    m_width = texture ? f32(gfxTextureWidth(texture)) : 0.0f;
    m_height = texture ? f32(gfxTextureHeight(texture)) : 0.0f;
}

void initTextureTable() { g_TextureTable.init(TEXTURE_TABLE_CAPACITY); }

void destroyAllTextures() {
    g_TextureTable.forEachValue(destroyTexture, nullptr);
    g_TextureTable.release();
}

ClTexture* loadTexture(const char* name, bool cube, const char* extension, bool singleLevel, const char* key,
                       u32 readMode) {
    return loadTextureFrom("", name, cube, extension, singleLevel, key, readMode);
}

bool textureFileExists(const char* name, const char* extension) { return !resolveTexturePath("", name, extension).empty(); }

ClTexture* findTexture(const char* name) { return findTextureByHash(crc32TextNoCase(name)); }

ClTexture* findTextureByHash(u32 hash) { return reinterpret_cast<ClTexture*>(g_TextureTable.find(hash)); }

