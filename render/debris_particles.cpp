#include "render/debris_particles.h"

#include "core/game_clock.h"
#include "core/random.h"
#include "render/batcher.h"
#include "render/draw_lists.h"
#include "render/render_worker.h"

f32 g_particleGameStep = 1.0f / 60.0f;

namespace {

ClDebrisLineParticleSystem* g_debrisLineSystem = nullptr;
ClDebrisTriParticleSystem* g_debrisTriSystem = nullptr;

struct SBlastRecord {
    SBlast blast;
    ClVec3 velocity;
};

struct SBlastLists {
    SDebrisBody* newDebris[NEW_DEBRIS_CAPACITY];
    u32 newDebrisCount = 0;
    SBlastRecord blasts[BLAST_LIST_CAPACITY];
    u32 blastCount = 0;
};

SBlastLists g_BlastLists;

void appendNewDebris(SDebrisBody* body) {
    if (g_BlastLists.newDebrisCount < NEW_DEBRIS_CAPACITY) g_BlastLists.newDebris[g_BlastLists.newDebrisCount++] = body;
}

// Gravity, the music drift along z (driftFactor x level per second squared) and the motion;
// false once the piece fell below the floor.
bool fall(SDebrisBody& body, f32 dt, f32 driftFactor) {
    const SParticlePhysics& physics = particlePhysics();
    body.velocity += scaleVec3(physics.accelerationA + physics.accelerationB, dt);
    body.velocity.z += dt * particleMusicLevel() * driftFactor;
    body.centre += scaleVec3(body.velocity, dt);
    return !(body.centre.y < DEBRIS_FLOOR);
}

}  // namespace

void ClDebrisLineParticleSystem::addLine(const ClVec3& endA, const ClVec3& endB, const ClMatrix44& spin, f32 width,
                                         u32 colour, const SMaterial* material, const ClVec3& velocity) {
    SDebrisLine* p = m_pool.take();
    if (!p) return;
    p->centre = scaleVec3(endA + endB, 0.5f);
    p->halfA = endA - p->centre;
    p->halfB = endB - p->centre;
    p->velocity = velocity;
    p->spin = spin;
    p->width = width;
    p->colour = colour;
    p->material = material;
    appendNewDebris(p);
}

void ClDebrisLineParticleSystem::releaseAll() {
    // Even with no live pieces the list may still hold pieces released this frame.
    clearNewDebrisList();
    m_pool.releaseAll();
}

void ClDebrisLineParticleSystem::update() {
    const f32 dt = frameTime();
    for (u32 i = m_pool.used; i-- > 0;) {
        SDebrisLine& p = *m_pool.table[i];
        if (!fall(p, dt, 0.25f)) {
            m_pool.release(&p);
            continue;
        }
        p.halfA = p.spin.transformPoint(ClVec3(p.halfA.x, p.halfA.y, p.halfA.z, 1.0f));
        p.halfB = p.spin.transformPoint(ClVec3(p.halfB.x, p.halfB.y, p.halfB.z, 1.0f));
        appendLineCommand(p.centre + p.halfB, p.centre + p.halfA, p.width, p.colour, p.material, 0.0f, 1,
                          DEBRIS_LINE_LAYER_MASK);
    }
}

void ClDebrisTriParticleSystem::addTriangle(const ClVec3& position, const ClMatrix44& spin, u32 colour,
                                            const SMaterial* material, const ClVec3& origin) {
    SDebrisShard* p = m_pool.take();
    if (!p) return;
    p->centre = position;
    p->corners[0] = ClVec3(10.0f, -10.0f, 0.0f);
    p->corners[1] = ClVec3(10.0f, 10.0f, 0.0f);
    p->corners[2] = ClVec3(-10.0f, 10.0f, 0.0f);
    p->corners[3] = ClVec3(-10.0f, -10.0f, 0.0f);
    p->spin = spin;
    ClVec3 away = position - origin;
    const f32 length = away.length();
    if (length > 0.0f) away = away / length;
    away.y += 1.95f;
    away.setLength(randomWithVariance(50.3f, 0.9f));
    p->velocity = away;
    p->colour = colour;
    p->material = material;
    appendNewDebris(p);
}

