#include "core/package_format.h"

#include <algorithm>
#include <cstring>

u32 loadLe32(const u8* bytes) {
    return u32(bytes[0]) | (u32(bytes[1]) << 8) | (u32(bytes[2]) << 16) | (u32(bytes[3]) << 24);
}

void storeLe32(u8* bytes, u32 value) {
    bytes[0] = u8(value);
    bytes[1] = u8(value >> 8);
    bytes[2] = u8(value >> 16);
    bytes[3] = u8(value >> 24);
}

// ---------------------------------------------------------------------------------------------
// Relocatable table view

namespace {

constexpr u64 IMAGE_SIZE_LIMIT = 0x100000000ull;

bool rangeInside(u64 offset, u64 length, u64 limit) { return offset <= limit && length <= limit - offset; }

}  // namespace

ERelocTableError relocTableOpen(SRelocTableView* view, const void* image, u64 imageSize,
                                u32 recordSize) {
    *view = SRelocTableView{};
    if (!image || imageSize < RELOC_TABLE_HEADER_SIZE || imageSize >= IMAGE_SIZE_LIMIT)
        return E_RELOCTABLE_TOO_SHORT;
    if (recordSize < RELOC_TABLE_MIN_RECORD_SIZE) recordSize = RELOC_TABLE_MIN_RECORD_SIZE;

    const u8* bytes = static_cast<const u8*>(image);
    const u32 arrayOffset = loadLe32(bytes + 0);
    const u32 count = loadLe32(bytes + 8);
    if (!rangeInside(arrayOffset, u64(count) * 4, imageSize)) return E_RELOCTABLE_ARRAY_PAST_END;

    s32 previousKey = 0;
    for (u32 i = 0; i < count; ++i) {
        const u32 recordOffset = loadLe32(bytes + arrayOffset + u64(i) * 4);
        if (!rangeInside(recordOffset, recordSize, imageSize)) return E_RELOCTABLE_RECORD_PAST_END;
        const s32 key = s32(loadLe32(bytes + recordOffset + 8));
        if (i > 0 && key < previousKey) return E_RELOCTABLE_NOT_SORTED;
        previousKey = key;
    }

    view->image = bytes;
    view->imageSize = u32(imageSize);
    view->arrayOffset = arrayOffset;
    view->count = count;
    return E_RELOCTABLE_OK;
}

u32 relocTableRecordOffset(const SRelocTableView& view, u32 index) {
    return loadLe32(view.image + view.arrayOffset + u64(index) * 4);
}

u32 relocTableRecordWord(const SRelocTableView& view, u32 index, u32 word) {
    return loadLe32(view.image + relocTableRecordOffset(view, index) + u64(word) * 4);
}

u32 relocTablePayloadOffset(const SRelocTableView& view, u32 index) { return relocTableRecordWord(view, index, 0); }

u32 relocTableKey(const SRelocTableView& view, u32 index) { return relocTableRecordWord(view, index, 2); }

