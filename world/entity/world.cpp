#include "world/entity/world.h"

#include "core/array.h"

#include <cstddef>
#include <sanitizer/asan_interface.h>
#include "core/crit_section_pool.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/global_objects.h"
#include "core/owner_blocks.h"
#include "core/prefetch.h"
#include "render/draw_lists.h"
#include "render/scene_inputs.h"
#include "render/tween.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_body.h"
#include "world/entity/base_imports.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity_node.h"
#include "world/entity/processor.h"
#include "world/entity/tree_walks.h"
#include "world/entity/wave_slot.h"
#include "world/services/play_area.h"

static_assert(E_LIST_COUNT == ENTITY_LINK_LIST_COUNT);

bool g_worldReady = false;
u32 g_worldStarts = 0;

namespace {

const char* const LIST_NAMES[E_LIST_COUNT] = {"live", "activated", "preview", "free queue", "destroyed"};

// A list of entity pointers; each entity keeps its own position in every list, so removal is a
// swap with the last link and never a search.
struct SEntityList {
    ClEntity** links = nullptr;
    u32 count = 0;
};

ClLazyFixedPool<ClEntity, ENTITY_CAPACITY> g_pool;
SEntityList g_lists[E_LIST_COUNT];
ClArray<u32> g_furtherList;
SCritSection* g_worldLock = nullptr;

void listAppend(EEntityList list, ClEntity* entity) {
    SEntityList& target = g_lists[list];
    if (target.count >= ENTITY_CAPACITY) fatalErrorf("the %s entity list is full (%u)", LIST_NAMES[list], ENTITY_CAPACITY);
    entity->listSlot[list] = target.count;
    target.links[target.count++] = entity;
}

bool listRemove(EEntityList list, ClEntity* entity) {
    SEntityList& source = g_lists[list];
    const u32 slot = entity->listSlot[list];
    if (slot >= source.count || source.links[slot] != entity) return false;
    ClEntity* moved = source.links[--source.count];
    source.links[slot] = moved;
    moved->listSlot[list] = slot;
    entity->listSlot[list] = ENTITY_NOT_LISTED;
    return true;
}

// Records are reused, never reconstructed, so a pointer kept past freeEntity reads stale fields
// that look valid. Under AddressSanitizer a free record is poisoned up to its pool position (which
// the pool itself still writes) until it is taken again; its serial after that stays readable, so
// a held reference can tell that the record was released.
constexpr size_t ENTITY_POISONED_BYTES = offsetof(ClEntity, poolIndex);
static_assert(offsetof(ClEntity, serial) >= ENTITY_POISONED_BYTES);
// The fields of a record every update reads, from its root pointer to its tween's running flag,
// lie in its first line; the rest of the tween is read only while it runs, the atom lists only
// while an atom is broken.
static_assert(offsetof(ClEntity, tween) + offsetof(SFloatTween, running) + sizeof(u32) <= 64);
static_assert(offsetof(ClEntity, ownerTag) < 64);

// Each record builds its nodes, atoms, processors and their lists in a region of this size (a
// shot needs about 5 KiB); what does not fit comes from the C library. Twice the size measured no
// faster and kept more memory in play. One line more than a power of two, so that the regions'
// first lines spread over the cache sets.
constexpr u32 ENTITY_OWNER_BLOCK_BYTES = 8192 + 64;

// The serial of the next record handed out; 0 is never given.
u32 g_nextSerial = 1;

void returnToPool(ClEntity* entity) {
    entity->serial = 0;
    g_pool.get()->release(entity);
    ASAN_POISON_MEMORY_REGION(entity, ENTITY_POISONED_BYTES);
}

// Under the world lock: the entity joins the free queue once.
void appendToFreeQueue(ClEntity* entity) {
    if (!entity->isListed(E_LIST_FREE_QUEUE)) listAppend(E_LIST_FREE_QUEUE, entity);
}

// Whatever leaves the world: its wave slot learns of it, and it goes out as destroyed once.
void retireEntity(ClEntity* entity) {
    if (entity->waveSlot) entity->waveSlot->entity = entity;
    if (entity->state != E_ENTITY_DESTROYED) {
        entity->state = E_ENTITY_DESTROYED;
        if (entity->root) broadcastDestroy(entity->root);
        entity->colour.setConstant(0);
    }
}

}  // namespace

