#include "audio/analysis/spawn_bars.h"

#include "audio/analysis/beat.h"
#include "audio/analysis/beat_queries.h"
#include "audio/analysis/song_fingerprint.h"
#include "audio/analysis/spectrum_analysis.h"
#include "core/fatal_error.h"
#include "core/float_array.h"
#include "core/script_cache.h"
#include "core/script_node.h"

#include <cstdlib>
#include <cstring>

SSongFeatures g_SongFeatures = {{}, {}, SPAWN_DEFAULT_FRAME_DURATION, 1.0f, nullptr, 0, 0};
const SSongFeatures& songFeatures() { return g_SongFeatures; }

namespace {

constexpr const char* PLAYBALANCE_SCRIPT = "playbalance.txt";
constexpr const char* SPAWN_BAR_RANGE_NAME = "spawn_bar_range";
// Window activity at which a bar is at full raw level.
constexpr f32 SPAWN_FULL_ACTIVITY = 40.0f;
constexpr f32 SPAWN_MIN_BAR_DURATION = 0.01f;
constexpr s32 SPAWN_SMOOTHING_PERIOD = 5;
// Quotients above this are not frame counts of any song; they only guard the conversions.
constexpr f32 SPAWN_MAX_FRAMES_QUOTIENT = 1.0e9f;

// Rise passes in the order they are tried; the counting-all pass follows them.
struct SRisePass {
    s32 step;
    s32 threshold;
};
constexpr SRisePass SPAWN_RISE_PASSES[] = {{2, 2}, {1, 1}};
constexpr u32 SPAWN_RISE_PASS_COUNT = sizeof(SPAWN_RISE_PASSES) / sizeof(SPAWN_RISE_PASSES[0]);
constexpr SRisePass SPAWN_COUNT_ALL_PASS = {0, 0};

struct SSpawnSong {
    const f32* bandValues;
    u32 frameCount;
    u32 bandCount;
    f32 frameDuration;

    s32 level(u32 frame, u32 band) const { return spawnBandLevel(bandValues[size_t(frame) * bandCount + band]); }
};

SSpawnSong currentSong() {
    const SSpectrumHeader& h = g_SpectrumAnalysis.header;
    SSpawnSong song = {h.bandValues, h.frameCount, h.bandCount, h.frameDuration};
    if (song.bandValues == nullptr || song.bandCount == 0) song.frameCount = 0;
    return song;
}

// trunc(numerator / frame duration) for the frame counts of the bars, guarded against a frame
// duration of 0 or one that is not a number.
u32 framesIn(f32 seconds, f32 frameDuration) {
    if (!(frameDuration > 0.0f)) return 1;
    const f32 quotient = seconds / frameDuration;
    if (!(quotient < SPAWN_MAX_FRAMES_QUOTIENT)) return u32(SPAWN_MAX_FRAMES_QUOTIENT);
    return u32(quotient);
}

f32* allocateFloats(u32 count) {
    void* block = std::malloc((size_t(count) + 1u) * sizeof(f32));
    if (block == nullptr) fatalErrorf("song features: no memory for %u values", count);
    return static_cast<f32*>(block);
}

void emptyOrCreate(ClSpawnBarArray* bars, ClSpawnEventArray* events) {
    if (!bars->inUse) bars->init(ARRAY_INITIAL_CAPACITY);
    bars->count = 0;
    bars->last = nullptr;
    if (!events->inUse) events->init(SPAWN_EVENT_INITIAL_CAPACITY);
    events->count = 0;
    events->last = nullptr;
}

// A[f] = frame duration x the sum of frame f's band levels, divided by the largest A when that
// exceeds 1.
void computeFrameActivity(const SSpawnSong& song, f32* activity) {
    f32 largest = 0.0f;
    for (u32 f = 0; f < song.frameCount; ++f) {
        s32 sum = 0;
        for (u32 b = 0; b < song.bandCount; ++b) sum += song.level(f, b);
        activity[f] = song.frameDuration * f32(sum);
        if (activity[f] > largest) largest = activity[f];
    }
    if (largest > 1.0f) {
        for (u32 f = 0; f < song.frameCount; ++f) activity[f] /= largest;
    }
}

}  // namespace

