// A made-up song for the wave tests: by default one minute of spectral frames whose band levels
// climb in steps (so every bar has rising levels), beats every half second, and the play balance
// the schedule and the generators read, held in memory.
#pragma once

#include "audio/analysis/spectrum_analysis.h"
#include "tests/support/audio_songs.h"
#include "world/play/play_record.h"

#include <cstdlib>

constexpr f32 WAVE_SONG_FRAME = 1.0f / 128.0f;
constexpr u32 WAVE_SONG_SECONDS = 60;
constexpr u32 WAVE_SONG_BANDS = 4;

// The song's spectral frames (the climbing band levels, quiet for the first two seconds) and its
// beats, for the seconds and bands; freed by resetSpectrumAnalysis and the beats' release.
inline void makeWaveTestSong(u32 seconds, u32 bands = WAVE_SONG_BANDS) {
    SSpectrumHeader& h = g_SpectrumAnalysis.header;
    h.frameDuration = WAVE_SONG_FRAME;
    h.frameCount = seconds * 128;
    h.bandCount = bands;
    h.bandValues = static_cast<f32*>(std::calloc(size_t(h.frameCount) * h.bandCount, sizeof(f32)));
    for (u32 f = 256; f < h.frameCount; ++f)
        for (u32 b = 0; b < h.bandCount; ++b) h.bandValues[f * h.bandCount + b] = (f32((f / 8 + 3 * b) % 14) + 0.5f) / 14.0f;
    g_aSongBeats.release();
    emptyBeats(&g_aSongBeats);
    for (f32 t = 0.25f; t < f32(seconds); t += 0.5f) test_support::addSongBeat(t);
    g_iCurrentBeat = 0;
}

class WaveSongTest : public test_support::SongFeaturesTest {
protected:
    void SetUp() override {
        SongFeaturesTest::SetUp();
        openSongFeatures("spawn_bar_range { { 2, 6 }; { 3, 8 }; { 4, 9 }; { 4, 11 }; { 5, 12 }; { 6, 14 }; };"
                         "construction_cost { 40, 80, 160, 400 }; inspiration_score_per_type { 10, 25, 60, 200 };"
                         "score_wavekill_base_bonus = 100.0; boss_opps_params_MB1 { { 2400; }; };");
        resetPlayRecord();
        makeSong();
    }

    static void makeSong() { makeWaveTestSong(WAVE_SONG_SECONDS); }
};
