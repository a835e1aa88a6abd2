#include "core/string_table.h"

#include "core/directories.h"
#include "core/file_status.h"
#include "core/fixed_pool.h"
#include "core/name_hash.h"
#include "core/packages.h"
#include "core/string_helpers.h"

#include <bit>
#include <cstdio>
#include <new>

// Texts are handed out in place, as the image holds them.
static_assert(std::endian::native == std::endian::little, "string tables hold UTF-16LE text");

namespace {

// The file object's data buffer, as the package reader asks for it.
constexpr u32 IMAGE_ALIGNMENT = 16;
constexpr u32 IMAGE_USER_WORD = 4;

ClFixedPool<SStringTable, STRING_TABLE_CAPACITY> g_stringTablePool;
bool g_bStringTablesReady = false;

SStringTable* findLoadedTable(u32 nameHash) {
    for (u32 i = 0; i < g_stringTablePool.used; ++i)
        if (g_stringTablePool.table[i]->nameHash == nameHash) return g_stringTablePool.table[i];
    return nullptr;
}

// The image of the table at path, read whole into the buffers of a file object whose disk file
// is closed again; null when the table is missing or cannot be read.
SAssetFile* readTableImage(const char* path, u32* outSize) {
    SAssetFile* file = nullptr;
    u32 size = 0;
    if (openPackagedFile(path, &size, &file, PACKAGE_ID_ANY) != E_FILESTATUS_OK) return nullptr;
    if (!prepareAssetFileBuffers(file, 0, size, IMAGE_ALIGNMENT, IMAGE_USER_WORD) ||
        readAssetFile(file, 0, size) != E_FILESTATUS_OK) {
        std::fprintf(stderr, "string table %s cannot be read\n", path);
        releaseAssetFile(file);
        return nullptr;
    }
    closeAssetFileDisk(file);
    *outSize = size;
    return file;
}

const char16_t* textOf(const SStringTable& table, u32 index) {
    const u32 offset = stringTableTextOffsetAt(table.view, index);
    // Odd offsets: the shifted copy starts one byte on, from a block of new[]'s alignment.
    const u8* text = (offset & 1) ? table.shiftedImage + 1 + offset : table.image + offset;
    return reinterpret_cast<const char16_t*>(text);
}

// A replacement for the placeholders, wide or narrow (each byte one unit); null is empty.
struct SReplacement {
    const char16_t* wide;
    const char* narrow;
};

struct SOutput {
    char16_t* out;
    u32 capacity;
    u32 length;
    bool cut;
};

// Keeps one unit free for the terminator.
void put(SOutput* output, char16_t unit) {
    if (output->length + 1 >= output->capacity) {
        output->cut = true;
        return;
    }
    output->out[output->length++] = unit;
}

void putReplacement(SOutput* output, const SReplacement& replacement) {
    if (replacement.wide) {
        for (const char16_t* unit = replacement.wide; *unit != 0 && !output->cut; ++unit) put(output, *unit);
    } else if (replacement.narrow) {
        for (const char* c = replacement.narrow; *c != 0 && !output->cut; ++c) put(output, char16_t(u8(*c)));
    }
}

// The substitution every formatting form shares: the first placeholder takes first, every later
// one takes later.
u32 formatLocalised(char16_t* out, u32 n, u32 idHash, char16_t placeholder, const SReplacement& first,
                    const SReplacement& later) {
    // Callers draw whatever the buffer holds, so a missing text must not leave an older one there.
    if (n > 0) out[0] = 0;
    const char16_t* text = stringTableLookup(idHash);
    if (!text) return 0;

    SOutput output{out, n, 0, n == 0};
    bool firstUsed = false;
    // The text ends with a 0 unit, so the unit after a '%' is always there to read.
    for (u32 i = 0; text[i] != 0 && !output.cut;) {
        if (text[i] == u'%' && text[i + 1] == placeholder) {
            putReplacement(&output, firstUsed ? later : first);
            firstUsed = true;
            i += 2;
        } else {
            put(&output, text[i]);
            ++i;
        }
    }
    if (output.cut) {
        if (output.length > 0 && output.out[output.length - 1] >= 0xD800 && output.out[output.length - 1] <= 0xDBFF)
            --output.length;
        std::fprintf(stderr, "localised text 0x%08X does not fit in %u units; cut\n", idHash, n);
    }
    if (n > 0) out[output.length] = 0;
    return 1;
}

SReplacement wideReplacement(const char16_t* text) { return SReplacement{text ? text : u"", nullptr}; }
SReplacement narrowReplacement(const char* text) { return SReplacement{nullptr, text ? text : ""}; }

}  // namespace

void stringTablesInit() {
    g_stringTablePool.init();
    g_bStringTablesReady = true;
}

