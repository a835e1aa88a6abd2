#include "world/play/inspiration_pickups.h"

#include "core/log_manager.h"
#include "core/name_hash.h"
#include "core/vec.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/entity_ref.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"

#include <cstdlib>

namespace {

constexpr f32 ARENA_WIDTH = 325.0f;
constexpr f32 ARENA_DEPTH = 269.75f;

struct SDroppedPickup {
    SEntityRef entity;
    s32 column;  // -1 without a cell
    s32 row;
};

u8 g_aCellTaken[INSPIRATION_GRID_ROWS][INSPIRATION_GRID_COLUMNS];
SDroppedPickup g_aDropped[INSPIRATION_PICKUP_CAPACITY];
u32 g_uDroppedCount = 0;

s32 cellOf(f32 coordinate, u32 cellCount) {
    const s32 cell = s32(coordinate / INSPIRATION_GRID_CELL);
    return cell < 0 ? 0 : (cell >= s32(cellCount) ? s32(cellCount) - 1 : cell);
}

bool insideGrid(s32 column, s32 row) {
    return column >= 0 && row >= 0 && column < s32(INSPIRATION_GRID_COLUMNS) && row < s32(INSPIRATION_GRID_ROWS);
}

// The free cell nearest (column, row), ring by ring; false when the grid is full.
bool findFreeCell(s32 column, s32 row, s32* outColumn, s32* outRow) {
    const s32 maxRing = s32(INSPIRATION_GRID_COLUMNS);
    for (s32 ring = 0; ring < maxRing; ++ring) {
        for (s32 dz = -ring; dz <= ring; ++dz) {
            for (s32 dx = -ring; dx <= ring; ++dx) {
                if (std::abs(dx) != ring && std::abs(dz) != ring) continue;
                const s32 c = column + dx;
                const s32 r = row + dz;
                if (!insideGrid(c, r) || g_aCellTaken[r][c]) continue;
                *outColumn = c;
                *outRow = r;
                return true;
            }
        }
    }
    return false;
}

f32 cellCentre(s32 cell, f32 limit) {
    const f32 centre = (f32(cell) + 0.5f) * INSPIRATION_GRID_CELL;
    return centre > limit ? limit : centre;
}

}  // namespace

void resetInspirationPickups() {
    for (auto& row : g_aCellTaken)
        for (u8& cell : row) cell = 0;
    g_uDroppedCount = 0;
}

ClEntity* spawnInspirationPickups(const ClVec3& position, s32 value, u32 bigNotes, u32 onGrid) {
    ClDNAGenerator* generator = generatorFind(E_GENCAT_PICKUP, crc32TextNoCase(SCORE_PICKUP_GENERATOR));
    if (!generator) return nullptr;
    if (g_uDroppedCount >= INSPIRATION_PICKUP_CAPACITY) {
        writeLog(findLog("game"), "score pickup of %d points dropped: %u pickups already lie in the arena", value,
                 g_uDroppedCount);
        return nullptr;
    }
    SDroppedPickup& dropped = g_aDropped[g_uDroppedCount++];
    ClEntity* pickup = allocEntity(OWNER_LIVE_GAME);
    pickup->buildFromDNA(generator->getSharedProgram());
    dropped = SDroppedPickup{makeEntityRef(pickup), -1, -1};

    ClVec3 at = position;
    ClEntityNode* root = pickup->root;
    if (onGrid && findFreeCell(cellOf(position.x, INSPIRATION_GRID_COLUMNS), cellOf(position.z, INSPIRATION_GRID_ROWS),
                               &dropped.column, &dropped.row)) {
        g_aCellTaken[dropped.row][dropped.column] = 1;
        at = ClVec3(cellCentre(dropped.column, ARENA_WIDTH), position.y, cellCentre(dropped.row, ARENA_DEPTH));
        root->params.findOrAdd("inspgridx")->setInt(dropped.column);
        root->params.findOrAdd("inspgridz")->setInt(dropped.row);
    }
    root->params.findOrAdd("inspvalue")->setInt(value);
    root->params.findOrAdd("inspbig")->setInt(bigNotes ? 1 : 0);
    root->resetAtoms();
    pickup->spawn();
    pickup->setRootPosition(at);
    pickup->activate();
    return pickup;
}

void freeInspirationGridCell(s32 column, s32 row) {
    if (insideGrid(column, row)) g_aCellTaken[row][column] = 0;
}

void sweepInspirationPickups() {
    for (u32 i = g_uDroppedCount; i-- > 0;) {
        SDroppedPickup& dropped = g_aDropped[i];
        // A pickup the world released by other means only gives back its cell.
        ClEntity* pickup = entityRefGet(dropped.entity);
        if (pickup && pickup->state != E_ENTITY_DESTROYED) continue;
        freeInspirationGridCell(dropped.column, dropped.row);
        if (pickup) queueEntityForFreeing(pickup);
        dropped = g_aDropped[--g_uDroppedCount];
    }
}

