#include "platform/media/ffmpeg_library.h"

#include <dlfcn.h>

#include <mutex>

SFfmpegLibrary g_FfmpegLibrary;

namespace {

#define VELODRIX_SONAME(name, major) "lib" name ".so." AV_STRINGIFY(major)
const char* const FFMPEG_SONAMES[] = {
    VELODRIX_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
    VELODRIX_SONAME("swresample", LIBSWRESAMPLE_VERSION_MAJOR),
    VELODRIX_SONAME("swscale", LIBSWSCALE_VERSION_MAJOR),
    VELODRIX_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
    VELODRIX_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR),
};
#undef VELODRIX_SONAME
constexpr unsigned FFMPEG_LIBRARY_COUNT = sizeof(FFMPEG_SONAMES) / sizeof(FFMPEG_SONAMES[0]);

// The handles stay open for the life of the process: the readers may run until its end.
void* g_handles[FFMPEG_LIBRARY_COUNT] = {};

template <typename T>
bool find(const char* name, T* out) {
    for (void* handle : g_handles) {
        if (void* symbol = dlsym(handle, name)) {
            *out = reinterpret_cast<T>(symbol);
            return true;
        }
    }
    return false;
}

bool loadOnce() {
    for (unsigned i = 0; i < FFMPEG_LIBRARY_COUNT; ++i) {
        g_handles[i] = dlopen(FFMPEG_SONAMES[i], RTLD_NOW | RTLD_LOCAL);
        if (!g_handles[i]) return false;
    }
    SFfmpegLibrary table;
    bool found = true;
#define VELODRIX_FFMPEG_FIND(name) found = find(#name, &table.name) && found;
    VELODRIX_FFMPEG_FUNCTIONS(VELODRIX_FFMPEG_FIND)
#undef VELODRIX_FFMPEG_FIND
    if (found) g_FfmpegLibrary = table;
    return found;
}

}  // namespace

bool loadFfmpegLibrary() {
    static std::once_flag g_once;
    static bool g_loaded = false;
    std::call_once(g_once, [] { g_loaded = loadOnce(); });
    return g_loaded;
}
