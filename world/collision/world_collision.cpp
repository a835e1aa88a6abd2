#include "world/collision/world_collision.h"

#include "core/array.h"
#include "core/prefetch.h"
#include "render/debris_particles.h"
#include "world/atoms/atom.h"
#include "world/collision/contact_handlers.h"
#include "world/collision/kill_queue.h"
#include "world/collision/swept_contact.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity_node.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"

#include <algorithm>
#include <cmath>
#include <iterator>

ContactHandler g_aContactHandlers[CONTACT_KIND_COUNT * CONTACT_KIND_COUNT];

namespace {

// The broad phase over entities buckets one side of a pair of kinds into a grid of cells on the
// x-z plane, so that the pass stays near linear with thousands of bullets. Positions outside the
// grid fall into its border cells, which costs time but loses no pair.
constexpr f32 GRID_CELL_SIZE = 16.0f;
constexpr s32 GRID_SIDE = 48;
constexpr f32 GRID_ORIGIN_X = -192.0f;
constexpr f32 GRID_ORIGIN_Z = -320.0f;
constexpr u32 GRID_CELL_COUNT = u32(GRID_SIDE * GRID_SIDE);
// An entity spanning more cells, or arriving when the entries are used up, is tested against the
// whole other side instead.
constexpr u32 GRID_MAX_CELLS_PER_ENTITY = 16;
constexpr u32 GRID_ENTRY_CAPACITY = 4 * ENTITY_CAPACITY;
// Below this many entities on the smaller side every pair is tested without the grid.
constexpr u32 GRID_MIN_SIDE = 8;

// An activated entity that can collide (its root's swept box is a sphere), with what the pair
// loop reads of it copied in (nothing moves during the pass): the root's sphere, the entity's
// kind and grace, its position in the activated list and the cells it covers. Two to a cache line.
struct SCollider {
    f32 x, y, z, radius;
    ClEntityNode* root;
    u16 order;  // position in the activated list
    u8 kind;
    u8 inGrace;  // its collision-grace timer is running
    u8 cellX0, cellX1, cellZ0, cellZ1;
};
static_assert(ENTITY_CAPACITY <= 0x10000, "an activated-list position fits a collider's order");
static_assert(GRID_SIDE <= 0x100, "a cell index fits a collider's cell fields");
static_assert(CONTACT_KIND_COUNT <= 0x100, "a kind fits a collider's kind field");

// Root pairs whose spheres overlap, queued in the order the pass finds them and worked off in
// that order, so that the lines of the nodes and atoms a pair reads are asked for a few pairs
// before it. The queue is worked off whenever it fills and at the end of the pass.
struct SRootPair {
    ClEntityNode* first;
    ClEntityNode* second;
};
constexpr u32 PAIR_QUEUE_CAPACITY = 64;
// How many pairs ahead each stage of hints runs: the nodes, then their atom lists, then their
// first atoms, then those atoms' collision spheres.
constexpr u32 PAIR_NODES_AHEAD = 9;
constexpr u32 PAIR_LISTS_AHEAD = 6;
constexpr u32 PAIR_ATOMS_AHEAD = 4;
constexpr u32 PAIR_SHAPES_AHEAD = 2;

// The contacts are worked off in time order, which scatters their atoms: the atoms' flags are
// asked for this many contacts ahead, their entities' records half as many, and the records'
// root nodes one contact ahead.
constexpr u32 RESOLVE_ATOMS_AHEAD = 4;
constexpr u32 RESOLVE_ENTITIES_AHEAD = 2;
constexpr u32 RESOLVE_ROOTS_AHEAD = 1;

SRootPair g_aPairQueue[PAIR_QUEUE_CAPACITY];
u32 g_uPairCount = 0;

SContact g_aContacts[CONTACT_CAPACITY];
u32 g_uContactCount = 0;
// A contact's place in the pool with its time copied in, so that the sort compares without
// reaching into the contacts.
struct SContactKey {
    f32 time;
    u16 index;
};
SContactKey g_aContactOrder[CONTACT_CAPACITY];

ClArray<SImpact> g_Impacts;

// Grouped by kind as they are gathered: each kind has a partition of room for every entity, so
// the colliders are written once, in activated-list order within each kind.
SCollider g_aColliders[CONTACT_KIND_COUNT * ENTITY_CAPACITY];
u32 g_aKindCount[CONTACT_KIND_COUNT];

u32 kindBegin(u32 kind) { return kind * ENTITY_CAPACITY; }
u32 kindEnd(u32 kind) { return kind * ENTITY_CAPACITY + g_aKindCount[kind]; }

u32 g_aCellStart[GRID_CELL_COUNT + 1];
u32 g_aCellEntries[GRID_ENTRY_CAPACITY];
u32 g_aWide[ENTITY_CAPACITY];

// The cells the sphere's square on the x-z plane covers, its four edges worked in one go. The
// floor of a non-negative quotient is its truncation, so a quotient held to the grid (a NaN to
// 0) needs no rounding call.
inline void coverCells(SCollider& c, const ClBoundingVolume& box) {
    const f32 edges[4] = {box.centre.x - box.radius, box.centre.x + box.radius, box.centre.z - box.radius,
                          box.centre.z + box.radius};
    const f32 origins[4] = {GRID_ORIGIN_X, GRID_ORIGIN_X, GRID_ORIGIN_Z, GRID_ORIGIN_Z};
    s32 cells[4];
    for (u32 k = 0; k < 4; ++k) {
        f32 cell = (edges[k] - origins[k]) / GRID_CELL_SIZE;
        cell = cell > 0.0f ? cell : 0.0f;
        cell = cell < f32(GRID_SIDE - 1) ? cell : f32(GRID_SIDE - 1);
        cells[k] = s32(cell);
    }
    c.cellX0 = u8(cells[0]);
    c.cellX1 = u8(cells[1]);
    c.cellZ0 = u8(cells[2]);
    c.cellZ1 = u8(cells[3]);
}

u32 cellSpan(const SCollider& c) { return u32(c.cellX1 - c.cellX0 + 1) * u32(c.cellZ1 - c.cellZ0 + 1); }

bool canCollide(ClEntity* entity) {
    return entity->root && entity->program && entity->program->kind < CONTACT_KIND_COUNT &&
           entity->root->sweptBox.kind == E_BOUNDS_SPHERE;
}

bool kindsMeet(u32 a, u32 b) {
    return g_aContactHandlers[a * CONTACT_KIND_COUNT + b] || g_aContactHandlers[b * CONTACT_KIND_COUNT + a];
}

void takeContact(const SSweptContact& hit, ClAtom* first, ClAtom* second) {
    if (g_uContactCount >= CONTACT_CAPACITY) return;
    SContact& contact = g_aContacts[g_uContactCount++];
    contact.point = hit.point;
    contact.normal = hit.normal;
    contact.time = hit.time;
    contact.first = first;
    contact.second = second;
}

void findAtomContacts(ClAtom* a, ClAtom* b) {
    const ClBoundingVolumeList& shapeA = a->getCollisionShape();
    const ClBoundingVolumeList& shapeB = b->getCollisionShape();
    for (u32 i = 0; i < shapeA.count(); ++i) {
        for (u32 j = 0; j < shapeB.count(); ++j) {
            SSweptContact hit;
            if (findSweptContact(shapeA[i], shapeB[j], &hit)) takeContact(hit, a, b);
        }
    }
}

bool collides(ClAtom* atom) { return atom->active && atom->atomIsAlive(); }

// Child nodes are entered on their swept boxes: their current boxes alone would let a fast atom
// pass through a child between two frames. atomBox is the atom's swept box.
void collideAtomWithNode(ClAtom* atom, const ClBoundingVolume& atomBox, ClEntityNode* node) {
    for (ClAtom* other : node->atoms) {
        if (collides(other) && other->getSweptBox().overlaps(atomBox)) findAtomContacts(atom, other);
    }
    for (ClEntityNode* child : node->children) {
        if (child->sweptBox.overlaps(atomBox)) collideAtomWithNode(atom, atomBox, child);
    }
}

void collideNodeTrees(ClEntityNode* nodeA, ClEntityNode* nodeB);

// collideNodeTrees past its test of the two nodes' swept boxes.
void collideOverlappingNodes(ClEntityNode* nodeA, ClEntityNode* nodeB) {
    for (ClAtom* atom : nodeA->atoms) {
        if (!collides(atom)) continue;
        const ClBoundingVolume& atomBox = atom->getSweptBox();
        if (atomBox.overlaps(nodeB->sweptBox)) collideAtomWithNode(atom, atomBox, nodeB);
    }
    for (ClEntityNode* child : nodeA->children) collideNodeTrees(child, nodeB);
}

void collideNodeTrees(ClEntityNode* nodeA, ClEntityNode* nodeB) {
    if (nodeA->sweptBox.overlaps(nodeB->sweptBox)) collideOverlappingNodes(nodeA, nodeB);
}

// A ship in its collision grace still collects pickups, but neither hits nor is hit.
bool graceAllows(const SCollider& a, const SCollider& b) {
    if (!a.inGrace && !b.inGrace) return true;
    return (a.kind == E_PROGRAM_PLAYER && b.kind == E_PROGRAM_PICKUP) ||
           (a.kind == E_PROGRAM_PICKUP && b.kind == E_PROGRAM_PLAYER);
}

// ClBoundingVolume::overlaps of the two roots' spheres, kept inline for the pair loop.
inline bool spheresOverlap(const SCollider& a, const SCollider& b) {
    const f32 dx = b.x - a.x;
    const f32 dy = b.y - a.y;
    const f32 dz = b.z - a.z;
    const f32 reach = a.radius + b.radius;
    return dx * dx + dy * dy + dz * dz < reach * reach;
}

bool contactsFull() { return g_uContactCount >= CONTACT_CAPACITY; }

// The node's lists of children and atoms and its swept box.
void prefetchPairNode(const ClEntityNode* node) {
    prefetchLine(&node->children);
    prefetchLine(&node->atoms);
    prefetchLine(&node->sweptBox);
}

void prefetchPairList(const ClEntityNode* node) {
    if (node->atoms.count != 0) prefetchLine(node->atoms.data);
}

// The lines of the node's first atom that the pair's tests read: the flags, the swept box and
// the mesh, the two boxes it is made of, the build stamp and the collision list's block.
void prefetchPairAtom(const ClEntityNode* node) {
    if (node->atoms.count == 0) return;
    const ClAtom* atom = node->atoms.data[0];
    prefetchLine(&atom->active);
    prefetchLine(&atom->sweptBox);
    prefetchLine(&atom->worldBox);
    prefetchLine(&atom->buildStamp);
    prefetchLine(&atom->collisionShape);
}

// Both lines of a record that may straddle two.
template <typename T>
void prefetchWholeRecord(const T* record) {
    prefetchLine(record);
    prefetchLine(reinterpret_cast<const char*>(record) + sizeof(T) - 1);
}

// The first atom's collision list block; when the list is to be made again, the two world
// transforms and the kind's own fields it is made from as well.
void prefetchPairShape(const ClEntityNode* node) {
    if (node->atoms.count == 0) return;
    const ClAtom* atom = node->atoms.data[0];
    prefetchWholeRecord(atom->collisionShape.entries.data);
    if (!atom->collisionShapeDirty) return;
    prefetchSpan(atom->worldMatrix, sizeof(atom->worldMatrix));
    prefetchLine(atom->ownFieldsStart());
}

// The hint for both nodes of the queued pair at the index, when the queue holds one there.
void hintQueuedPair(u32 index, u32 count, void (*hint)(const ClEntityNode* node)) {
    if (index >= count) return;
    hint(g_aPairQueue[index].first);
    hint(g_aPairQueue[index].second);
}

// Works the queued pairs off in order; once the contact pool is full the rest could add nothing.
void collideQueuedPairs() {
    const u32 count = g_uPairCount;
    g_uPairCount = 0;
    for (u32 k = 0; k < count && !contactsFull(); ++k) {
        hintQueuedPair(k + PAIR_NODES_AHEAD, count, prefetchPairNode);
        hintQueuedPair(k + PAIR_LISTS_AHEAD, count, prefetchPairList);
        hintQueuedPair(k + PAIR_ATOMS_AHEAD, count, prefetchPairAtom);
        hintQueuedPair(k + PAIR_SHAPES_AHEAD, count, prefetchPairShape);
        // The pair loop found the roots' swept spheres overlapping, by the same test.
        collideOverlappingNodes(g_aPairQueue[k].first, g_aPairQueue[k].second);
    }
}

inline void collidePair(const SCollider& a, const SCollider& b) {
    if (!spheresOverlap(a, b)) return;
    const SCollider& first = a.order < b.order ? a : b;
    const SCollider& second = a.order < b.order ? b : a;
    if (!graceAllows(first, second)) return;
    g_aPairQueue[g_uPairCount++] = SRootPair{first.root, second.root};
    if (g_uPairCount == PAIR_QUEUE_CAPACITY) collideQueuedPairs();
}

void startGathering() { std::fill(std::begin(g_aKindCount), std::end(g_aKindCount), 0u); }

// Takes the entity at that position of the activated list when it can collide.
inline void gatherCollider(ClEntity* entity, u32 order) {
    if (!canCollide(entity)) return;
    const ClBoundingVolume& box = entity->root->sweptBox;
    const u32 kind = entity->program->kind;
    SCollider& c = g_aColliders[kindBegin(kind) + g_aKindCount[kind]++];
    c.x = box.centre.x;
    c.y = box.centre.y;
    c.z = box.centre.z;
    c.radius = box.radius;
    c.root = entity->root;
    c.order = u16(order);
    c.kind = u8(kind);
    c.inGrace = entity->timer != 0.0f;
    coverCells(c, box);
}

void collideWithinKind(u32 kind) {
    const u32 end = kindEnd(kind);
    for (u32 i = kindBegin(kind); i < end; ++i) {
        for (u32 j = i + 1; j < end && !contactsFull(); ++j) collidePair(g_aColliders[i], g_aColliders[j]);
    }
}

void collideAllPairs(u32 kindA, u32 kindB) {
    for (u32 i = kindBegin(kindA); i < kindEnd(kindA); ++i) {
        for (u32 j = kindBegin(kindB); j < kindEnd(kindB) && !contactsFull(); ++j)
            collidePair(g_aColliders[i], g_aColliders[j]);
    }
}

// Buckets side A into the grid (counting sort by cell) and returns the number of wide entities.
u32 buildGrid(u32 kindA) {
    std::fill(g_aCellStart, g_aCellStart + GRID_CELL_COUNT + 1, 0u);
    u32 wideCount = 0;
    u32 total = 0;
    for (u32 i = kindBegin(kindA); i < kindEnd(kindA); ++i) {
        const SCollider& c = g_aColliders[i];
        const u32 span = cellSpan(c);
        if (span > GRID_MAX_CELLS_PER_ENTITY || total + span > GRID_ENTRY_CAPACITY) {
            g_aWide[wideCount++] = i;
            continue;
        }
        total += span;
        for (s32 z = c.cellZ0; z <= c.cellZ1; ++z)
            for (s32 x = c.cellX0; x <= c.cellX1; ++x) ++g_aCellStart[z * GRID_SIDE + x];
    }
    for (u32 cell = 1; cell < GRID_CELL_COUNT; ++cell) g_aCellStart[cell] += g_aCellStart[cell - 1];
    g_aCellStart[GRID_CELL_COUNT] = total;
    // Filled backwards, so every cell's start ends at its first entry.
    u32 wideIndex = 0;
    for (u32 i = kindBegin(kindA); i < kindEnd(kindA); ++i) {
        if (wideIndex < wideCount && g_aWide[wideIndex] == i) {
            ++wideIndex;
            continue;
        }
        const SCollider& c = g_aColliders[i];
        for (s32 z = c.cellZ0; z <= c.cellZ1; ++z)
            for (s32 x = c.cellX0; x <= c.cellX1; ++x) g_aCellEntries[--g_aCellStart[z * GRID_SIDE + x]] = i;
    }
    return wideCount;
}

void collideThroughGrid(u32 kindA, u32 kindB) {
    const u32 wideCount = buildGrid(kindA);
    for (u32 j = kindBegin(kindB); j < kindEnd(kindB) && !contactsFull(); ++j) {
        const SCollider& b = g_aColliders[j];
        for (u32 w = 0; w < wideCount; ++w) collidePair(g_aColliders[g_aWide[w]], b);
        for (s32 z = b.cellZ0; z <= b.cellZ1; ++z) {
            for (s32 x = b.cellX0; x <= b.cellX1; ++x) {
                const u32 cell = u32(z * GRID_SIDE + x);
                for (u32 e = g_aCellStart[cell]; e < g_aCellStart[cell + 1]; ++e) {
                    const SCollider& a = g_aColliders[g_aCellEntries[e]];
                    // A pair sharing several cells is taken in the first of them only.
                    if (x != std::max(a.cellX0, b.cellX0) || z != std::max(a.cellZ0, b.cellZ0)) continue;
                    collidePair(a, b);
                }
            }
        }
    }
}

void collideKinds(u32 kindA, u32 kindB) {
    const u32 countA = g_aKindCount[kindA];
    const u32 countB = g_aKindCount[kindB];
    if (countA == 0 || countB == 0) return;
    if (std::min(countA, countB) < GRID_MIN_SIDE)
        collideAllPairs(kindA, kindB);
    else if (countA <= countB)
        collideThroughGrid(kindA, kindB);
    else
        collideThroughGrid(kindB, kindA);
}

void emptyImpacts() {
    g_Impacts.count = 0;
    g_Impacts.last = nullptr;
    g_Impacts.cursor = nullptr;
}

// The lines of an entity in a contact that its handler and the kill queue read first: the
// record's program and root, and its list of main atoms that the kill queue's visit walks.
void prefetchContactEntity(const ClEntity* entity) {
    prefetchLine(&entity->program);
    prefetchLine(&entity->registeredAtoms.count);
}

// The root's lists of children and atoms, which the kill queue's visit walks.
void prefetchContactRoot(const ClEntity* entity) {
    if (!entity->root) return;
    prefetchLine(&entity->root->children);
    prefetchLine(&entity->root->atoms);
}

// The atom's count and table of effects, which a hit's flash reads.
void prefetchContactAtom(const ClAtom* atom) {
    prefetchLine(&atom->effectCount);
    prefetchLine(atom->effects);
}

// The atom's attached effects and the record the next one would take.
void prefetchContactEffects(const ClAtom* atom) {
    for (u32 slot = 0; slot <= atom->effectCount && slot < ATOM_EFFECT_CAPACITY; ++slot)
        prefetchLine(atom->effects[slot]);
}

// The three stages of hints for one side of a contact further along: its atom's active flag
// and entity link; its entity's record and its own effect table; its root node and its attached
// effects.
void prefetchContactAtomLine(const ClAtom* atom) { prefetchLine(&atom->active); }

void prefetchContactEntityAndAtom(const ClAtom* atom) {
    prefetchContactEntity(atom->entity);
    prefetchContactAtom(atom);
}

void prefetchContactRootAndEffects(const ClAtom* atom) {
    prefetchContactRoot(atom->entity);
    prefetchContactEffects(atom);
}

void prefetchContactSides(u32 index, u32 ahead, void (*hint)(const ClAtom*)) {
    if (index + ahead >= g_uContactCount) return;
    const SContact& contact = g_aContacts[g_aContactOrder[index + ahead].index];
    hint(contact.first);
    hint(contact.second);
}

// Hints for the contacts further along the sorted order: the atoms, then the records of their
// entities, then the entities' root nodes.
void prefetchContactAhead(u32 index) {
    prefetchContactSides(index, RESOLVE_ATOMS_AHEAD, prefetchContactAtomLine);
    prefetchContactSides(index, RESOLVE_ENTITIES_AHEAD, prefetchContactEntityAndAtom);
    prefetchContactSides(index, RESOLVE_ROOTS_AHEAD, prefetchContactRootAndEffects);
}

// The pair walk over the gathered colliders: fills the contact pool.
void collideGathered();

}  // namespace