s32 initWorld() {
    if (g_worldReady) shutdownWorld();
    critSectionPoolInit();
    g_pool.init();
    reserveOwnerBlocks(ENTITY_CAPACITY, ENTITY_OWNER_BLOCK_BYTES);
    for (SEntityList& list : g_lists) {
        list.links = static_cast<ClEntity**>(arrayAllocateBlock(ENTITY_CAPACITY, sizeof(ClEntity*)));
        list.count = 0;
    }
    g_furtherList.init();
    g_worldLock = critSectionCreateOrDie("world");
    g_worldReady = true;
    ++g_worldStarts;
    return 1;
}

void shutdownWorld() {
    if (!g_worldReady) return;
    flushDestroyedEntities();
    flushFreedEntities();
    ClFixedPool<ClEntity, ENTITY_CAPACITY>* pool = g_pool.get();
    lockWorld();
    while (pool->used != 0) freeEntity(pool->table[pool->used - 1]);
    unlockWorld();
    // Kills still queued and pickups still lying in the arena name entities that are gone now.
    g_BaseImports.resetKillQueue();
    g_BaseImports.resetInspirationPickups();
    g_furtherList.release();
    for (SEntityList& list : g_lists) {
        arrayFreeBlock(list.links);
        list = SEntityList();
    }
    // The records stay for the next world (a play, then the menus again), every one of them free:
    // building the pool anew would clear and construct its megabytes within one frame. The
    // process's end gives them back.
    critSectionDestroy(g_worldLock);
    g_worldLock = nullptr;
    g_worldReady = false;
}

void lockWorld() { critSectionEnter(g_worldLock); }
void unlockWorld() { critSectionLeave(g_worldLock); }

u32 entityRecordNumber(const ClEntity* entity) {
    const ClFixedPool<ClEntity, ENTITY_CAPACITY>* pool = g_pool.get();
    if (!pool || entity < pool->records || entity >= pool->records + ENTITY_CAPACITY) return ENTITY_CAPACITY;
    return u32(entity - pool->records);
}

ClEntity* allocEntity(s32 ownerTag) {
    if (!g_worldReady) fatalError("allocEntity before initWorld");
    lockWorld();
    ClEntity* entity = g_pool.get()->take();
    if (!entity) fatalErrorf("the entity pool is exhausted (%u in use)", ENTITY_CAPACITY);
    ASAN_UNPOISON_MEMORY_REGION(entity, ENTITY_POISONED_BYTES);
    entity->serial = g_nextSerial++;
    if (g_nextSerial == 0) g_nextSerial = 1;
    entity->waveSlot = nullptr;
    entity->ownerTag = ownerTag;
    unlockWorld();
    return entity;
}

void ClEntity::spawn() {
    if (!root) fatalError("an entity without a root node was spawned");
    state = E_ENTITY_SPAWNED;
    broadcastSpawn(root);
    lockWorld();
    listAppend(E_LIST_LIVE, this);
    unlockWorld();
}

void ClEntity::spawnForPreview() {
    if (!root) fatalError("an entity without a root node was spawned for a preview");
    state = E_ENTITY_ACTIVE;
    broadcastPreviewSpawn(root);
    lockWorld();
    listAppend(E_LIST_PREVIEW, this);
    unlockWorld();
}

// An entity already in the activated list stays there once: a second activation (a path that
// activates an arrived boss again) changes nothing.
void ClEntity::activate() {
    if (isListed(E_LIST_ACTIVATED)) return;
    state = E_ENTITY_ACTIVE;
    lockWorld();
    listAppend(E_LIST_ACTIVATED, this);
    unlockWorld();
    if (root) broadcastActivate(root);
}

void ClEntity::destroy() {
    if (waveSlot) waveSlot->entity = this;
    state = E_ENTITY_DESTROYED;
    if (root) broadcastDestroy(root);
    colour.setConstant(0);
    lockWorld();
    SEntityList& destroyed = g_lists[E_LIST_DESTROYED];
    if (isListed(E_LIST_DESTROYED)) {
        // Destroyed twice in one frame: the second entry makes the flush find it gone.
        if (destroyed.count >= ENTITY_CAPACITY) fatalError("the destroyed entity list is full");
        destroyed.links[destroyed.count++] = this;
    } else {
        listAppend(E_LIST_DESTROYED, this);
    }
    // A shot joins the free queue under the same hold of the lock.
    if (program && (program->kind == E_PROGRAM_PLAYER_SHOT || program->kind == E_PROGRAM_ENEMY_SHOT))
        appendToFreeQueue(this);
    unlockWorld();
}

