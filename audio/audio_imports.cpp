#include "audio/audio_imports.h"

namespace {

SAudioImports g_imports;

}  // namespace

void setAudioImports(const SAudioImports* imports) { g_imports = imports ? *imports : SAudioImports{}; }

const SAudioImports& audioImports() { return g_imports; }

u32 prepareImportedSongSound(const char16_t* path, f32 durationSeconds, f32 sampleRate) {
    return g_imports.prepareSongSound ? g_imports.prepareSongSound(path, durationSeconds, sampleRate) : 0u;
}