SSpawnBarRange readSpawnBarRange(u32 levelIndex) {
    // Said here by name: the tree's own message could only guess which script failed last.
    const ClScriptNode* balance = getScript(PLAYBALANCE_SCRIPT, 0);
    if (!balance) fatalErrorf("%s cannot be read from the data packages: it is missing or damaged", PLAYBALANCE_SCRIPT);
    const ClScriptNode* ranges = ClScriptNode::getNamedChildOrDie(balance, SPAWN_BAR_RANGE_NAME);
    char where[256];
    if (levelIndex >= ranges->childCount()) {
        describeScriptNode(ranges, where, sizeof(where));
        fatalErrorf("%s: no entry for difficulty %u (it has %u)", where, levelIndex, ranges->childCount());
    }
    const ClScriptNode* entry = ranges->getChild(levelIndex);
    if (entry->childCount() < 2) {
        describeScriptNode(entry, where, sizeof(where));
        fatalErrorf("%s: the entry for difficulty %u needs lo and hi", where, levelIndex);
    }
    return {entry->getChild(0)->getInt(), entry->getChild(1)->getInt()};
}

namespace {

// Calls visit(frame, band, value) for every value the pass counts over frames [first, end), in
// frame then band order, until visit returns false. Returns false when it was stopped.
template <typename Visit>
bool walkPass(const SSpawnSong& song, u32 first, u32 end, SRisePass pass, Visit visit) {
    for (u32 f = first; f < end; ++f) {
        for (u32 b = 0; b < song.bandCount; ++b) {
            const s32 current = song.level(f, b);
            if (pass.step == 0) {
                for (s32 v = 0; v <= current; ++v) {
                    if (!visit(f, b, v)) return false;
                }
                continue;
            }
            const s32 previous = song.level(f - 1, b);
            if (previous + pass.threshold >= current) continue;
            for (s32 v = previous + 1; v <= current; v += pass.step) {
                if (!visit(f, b, v)) return false;
            }
        }
    }
    return true;
}

u64 countPass(const SSpawnSong& song, u32 first, u32 end, SRisePass pass) {
    u64 count = 0;
    walkPass(song, first, end, pass, [&count](u32, u32, s32) {
        ++count;
        return true;
    });
    return count;
}

// The first pass whose count reaches the target, else the counting-all pass; its events are
// appended until the target is reached (a target of 0 or less still takes the first event).
void emitSpawnEvents(const SSpawnSong& song, u32 first, u32 end, s32 target, ClSpawnEventArray* events) {
    SRisePass kept = SPAWN_COUNT_ALL_PASS;
    for (u32 i = 0; i < SPAWN_RISE_PASS_COUNT; ++i) {
        if (s64(countPass(song, first, end, SPAWN_RISE_PASSES[i])) >= s64(target)) {
            kept = SPAWN_RISE_PASSES[i];
            break;
        }
    }
    s64 emitted = 0;
    walkPass(song, first, end, kept, [&](u32 frame, u32 band, s32 value) {
        SSpawnEvent event = {};
        event.frame = frame;
        event.bandLevel = u8(value);
        event.band = u8(band);
        events->push(event);
        return ++emitted < s64(target);
    });
}

void buildBars(const SSpawnSong& song, const f32* activity, SSpawnBarRange range, SSongFeatures* features) {
    const u32 barFrames = spawnBarFrames(song.frameDuration);
    const u32 secondFrames = framesIn(1.0f, song.frameDuration);
    const u32 windowOffset = barFrames;
    for (u64 start = 1; start + barFrames < song.frameCount; start += barFrames) {
        const u32 s = u32(start);
        const u64 windowFirst = start + windowOffset < song.frameCount ? start + windowOffset : song.frameCount;
        const u64 windowEnd = start + secondFrames < song.frameCount ? start + secondFrames : song.frameCount;
        f32 windowActivity = 0.0f;
        for (u64 f = windowFirst; f < windowEnd; ++f) windowActivity += activity[f];

        SSpawnBar bar = {};
        bar.time = f32(s) * song.frameDuration;
        bar.activity = windowActivity;
        bar.rawLevel = windowActivity / SPAWN_FULL_ACTIVITY;
        if (bar.rawLevel > 1.0f) bar.rawLevel = 1.0f;
        bar.level = bar.rawLevel;
        bar.spawnTarget = s32(bar.rawLevel * f32(range.hi - range.lo) + f32(range.lo));
        emitSpawnEvents(song, s, s + barFrames, bar.spawnTarget, &features->spawnEvents);
        features->bars.push(bar);
    }
}

void normaliseBarLevels(SSongFeatures* features) {
    ClSpawnBarArray& bars = features->bars;
    if (bars.count == 0) return;
    ClFloatArray sorted;
    const auto sortLevels = [&]() { sorted.assignSorted(&bars[0].level, bars.count, sizeof(SSpawnBar), false); };

    sortLevels();
    const f32 p75 = sorted.percentile(75.0f);
    const f32 p95 = sorted.percentile(95.0f);
    features->referenceLevel = p75;
    const f32 scale = 2.0f * p75 < 1.0f ? 2.0f * p75 : 1.0f;
    for (SSpawnBar& bar : bars) {
        if (p95 <= 0.0001f) {
            bar.level = 0.0f;
            continue;
        }
        f32 level = (bar.level / p95) * scale;
        if (!(level > 0.0f)) level = 0.0f;
        bar.level = level > 1.0f ? 1.0f : level;
    }

    sortLevels();
    const f32 p78 = sorted.percentile(78.0f);
    if (p78 < 0.5f) {
        const f32 factor = p78 <= 0.0001f ? 0.0f : 0.5f / p78;
        for (SSpawnBar& bar : bars) {
            const f32 level = bar.level * factor;
            bar.level = level > 1.0f ? 1.0f : level;
        }
    }

    sortLevels();
    const f32 upper = sorted.percentile(78.0f);
    f32 floorLevel = sorted.percentile(22.0f);
    if (upper - 0.05f < floorLevel && floorLevel >= 0.5f) floorLevel -= 0.1f;
    if (floorLevel > 0.25f) {
        const f32 largest = sorted[sorted.count - 1];
        for (SSpawnBar& bar : bars) {
            if (largest - floorLevel <= 0.0001f) {
                bar.level = 0.0f;
                continue;
            }
            const f32 level = ((bar.level - floorLevel) / (largest - floorLevel)) * (largest - 0.25f) + 0.25f;
            bar.level = level > 0.0f ? level : 0.0f;
        }
    }
    sorted.release();
}

void buildBandEnvelopes(const SSpawnSong& song, SSongFeatures* features) {
    if (features->bandEnvelopes != nullptr || song.frameCount == 0) return;
    const u32 values = song.frameCount * song.bandCount;
    f32* envelopes = allocateFloats(values);
    for (u32 f = 0; f < song.frameCount; ++f) {
        const u32 end = f + SPAWN_ENVELOPE_FRAMES < song.frameCount ? f + SPAWN_ENVELOPE_FRAMES : song.frameCount;
        for (u32 b = 0; b < song.bandCount; ++b) {
            s32 sum = 0;
            for (u32 g = f; g < end; ++g) sum += song.level(g, b);
            envelopes[size_t(f) * song.bandCount + b] = f32(sum) / f32(SPAWN_ENVELOPE_FRAMES);
        }
    }
    features->bandEnvelopes = envelopes;
    features->envelopeFrameCount = song.frameCount;
    features->envelopeBandCount = song.bandCount;
}

void flagDropBeats(const ClSpawnBarArray& bars, f32 barDuration) {
    if (!g_aSongBeats.inUse || g_aSongBeats.count == 0) return;
    const f32 earliest = findFirstAudibleTime() + DROP_HOLD_OFF_SECONDS;
    for (u32 k = 2; k < bars.count; ++k) {
        const f32 before = (bars[k - 2].rawLevel + bars[k - 1].rawLevel) * 0.5f;
        if (!(before < DROP_QUIET_LEVEL) || !(bars[k].rawLevel > DROP_LOUD_LEVEL)) continue;
        const f32 t = f32(k) * barDuration;
        if (!(t >= earliest)) continue;
        s32 beat = findNearestBeatInWindow(0, t, DROP_NEAR_WINDOW, DROP_NEAR_WINDOW, E_BEATWINDOW_STRONGEST);
        if (beat < 0) beat = findNearestBeatInWindow(0, t, DROP_FAR_WINDOW, DROP_FAR_WINDOW, E_BEATWINDOW_STRONGEST);
        if (beat < 0) continue;
        SBeat& dropped = g_aSongBeats[u32(beat)];
        dropped.flags |= BEAT_FLAG_DROP;
        dropped.strength = DROP_BEAT_STRENGTH;
        dropped.reserved = 0;
    }
}

}  // namespace