void ClEntity::kill() {
    if (program && program->kind == E_PROGRAM_ENEMY) g_BaseImports.reduceCorruption(this);
    killed = 1;
    destroy();
}

void freeEntity(ClEntity* entity) {
    lockWorld();
    listRemove(E_LIST_ACTIVATED, entity);
    listRemove(E_LIST_LIVE, entity);
    listRemove(E_LIST_PREVIEW, entity);
    listRemove(E_LIST_FREE_QUEUE, entity);
    // Every entry, duplicates of a double destruction included.
    SEntityList& destroyed = g_lists[E_LIST_DESTROYED];
    for (u32 i = destroyed.count; i-- > 0;) {
        if (destroyed.links[i] != entity) continue;
        ClEntity* moved = destroyed.links[--destroyed.count];
        destroyed.links[i] = moved;
        if (moved != entity && moved->listSlot[E_LIST_DESTROYED] == destroyed.count) moved->listSlot[E_LIST_DESTROYED] = i;
    }
    entity->listSlot[E_LIST_DESTROYED] = ENTITY_NOT_LISTED;
    retireEntity(entity);
    entity->releaseTree();
    returnToPool(entity);
    unlockWorld();
}

void freeEntitiesByOwner(s32 ownerTag) {
    lockWorld();
    ClFixedPool<ClEntity, ENTITY_CAPACITY>* pool = g_pool.get();
    for (u32 i = pool->used; i-- > 0;) {
        // Freeing swaps the last used record into this position; it was visited already.
        if (i < pool->used && pool->table[i]->ownerTag == ownerTag) freeEntity(pool->table[i]);
    }
    unlockWorld();
}

void queueEntityForFreeing(ClEntity* entity) {
    lockWorld();
    appendToFreeQueue(entity);
    unlockWorld();
}

void flushDestroyedEntities() {
    lockWorld();
    SEntityList& destroyed = g_lists[E_LIST_DESTROYED];
    for (u32 i = 0; i < destroyed.count; ++i) {
        ClEntity* entity = destroyed.links[i];
        if (!listRemove(E_LIST_ACTIVATED, entity)) fatalError("a destroyed entity is not in the activated list");
        if (!listRemove(E_LIST_LIVE, entity)) fatalError("a destroyed entity is not in the live list");
        entity->listSlot[E_LIST_DESTROYED] = ENTITY_NOT_LISTED;
    }
    destroyed.count = 0;
    unlockWorld();
}