void initHitEffects() {
    releaseHitEffects();
    std::fill(std::begin(g_aContactHandlers), std::end(g_aContactHandlers), nullptr);
    auto both = [](u32 a, u32 b, ContactHandler handler) {
        g_aContactHandlers[a * CONTACT_KIND_COUNT + b] = handler;
        g_aContactHandlers[b * CONTACT_KIND_COUNT + a] = handler;
    };
    both(E_PROGRAM_PLAYER, E_PROGRAM_ENEMY, onBodyContact);
    both(E_PROGRAM_PLAYER, E_PROGRAM_PICKUP, onPickupContact);
    both(E_PROGRAM_PLAYER, E_PROGRAM_ENEMY_SHOT, onBulletHit);
    both(E_PROGRAM_ENEMY, E_PROGRAM_PLAYER_SHOT, onBulletHit);
    if (!g_Impacts.inUse) g_Impacts.init(IMPACT_INITIAL_CAPACITY);
}

void releaseHitEffects() {
    g_uContactCount = 0;
    resetKillQueue();
    emptyImpacts();
}

// The bounds of an entity depend on its own tree only, so each entity is gathered right after
// its bounds are made, while its nodes are still in the cache: the same colliders in the same
// order as a separate walk would gather. Bounds the entity update already made and nothing has
// changed since are taken as they are.
void updateWorldCollisions() {
    const u32 activated = entityListCount(E_LIST_ACTIVATED);
    startGathering();
    for (u32 i = 0; i < activated; ++i) {
        prefetchCollisionWalk(i);
        ClEntity* entity = entityListAt(E_LIST_ACTIVATED, i);
        if (entity->root && !entity->boundsMadeThisFrame()) entity->root->computeBounds();
        gatherCollider(entity, i);
    }
    collideGathered();
    resolveContacts();
}