s32 spawnBandLevel(f32 value) {
    if (!(value > 0.0f)) return 0;
    const f32 scaled = SPAWN_BAND_LEVEL_SCALE * value;
    return scaled >= f32(SPAWN_MAX_BAND_LEVEL) ? SPAWN_MAX_BAND_LEVEL : s32(scaled);
}

u32 spawnBarFrames(f32 frameDuration) {
    const u32 frames = framesIn(0.5f, frameDuration);
    return frames != 0 ? frames : 1;
}

f32 spawnBarDuration(f32 frameDuration) {
    const f32 duration = f32(spawnBarFrames(frameDuration)) * frameDuration;
    return duration >= SPAWN_MIN_BAR_DURATION ? duration : SPAWN_MIN_BAR_DURATION;
}

s32 timeToSpectrumFrame(f32 time) {
    const f32 bars = time / spawnBarDuration(g_SongFeatures.frameDuration);
    if (!(bars > 0.0f)) return 0;
    if (!(bars < 2147483520.0f)) return 2147483520;  // the largest f32 below 2^31
    return s32(bars);
}

f32 findFirstAudibleTime() {
    const SSpawnSong song = currentSong();
    for (u32 f = 0; f < song.frameCount; ++f) {
        for (u32 b = 0; b < song.bandCount; ++b) {
            if (song.level(f, b) >= 1) return f32(f) * song.frameDuration;
        }
    }
    return 0.0f;
}

