// velodrix_sfx_synth: synthesises the game's sound effects as 16-bit mono WAV files.
//
//   velodrix_sfx_synth OUTPUT_FOLDER
//
// Writes "<cue name>.wav" for every effect below: blips, pitch sweeps, noise bursts, explosions,
// the boss melody's notes, three loops, the menu music and the guardian's voice. Every file is
// made from a fixed seed, so two builds give the same bytes. The loops hold a whole number of
// periods of every component, so they repeat without a click.
#include "tools/common/mono_wav.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int SAMPLE_RATE = 48000;
constexpr double PI = 3.14159265358979323846;

enum class Wave { Sine, Square, Saw, Triangle };

// A small deterministic noise source, independent of the game's generators.
struct Noise {
    uint32_t state;
    double next() {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 23) - 1.0;
    }
};

double waveAt(Wave wave, double phase) {
    const double p = phase - std::floor(phase);
    switch (wave) {
    case Wave::Sine: return std::sin(2.0 * PI * p);
    case Wave::Square: return p < 0.5 ? 1.0 : -1.0;
    case Wave::Saw: return 2.0 * p - 1.0;
    case Wave::Triangle: return p < 0.5 ? 4.0 * p - 1.0 : 3.0 - 4.0 * p;
    }
    return 0.0;
}

using Buffer = std::vector<double>;

Buffer silence(double seconds) { return Buffer(size_t(seconds * SAMPLE_RATE), 0.0); }

// Attack in seconds, then an exponential decay to about -60 dB at the end.
double envelope(size_t i, size_t count, double attack) {
    const double t = double(i) / SAMPLE_RATE;
    const double length = double(count) / SAMPLE_RATE;
    const double rise = attack > 0.0 ? std::fmin(t / attack, 1.0) : 1.0;
    return rise * std::exp(-6.9 * t / length);
}

// A tone whose frequency glides exponentially from f0 to f1.
void addSweep(Buffer& out, Wave wave, double f0, double f1, double level, double attack = 0.002) {
    double phase = 0.0;
    const size_t count = out.size();
    for (size_t i = 0; i < count; ++i) {
        const double u = double(i) / double(count);
        phase += f0 * std::pow(f1 / f0, u) / SAMPLE_RATE;
        out[i] += level * envelope(i, count, attack) * waveAt(wave, phase);
    }
}

// Noise through a one-pole low-pass whose cut-off glides from c0 to c1 (0 to 1).
void addNoise(Buffer& out, uint32_t seed, double c0, double c1, double level, double attack = 0.001) {
    Noise noise{seed};
    double filtered = 0.0;
    const size_t count = out.size();
    for (size_t i = 0; i < count; ++i) {
        const double u = double(i) / double(count);
        filtered += (c0 + (c1 - c0) * u) * (noise.next() - filtered);
        out[i] += level * envelope(i, count, attack) * filtered;
    }
}

Buffer blip(double seconds, Wave wave, double frequency, double level) {
    Buffer out = silence(seconds);
    addSweep(out, wave, frequency, frequency, level);
    return out;
}

Buffer sweep(double seconds, Wave wave, double f0, double f1, double level) {
    Buffer out = silence(seconds);
    addSweep(out, wave, f0, f1, level);
    return out;
}

Buffer noiseBurst(double seconds, uint32_t seed, double c0, double c1, double level) {
    Buffer out = silence(seconds);
    addNoise(out, seed, c0, c1, level);
    return out;
}

// A rumble of darkening noise over a falling thump.
Buffer explosion(double seconds, uint32_t seed, double thump, double level) {
    Buffer out = silence(seconds);
    addNoise(out, seed, 0.5, 0.02, level * 0.6);
    addSweep(out, Wave::Sine, thump, thump * 0.3, level * 0.5, 0.004);
    return out;
}

