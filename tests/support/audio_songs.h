// Generated songs for the analysis and sound suites: 16-bit samples fed to the spectral pass, the
// song caches' file names, and a package holding sound banks with the engine on the manual null
// output.
#pragma once

#include "audio/analysis/beat.h"
#include "audio/analysis/song_fingerprint.h"
#include "audio/analysis/spawn_bars.h"
#include "audio/analysis/spectral_cache.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/analysis/spectrum_pass.h"
#include "audio/sound/sound_bank.h"
#include "audio/sound/sound_bank_format.h"
#include "audio/sound/sound_engine.h"
#include "core/name_hash.h"
#include "core/script_cache.h"
#include "platform/os/os.h"
#include "tests/support/fatal_catch.h"
#include "tests/support/file_bytes.h"
#include "tests/support/memory_script_source.h"
#include "tests/support/package_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace test_support {

inline SSpectrumStreamFormat pcmFormat(u32 channels, u32 rate, u32 bytesPerSample, u64 frames, u32 integer = 1) {
    return {u32(frames * 1000u / rate), u32(frames * channels * bytesPerSample), channels, bytesPerSample, f32(rate),
            integer};
}

// A generated song in one of the sample formats the pass reads: 24-bit values from a function of
// (sample frame, channel), cut to the format's width. After the end or a failure the rest of a
// request holds junk, which the pass must not read.
class ClSynthSource : public ISpectrumSampleSource {
public:
    ClSynthSource(const SSpectrumStreamFormat& format, u64 totalFrames, std::function<s32(u64, u32)> sample)
        : m_format(format), m_totalFrames(totalFrames), m_sample(std::move(sample)) {}
    // 16-bit samples.
    ClSynthSource(u32 channels, u32 rate, u64 totalFrames, const std::function<s16(u64, u32)>& sample)
        : ClSynthSource(pcmFormat(channels, rate, 2, totalFrames), totalFrames,
                        [sample](u64 i, u32 c) { return s32(sample(i, c)) * 256; }) {}

    u32 pullSamples(void* destination, u32 bytes) override {
        const u32 sampleBytes = m_format.bytesPerSample;
        u8* out = static_cast<u8*>(destination);
        u32 delivered = 0;
        while (!m_failed && delivered + sampleBytes * m_format.channels <= bytes && m_position < m_totalFrames) {
            for (u32 c = 0; c < m_format.channels; ++c, delivered += sampleBytes) {
                const s32 v = m_sample(m_position, c);
                // Integers left-justified in their width (8-bit unsigned); floats over a power of two: exact.
                const u32 word = sampleBytes == 1 ? u32((v >> 16) + 128) : u32(v) << 8 >> (8 * (4 - sampleBytes));
                const f32 f = f32(v) / 8388608.0f;
                std::memcpy(out + delivered, m_format.integerSamples ? static_cast<const void*>(&word) : &f, sampleBytes);
            }
            ++m_position;
            m_failed = m_failAtFrame != 0 && m_position >= m_failAtFrame;
        }
        std::memset(out + delivered, 0x5A, bytes - delivered);
        return delivered;
    }
    bool hasFailed() override { return m_failed; }
    bool sawDamage() override { return m_damaged; }

    u64 m_failAtFrame = 0;
    bool m_damaged = false;  // the decoder skipped damaged data

private:
    SSpectrumStreamFormat m_format;
    u64 m_totalFrames;
    u64 m_position = 0;
    bool m_failed = false;
    std::function<s32(u64, u32)> m_sample;
};

// The spectral pass into g_SpectrumAnalysis: its result code, -1 for a rate the pass has no
// geometry for.
inline s32 runPass(ISpectrumSampleSource* source, const SSpectrumStreamFormat& format) {
    SSpectrumGeometry geometry{};
    if (!computeSpectrumGeometry(format.sampleRate, &geometry)) return -1;
    return runSpectrumPass(source, format, geometry);
}

// The pass over interleaved 16-bit samples, from a fresh analysis.
inline s32 runPassOver(const std::vector<s16>& samples, u32 channels, u32 rate) {
    resetSpectrumAnalysis();
    ClSynthSource source(channels, rate, samples.size() / channels,
                         [&samples, channels](u64 i, u32 c) { return samples[i * channels + c]; });
    return runPass(&source, pcmFormat(channels, rate, 2, samples.size() / channels));
}

// Samples in [-1, 1] (clamped) times `scale`, rounded, each written to `channels` channels.
inline std::vector<s16> pcm16(const std::vector<f32>& mono, u32 channels = 1, f32 scale = 32767.0f) {
    std::vector<s16> out;
    out.reserve(mono.size() * channels);
    for (f32 v : mono) out.insert(out.end(), channels, s16(std::lround(std::clamp(v, -1.0f, 1.0f) * scale)));
    return out;
}

