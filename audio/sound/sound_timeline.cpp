#include "audio/sound/sound_timeline.h"

#include "audio/sound/sound_package_read.h"
#include "core/fixed_pool.h"
#include "core/name_hash.h"
#include "core/packages.h"

#include <cstdio>
#include <string>

namespace {

constexpr u32 TIMELINE_FILE_ALIGNMENT = 32;

struct STimelineRecord {
    STimelineImage image;
    u32 nameHash = 0;
    u32 poolIndex = 0;
};

struct STimelineTrackState {
    u32 nextEvent;
    bool done;
};

}  // namespace

struct STimelinePlayer {
    const STimelineRecord* timeline = nullptr;
    bool finished = false;
    u32 finishedTracks = 0;
    STimelineTrackState tracks[TIMELINE_MAX_TRACKS] = {};
    f32 time = 0.0f;
    bool paused = false;
    bool drivenBySample = false;
    bool live = false;
    u32 generation = 0;
    u32 poolIndex = 0;
};

namespace {

ClFixedPool<STimelineRecord, TIMELINE_RECORD_POOL_SIZE> g_timelines;
ClFixedPool<STimelinePlayer, TIMELINE_PLAYER_POOL_SIZE> g_timelinePlayers;

STimelineRecord* findTimeline(u32 nameHash) {
    for (u32 i = 0; i < g_timelines.used; ++i)
        if (g_timelines.table[i]->nameHash == nameHash) return g_timelines.table[i];
    return nullptr;
}

STimelinePlayer* resolve(STimelinePlayerRef ref) {
    STimelinePlayer* player = ref.player;
    if (!player || !player->live || player->generation != ref.generation) return nullptr;
    return player;
}

void releasePlayer(STimelinePlayer* player) {
    player->live = false;
    ++player->generation;
    g_timelinePlayers.release(player);
}

void fireEvents(STimelinePlayer* player) {
    const STimelineImage& image = player->timeline->image;
    const u32 trackCount = u32(image.tracks.size());
    for (u32 t = 0; t < trackCount; ++t) {
        STimelineTrackState& state = player->tracks[t];
        if (state.done) continue;
        const STimelineTrack& track = image.tracks[t];
        const f32 now = player->time;  // the per-track offsets are all 0
        const u32 count = u32(track.times.size());
        while (state.nextEvent < count && track.times[state.nextEvent] <= now) ++state.nextEvent;
        if (state.nextEvent >= count) {
            state.done = true;
            ++player->finishedTracks;
        }
    }
    if (player->finishedTracks >= trackCount) player->finished = true;
}

}  // namespace

void timelinesInit() {
    timelinesShutdown();
    g_timelines.init();
    g_timelinePlayers.init();
}

void timelinesShutdown() {
    while (g_timelinePlayers.used) releasePlayer(g_timelinePlayers.table[0]);
    for (u32 i = 0; i < g_timelines.used; ++i) g_timelines.table[i]->image = STimelineImage{};
    g_timelines.releaseAll();
}

s32 timelineDataLoad(const char* name, const char* directory) {
    if (!name || !name[0]) return 0;
    const u32 hash = crc32TextNoCase(name);
    if (findTimeline(hash)) return 1;
    const std::string path = std::string(directory ? directory : "Audio/") + name + ".iAudioTD";
    STimelineRecord* record = g_timelines.take();
    if (!record) return 0;

    u32 size = 0;
    SAssetFile* file = readWholePackagedFile(path.c_str(), TIMELINE_FILE_ALIGNMENT, &size);
    if (!file) {
        g_timelines.release(record);
        return 0;
    }
    const ESoundDataError error = timelineParse(file->data, size, &record->image);
    releaseAssetFile(file);
    if (error != E_SOUNDDATA_OK) {
        std::fprintf(stderr, "timeline data \"%s\" refused: %s\n", path.c_str(), soundDataErrorText(error));
        g_timelines.release(record);
        return 0;
    }
    record->nameHash = hash;
    return 1;
}

STimelinePlayerRef startTimelinePlayer(u32 timelineHash) {
    const STimelineRecord* timeline = findTimeline(timelineHash);
    if (!timeline) return {};
    STimelinePlayer* player = g_timelinePlayers.take();
    if (!player) return {};
    const u32 generation = player->generation;
    const u32 poolIndex = player->poolIndex;
    *player = STimelinePlayer{};
    player->timeline = timeline;
    player->live = true;
    player->generation = generation;
    player->poolIndex = poolIndex;
    return {player, generation};
}

void stopTimelinePlayer(STimelinePlayerRef ref) {
    if (STimelinePlayer* player = resolve(ref)) releasePlayer(player);
}

void setTimelinePlayerPaused(STimelinePlayerRef ref, bool paused) {
    if (STimelinePlayer* player = resolve(ref)) player->paused = paused;
}

void setTimelinePlayerTime(STimelinePlayerRef ref, f32 seconds) {
    STimelinePlayer* player = resolve(ref);
    if (!player || player->finished) return;
    player->drivenBySample = true;
    player->time = seconds;
    fireEvents(player);
}

void advanceTimelinePlayers(f32 step) {
    for (u32 i = g_timelinePlayers.used; i-- > 0;)
        if (g_timelinePlayers.table[i]->finished) releasePlayer(g_timelinePlayers.table[i]);
    for (u32 i = 0; i < g_timelinePlayers.used; ++i) {
        STimelinePlayer* player = g_timelinePlayers.table[i];
        if (player->paused) continue;
        if (!player->drivenBySample) player->time += step;
        fireEvents(player);
    }
}
