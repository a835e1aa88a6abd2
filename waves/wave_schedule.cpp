// The schedule rule. A song is cut into windows of whole spawn bars (half a second each); a
// window makes at most one wave:
//   - its spawn events (rising band levels, spawn_bar_range in playbalance.txt) give the member
//     count: ceil(events / eventsPerMember), held to 1 .. maxMembers; no event, no wave;
//   - its bars' mean level gives the size: 0.7 or more large, 0.4 or more medium, else small;
//     a drop beat inside the window makes it large. Medium waves take half the members, large
//     ones a quarter (at least one);
//   - collectSpacedBeats over the window (any flags, the level's spacing, at most one beat per
//     member) gives the arrival beats; member i arrives on beat i x beats / members, so the
//     first member arrives on the window's first beat. No beat in the window, no wave;
//   - one draw per wave, after its size, picks the wave's enemy family of that size by the
//     families' shares (waves/wave_families.h); of the waves the draw leaves to their size, every
//     other one is built by the song's rolled generator of the size and the ones between take the
//     packs' generators of the size in turn, so a long play shows every family;
//   - the members stand on a ring round a centre drawn inside the arena and fly in from one
//     side drawn at random, straight and timed, so that each reaches its point at its beat; they
//     then roam the arena, bouncing, and steer out at the opposite side, where the path destroys
//     them.
// Draws come from the song's own generator in a fixed order, so a song and a difficulty always
// give the same plan. Waves stop once the entity budget or the wave pool is used up.
//
// collectSpacedBeats takes the first beat at or after the window's start and before its end,
// whatever its flags, then later ones that are spaced enough, up to the maximum; a maximum of 0
// or a window without a beat gives nothing. The schedule relies on exactly that: a beat past the
// window's end is never taken.
#include "waves/wave_schedule.h"

#include "audio/analysis/beat.h"
#include "audio/analysis/spawn_bars.h"
#include "audio/play/beat_events.h"
#include "core/fatal_error.h"
#include "core/rand_obj.h"
#include "world/entity/dna_program.h"
#include "world/generators/dna_generator.h"
#include "world/services/play_area.h"

#include <cfloat>
#include <cmath>

namespace {

const SWaveLevelRule LEVEL_RULES[DIFFICULTY_LEVEL_COUNT] = {
    {8, 8, 4, 0.45f, 0.0f, 1.0f},  {7, 7, 6, 0.4f, 0.1f, 1.25f},  {6, 6, 8, 0.35f, 0.2f, 1.5f},
    {5, 5, 10, 0.3f, 0.3f, 2.0f},  {4, 4, 12, 0.25f, 0.4f, 2.5f}, {3, 4, 16, 0.2f, 0.5f, 3.0f},
};

constexpr f32 LARGE_LEVEL = 0.7f;
constexpr f32 MEDIUM_LEVEL = 0.4f;
// Where the formation centres and member points may lie (units inside the arena's edges).
constexpr f32 CENTRE_MARGIN_X = 60.0f;
constexpr f32 CENTRE_MARGIN_Z = 50.0f;
constexpr f32 POINT_MARGIN = 15.0f;
// How far outside the arena members appear and leave.
constexpr f32 OUTSIDE_DISTANCE = 60.0f;
constexpr f32 TWO_PI = 6.2831853f;
constexpr f32 TARGET_SHARES[2] = {0.4f, 0.7f};

struct SSizeRule {
    u32 category;
    u32 speedClass;
    f32 roamSeconds;
    f32 ringSpacing;  // units of ring radius per member
    u32 memberDivisor;
};
const SSizeRule SIZE_RULES[3] = {
    {E_GENCAT_ENEMY_SMALL, 1, 10.0f, 5.0f, 1},
    {E_GENCAT_ENEMY_MEDIUM, 2, 14.0f, 8.0f, 2},
    {E_GENCAT_ENEMY_LARGE, 3, 18.0f, 12.0f, 4},
};

f32 clampF(f32 v, f32 lo, f32 hi) { return v < lo ? lo : (v > hi ? hi : v); }

// The point with the coordinate of `side` (0 -x, 1 +x, 2 -z, 3 +z) moved outside the arena.
ClVec3 outsideOn(const ClVec3& point, u32 side) {
    ClVec3 p = point;
    switch (side) {
        case 0: p.x = -OUTSIDE_DISTANCE; break;
        case 1: p.x = PLAY_AREA_WIDTH + OUTSIDE_DISTANCE; break;
        case 2: p.z = -OUTSIDE_DISTANCE; break;
        default: p.z = PLAY_AREA_DEPTH + OUTSIDE_DISTANCE; break;
    }
    return p;
}

struct SWindow {
    f32 start;
    f32 end;
    u32 events;
    f32 meanLevel;
    bool drop;
};

bool windowHasDrop(f32 start, f32 end) {
    for (const SBeat& beat : songBeats()) {
        if (beat.time >= end) break;
        if (beat.time >= start && (beat.flags & BEAT_FLAG_DROP)) return true;
    }
    return false;
}

void placeMembers(SPlannedWave* wave, const SSizeRule& size, ClRandObjSFMT* random) {
    const ClVec3 centre(random->randomFloatInRange(CENTRE_MARGIN_X, PLAY_AREA_WIDTH - CENTRE_MARGIN_X), 0.0f,
                        random->randomFloatInRange(CENTRE_MARGIN_Z, PLAY_AREA_DEPTH - CENTRE_MARGIN_Z));
    const f32 phase = random->randomFloatInRange(0.0f, TWO_PI);
    const u32 side = random->randomBelow(4);
    const u32 n = wave->memberCount;
    const f32 radius = n == 1 ? 0.0f : size.ringSpacing * f32(n);
    for (u32 i = 0; i < n; ++i) {
        const f32 angle = phase + TWO_PI * f32(i) / f32(n);
        SPlannedMember& member = wave->members[i];
        member.arrival = ClVec3(clampF(centre.x + radius * std::cos(angle), POINT_MARGIN, PLAY_AREA_WIDTH - POINT_MARGIN), 0.0f,
                                clampF(centre.z + radius * std::sin(angle), POINT_MARGIN, PLAY_AREA_DEPTH - POINT_MARGIN));
        member.start = outsideOn(member.arrival, side);
        member.exit = outsideOn(member.arrival, side ^ 1u);
    }
}

}  // namespace