void ClDebrisTriParticleSystem::releaseAll() {
    // Even with no live pieces the list may still hold pieces released this frame.
    clearNewDebrisList();
    m_pool.releaseAll();
}

void ClDebrisTriParticleSystem::update() {
    static const f32 kTexCoords[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    static const u32 kCorners[6] = {0, 1, 2, 0, 2, 3};
    const f32 dt = frameTime();
    const bool spinning = g_particleGameStep > 0.0001f;
    for (u32 i = m_pool.used; i-- > 0;) {
        SDebrisShard& p = *m_pool.table[i];
        if (!fall(p, dt, 0.065f)) {
            m_pool.release(&p);
            continue;
        }
        if (spinning) {
            for (ClVec3& c : p.corners) c = p.spin.transformPoint(ClVec3(c.x, c.y, c.z, 1.0f));
        }
        const SBatchReservation r = reserveBatchGeometry(1, 6, 6);
        if (!r.vertices) continue;
        const u32 alpha = u32(randomUnitFloat() * 255.0f) & 0xFFu;
        const u32 colour = (p.colour & 0x00FFFFFFu) | (alpha << 24);
        for (u32 tri = 0; tri < 2; ++tri) {
            const ClVec3& a = p.corners[kCorners[3 * tri]];
            const ClVec3& b = p.corners[kCorners[3 * tri + 1]];
            const ClVec3& c = p.corners[kCorners[3 * tri + 2]];
            const ClVec3 normal = (c - a).cross(b - a);
            for (u32 k = 0; k < 3; ++k) {
                const u32 corner = kCorners[3 * tri + k];
                const ClVec3 at = p.centre + p.corners[corner];
                r.vertices[3 * tri + k] = SBatchVertex{at.x, at.y, at.z, colour, normal.x, normal.y, normal.z,
                                                       kTexCoords[corner][0], kTexCoords[corner][1]};
            }
        }
        for (u32 k = 0; k < 6; ++k) r.stagedIndices[k] = r.vertexBase + k;
        r.layerMasks[0] = DEBRIS_SHARD_LAYER_MASK;
        r.indexRanges[0] = SBatchIndexRange{r.firstStagedIndex, 6};
        r.depths[0] = 0.0f;
        r.materials[0] = p.material;
        r.keys[0] = BATCH_KEY_MAIN_SCENE;
    }
}

void recordBlast(const SBlast& blast, const ClVec3& velocity) {
    if (g_BlastLists.blastCount < BLAST_LIST_CAPACITY) g_BlastLists.blasts[g_BlastLists.blastCount++] = {blast, velocity};
}

void runBlastPass() {
    for (u32 b = 0; b < g_BlastLists.blastCount; ++b) {
        const SBlastRecord& blast = g_BlastLists.blasts[b];
        for (u32 i = 0; i < g_BlastLists.newDebrisCount; ++i) {
            SDebrisBody* body = g_BlastLists.newDebris[i];
            computeBlastPush(blast.blast, blast.velocity, body->centre, &body->velocity);
        }
    }
    g_BlastLists.blastCount = 0;
    g_BlastLists.newDebrisCount = 0;
}

void clearNewDebrisList() { g_BlastLists.newDebrisCount = 0; }

ClDebrisLineParticleSystem* debrisLineParticles() { return g_debrisLineSystem; }
ClDebrisTriParticleSystem* debrisTriParticles() { return g_debrisTriSystem; }
void setDebrisLineSystem(ClDebrisLineParticleSystem* system) { g_debrisLineSystem = system; }
void setDebrisTriSystem(ClDebrisTriParticleSystem* system) { g_debrisTriSystem = system; }
