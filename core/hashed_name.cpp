#include "core/hashed_name.h"

#include <cstring>

#include "core/name_hash.h"
#include "core/string.h"

ClHashedName::ClHashedName() : text(g_szEmptyText), hash(0), owned(0) {}

ClHashedName::~ClHashedName() { release(); }

void ClHashedName::assignText(const char* source) {
    if (!source) source = g_szEmptyText;
    const size_t n = size_t(checkedTextLength(source));
    char* block = allocTextBlock(n + 1);
    std::memcpy(block, source, n + 1);
    release();
    text = block;
    hash = crc32TextNoCase(block);
    owned = 1;
}

void ClHashedName::release() {
    if (owned) freeTextBlock(const_cast<char*>(text));
    text = g_szEmptyText;
    hash = 0;
    owned = 0;
}