namespace {

// How far ahead of the freeing walk each stage of cache hints reaches: the queued record, its
// root node, the root's lists of atoms and processors, then those atoms and processors. Each
// stage reads only what the one before asked for.
constexpr u32 FREE_RECORD_AHEAD = 8;
constexpr u32 FREE_NODE_AHEAD = 6;
constexpr u32 FREE_LISTS_AHEAD = 4;
constexpr u32 FREE_ITEMS_AHEAD = 2;

// The lines of a record that leaving the lists and releasing the tree read: the root and the
// atom lists at its start, the fourth list with the list positions, and the beams.
void prefetchFreedRecord(const ClEntity* entity) {
    prefetchSpan(entity, u32(offsetof(ClEntity, thirdList) + sizeof(entity->thirdList)));
    prefetchSpan(&entity->fourthList, u32(offsetof(ClEntity, listSlot) + sizeof(entity->listSlot) -
                                          offsetof(ClEntity, fourthList)));
    prefetchLine(&entity->beams);
}

// The node's lists and parameter table.
void prefetchFreedNode(const ClEntityNode* node) {
    prefetchSpan(node, u32(offsetof(ClEntityNode, params) + sizeof(node->params)));
}

// What an atom's release reads: its kind's table and flags, its effects, its lists and its
// parameter table, and the start of its kind's own fields.
void prefetchFreedAtom(const ClAtom* atom) {
    prefetchLine(atom);
    prefetchLine(&atom->effectCount);
    prefetchLine(&atom->linkedAtoms);
    prefetchLine(&atom->params);
    prefetchLine(&atom->collisionShape);
    prefetchLine(&atom->dependants);
    prefetchLine(atom->ownFieldsStart());
}

// The lists of play a freed record leaves by a swap with their last link.
constexpr EEntityList FREED_FROM_LISTS[] = {E_LIST_ACTIVATED, E_LIST_LIVE};

// The places the record leaves: its links in the activated and live lists and its pool slot.
void prefetchFreedPlaces(const ClEntity* entity) {
    for (const EEntityList list : FREED_FROM_LISTS) {
        const SEntityList& from = g_lists[list];
        if (entity->listSlot[list] < from.count) prefetchLine(&from.links[entity->listSlot[list]]);
    }
    const ClFixedPool<ClEntity, ENTITY_CAPACITY>* pool = g_pool.get();
    if (entity->poolIndex < pool->used) prefetchLine(&pool->table[entity->poolIndex]);
}

// A removal moves the last record of the list (and of the pool) into the freed place, so the
// records the removals to come will move are the last ones, in order from the end. Asks for the
// positions of the one that the removal that many on will move.
void prefetchMovedRecords(u32 removalsOn) {
    for (const EEntityList list : FREED_FROM_LISTS) {
        const SEntityList& from = g_lists[list];
        if (removalsOn < from.count) prefetchLine(&from.links[from.count - 1 - removalsOn]->listSlot);
    }
    const ClFixedPool<ClEntity, ENTITY_CAPACITY>* pool = g_pool.get();
    if (removalsOn < pool->used) prefetchLine(&pool->table[pool->used - 1 - removalsOn]->poolIndex);
}

void prefetchFreedAhead(const SEntityList& queue, u32 index) {
    if (index + FREE_RECORD_AHEAD < queue.count) prefetchFreedRecord(queue.links[index + FREE_RECORD_AHEAD]);
    if (index + FREE_NODE_AHEAD < queue.count) {
        const ClEntity* entity = queue.links[index + FREE_NODE_AHEAD];
        prefetchFreedPlaces(entity);
        prefetchMovedRecords(FREE_NODE_AHEAD);
        if (entity->root) {
            prefetchFreedNode(entity->root);
            prefetchBlockOwner(entity->root);
        }
    }
    if (index + FREE_LISTS_AHEAD < queue.count) {
        if (const ClEntityNode* root = queue.links[index + FREE_LISTS_AHEAD]->root) {
            if (root->atoms.count != 0) prefetchLine(root->atoms.data);
            if (root->processors.count != 0) prefetchLine(root->processors.data);
        }
    }
    if (index + FREE_ITEMS_AHEAD < queue.count) {
        if (const ClEntityNode* root = queue.links[index + FREE_ITEMS_AHEAD]->root) {
            for (const ClAtom* atom : root->atoms) prefetchFreedAtom(atom);
            for (const ClProcessor* processor : root->processors) prefetchLine(processor);
        }
    }
}

}  // namespace

void flushFreedEntities() {
    lockWorld();
    SEntityList& queue = g_lists[E_LIST_FREE_QUEUE];
    for (u32 i = 0; i < queue.count; ++i) {
        prefetchFreedAhead(queue, i);
        ClEntity* entity = queue.links[i];
        entity->listSlot[E_LIST_FREE_QUEUE] = ENTITY_NOT_LISTED;
        // A record going back to the pool must not stay behind in a list.
        listRemove(E_LIST_ACTIVATED, entity);
        listRemove(E_LIST_LIVE, entity);
        listRemove(E_LIST_PREVIEW, entity);
        {
            // The tree's blocks sit in the record's region: it is counted down once.
            const ClOwnerFreeBatch freeing(entityRecordNumber(entity));
            entity->releaseTree();
        }
        returnToPool(entity);
    }
    queue.count = 0;
    unlockWorld();
}