// A 16-bit mono WAVE image of a half-scale 440 Hz sine.
inline std::vector<u8> sineWav(u32 frames, u32 rate) {
    std::vector<s16> samples(frames);
    for (u32 i = 0; i < frames; ++i) samples[i] = s16(16000.0 * std::sin(2.0 * M_PI * 440.0 * i / rate));
    return wavImage({.channels = 1, .rate = rate}, pcm16Bytes(samples));
}

inline void addSongBeat(f32 time, f32 strength = 1.0f, u32 flags = 0) {
    pushBeat(&g_aSongBeats, SBeat{time, strength, flags, 0, {}});
}

inline std::string songCacheFile(const SSongIdentity& identity, u32 salt, const char* extension) {
    char16_t path[768];
    EXPECT_TRUE(buildSongCachePath(identity, salt, extension, path, 768));
    return osSystemPathW(path);
}

// A cue of equally weighted (or `weights`) samples of their file's length, at volume 0.5 on the
// effects scale.
inline SSoundBankInput bankCue(const char* name, std::vector<const char*> samples, std::vector<f32> weights = {}) {
    SSoundBankInput input;
    input.nameHash = crc32TextNoCase(name);
    SSoundDefinition& d = input.definition;
    d.nameHash = input.nameHash;
    d.sampleCount = u32(samples.size());
    for (u32 i = 0; i < d.sampleCount; ++i) {
        std::snprintf(d.fileNames[i], SOUND_SAMPLE_NAME_SIZE, "%s", samples[i]);
        d.weights[i] = weights.empty() ? 1.0f / f32(samples.size()) : weights[i];
        d.lengths[i] = d.defaultFrequencies[i] = -1.0f;
    }
    d.volume = {0.5f, 0, 0.5f, 0.5f};
    d.scaleCount = 1;
    d.scaleSlots[0] = E_SOUNDSCALE_EFFECTS;
    return input;
}

// The peaks of the engine's next `frames` output frames on each side (manual null output), and
// the peak a sineWav sound makes on each side played at full volume from the centre.
struct SHeardPeaks {
    f32 left = 0.0f;
    f32 right = 0.0f;
};
inline SHeardPeaks heardPeaks(u32 frames) {
    std::vector<f32> out(2 * frames);
    getSoundEngineSystem()->advanceNullOutput(frames, out.data());
    SHeardPeaks peaks;
    for (size_t i = 0; i < out.size(); i += 2) {
        peaks.left = std::max(peaks.left, std::fabs(out[i]));
        peaks.right = std::max(peaks.right, std::fabs(out[i + 1]));
    }
    return peaks;
}
constexpr f32 SINE_CENTRE_PEAK = 16000.0f / 32768.0f * 0.70710678f;

// The package "TEST" of files under Audio/ and the bank ZUNO_SFX; the engine runs on the manual
// null output from startEngine on.
class SoundPackageTest : public PackageTest {
protected:
    void TearDown() override {
        shutdownAudioEngine();
        setAudioEngineOutput(E_SOUNDOUTPUT_AUTODETECT);
        PackageTest::TearDown();
    }
    void writeAudio(const std::string& name, const std::vector<u8>& bytes) {
        m_root.write("src_TEST/Audio/" + name, bytes);
    }
    void packBank(const std::vector<SSoundBankInput>& cues) {
        writeAudio("ZUNO_SFX.iAudioSB", soundBankBuild(crc32TextNoCase("ZUNO_SFX"), 0.0f, cues));
        packAndMount("TEST");
    }
    void startEngine() {
        setAudioEngineOutput(E_SOUNDOUTPUT_NOSOUND_MANUAL);
        ASSERT_EQ(initAudioEngine(0), 1);
        ASSERT_EQ(loadSoundBank("ZUNO_SFX", 0), 1);
    }
};

// A song's features worked out over band values the test makes, with the play balance held in
// memory: the spectral analysis, the features and the beat list start empty and go afterwards.
class SongFeaturesTest : public FatalThrowingTest {
protected:
    void openSongFeatures(const char* playBalance) {
        scriptRegistriesInit();
        m_script.files["playbalance.txt"] = playBalance;
        setScriptSource(&m_script);
        resetSpectrumAnalysis();
        resetSongFeatures();
        g_aSongBeats.release();
        emptyBeats(&g_aSongBeats);
        g_iCurrentBeat = 0;
    }
    void TearDown() override {
        releaseSongFeatures();
        releaseSongFeatureBuffer();
        g_aSongBeats.release();
        resetSpectrumAnalysis();
        freeAllScripts();
        setScriptSource(nullptr);
        FatalThrowingTest::TearDown();
    }

    ClMemoryScriptSource m_script;
};

}  // namespace test_support
