// Text encodings of byte buffers: base64 with a caller-chosen tail of the alphabet, and URL
// percent-encoding. Both hand back a new NUL-terminated text (16-byte aligned) that the caller
// releases with std::free. Neither keeps any state, so calls from several threads never meet.
#pragma once

#include "core/types.h"

// Base64 of n bytes: "A"-"Z", "a"-"z", "0"-"9", then char62 and char63 as characters 62 and 63.
// The last group is padded with padChar to a whole 4 characters (one for n mod 3 = 2, two for
// n mod 3 = 1). A standard encoder passes '+', '/' and '='. n = 0 gives the empty text.
// Allocation failure is fatal.
void encodeBase64(const u8* bytes, u32 n, char** outText, char char62, char char63, char padChar);

// Letters, digits and "-._~" are copied; every other byte becomes "%" and two upper-case hex
// digits. Allocation failure is fatal.
void encodeUrl(const u8* bytes, u32 n, char** outText);