namespace {

// How far ahead of a walk each stage of cache hints reaches: the entity record, its root node,
// then the blocks of its atom and processor lists, then the first atom and processors. Each stage
// reads only what the one before brought in, and asks only for the lines its walk reads: a hint
// for a line the walk never touches would take memory bandwidth from one it does.
constexpr u32 PREFETCH_RECORD_AHEAD = 7;
constexpr u32 PREFETCH_NODE_AHEAD = 5;
constexpr u32 PREFETCH_LISTS_AHEAD = 3;
constexpr u32 PREFETCH_ITEMS_AHEAD = 2;
constexpr u32 PREFETCH_PROCESSORS = 2;
// The draw walk's stages reach further: most of its entities are shots whose draw is short.
constexpr u32 DRAW_RECORD_AHEAD = 12;
constexpr u32 DRAW_NODE_AHEAD = 8;
constexpr u32 DRAW_LISTS_AHEAD = 4;
constexpr u32 DRAW_ITEMS_AHEAD = 2;
constexpr u32 PREFETCH_EDGES_AHEAD = 1;
// An atom kind's own fields follow the common ones: the lines of them the draw reads (a bullet's
// parameters and materials, a body's materials, colours and edge records).
constexpr u32 ATOM_OWN_FIELDS_PREFETCH_BYTES = 320;

// The entity `ahead` places further along the walk, or null past either end of the list.
template <bool UPWARD>
const ClEntity* listedAhead(const SEntityList& list, u32 index, u32 ahead) {
    if constexpr (UPWARD) return index + ahead < list.count ? list.links[index + ahead] : nullptr;
    return index >= ahead && index - ahead < list.count ? list.links[index - ahead] : nullptr;
}

// The root node of the entity `ahead` places further along the walk, or null.
template <bool UPWARD>
const ClEntityNode* rootAhead(const SEntityList& list, u32 index, u32 ahead) {
    const ClEntity* entity = listedAhead<UPWARD>(list, index, ahead);
    return entity ? entity->root : nullptr;
}

// The node's fields up to its children's count: the blocks and counts of its lists.
constexpr u32 NODE_LISTS_PREFETCH_BYTES =
    u32(offsetof(ClEntityNode, children) + offsetof(ClArray<ClEntityNode*>, count) + sizeof(u32));
// The atoms' and the children's blocks and counts, on the node's second line: what the draw reads
// of the lists while no processor draws an overlay.
constexpr u32 NODE_DRAWN_LISTS_OFFSET = u32(offsetof(ClEntityNode, atoms));
static_assert(NODE_DRAWN_LISTS_OFFSET / 64 == 1);
static_assert(NODE_LISTS_PREFETCH_BYTES <= 128);

// The update also makes the bounds of most entities, so it asks for the bounds' lines too (the
// bounds flags share the swept box's line); the collision walk then reads no more of them than
// the swept box it gathers.
void prefetchUpdatedNode(const ClEntityNode* node) {
    prefetchSpan(node, NODE_LISTS_PREFETCH_BYTES);
    prefetchSpan(&node->localMatrix, sizeof(ClMatrix44));
    prefetchSpan(node->worldMatrix, sizeof(node->worldMatrix));
    prefetchLine(&node->sweptBox);
    prefetchSpan(node->bounds, sizeof(node->bounds));
}

// A shot: its update reads none of its atom's second line (the mesh and the swept box).
bool isShotEntity(const ClEntity* entity) {
    const u32 kind = entity->program ? entity->program->kind : E_PROGRAM_ENEMY;
    return kind == E_PROGRAM_PLAYER_SHOT || kind == E_PROGRAM_ENEMY_SHOT;
}

// The build stamp is left out of the update's hints: only an entity with a broken atom reads it.
void prefetchUpdatedAtom(const ClAtom* atom, bool shot) {
    const u32 current = g_uFrameCurrent;
    prefetchLine(atom);  // its kind's table, the frame flags and the owners
    if (!shot) prefetchLine(&atom->geometry);  // the mesh
    prefetchSpan(&atom->localMatrix, sizeof(ClMatrix44));
    prefetchSpan(&atom->worldMatrix[current], sizeof(ClMatrix44));
    prefetchLine(&atom->worldBox[current]);
    prefetchLine(atom->ownFieldsStart());
}

// What the draw of an entity reads, by what its program makes.
enum EDrawReads : u32 {
    // A player shot while the line list has no room: its tails would be dropped, so its draw
    // reads the first line of its own fields and returns before its transforms and its owner tag.
    E_DRAW_READS_DROPPED_SHOT = 0,
    // A shot: the two positions (and for some looks the axes and the node's frame), its
    // parameters and materials, the owner tag.
    E_DRAW_READS_SHOT = 1,
    // A body and the rest: the atom's own frame, flags, effects and edge records, the entity's
    // fade and owner tag; no previous position and no node frame.
    E_DRAW_READS_BODY = 2,
};

EDrawReads drawReads(const ClEntity* entity, bool linesFull) {
    const u32 kind = entity->program ? entity->program->kind : E_PROGRAM_ENEMY;
    if (kind == E_PROGRAM_PLAYER_SHOT) return linesFull ? E_DRAW_READS_DROPPED_SHOT : E_DRAW_READS_SHOT;
    return kind == E_PROGRAM_ENEMY_SHOT ? E_DRAW_READS_SHOT : E_DRAW_READS_BODY;
}

// The owner tag shares the record's first line, asked for already; a body's fade lies beyond it.
void prefetchDrawnRecord(const ClEntity* entity, EDrawReads reads) {
    if (reads == E_DRAW_READS_BODY) prefetchLine(&entity->tween.current);
}

void prefetchDrawnNode(const ClEntityNode* node, EDrawReads reads, bool overlays) {
    if (overlays) prefetchLine(node);  // the processors' block and count
    prefetchLine(reinterpret_cast<const char*>(node) + NODE_DRAWN_LISTS_OFFSET);
    if (reads == E_DRAW_READS_SHOT) prefetchLine(&node->currentWorldMatrix().m[12]);
}

void prefetchDrawnAtom(const ClAtom* atom, EDrawReads reads) {
    prefetchLine(atom);  // its kind's table and the active flag
    const char* own = atom->ownFieldsStart();
    if (reads == E_DRAW_READS_DROPPED_SHOT) {
        prefetchLine(own);
        return;
    }
    prefetchSpan(&atom->currentWorldMatrix(), sizeof(ClMatrix44));
    if (reads == E_DRAW_READS_SHOT) {
        prefetchLine(&atom->worldMatrix[g_uFramePrevious].m[12]);
        prefetchSpan(own, ATOM_OWN_FIELDS_PREFETCH_BYTES - 64);
        return;
    }
    prefetchLine(&atom->geometry);  // the mesh
    prefetchLine(&atom->shownEdgeCount);  // and the build stamp
    prefetchLine(&atom->effects);
    prefetchSpan(own, ATOM_OWN_FIELDS_PREFETCH_BYTES);
}

// The update's hints, with the walk's direction fixed when it is compiled.
template <bool UPWARD>
void prefetchUpdateAhead(const SEntityList& list, u32 index) {
    if (const ClEntity* entity = listedAhead<UPWARD>(list, index, PREFETCH_RECORD_AHEAD)) prefetchLine(entity);
    if (const ClEntityNode* node = rootAhead<UPWARD>(list, index, PREFETCH_NODE_AHEAD)) prefetchUpdatedNode(node);
    // A hint never faults, so an empty list's block (or none) needs no test.
    if (const ClEntityNode* node = rootAhead<UPWARD>(list, index, PREFETCH_LISTS_AHEAD)) {
        prefetchLine(node->atoms.data);
        prefetchLine(node->processors.data);
    }
    if (const ClEntity* entity = listedAhead<UPWARD>(list, index, PREFETCH_ITEMS_AHEAD)) {
        if (const ClEntityNode* node = entity->root) {
            if (node->atoms.count != 0) prefetchUpdatedAtom(node->atoms.data[0], isShotEntity(entity));
            for (u32 i = 0; i < node->processors.count && i < PREFETCH_PROCESSORS; ++i) prefetchLine(node->processors.data[i]);
        }
    }
}

// The collision walk's hints: the record (its root, program and bounds mark) and the root's
// swept box.
template <bool UPWARD>
void prefetchBoundsAhead(const SEntityList& list, u32 index) {
    if (const ClEntity* entity = listedAhead<UPWARD>(list, index, PREFETCH_RECORD_AHEAD)) prefetchLine(entity);
    if (const ClEntityNode* node = rootAhead<UPWARD>(list, index, PREFETCH_NODE_AHEAD)) prefetchLine(&node->sweptBox);
}

// The draw's hints: the record's first line, then, once it is in, the other lines of the record
// and the node's that the entity's draw reads, and last those of its atom and processors. The
// processors are read only while some processor draws an overlay (`overlays`).
template <bool UPWARD>
void prefetchDrawAhead(const SEntityList& list, u32 index, bool overlays) {
    const bool linesFull = lineCommandRoom() == 0;
    if (const ClEntity* entity = listedAhead<UPWARD>(list, index, DRAW_RECORD_AHEAD)) prefetchLine(entity);
    if (const ClEntity* entity = listedAhead<UPWARD>(list, index, DRAW_NODE_AHEAD)) {
        const EDrawReads reads = drawReads(entity, linesFull);
        prefetchDrawnRecord(entity, reads);
        if (entity->root) prefetchDrawnNode(entity->root, reads, overlays);
    }
    if (const ClEntityNode* node = rootAhead<UPWARD>(list, index, DRAW_LISTS_AHEAD)) {
        prefetchLine(node->atoms.data);
        if (overlays) prefetchLine(node->processors.data);
    }
    if (const ClEntity* entity = listedAhead<UPWARD>(list, index, DRAW_ITEMS_AHEAD)) {
        if (const ClEntityNode* node = entity->root) {
            if (node->atoms.count != 0) prefetchDrawnAtom(node->atoms.data[0], drawReads(entity, linesFull));
            for (u32 i = 0; overlays && i < node->processors.count && i < PREFETCH_PROCESSORS; ++i) prefetchLine(node->processors.data[i]);
        }
    }
    // One place ahead a body's own fields are in: the edge records its glints run on (a body's
    // draw reads them whatever program made it).
    if (const ClEntity* entity = listedAhead<UPWARD>(list, index, PREFETCH_EDGES_AHEAD)) {
        const ClEntityNode* node = entity->root;
        if (node && node->atoms.count != 0 && node->atoms.data[0]->kind == E_ATOM_BODY)
            prefetchEdgeRecords(static_cast<const ClAtom_Body*>(node->atoms.data[0])->edgeRecords, BODY_GLINTS_PER_EDGE);
    }
}

}  // namespace

