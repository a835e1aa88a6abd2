// velodrix_demo_song: synthesises the demo song that ships in the soundtrack folder, so that a
// fresh installation has a song to play.
//
//   velodrix_demo_song OUTPUT_FILE
//
// Writes a 16-bit mono WAV of 60 bars at 120 beats per minute (120 s): decaying drum hits (kick,
// snare, hats), a bass line and a lead melody over a four-chord loop, in sections that come and
// go (drums alone, bass joins, lead joins, a quiet break, everything), so that the song has
// clear beats and loud bars after quiet ones. The same bytes come out of every build.
#include "tools/common/mono_wav.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int SAMPLE_RATE = 44100;
constexpr double PI = 3.14159265358979323846;
constexpr double BEATS_PER_MINUTE = 120.0;
constexpr int BEATS_PER_BAR = 4;
constexpr int BAR_COUNT = 60;
constexpr double BEAT_SECONDS = 60.0 / BEATS_PER_MINUTE;

using Buffer = std::vector<double>;

struct Noise {
    uint32_t state;
    double next() {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 23) - 1.0;
    }
};

size_t sampleAt(double seconds) { return size_t(seconds * SAMPLE_RATE); }

// A kick: a sine falling from 140 Hz to 45 Hz with a fast exponential decay.
void addKick(Buffer& out, double at, double level) {
    const size_t start = sampleAt(at);
    const size_t length = sampleAt(0.35);
    double phase = 0.0;
    for (size_t i = 0; i < length && start + i < out.size(); ++i) {
        const double t = double(i) / SAMPLE_RATE;
        phase += (45.0 + 95.0 * std::exp(-t * 30.0)) / SAMPLE_RATE;
        out[start + i] += level * std::exp(-t * 9.0) * std::sin(2.0 * PI * phase);
    }
}

// Noise through a one-pole filter: a snare (low cut-off, longer) or a hat (high, short).
void addNoiseHit(Buffer& out, double at, double seconds, double decay, double brightness, double level,
                 Noise& noise) {
    const size_t start = sampleAt(at);
    const size_t length = sampleAt(seconds);
    double low = 0.0;
    for (size_t i = 0; i < length && start + i < out.size(); ++i) {
        const double t = double(i) / SAMPLE_RATE;
        const double white = noise.next();
        low += 0.3 * (white - low);
        const double shaped = brightness * (white - low) + (1.0 - brightness) * low;
        out[start + i] += level * std::exp(-t * decay) * shaped;
    }
}

// A note of a saw (bass) or square-ish pulse (lead) with a short attack and a decay.
void addNote(Buffer& out, double at, double seconds, double frequency, double level, bool pulse) {
    const size_t start = sampleAt(at);
    const size_t length = sampleAt(seconds);
    for (size_t i = 0; i < length && start + i < out.size(); ++i) {
        const double t = double(i) / SAMPLE_RATE;
        const double p = frequency * t - std::floor(frequency * t);
        const double wave = pulse ? (p < 0.3 ? 0.8 : -0.8) + 0.3 * std::sin(2.0 * PI * p) : 2.0 * p - 1.0;
        const double envelope = std::fmin(t / 0.004, 1.0) * std::exp(-t * (pulse ? 3.0 : 5.0));
        out[start + i] += level * envelope * wave;
    }
}

double noteFrequency(int semitonesFromA) { return 220.0 * std::pow(2.0, semitonesFromA / 12.0); }

// Which parts play in a bar.
struct Section {
    bool drums;
    bool bass;
    bool lead;
    double level;
};

Section sectionOf(int bar) {
    if (bar < 8) return {true, false, false, 0.8};
    if (bar < 16) return {true, true, false, 0.9};
    if (bar < 32) return {true, true, true, 1.0};
    if (bar < 36) return {false, true, false, 0.35};  // the break: quiet, then everything at once
    if (bar < 56) return {true, true, true, 1.0};
    return {true, false, false, 0.7};
}

Buffer makeSong() {
    Buffer out(sampleAt(BAR_COUNT * BEATS_PER_BAR * BEAT_SECONDS + 1.0), 0.0);
    Noise noise{0x5EED1234u};
    // A minor, F major, C major, G major: roots in semitones from A 220 Hz.
    const int chordRoots[4] = {0, -4, 3, -2};
    // The lead's phrase over two bars, in semitones above the chord root (-100: rest).
    const int phrase[16] = {12, 15, 19, 15, 17, 15, 12, -100, 10, 12, 15, 12, 19, 17, 15, 12};

    for (int bar = 0; bar < BAR_COUNT; ++bar) {
        const Section section = sectionOf(bar);
        const double barStart = bar * BEATS_PER_BAR * BEAT_SECONDS;
        const int root = chordRoots[bar % 4];
        for (int beat = 0; beat < BEATS_PER_BAR; ++beat) {
            const double at = barStart + beat * BEAT_SECONDS;
            if (section.drums) {
                addKick(out, at, 0.9 * section.level);
                if (beat % 2 == 1) addNoiseHit(out, at, 0.25, 14.0, 0.6, 0.45 * section.level, noise);
                for (int half = 0; half < 2; ++half) {
                    addNoiseHit(out, at + half * BEAT_SECONDS / 2, 0.05, 70.0, 1.0, 0.07 * section.level, noise);
                }
            }
            if (section.bass) {
                for (int half = 0; half < 2; ++half) {
                    const int step = half == 1 && beat % 2 == 1 ? 7 : 0;
                    addNote(out, at + half * BEAT_SECONDS / 2, BEAT_SECONDS / 2, noteFrequency(root - 24 + step),
                            0.35 * section.level, false);
                }
            }
            if (section.lead) {
                const int index = (bar % 2) * 8 + beat * 2;
                for (int half = 0; half < 2; ++half) {
                    const int interval = phrase[index + half];
                    if (interval == -100) continue;
                    addNote(out, at + half * BEAT_SECONDS / 2, BEAT_SECONDS * 0.45, noteFrequency(root + interval - 12),
                            0.22 * section.level, true);
                }
            }
        }
    }
    return out;
}

// Normalised to just under full scale.
bool writeWav(const std::string& path, const Buffer& samples) {
    double peak = 0.0;
    for (double s : samples) peak = std::fmax(peak, std::fabs(s));
    return tool_wav::writeMonoWav16(path, samples, SAMPLE_RATE, peak > 0.0 ? 0.89 / peak : 1.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velodrix_demo_song OUTPUT_FILE\n");
        return 2;
    }
    if (!writeWav(argv[1], makeSong())) {
        std::fprintf(stderr, "velodrix_demo_song: %s: cannot be written\n", argv[1]);
        return 1;
    }
    return 0;
}
