// Name hashes: widgets, settings, script nodes, sound cues, logs, string-table entries and
// packaged files are found by these values alone, and the data files store them.
#pragma once

#include "core/types.h"

// The name hash: CRC-32 table (reflected polynomial 0xEDB88320), start 0, no final inversion.
// Each byte is masked with 0xDF, so letter case does not matter, and the running value is
// shifted right arithmetically (the sign bit is copied). An empty or null name hashes to 0.
u32 crc32TextNoCase(const char* text);

// The case-sensitive variant: bytes unmasked and a logical shift.
u32 crc32Text(const char* text);
