// The crash filter: when the process dies of a fatal signal, a dump file is left in the
// current directory, named after the build, the date and the tick count.
#pragma once

#include "core/types.h"

struct SCrashInfo;

constexpr int CRASH_BUILD_NUMBER = 996;
constexpr int CRASH_DUMP_NAME_LENGTH = 768;

// "HSQCrashDump__VelodrixBuild_%d__%02d-%02d-%04d__%d.dmp" with the build, month, day, year
// and tick count, month before day. Signal-safe: no allocation, no locale.
void formatCrashDumpName(char* out, size_t size, s32 build, s32 month, s32 day, s32 year, s32 tickCount);

// Writes the dump, or the standard-error line when the file cannot be created. Returns 0 in
// every case: the system's own handling of the crash follows.
s32 crashDumpFilter(const SCrashInfo* info);
