// The play's pickup table, made when play starts:
//   - each drop beat of the song brings an invincibility pickup, the drops taking turns over four
//     cells two cells off the grid's centre;
//   - one level-up pickup a play, on the first beat at or after LEVEL_UP_SONG_SECONDS of song (past
//     the ship's first grace and the first waves' arrival), on the grid's centre cell. A song with
//     no beat that late has none.
// The table is kept in time order; the tick places each entry when the song reaches its time.
#include "waves/session_pickups.h"

#include "audio/analysis/beat.h"
#include "audio/analysis/spawn_bars.h"
#include "audio/play/song_clock.h"
#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "world/collision/contact.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/play/inspiration_pickups.h"
#include "world/state/play_record.h"
#include "world/play/player_state.h"

namespace {

// The drop-beat pickups take turns over four cells two cells off the grid's centre.
constexpr s32 TABLE_CELLS[4][2] = {{8, 6}, {12, 10}, {12, 6}, {8, 10}};
constexpr s32 CENTRE_CELL[2] = {10, 8};

SPickupDrop g_aTable[SESSION_PICKUP_TABLE_CAPACITY];
u32 g_uTableCount = 0;
u32 g_uTableCursor = 0;
SEntityRef g_aLive[SESSION_PICKUP_CAPACITY];
u32 g_uLiveCount = 0;

const char* generatorNameOf(EPickupKind kind) {
    switch (kind) {
        case E_PICKUP_SCORE: return SCORE_PICKUP_GENERATOR;
        case E_PICKUP_INVINCIBILITY: return INVINCIBILITY_PICKUP_GENERATOR;
        case E_PICKUP_LEVEL_UP: return LEVEL_UP_PICKUP_GENERATOR;
        case E_PICKUP_CHAIN_BONUS: return CHAIN_BONUS_PICKUP_GENERATOR;
    }
    fatalErrorf("pickup kind %u", u32(kind));
}

ClVec3 cellCentre(s32 column, s32 row) {
    return ClVec3((f32(column) + 0.5f) * INSPIRATION_GRID_CELL, 0.0f, (f32(row) + 0.5f) * INSPIRATION_GRID_CELL);
}

}  // namespace

void setupSessionPickups(const SPlayRecord& record) {
    (void)record;
    releaseSessionPickupList();
    u32 drops = 0;
    bool levelUpPlaced = false;
    for (const SBeat& beat : songBeats()) {
        if (g_uTableCount >= SESSION_PICKUP_TABLE_CAPACITY) break;
        if (!levelUpPlaced && beat.time >= LEVEL_UP_SONG_SECONDS) {
            levelUpPlaced = true;
            g_aTable[g_uTableCount++] = SPickupDrop{beat.time, cellCentre(CENTRE_CELL[0], CENTRE_CELL[1]), E_PICKUP_LEVEL_UP};
            if (g_uTableCount >= SESSION_PICKUP_TABLE_CAPACITY) break;
        }
        if (!(beat.flags & BEAT_FLAG_DROP)) continue;
        const s32* cell = TABLE_CELLS[drops++ % 4];
        g_aTable[g_uTableCount++] = SPickupDrop{beat.time, cellCentre(cell[0], cell[1]), E_PICKUP_INVINCIBILITY};
    }
}

void releaseSessionPickupList() {
    g_uTableCount = 0;
    g_uTableCursor = 0;
    g_uLiveCount = 0;
}

ClEntity* spawnSessionPickup(EPickupKind kind, const ClVec3& position) {
    ClDNAGenerator* generator = generatorFind(E_GENCAT_PICKUP, crc32TextNoCase(generatorNameOf(kind)));
    if (!generator || g_uLiveCount >= SESSION_PICKUP_CAPACITY) return nullptr;
    ClEntity* pickup = allocEntity(OWNER_LIVE_GAME);
    pickup->buildFromDNA(generator->getSharedProgram());
    pickup->root->resetAtoms();
    pickup->spawn();
    pickup->setRootPosition(position);
    pickup->activate();
    g_aLive[g_uLiveCount++] = makeEntityRef(pickup);
    return pickup;
}

void tickSessionPickups() {
    // A pickup destroyed in an earlier frame has left the destroyed list by now.
    for (u32 i = g_uLiveCount; i-- > 0;) {
        // One the world released by other means is only forgotten.
        ClEntity* pickup = entityRefGet(g_aLive[i]);
        if (pickup && (pickup->state != E_ENTITY_DESTROYED || pickup->isListed(E_LIST_DESTROYED))) continue;
        if (pickup) queueEntityForFreeing(pickup);
        g_aLive[i] = g_aLive[--g_uLiveCount];
    }
    while (g_uTableCursor < g_uTableCount && g_aTable[g_uTableCursor].time <= currentSongTime()) {
        const SPickupDrop& drop = g_aTable[g_uTableCursor++];
        spawnSessionPickup(drop.kind, drop.position);
    }
}

u32 liveSessionPickupCount() { return g_uLiveCount; }

void collectAllPickups() {
    const ClEntity* ship = playerShip(0);
    if (!ship || !isWorldReady()) return;
    const ClVec4 at = ship->getWorldPosition();
    for (u32 i = entityListCount(E_LIST_LIVE); i-- > 0;) {
        ClEntity* entity = entityListAt(E_LIST_LIVE, i);
        if (!entity->program || entity->program->kind != E_PROGRAM_PICKUP || entity->state == E_ENTITY_DESTROYED) continue;
        SContact contact = {};
        contact.point = ClVec3(at.x, at.y, at.z);
        contact.first = entity->registeredAtoms.count ? entity->registeredAtoms[0] : nullptr;
        if (entity->program->generator) entity->program->generator->onCollect(entity, &contact);
        entity->activate();
        entity->destroy();
    }
}