void resetSongFeatures() {
    releaseSongFeatures();
    g_SongFeatures.bars.init(ARRAY_INITIAL_CAPACITY);
    g_SongFeatures.spawnEvents.init(SPAWN_EVENT_INITIAL_CAPACITY);
}

void releaseSongFeatures() {
    g_SongFeatures.bars.release();
    g_SongFeatures.spawnEvents.release();
    std::free(g_SongFeatures.bandEnvelopes);
    g_SongFeatures.bandEnvelopes = nullptr;
    g_SongFeatures.envelopeFrameCount = 0;
    g_SongFeatures.envelopeBandCount = 0;
    g_SongFeatures.frameDuration = SPAWN_DEFAULT_FRAME_DURATION;
    g_SongFeatures.referenceLevel = 1.0f;
}

const ClSpawnEventArray& getSongSpawnEvents() { return g_SongFeatures.spawnEvents; }
const ClSpawnBarArray& getSongSpawnBars() { return g_SongFeatures.bars; }

void computeSongFeatures(u32 levelIndex) {
    // Read first: a fatal error here leaves nothing allocated behind.
    computeSongFeaturesForRange(readSpawnBarRange(levelIndex));
}

void computeSongFeaturesForRange(SSpawnBarRange range) {
    SSongFeatures& features = g_SongFeatures;
    const SSpawnSong song = currentSong();
    if (song.frameDuration > 0.0f) features.frameDuration = song.frameDuration;
    emptyOrCreate(&features.bars, &features.spawnEvents);

    f32* activity = allocateFloats(song.frameCount);
    computeFrameActivity(song, activity);
    buildBars(song, activity, range, &features);
    std::free(activity);

    ClSpawnBarArray& bars = features.bars;
    normaliseBarLevels(&features);
    if (bars.count != 0) {
        emaStrided(SPAWN_SMOOTHING_PERIOD, 0, bars.count, &bars[0].level, &bars[0].smoothedLevel, sizeof(SSpawnBar),
                   sizeof(SSpawnBar));
    }

    const f32 barDuration = spawnBarDuration(features.frameDuration);
    char letters[FINGERPRINT_MAX_LETTERS];
    const u32 letterCount = computeFingerprintLetters(bars.data, bars.count, barDuration, letters);
    storeSongFingerprint(letters, letterCount);

    buildBandEnvelopes(song, &features);
    flagDropBeats(bars, barDuration);
}