void prefetchCollisionWalk(u32 index) { prefetchBoundsAhead<true>(g_lists[E_LIST_ACTIVATED], index); }

void updateLiveEntities() {
    SEntityList& live = g_lists[E_LIST_LIVE];
    for (u32 i = live.count; i-- > 0;) {
        if (i >= live.count) continue;
        prefetchUpdateAhead<false>(live, i);
        ClEntity* entity = live.links[i];
        if (entity->incoming == 1) entity->tween.advance(frameTime());
        if (entity->state == E_ENTITY_SPAWNED || entity->state == E_ENTITY_ACTIVE) entity->update();
        // An activated entity's bounds are made now, while its tree is in the cache, when they
        // can be; the collision pass makes the rest.
        if (entity->state == E_ENTITY_ACTIVE && entity->root) entity->root->computeBoundsInUpdate();
    }
}

void drawLiveEntities() {
    SEntityList& live = g_lists[E_LIST_LIVE];
    const bool overlays = overlayProcessorCount() != 0;
    for (u32 i = 0; i < live.count; ++i) {
        prefetchDrawAhead<true>(live, i, overlays);
        ClEntity* entity = live.links[i];
        if (entity->state == E_ENTITY_SPAWNED || entity->state == E_ENTITY_ACTIVE) entity->draw();
    }
}