void stringTablesShutdown() {
    while (g_stringTablePool.used != 0) {
        SStringTable* table = g_stringTablePool.table[g_stringTablePool.used - 1];
        releaseAssetFile(table->file);
        delete[] table->shiftedImage;
        *table = SStringTable{nullptr, nullptr, SStringTableView{}, nullptr, 0, table->poolIndex};
        g_stringTablePool.release(table);
    }
    g_bStringTablesReady = false;
}

u32 stringTableLoad(const char* name) {
    if (!g_bStringTablesReady || !name) return 0;
    const u32 nameHash = crc32TextNoCase(name);
    if (findLoadedTable(nameHash)) return 0;
    if (g_stringTablePool.used >= STRING_TABLE_CAPACITY) {
        std::fprintf(stderr, "string table %s refused: %u tables are loaded already\n", name, STRING_TABLE_CAPACITY);
        return 0;
    }

    char path[PATH_BUFFER_LENGTH];
    strCopyN(path, getLangDir(), PATH_BUFFER_LENGTH);
    strAppendN(path, "Strings/", PATH_BUFFER_LENGTH);
    strAppendN(path, name, PATH_BUFFER_LENGTH);
    if (strAppendN(path, ".lang", PATH_BUFFER_LENGTH) != E_TEXTCOPY_COMPLETE) {
        std::fprintf(stderr, "string table %s refused: path too long\n", name);
        return 0;
    }
    toBackslashes(path);

    u32 size = 0;
    SAssetFile* file = readTableImage(path, &size);
    if (!file) return 0;

    SStringTableView view;
    const EStringTableError error = stringTableOpen(&view, file->data, size);
    u8* shiftedImage = nullptr;
    if (error == E_STRINGTABLE_OK && view.hasOddTexts) {
        shiftedImage = new (std::nothrow) u8[size + 1];
        if (shiftedImage) memCopy(shiftedImage + 1, file->data, size);
    }
    if (error != E_STRINGTABLE_OK || (view.hasOddTexts && !shiftedImage)) {
        std::fprintf(stderr, "string table %s refused: %s\n", path,
                     error != E_STRINGTABLE_OK ? stringTableErrorText(error) : "out of memory");
        releaseAssetFile(file);
        return 0;
    }

    SStringTable* table = g_stringTablePool.take();
    table->file = file;
    table->image = file->data;
    table->view = view;
    table->shiftedImage = shiftedImage;
    table->nameHash = nameHash;
    return 1;
}

u32 loadPlatformStringTable() { return stringTableLoad("Win32"); }

const char16_t* stringTableLookup(u32 idHash) {
    // Tables are only ever released all together, so the pool's order is the load order.
    for (u32 i = 0; i < g_stringTablePool.used; ++i) {
        const SStringTable& table = *g_stringTablePool.table[i];
        const s32 index = stringTableFind(table.view, idHash);
        if (index >= 0) return textOf(table, u32(index));
    }
    return nullptr;
}

const char16_t* getLocalisedString(const char* key) { return stringTableLookup(crc32TextNoCase(key)); }

void intToWide(s32 value, char16_t* out) {
    char16_t digits[INT_TO_WIDE_LENGTH];
    u32 count = 0;
    // The magnitude as unsigned, so that the most negative value has one.
    u32 magnitude = value < 0 ? 0u - u32(value) : u32(value);
    do {
        digits[count++] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    u32 length = 0;
    if (value < 0) out[length++] = u'-';
    while (count > 0) out[length++] = digits[--count];
    out[length] = 0;
}

u32 formatLocalisedInt(char16_t* out, u32 n, u32 idHash, s32 value) {
    char16_t digits[INT_TO_WIDE_LENGTH];
    intToWide(value, digits);
    return formatLocalised(out, n, idHash, u'd', wideReplacement(digits), wideReplacement(digits));
}

u32 formatLocalisedTwoInts(char16_t* out, u32 n, u32 idHash, s32 first, s32 second) {
    char16_t firstDigits[INT_TO_WIDE_LENGTH];
    char16_t secondDigits[INT_TO_WIDE_LENGTH];
    intToWide(first, firstDigits);
    intToWide(second, secondDigits);
    return formatLocalised(out, n, idHash, u'd', wideReplacement(firstDigits), wideReplacement(secondDigits));
}

u32 formatLocalisedNarrowString(char16_t* out, u32 n, u32 idHash, const char* narrow) {
    return formatLocalised(out, n, idHash, u's', narrowReplacement(narrow), narrowReplacement(narrow));
}

u32 formatLocalisedIntByKey(char16_t* out, u32 n, const char* key, s32 value) {
    return formatLocalisedInt(out, n, crc32TextNoCase(key), value);
}

u32 formatLocalisedNarrowStringByKey(char16_t* out, u32 n, const char* key, const char* narrow) {
    return formatLocalisedNarrowString(out, n, crc32TextNoCase(key), narrow);
}
