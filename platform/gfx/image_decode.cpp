#include "platform/gfx/image_decode.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include <stb_image.h>
#include <stb_image_write.h>

bool decodeImage(const void* data, size_t size, SDecodedImage* out, std::string* error) {
    *out = SDecodedImage();
    auto fail = [&](const std::string& reason) {
        if (error) *error = reason;
        return false;
    };
    if (data == nullptr || size == 0) return fail("no image data");
    if (size > size_t(INT_MAX)) return fail("image data larger than 2 GiB");
    const auto* bytes = static_cast<const stbi_uc*>(data);
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!stbi_info_from_memory(bytes, int(size), &width, &height, &channels)) {
        return fail(std::string("unreadable image: ") + stbi_failure_reason());
    }
    if (width <= 0 || height <= 0 || u32(width) > IMAGE_MAX_SIDE || u32(height) > IMAGE_MAX_SIDE) {
        return fail("image of " + std::to_string(width) + "x" + std::to_string(height) + " pixels is outside 1 to " +
                    std::to_string(IMAGE_MAX_SIDE));
    }
    stbi_uc* pixels = stbi_load_from_memory(bytes, int(size), &width, &height, &channels, 4);
    if (pixels == nullptr) return fail(std::string("damaged image: ") + stbi_failure_reason());
    out->width = u32(width);
    out->height = u32(height);
    out->rgba.assign(pixels, pixels + size_t(width) * size_t(height) * 4);
    stbi_image_free(pixels);
    return true;
}

std::vector<u8> encodePng(u32 width, u32 height, const u8* rgba) {
    std::vector<u8> png;
    if (width == 0 || height == 0 || width > IMAGE_MAX_SIDE || height > IMAGE_MAX_SIDE || rgba == nullptr) return png;
    auto append = [](void* context, void* data, int size) {
        auto* target = static_cast<std::vector<u8>*>(context);
        const auto* bytes = static_cast<const u8*>(data);
        target->insert(target->end(), bytes, bytes + size);
    };
    if (!stbi_write_png_to_func(append, &png, int(width), int(height), 4, rgba, int(width * 4))) png.clear();
    return png;
}

bool writePngFile(const char* path, u32 width, u32 height, const u8* rgba) {
    const std::vector<u8> png = encodePng(width, height, rgba);
    if (png.empty()) return false;
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}
