// Time, processors and debugger detection.
#include "platform/os/os.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

namespace {

uint64_t monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000ull + uint64_t(now.tv_nsec);
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(int64_t days, int* year, int* month, int* day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    *day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    *month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    *year = int(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

}  // namespace

uint64_t osPerformanceCounter() { return monotonicNanoseconds(); }

uint64_t osPerformanceFrequency() { return 1000000000ull; }

uint32_t osTickCount() { return uint32_t(monotonicNanoseconds() / 1000000ull); }

void osDateTimeFromUnixSeconds(int64_t seconds, SOsDateTime* out) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    civilFromDays(days, &out->year, &out->month, &out->day);
    out->dayOfWeek = int(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    out->hour = int(rest / 3600);
    out->minute = int(rest / 60 % 60);
    out->second = int(rest % 60);
    out->milliseconds = 0;
}

void osGetSystemTime(SOsDateTime* out) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    osDateTimeFromUnixSeconds(int64_t(now.tv_sec), out);
    out->milliseconds = int(now.tv_nsec / 1000000);
}

uint32_t osLogicalProcessorCount() {
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? uint32_t(count) : 1u;
}

uint32_t osProcessorCoreCount() {
    const uint32_t logical = osLogicalProcessorCount();
    std::set<std::pair<int, int>> cores;  // (package, core)
    for (uint32_t cpu = 0; cpu < logical; ++cpu) {
        char path[128];
        int package = -1;
        int core = -1;
        std::snprintf(path, sizeof path, "/sys/devices/system/cpu/cpu%u/topology/physical_package_id", cpu);
        if (FILE* f = std::fopen(path, "r")) {
            if (std::fscanf(f, "%d", &package) != 1) package = -1;
            std::fclose(f);
        }
        std::snprintf(path, sizeof path, "/sys/devices/system/cpu/cpu%u/topology/core_id", cpu);
        if (FILE* f = std::fopen(path, "r")) {
            if (std::fscanf(f, "%d", &core) != 1) core = -1;
            std::fclose(f);
        }
        if (package < 0 || core < 0) return logical;
        cores.insert({package, core});
    }
    return cores.empty() ? logical : uint32_t(cores.size());
}

int osTracerPidFromStatusText(const char* statusText) {
    const char* field = std::strstr(statusText, "TracerPid:");
    if (!field) return 0;
    return std::atoi(field + std::strlen("TracerPid:"));
}

bool osIsDebuggerPresent() {
    const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char text[4096];
    const ssize_t length = read(fd, text, sizeof text - 1);
    close(fd);
    if (length <= 0) return false;
    text[length] = '\0';
    return osTracerPidFromStatusText(text) != 0;
}