// A plucked note with two overtones, for the boss melody.
Buffer note(double frequency) {
    Buffer out = silence(0.45);
    addSweep(out, Wave::Sine, frequency, frequency, 0.45, 0.003);
    addSweep(out, Wave::Sine, frequency * 2.0, frequency * 2.0, 0.15, 0.003);
    addSweep(out, Wave::Triangle, frequency * 3.0, frequency * 3.0, 0.06, 0.003);
    return out;
}

// Loops: steady level, every component a whole number of cycles over the length.
Buffer loopTone(double seconds, double base, double wobble, double level) {
    Buffer out = silence(seconds);
    const double cycles = std::round(base * seconds);
    const double wobbleCycles = std::round(wobble * seconds);
    const size_t count = out.size();
    for (size_t i = 0; i < count; ++i) {
        const double u = double(i) / double(count);
        const double depth = 0.5 + 0.5 * std::sin(2.0 * PI * wobbleCycles * u);
        out[i] = level * (waveAt(Wave::Sine, cycles * u) * (0.6 + 0.4 * depth) +
                          0.25 * waveAt(Wave::Triangle, 2.0 * cycles * u) * depth);
    }
    return out;
}

Buffer loopDrone(double seconds, double base, double level) {
    Buffer out = silence(seconds);
    const double c1 = std::round(base * seconds);
    const double c2 = c1 + 1.0;  // one beat over the loop
    const double c3 = std::round(base * 1.5 * seconds);
    const size_t count = out.size();
    for (size_t i = 0; i < count; ++i) {
        const double u = double(i) / double(count);
        out[i] = level * (0.4 * waveAt(Wave::Saw, c1 * u) + 0.4 * waveAt(Wave::Saw, c2 * u) +
                          0.2 * waveAt(Wave::Sine, c3 * u));
    }
    return out;
}

// The menu music: a soft arpeggio of sixteen notes a bar over a held fifth, in bars of 2 s.
// Every note has decayed to silence before the next, and the pad holds whole cycles, so the
// loop repeats without a click.
Buffer loopArpeggio(int bars, double level) {
    const double notes[16] = {220.0, 261.63, 329.63, 440.0, 329.63, 261.63, 220.0, 261.63,
                              174.61, 220.0, 261.63, 349.23, 261.63, 220.0, 196.0, 246.94};
    const double noteSeconds = 2.0 / 16.0;
    Buffer out = silence(2.0 * bars);
    const size_t noteLength = size_t(noteSeconds * SAMPLE_RATE);
    for (size_t n = 0; n < size_t(bars) * 16; ++n) {
        const double f = notes[n % 16] * (n / 16 % 2 ? 1.0 : 2.0);
        for (size_t i = 0; i < noteLength; ++i)
            out[n * noteLength + i] += level * envelope(i, noteLength, 0.004) * waveAt(Wave::Triangle, f * i / SAMPLE_RATE);
    }
    const double seconds = double(out.size()) / SAMPLE_RATE;
    for (size_t i = 0; i < out.size(); ++i) {
        const double u = double(i) / double(out.size());
        out[i] += level * 0.3 * (waveAt(Wave::Sine, std::round(110.0 * seconds) * u) +
                                 waveAt(Wave::Sine, std::round(165.0 * seconds) * u));
    }
    return out;
}

// Crackling static: noise whose loudness jumps every few milliseconds, faded at both ends of the
// loop by a sine window so the seam is smooth.
Buffer loopStatic(double seconds, uint32_t seed, double level) {
    Buffer out = silence(seconds);
    Noise noise{seed};
    Noise crackle{seed * 7u + 1u};
    double gain = 0.5;
    const size_t count = out.size();
    for (size_t i = 0; i < count; ++i) {
        if (i % 240 == 0) gain = 0.3 + 0.7 * std::fabs(crackle.next());
        const double u = double(i) / double(count);
        const double seam = 0.85 + 0.15 * std::sin(PI * u);
        out[i] = level * gain * seam * noise.next();
    }
    return out;
}

