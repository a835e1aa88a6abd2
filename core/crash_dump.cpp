#include "core/crash_dump.h"

#include "platform/crash/crash.h"
#include "platform/os/os.h"

namespace {

struct SBoundedText {
    char* out;
    size_t size;
    size_t length;

    void append(const char* text) {
        for (; *text; ++text) {
            if (length + 1 < size) out[length++] = *text;
        }
        if (size > 0) out[length] = '\0';
    }

    // printf's %d, or %0<width>d when width is above 0.
    void appendNumber(s32 value, int width) {
        char digits[16];
        int count = 0;
        u32 magnitude = value < 0 ? 0u - u32(value) : u32(value);
        do {
            digits[count++] = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        char text[24];
        int length = 0;
        if (value < 0) text[length++] = '-';
        for (int pad = count + (value < 0 ? 1 : 0); pad < width; ++pad) text[length++] = '0';
        while (count > 0) text[length++] = digits[--count];
        text[length] = '\0';
        append(text);
    }
};

}  // namespace

void formatCrashDumpName(char* out, size_t size, s32 build, s32 month, s32 day, s32 year, s32 tickCount) {
    SBoundedText text{out, size, 0};
    if (size > 0) out[0] = '\0';
    text.append("HSQCrashDump__VelodrixBuild_");
    text.appendNumber(build, 0);
    text.append("__");
    text.appendNumber(month, 2);
    text.append("-");
    text.appendNumber(day, 2);
    text.append("-");
    text.appendNumber(year, 4);
    text.append("__");
    text.appendNumber(tickCount, 0);
    text.append(".dmp");
}

s32 crashDumpFilter(const SCrashInfo* info) {
    SOsDateTime now;
    osGetSystemTime(&now);
    char name[CRASH_DUMP_NAME_LENGTH];
    formatCrashDumpName(name, sizeof name, CRASH_BUILD_NUMBER, now.month, now.day, now.year, s32(osTickCount()));
    if (!crashWriteDumpFile(name, info)) {
        crashWriteStderr("EXCEPTION HANDLER -> Could not write mini-dump file with path [");
        crashWriteStderr(name);
        crashWriteStderr("]!\n");
    }
    return 0;
}
