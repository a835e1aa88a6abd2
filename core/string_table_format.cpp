#include "core/string_table_format.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr u64 IMAGE_SIZE_LIMIT = 0x100000000ull;
constexpr u32 NO_ZERO_UNIT = 0xFFFFFFFFu;

EStringTableError fromRelocError(ERelocTableError error) {
    switch (error) {
    case E_RELOCTABLE_OK: return E_STRINGTABLE_OK;
    case E_RELOCTABLE_TOO_SHORT: return E_STRINGTABLE_TOO_SHORT;
    case E_RELOCTABLE_ARRAY_PAST_END: return E_STRINGTABLE_ARRAY_PAST_END;
    case E_RELOCTABLE_RECORD_PAST_END: return E_STRINGTABLE_RECORD_PAST_END;
    case E_RELOCTABLE_NOT_SORTED: return E_STRINGTABLE_NOT_SORTED;
    }
    return E_STRINGTABLE_TOO_SHORT;
}

}  // namespace

const char* stringTableErrorText(EStringTableError error) {
    switch (error) {
    case E_STRINGTABLE_OK: return "no error";
    case E_STRINGTABLE_TOO_SHORT: return "shorter than its header";
    case E_STRINGTABLE_ARRAY_PAST_END: return "record array past the end";
    case E_STRINGTABLE_RECORD_PAST_END: return "record past the end";
    case E_STRINGTABLE_NOT_SORTED: return "records not sorted by id hash";
    case E_STRINGTABLE_TEXT_PAST_END: return "text past the end";
    case E_STRINGTABLE_TEXT_UNTERMINATED: return "text without a terminator";
    }
    return "unknown error";
}

EStringTableError stringTableOpen(SStringTableView* view, const void* image, u64 imageSize) {
    *view = SStringTableView{};
    SRelocTableView table;
    const ERelocTableError shape = relocTableOpen(&table, image, imageSize, STRING_TABLE_RECORD_SIZE);
    if (shape != E_RELOCTABLE_OK) return fromRelocError(shape);

    // A text is terminated when a 0 unit of the same offset parity lies at or after its start, so
    // one scan from the end per parity answers for every record, even for records that share a
    // long text.
    u32 lastZeroUnit[2] = {NO_ZERO_UNIT, NO_ZERO_UNIT};
    for (u32 offset = table.imageSize - 1; offset > 0 && (lastZeroUnit[0] == NO_ZERO_UNIT ||
                                                          lastZeroUnit[1] == NO_ZERO_UNIT);
         --offset) {
        const u32 start = offset - 1;
        if (lastZeroUnit[start & 1] == NO_ZERO_UNIT && table.image[start] == 0 && table.image[start + 1] == 0)
            lastZeroUnit[start & 1] = start;
    }

    bool hasOddTexts = false;
    for (u32 i = 0; i < table.count; ++i) {
        const u32 textOffset = relocTablePayloadOffset(table, i);
        if (u64(textOffset) + 2 > table.imageSize) return E_STRINGTABLE_TEXT_PAST_END;
        const u32 zero = lastZeroUnit[textOffset & 1];
        if (zero == NO_ZERO_UNIT || zero < textOffset) return E_STRINGTABLE_TEXT_UNTERMINATED;
        hasOddTexts = hasOddTexts || (textOffset & 1) != 0;
    }
    view->table = table;
    view->hasOddTexts = hasOddTexts;
    return E_STRINGTABLE_OK;
}

s32 stringTableFind(const SStringTableView& view, u32 idHash) { return relocTableFind(view.table, idHash); }

u32 stringTableTextOffsetAt(const SStringTableView& view, u32 index) {
    return relocTablePayloadOffset(view.table, index);
}

// ---------------------------------------------------------------------------------------------
// Building an image

SStringTableBuildResult stringTableBuild(const SStringTableInput* inputs, u32 count,
                                         std::vector<u8>* outImage) {
    SStringTableBuildResult result;
    outImage->clear();

    std::vector<u32> order(count);
    for (u32 i = 0; i < count; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [inputs](u32 a, u32 b) { return s32(inputs[a].idHash) < s32(inputs[b].idHash); });
    for (u32 i = 1; i < count; ++i) {
        if (inputs[order[i - 1]].idHash == inputs[order[i]].idHash) {
            result.error = E_STRINGTABLEBUILD_DUPLICATE_HASH;
            result.firstIndex = order[i - 1];
            result.secondIndex = order[i];
            return result;
        }
    }

    auto unitCount = [](const char16_t* text) {
        u64 length = 0;
        if (text)
            while (text[length] != 0) ++length;
        return length;
    };

    // Header, array and records are whole words, so every text starts at an even offset; the
    // keys, byte text, go last.
    const u64 arrayOffset = STRING_TABLE_HEADER_SIZE;
    const u64 recordsOffset = arrayOffset + u64(count) * 4;
    const u64 textsOffset = recordsOffset + u64(count) * STRING_TABLE_RECORD_SIZE;
    u64 keysOffset = textsOffset;
    for (u32 i = 0; i < count; ++i) keysOffset += (unitCount(inputs[i].text) + 1) * 2;
    u64 imageSize = keysOffset;
    for (u32 i = 0; i < count; ++i)
        if (inputs[i].key) imageSize += std::strlen(inputs[i].key) + 1;
    if (imageSize >= IMAGE_SIZE_LIMIT) {
        result.error = E_STRINGTABLEBUILD_TOO_LARGE;
        return result;
    }

    std::vector<u8>& image = *outImage;
    image.assign(size_t(imageSize), 0);
    storeLe32(&image[0], u32(arrayOffset));
    storeLe32(&image[8], count);

    u64 textOffset = textsOffset;
    u64 keyOffset = keysOffset;
    for (u32 slot = 0; slot < count; ++slot) {
        const SStringTableInput& input = inputs[order[slot]];
        const u64 record = recordsOffset + u64(slot) * STRING_TABLE_RECORD_SIZE;
        u32 storedKeyOffset = 0;
        if (input.key) {
            const size_t length = std::strlen(input.key) + 1;
            std::memcpy(&image[keyOffset], input.key, length);
            storedKeyOffset = u32(keyOffset);
            keyOffset += length;
        }
        storeLe32(&image[arrayOffset + u64(slot) * 4], u32(record));
        storeLe32(&image[record + 0], u32(textOffset));
        storeLe32(&image[record + 4], storedKeyOffset);
        storeLe32(&image[record + 8], input.idHash);
        const u64 length = unitCount(input.text);
        for (u64 unit = 0; unit < length; ++unit) {
            image[textOffset + unit * 2] = u8(input.text[unit]);
            image[textOffset + unit * 2 + 1] = u8(input.text[unit] >> 8);
        }
        textOffset += (length + 1) * 2;
    }
    return result;
}