// The guardian's voice: a low buzz through two vowel resonances that move from syllable to
// syllable, each syllable swelling and fading, with a pause between phrases.
Buffer voice(double seconds, uint32_t seed, double pitch, double level) {
    Buffer out = silence(seconds);
    Noise choice{seed};
    const double syllable = 0.22;
    const size_t syllableLength = size_t(syllable * SAMPLE_RATE);
    double phase = 0.0;
    double low = 0.0, band = 0.0;
    double f1 = 500.0, f2 = 1500.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const size_t s = i / syllableLength;
        if (i % syllableLength == 0) {
            f1 = 350.0 + 350.0 * std::fabs(choice.next());
            f2 = 900.0 + 1400.0 * std::fabs(choice.next());
        }
        const double u = double(i % syllableLength) / double(syllableLength);
        const bool pause = s % 7 == 6;
        const double gate = pause ? 0.0 : std::sin(PI * u);
        const double t = double(i) / SAMPLE_RATE;
        phase += pitch * (1.0 + 0.04 * std::sin(2.0 * PI * 3.0 * t)) / SAMPLE_RATE;
        const double buzz = waveAt(Wave::Saw, phase);
        // Two one-pole band shapes stand in for the vowel's formants.
        low += (2.0 * PI * f1 / SAMPLE_RATE) * (buzz - low);
        band += (2.0 * PI * f2 / SAMPLE_RATE) * (buzz - band);
        out[i] = level * gate * (0.7 * low + 0.3 * (band - low));
    }
    return out;
}

