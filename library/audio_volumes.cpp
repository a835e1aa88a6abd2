#include "library/audio_volumes.h"

#include "audio/sound/sound_bank_format.h"
#include "audio/sound/sound_engine.h"
#include "core/config.h"

namespace {
f32 g_fSongVolumeFactor = 1.0f;
}  // namespace

void setSongVolumeFactor(f32 factor) { g_fSongVolumeFactor = factor; }

namespace {

f32 baseUnless(const char* disableKey) { return configGetInt(disableKey) != 0 ? 0.0f : 1.0f; }

}  // namespace

void applyAudioVolumes() {
    setVolumeScaleBase(E_SOUNDSCALE_MUSIC, baseUnless("DISABLE_MUSIC"));
    setVolumeScaleBase(E_SOUNDSCALE_EFFECTS, baseUnless("DISABLE_SFX"));
    setVolumeScaleBase(E_SOUNDSCALE_VOICE, baseUnless("DISABLE_VOICE"));
    setVolumeScaleBase(E_SOUNDSCALE_SONG_VOLUME, g_fSongVolumeFactor);
}
