#include "world/state/item_description.h"

#include "core/fatal_error.h"
#include "core/string_helpers.h"

#include <cstring>

namespace {

void widenInto(char16_t* out, u32 capacity, const char* text) {
    u32 i = 0;
    for (; text[i] && i + 1 < capacity; ++i) out[i] = char16_t(static_cast<unsigned char>(text[i]));
    out[i] = 0;
}

// Appends text at *at, keeping room for the terminator.
void appendWide(char16_t* out, u32 capacity, u32* at, const char16_t* text) {
    for (u32 i = 0; text[i] && *at + 1 < capacity; ++i) out[(*at)++] = text[i];
    out[*at] = 0;
}

void checkIndex(u32 index, u32 count, const char* what) {
    if (index >= count) fatalErrorf("item description: %s %u past the %u there are", what, index, count);
}

}  // namespace

void SRatingLine::set(const char* valueText, const char16_t* labelText) {
    present = 1;
    strCopyN(value, valueText ? valueText : "", RATING_TEXT_LENGTH);
    wstrCopyN(label, labelText ? labelText : u"", RATING_TEXT_LENGTH);
}

void SRatingLine::formatText(char16_t* out, u32 outCapacity, u32 withUnit) const {
    if (outCapacity == 0) return;
    u32 at = 0;
    out[0] = 0;
    char16_t wideValue[RATING_TEXT_LENGTH];
    widenInto(wideValue, RATING_TEXT_LENGTH, value);
    appendWide(out, outCapacity, &at, label);
    appendWide(out, outCapacity, &at, u" ");
    appendWide(out, outCapacity, &at, wideValue);
    if (withUnit) appendWide(out, outCapacity, &at, unit);
}

void SItemDescription::reset() { std::memset(this, 0, sizeof(*this)); }

void SItemDescription::setKindText(const char* kind) {
    widenInto(kindText, ITEM_TEXT_LENGTH, kind ? kind : "");
    kindTextPresent = 1;
}

void SItemDescription::setLine(u32 index, const char16_t* text) {
    checkIndex(index, ITEM_LINE_COUNT, "line");
    wstrCopyN(lines[index], text ? text : u"", ITEM_TEXT_LENGTH);
    linePresent[index] = 1;
}