void drawPreviewEntities() {
    SEntityList& preview = g_lists[E_LIST_PREVIEW];
    for (u32 i = 0; i < preview.count; ++i)
        if (preview.links[i]->state == E_ENTITY_ACTIVE) preview.links[i]->draw();
}

void tickPreviewEntities() {
    SEntityList& preview = g_lists[E_LIST_PREVIEW];
    for (u32 i = preview.count; i-- > 0;) {
        if (i >= preview.count) continue;
        if (preview.links[i]->state == E_ENTITY_ACTIVE) preview.links[i]->updatePreview();
    }
}

ClRenderTargetGroup* getPreviewRenderTarget(s32 ownerTag) {
    if (ownerTag == OWNER_LIVE_GAME) return nullptr;
    if (ownerTag < 0 || ownerTag >= s32(PREVIEW_SLOT_COUNT))
        fatalErrorf("owner tag %d names no preview render target", ownerTag);
    return acquirePreviewTarget(ownerTag);
}

u32 entityListCount(EEntityList list) { return g_lists[list].count; }
ClEntity* entityListAt(EEntityList list, u32 index) { return g_lists[list].links[index]; }
u32 usedEntityCount() { return g_pool.isReady() ? g_pool.get()->used : 0; }

f32 sumActiveEnemyWeight() {
    f32 sum = 0.0f;
    const SEntityList& activated = g_lists[E_LIST_ACTIVATED];
    for (u32 i = activated.count; i-- > 0;) {
        const ClEntity* entity = activated.links[i];
        if (entity->state != E_ENTITY_ACTIVE || !entity->program || entity->program->kind != E_PROGRAM_ENEMY) continue;
        const ClVec4 at = entity->getWorldPosition();
        const ClVec3 position(at.x, at.y, at.z, 0.0f);
        if (at.z <= PLAY_AREA_DEPTH && isInsidePlayArea(position)) sum += f32(entity->program->weight);
    }
    return sum;
}
