// Textures: image files decoded into device textures, and the table that finds them by the name
// they were loaded under. The table owns its textures; they live until destroyAllTextures.
#pragma once

#include "core/types.h"

struct SGfxTexture;

constexpr u32 TEXTURE_TABLE_CAPACITY = 1024;
constexpr u32 TEXTURE_NAME_LENGTH = 768;
// The read mode ordinary loads pass to the file layer.
constexpr u32 TEXTURE_READ_MODE = 4;

class ClTexture {
public:
    ClTexture() = default;
    ~ClTexture();
    ClTexture(const ClTexture&) = delete;
    ClTexture& operator=(const ClTexture&) = delete;

    // Reads the file (path relative to the data directory) and creates the texture from it. A
    // missing file is fatal; a file that cannot be read or decoded leaves no device texture
    // (size 0) and one line on standard error.
    void load(const char* path, bool cube, bool singleLevel, u32 readMode);
    // From image-file bytes. Cube textures are not made on this platform: no texture.
    bool createFromMemory(const void* data, size_t size, const char* path, bool cube, bool singleLevel);
    // Adopts a texture made elsewhere (render targets); null sets the size to 0.
    void wrapDeviceTexture(SGfxTexture* texture);
    void releaseDeviceTexture();

    SGfxTexture* deviceTexture() const { return m_texture; }
    f32 width() const { return m_width; }
    f32 height() const { return m_height; }
    char name[TEXTURE_NAME_LENGTH] = {};  // "RTT <w>x<h>" for render-target wrappers only

private:
    f32 m_width = 0.0f;
    f32 m_height = 0.0f;
    SGfxTexture* m_texture = nullptr;
    bool m_wrapped = false;  // a render target's texture: its target releases it
};

void initTextureTable();
// Destroys every texture of the table, then frees the table.
void destroyAllTextures();

// The texture under the name (or the key, when given), loading it when absent: the extension
// is appended when given, else ".bmp", ".png" and ".tga" are tried in that order. Null, with
// nothing registered, when no file exists. A full table is fatal.
ClTexture* loadTexture(const char* name, bool cube = false, const char* extension = nullptr, bool singleLevel = false,
                       const char* key = nullptr, u32 readMode = TEXTURE_READ_MODE);
// True when the file exists under the data directory (with the extension, or any of the three).
bool textureFileExists(const char* name, const char* extension = nullptr);
// Null when the table holds no texture under the name hash.
ClTexture* findTexture(const char* name);
ClTexture* findTextureByHash(u32 hash);
