#include "audio/sound/song_sound_hook.h"

#include <atomic>

namespace {
std::atomic<PrepareSongSoundFn> g_pfnPrepareSongSound{nullptr};
}  // namespace

void setPrepareSongSoundHook(PrepareSongSoundFn hook) { g_pfnPrepareSongSound.store(hook); }

u32 runPrepareSongSoundHook(const char16_t* path, f32 durationSeconds, f32 sampleRate) {
    const PrepareSongSoundFn hook = g_pfnPrepareSongSound.load();
    return hook != nullptr ? hook(path, durationSeconds, sampleRate) : 0u;
}