Buffer concat(const Buffer& a, const Buffer& b) {
    Buffer out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

bool writeWav(const std::string& path, const Buffer& samples) {
    return tool_wav::writeMonoWav16(path, samples, SAMPLE_RATE);
}

struct Effect {
    std::string name;
    Buffer samples;
};

std::vector<Effect> makeEffects() {
    std::vector<Effect> e;
    // Combat.
    e.push_back({"PlayerImpact", concat(noiseBurst(0.05, 11, 0.9, 0.3, 0.7), sweep(0.2, Wave::Square, 220, 90, 0.3))});
    e.push_back({"DefaultImpactsEnemy", noiseBurst(0.08, 12, 0.8, 0.2, 0.6)});
    e.push_back({"BossImpact", concat(noiseBurst(0.04, 13, 0.9, 0.5, 0.6), sweep(0.25, Wave::Saw, 160, 70, 0.35))});
    e.push_back({"EnemyDestroyedSmall", explosion(0.35, 14, 180, 0.6)});
    e.push_back({"EnemyDestroyedMedium", explosion(0.6, 15, 130, 0.7)});
    e.push_back({"EnemyDestroyedLarge", explosion(1.0, 16, 90, 0.8)});
    e.push_back({"EnemySpawnSmall", sweep(0.18, Wave::Triangle, 300, 1200, 0.4)});
    e.push_back({"DeathOfBoss", explosion(2.2, 17, 60, 0.9)});
    e.push_back({"PlayerRespawns", sweep(0.5, Wave::Sine, 200, 1600, 0.5)});
    e.push_back({"PlayerShipDestroyed", explosion(1.4, 18, 70, 0.9)});
    e.push_back({"BobOmbExplosion", explosion(0.9, 19, 80, 0.85)});
    // Weapons.
    e.push_back({"SmallEnemyWeaponFire", sweep(0.1, Wave::Square, 900, 400, 0.3)});
    e.push_back({"CircularStaffWeaponFire", sweep(0.3, Wave::Triangle, 500, 1500, 0.4)});
    e.push_back({"CannonBurstFire", concat(noiseBurst(0.03, 21, 0.9, 0.4, 0.5), blip(0.12, Wave::Square, 140, 0.35))});
    e.push_back({"ShotGunFire", noiseBurst(0.25, 22, 0.95, 0.05, 0.7)});
    e.push_back({"BlasterFire", sweep(0.12, Wave::Saw, 1400, 300, 0.3)});
    e.push_back({"MissileFire", concat(sweep(0.08, Wave::Square, 200, 600, 0.3), noiseBurst(0.3, 23, 0.4, 0.1, 0.45))});
    e.push_back({"SonicSubwooferFire", sweep(0.3, Wave::Sine, 110, 45, 0.8)});
    e.push_back({"SonicTweeterFire", sweep(0.15, Wave::Sine, 3200, 5200, 0.3)});
    e.push_back({"ChargingWeaponBuildUp", sweep(1.2, Wave::Triangle, 150, 900, 0.35)});
    e.push_back({"ChargingWeaponSustainLoop", loopTone(1.0, 440, 6, 0.3)});
    e.push_back({"ChargingWeaponReleaseEarlySmall", sweep(0.12, Wave::Sine, 600, 300, 0.3)});
    e.push_back({"ChargingWeaponReleaseEarlyMedium", sweep(0.16, Wave::Sine, 700, 280, 0.35)});
    e.push_back({"ChargingWeaponFireSmall", sweep(0.15, Wave::Saw, 900, 400, 0.35)});
    e.push_back({"ChargingWeaponFireMedium", concat(noiseBurst(0.03, 24, 0.9, 0.5, 0.4), sweep(0.25, Wave::Saw, 800, 250, 0.4))});
    e.push_back({"ChargingWeaponFireFull", concat(noiseBurst(0.05, 25, 0.9, 0.3, 0.6), sweep(0.4, Wave::Saw, 700, 120, 0.5))});
    // Boss whip.
    e.push_back({"WhipItCharge", sweep(0.6, Wave::Square, 120, 480, 0.3)});
    e.push_back({"WhipItFire", concat(noiseBurst(0.05, 26, 0.95, 0.8, 0.6), sweep(0.3, Wave::Saw, 1800, 200, 0.4))});
    // The boss melody: fourteen notes of a pentatonic scale from A3.
    const int steps[14] = {0, 2, 4, 7, 9, 12, 14, 16, 19, 21, 24, 26, 28, 31};
    for (int i = 0; i < 14; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "note_%02d", i + 1);
        e.push_back({name, note(220.0 * std::pow(2.0, steps[i] / 12.0))});
    }
    // Guardian static and corruption.
    e.push_back({"SG_RetryStatic", noiseBurst(2.5, 31, 0.7, 0.3, 0.5)});
    e.push_back({"GS_Static", loopStatic(2.0, 32, 0.35)});
    e.push_back({"InGameSGCorruption", loopDrone(4.0, 55, 0.4)});
    e.push_back({"MainMenuMusic", loopArpeggio(4, 0.3)});
    // Guardian voice.
    e.push_back({"SG_InGameIntro_Boss", voice(6.5, 41, 95.0, 0.8)});
    e.push_back({"SG_PostWin_Boss", voice(4.0, 42, 105.0, 0.8)});
    e.push_back({"SG_Splash_Intro", voice(3.5, 43, 100.0, 0.8)});
    e.push_back({"SG_PostWinBossMenu", voice(4.8, 45, 100.0, 0.8)});
    e.push_back({"SG_VO_Interview_1", voice(3.5, 44, 90.0, 0.8)});
    e.push_back({"SG_VO_Interview_2", voice(4.3, 46, 92.0, 0.8)});
    e.push_back({"SG_VO_Interview_3", voice(3.7, 47, 88.0, 0.8)});
    return e;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velodrix_sfx_synth OUTPUT_FOLDER\n");
        return 2;
    }
    for (const Effect& effect : makeEffects()) {
        const std::string path = std::string(argv[1]) + "/" + effect.name + ".wav";
        if (!writeWav(path, effect.samples)) {
            std::fprintf(stderr, "velodrix_sfx_synth: %s: cannot be written\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
