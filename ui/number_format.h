// Numbers as the interface shows them.
#pragma once

#include "core/types.h"

// Longest result for a 32-bit value: "-2,147,483,648" and the terminator.
constexpr u32 THOUSANDS_TEXT_LENGTH = 16;

// Copies a text of decimal digits (a leading '-' allowed) into out with ',' between each group
// of three digits counted from the right: "1234567" gives "1,234,567". out holds `capacity`
// characters, terminator included; a result that does not fit leaves out empty and returns
// false.
bool formatThousandsNarrow(const char* digits, char* out, u32 capacity);
// The value in decimal, grouped the same way; out holds THOUSANDS_TEXT_LENGTH characters.
void formatIntThousandsNarrow(s32 value, char* out);