s32 relocTableFind(const SRelocTableView& view, u32 key) {
    const s32 wanted = s32(key);
    s64 low = 0;
    s64 high = s64(view.count) - 1;
    while (low <= high) {
        const s64 mid = (low + high) / 2;
        const s32 found = s32(relocTableKey(view, u32(mid)));
        if (found == wanted) return s32(mid);
        if (found < wanted)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Package tables of contents

u32 packageEntryStoredSize(const SPackageEntry& entry) {
    if (entry.enciphered) return entry.encipheredSize;
    if (entry.compressed) return entry.compressedSize;
    return entry.size;
}

EPackageTableError packageEntryCheck(const SPackageEntry& entry) {
    if (entry.enciphered) {
        if (entry.encipheredSize == 0 || entry.encipheredSize % PACKAGE_CIPHER_BLOCK_SIZE != 0)
            return E_PACKAGETABLE_BAD_CIPHER_LENGTH;
        // The deciphered block is the source of the inflate, or the file itself.
        if (entry.compressed ? entry.compressedSize > entry.encipheredSize : entry.size > entry.encipheredSize)
            return E_PACKAGETABLE_BAD_SIZES;
    }
    if (entry.compressed && entry.compressedSize == 0) return E_PACKAGETABLE_BAD_SIZES;
    return E_PACKAGETABLE_OK;
}

bool packageEntryFitsDataFile(const SPackageEntry& entry, u64 dataFileSize) {
    return rangeInside(entry.dataOffset, packageEntryStoredSize(entry), dataFileSize);
}

namespace {

SPackageEntry decodeDescriptor(const u8* descriptor) {
    SPackageEntry entry;
    entry.compressed = loadLe32(descriptor + 0);
    entry.enciphered = loadLe32(descriptor + 4);
    entry.dataOffset = loadLe32(descriptor + 8);
    entry.size = loadLe32(descriptor + 16);
    entry.compressedSize = loadLe32(descriptor + 20);
    entry.encipheredSize = loadLe32(descriptor + 24);
    return entry;
}

void encodeDescriptor(u8* descriptor, const SPackageEntry& entry) {
    storeLe32(descriptor + 0, entry.compressed);
    storeLe32(descriptor + 4, entry.enciphered);
    storeLe32(descriptor + 8, entry.dataOffset);
    storeLe32(descriptor + 12, 0);
    storeLe32(descriptor + 16, entry.size);
    storeLe32(descriptor + 20, entry.compressedSize);
    storeLe32(descriptor + 24, entry.encipheredSize);
}

EPackageTableError fromRelocError(ERelocTableError error) {
    switch (error) {
    case E_RELOCTABLE_OK: return E_PACKAGETABLE_OK;
    case E_RELOCTABLE_TOO_SHORT: return E_PACKAGETABLE_TOO_SHORT;
    case E_RELOCTABLE_ARRAY_PAST_END: return E_PACKAGETABLE_ARRAY_PAST_END;
    case E_RELOCTABLE_RECORD_PAST_END: return E_PACKAGETABLE_RECORD_PAST_END;
    case E_RELOCTABLE_NOT_SORTED: return E_PACKAGETABLE_NOT_SORTED;
    }
    return E_PACKAGETABLE_TOO_SHORT;
}

}  // namespace

const char* packageTableErrorText(EPackageTableError error) {
    switch (error) {
    case E_PACKAGETABLE_OK: return "no error";
    case E_PACKAGETABLE_TOO_SHORT: return "table shorter than its header";
    case E_PACKAGETABLE_ARRAY_PAST_END: return "record array past the end of the table";
    case E_PACKAGETABLE_RECORD_PAST_END: return "record past the end of the table";
    case E_PACKAGETABLE_NOT_SORTED: return "records not sorted by path hash";
    case E_PACKAGETABLE_DESCRIPTOR_PAST_END: return "entry descriptor past the end of the table";
    case E_PACKAGETABLE_BAD_CIPHER_LENGTH: return "ciphertext length not a non-zero multiple of 16";
    case E_PACKAGETABLE_BAD_SIZES: return "entry sizes do not agree";
    case E_PACKAGETABLE_DATA_PAST_END: return "entry data past the end of the data file";
    }
    return "unknown error";
}

EPackageTableError packageTableOpen(SPackageTableView* view, const void* image, u64 imageSize,
                                    u64 dataFileSize) {
    *view = SPackageTableView{};
    SRelocTableView table;
    const ERelocTableError shape = relocTableOpen(&table, image, imageSize, PACKAGE_RECORD_SIZE);
    if (shape != E_RELOCTABLE_OK) return fromRelocError(shape);

    for (u32 i = 0; i < table.count; ++i) {
        const u32 descriptorOffset = relocTablePayloadOffset(table, i);
        if (!rangeInside(descriptorOffset, PACKAGE_DESCRIPTOR_SIZE, table.imageSize))
            return E_PACKAGETABLE_DESCRIPTOR_PAST_END;
        const SPackageEntry entry = decodeDescriptor(table.image + descriptorOffset);
        const EPackageTableError sizes = packageEntryCheck(entry);
        if (sizes != E_PACKAGETABLE_OK) return sizes;
        if (dataFileSize != PACKAGE_DATA_SIZE_UNKNOWN && !packageEntryFitsDataFile(entry, dataFileSize))
            return E_PACKAGETABLE_DATA_PAST_END;
    }
    view->table = table;
    return E_PACKAGETABLE_OK;
}

u32 packageTableCount(const SPackageTableView& view) { return view.table.count; }

SPackageEntry packageTableEntryAt(const SPackageTableView& view, u32 index) {
    return decodeDescriptor(view.table.image + relocTablePayloadOffset(view.table, index));
}

u32 packageTableHashAt(const SPackageTableView& view, u32 index) { return relocTableKey(view.table, index); }

const char* packageTablePathAt(const SPackageTableView& view, u32 index) {
    const u32 textOffset = relocTableRecordWord(view.table, index, 1);
    if (textOffset == 0 || textOffset >= view.table.imageSize) return nullptr;
    const char* text = reinterpret_cast<const char*>(view.table.image + textOffset);
    if (!std::memchr(text, 0, view.table.imageSize - textOffset)) return nullptr;
    return text;
}

bool packageTableFind(const SPackageTableView& view, u32 pathHash, SPackageEntry* outEntry) {
    const s32 index = relocTableFind(view.table, pathHash);
    if (index < 0) return false;
    if (outEntry) *outEntry = packageTableEntryAt(view, u32(index));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Building a table image

SPackageBuildResult packageTableBuild(const SPackageTableInput* inputs, u32 count,
                                      std::vector<u8>* outImage) {
    SPackageBuildResult result;
    outImage->clear();

    for (u32 i = 0; i < count; ++i) {
        if (packageEntryCheck(inputs[i].entry) != E_PACKAGETABLE_OK) {
            result.error = E_PACKAGEBUILD_BAD_ENTRY;
            result.firstIndex = result.secondIndex = i;
            return result;
        }
    }

    std::vector<u32> order(count);
    for (u32 i = 0; i < count; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [inputs](u32 a, u32 b) {
        return s32(inputs[a].pathHash) < s32(inputs[b].pathHash);
    });
    for (u32 i = 1; i < count; ++i) {
        if (inputs[order[i - 1]].pathHash == inputs[order[i]].pathHash) {
            result.error = E_PACKAGEBUILD_DUPLICATE_HASH;
            result.firstIndex = order[i - 1];
            result.secondIndex = order[i];
            return result;
        }
    }

    const u64 arrayOffset = PACKAGE_TABLE_HEADER_SIZE;
    const u64 recordsOffset = arrayOffset + u64(count) * 4;
    const u64 descriptorsOffset = recordsOffset + u64(count) * PACKAGE_RECORD_SIZE;
    const u64 textsOffset = descriptorsOffset + u64(count) * PACKAGE_DESCRIPTOR_SIZE;
    u64 imageSize = textsOffset;
    for (u32 i = 0; i < count; ++i)
        if (inputs[i].pathText) imageSize += std::strlen(inputs[i].pathText) + 1;
    if (imageSize >= IMAGE_SIZE_LIMIT) {
        result.error = E_PACKAGEBUILD_TOO_LARGE;
        return result;
    }

    std::vector<u8>& image = *outImage;
    image.assign(size_t(imageSize), 0);
    storeLe32(&image[0], u32(arrayOffset));
    storeLe32(&image[4], PACKAGE_FORMAT_TAG);
    storeLe32(&image[8], count);
    storeLe32(&image[12], 0);

    u64 textOffset = textsOffset;
    for (u32 slot = 0; slot < count; ++slot) {
        const SPackageTableInput& input = inputs[order[slot]];
        const u64 record = recordsOffset + u64(slot) * PACKAGE_RECORD_SIZE;
        const u64 descriptor = descriptorsOffset + u64(slot) * PACKAGE_DESCRIPTOR_SIZE;
        u32 storedTextOffset = 0;
        if (input.pathText) {
            const size_t length = std::strlen(input.pathText) + 1;
            std::memcpy(&image[textOffset], input.pathText, length);
            storedTextOffset = u32(textOffset);
            textOffset += length;
        }
        storeLe32(&image[arrayOffset + u64(slot) * 4], u32(record));
        storeLe32(&image[record + 0], u32(descriptor));
        storeLe32(&image[record + 4], storedTextOffset);
        storeLe32(&image[record + 8], input.pathHash);
        encodeDescriptor(&image[descriptor], input.entry);
    }
    return result;
}
