#include "core/hashed_name.h"

#include <cstring>

#include "core/name_hash.h"
#include "core/string.h"

ClHashedName::ClHashedName() : text(g_szEmptyText), hash(0), owned(0) {}

ClHashedName::ClHashedName(const ClHashedName& other) : ClHashedName() { assign(other); }

ClHashedName::~ClHashedName() { release(); }

void ClHashedName::initFromText(const char* source) { assignText(source); }

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

void ClHashedName::assign(const ClHashedName& other) {
    if (&other == this) return;
    if (!other.owned) {
        char* block = allocTextBlock(1);
        block[0] = '\0';
        release();
        text = block;
        hash = 0;
        owned = 1;
        return;
    }
    const size_t n = size_t(checkedTextLength(other.text));
    char* block = allocTextBlock(n + 1);
    std::memcpy(block, other.text, n + 1);
    const u32 otherHash = other.hash;
    release();
    text = block;
    hash = otherHash;
    owned = 1;
}

void ClHashedName::release() {
    if (owned) freeTextBlock(const_cast<char*>(text));
    text = g_szEmptyText;
    hash = 0;
    owned = 0;
}