namespace {

void collideGathered() {
    g_uContactCount = 0;
    for (u32 a = 0; a < CONTACT_KIND_COUNT; ++a) {
        for (u32 b = a; b < CONTACT_KIND_COUNT; ++b) {
            if (!kindsMeet(a, b) || contactsFull()) continue;
            if (a == b)
                collideWithinKind(a);
            else
                collideKinds(a, b);
        }
    }
    collideQueuedPairs();
}

}  // namespace

void resolveContacts() {
    processKillQueue();
    for (u32 i = 0; i < g_uContactCount; ++i) g_aContactOrder[i] = SContactKey{g_aContacts[i].time, u16(i)};
    // Equal times keep the order in which the pass found them.
    std::sort(g_aContactOrder, g_aContactOrder + g_uContactCount, [](const SContactKey& a, const SContactKey& b) {
        if (a.time != b.time) return a.time < b.time;
        return a.index < b.index;
    });
    for (u32 i = 0; i < g_uContactCount; ++i) {
        prefetchContactAhead(i);
        const SContact& contact = g_aContacts[g_aContactOrder[i].index];
        if (!contact.first->active || !contact.second->active) continue;
        const u32 kindFirst = contact.first->entity->program->kind;
        const u32 kindSecond = contact.second->entity->program->kind;
        const ContactHandler handler = g_aContactHandlers[kindFirst * CONTACT_KIND_COUNT + kindSecond];
        if (!handler) continue;
        handler(contact);
        processKillQueue();
    }
    // Impacts recorded since the last pass (by a kill queue run outside it too) are handed over
    // here, so none is lost.
    for (const SImpact& impact : g_Impacts)
        recordBlast(SBlast{impact.position, impact.radius, impact.strength}, impact.direction);
    emptyImpacts();
    runBlastPass();
}

void pushImpact(const SImpact& impact) {
    if (g_Impacts.inUse) g_Impacts.push(impact);
}

void recordBreakUpImpact(const ClVec3& position, f32 radius, f32 strength) {
    pushImpact(SImpact{position, ClVec3(), radius, strength});
}