const SWaveLevelRule& waveLevelRule(u32 difficulty) {
    if (difficulty >= DIFFICULTY_LEVEL_COUNT) fatalErrorf("wave schedule for difficulty %u", difficulty);
    return LEVEL_RULES[difficulty];
}

void SWaveSchedulePlan::release() {
    waves.release();
    memberTotal = 0;
}

void seedSongRandom(const SPlaySong& song, ClRandObjSFMT* random) {
    if (song.randomState.valid) {
        random->restoreState(song.randomState);
        return;
    }
    u32 seed = 0;
    for (u32 word : song.identity) seed = seed * 31u + word;
    random->seed(seed);
}

void planWaveSchedule(u32 difficulty, ClRandObjSFMT* random, SWaveSchedulePlan* out, u32 memberBudget) {
    const SWaveLevelRule& rule = waveLevelRule(difficulty);
    if (memberBudget > WAVE_MEMBER_BUDGET) memberBudget = WAVE_MEMBER_BUDGET;
    out->waves.init();
    out->memberTotal = 0;
    const ClSpawnBarArray& bars = getSongSpawnBars();
    const ClSpawnEventArray& events = getSongSpawnEvents();
    const f32 frameDuration = songFeatures().frameDuration;
    const f32 barDuration = spawnBarDuration(frameDuration);
    u32 eventCursor = 0;
    ClArray<s32> beats;
    beats.init();
    u32 sizeWaveCounts[3] = {};

    for (u32 first = 0; first < bars.count; first += rule.windowBars) {
        const u32 end = first + rule.windowBars < bars.count ? first + rule.windowBars : bars.count;
        SWindow window = {bars[first].time, end < bars.count ? bars[end].time : bars[end - 1].time + barDuration, 0,
                          0.0f, false};
        for (u32 b = first; b < end; ++b) window.meanLevel += bars[b].level;
        window.meanLevel /= f32(end - first);
        while (eventCursor < events.count && f32(events[eventCursor].frame) * frameDuration < window.start) ++eventCursor;
        while (eventCursor < events.count && f32(events[eventCursor].frame) * frameDuration < window.end) {
            ++window.events;
            ++eventCursor;
        }
        if (window.events == 0) continue;
        window.drop = windowHasDrop(window.start, window.end);

        const u32 sizeIndex = window.drop || window.meanLevel >= LARGE_LEVEL ? 2 : (window.meanLevel >= MEDIUM_LEVEL ? 1 : 0);
        const SSizeRule& size = SIZE_RULES[sizeIndex];
        u32 members = (window.events + rule.eventsPerMember - 1) / rule.eventsPerMember;
        const u32 cap = rule.maxMembers / size.memberDivisor > 0 ? rule.maxMembers / size.memberDivisor : 1;
        if (members > cap) members = cap;
        collectSpacedBeats(window.start, window.end, members, 0, rule.beatSpacing, &beats);
        if (beats.count == 0) continue;
        if (out->memberTotal + members > memberBudget || out->waves.count + WAVE_BOSS_RESERVE >= WAVE_POOL_CAPACITY ||
            out->memberTotal + members + WAVE_BOSS_RESERVE > WAVE_POOL_CAPACITY)
            break;

        SPlannedWave wave = {};
        wave.category = size.category;
        const u32 sizeWaves = sizeWaveCounts[sizeIndex]++;
        wave.family = sizeWaves % 2 == 0 ? 0 : 1 + sizeWaves / 2;
        wave.speedClass = size.speedClass;
        wave.roamSeconds = size.roamSeconds;
        wave.memberCount = members;
        wave.familyDraw = random->randomUnitFloat();
        if (!(wave.familyDraw < 1.0f)) wave.familyDraw = 0.0f;
        placeMembers(&wave, size, random);
        for (u32 i = 0; i < members; ++i) {
            const s32 beat = beats[i * beats.count / members];
            wave.members[i].beatIndex = beat;
            wave.members[i].arrivalTime = songBeats()[u32(beat)].time;
        }
        out->waves.push(wave);
        out->memberTotal += members;
    }
    beats.release();
}

s64 planKillPoints(const SWaveSchedulePlan& plan, f32 scoreScale) {
    s64 total = 0;
    for (const SPlannedWave& wave : plan.waves)
        total += s64(wave.memberCount) * s64(scoreScale * f32(getInspirationScorePerType(wave.category)));
    return total;
}

void planScoreTargets(const SWaveSchedulePlan& plan, f32 scoreScale, s32 targets[2]) {
    const s64 total = planKillPoints(plan, scoreScale);
    for (u32 i = 0; i < 2; ++i) {
        const f64 target = f64(total) * f64(TARGET_SHARES[i]);
        targets[i] = target > 2147483647.0 ? 2147483647 : s32(target);
    }
}

void settleLevelTargets(const SWaveSchedulePlan& plan, u32 level, SPlaySong* song) {
    song->scoreScale[level] = waveLevelRule(level).scoreScale;
    planScoreTargets(plan, song->scoreScale[level], song->scoreTargets[level]);
    song->progressThresholds[level][0] = FLT_MAX;
    song->progressThresholds[level][1] = FLT_MAX;
}
