#include "world/entity/tree_walks.h"

#include "render/materials.h"
#include "render/mega_particles.h"
#include "world/atoms/atom.h"
#include "world/entity/base_imports.h"
#include "world/entity/entity_node.h"
#include "world/entity/processor.h"

namespace {

using ProcessorCall = void (*)(ClProcessor* processor);

void broadcast(ClEntityNode* node, ProcessorCall call) {
    for (ClProcessor* processor : node->processors) call(processor);
    for (ClEntityNode* child : node->children) broadcast(child, call);
}

// A break-up blast is a twentieth of a contact's.
constexpr f32 BREAK_UP_DROP = 10.0f;
constexpr f32 BREAK_UP_BLAST_RADIUS = 20.0f;
constexpr f32 BREAK_UP_BLAST_STRENGTH = 5.0f;
constexpr f32 KILLED_SPIN = 0.001f;

struct SBreakUpBurst {
    s32 count;
    const char* effect;
    const char* texture;
    f32 values[11];  // spread, speed, speed variance, streak, size, flicker, size variance, gravity,
                     // life, life variance, drift
};

const SBreakUpBurst BREAK_UP_BURSTS[3] = {
    {5, "Bullet_Add", "Images/ExplosionPart", {180, 15, 0.4f, 0, 12, 1, 0.4f, 0, 0.4f, 0.5f, 1}},
    {2, "Fixed_Add_Bias_Limited", "Images/ExplosionPart", {180, 30, 0.4f, 0, 20, 1, 0.4f, 0, 0.1f, 0.5f, 1}},
    {1, "Fixed_Add_Bias_Limited", "Images/BarBig", {180, 30, 0.4f, 0, 6, 1, 0.4f, 0, 0.08f, 0.5f, 1}},
};

}  // namespace

void broadcastSpawn(ClEntityNode* node) {
    broadcast(node, [](ClProcessor* p) { p->onSpawn(); });
}
void broadcastPreviewSpawn(ClEntityNode* node) {
    broadcast(node, [](ClProcessor* p) { p->onPreviewSpawn(); });
}
void broadcastActivate(ClEntityNode* node) {
    broadcast(node, [](ClProcessor* p) { p->onActivate(); });
}
void broadcastPathSignal(ClEntityNode* node) {
    broadcast(node, [](ClProcessor* p) { p->onPathSignal(); });
}
void broadcastUpdatePreview(ClEntityNode* node) {
    broadcast(node, [](ClProcessor* p) { p->updatePreview(); });
}
void broadcastWorldFrames(ClEntityNode* node) {
    broadcast(node, [](ClProcessor* p) { p->updateWorldFrames(); });
}
void broadcastFirePressed(ClEntityNode* node) {
    broadcast(node, [](ClProcessor* p) { p->onFirePressed(); });
}
void broadcastFireReleased(ClEntityNode* node) {
    broadcast(node, [](ClProcessor* p) { p->onFireReleased(); });
}
void broadcastDestroy(ClEntityNode* node) {
    broadcast(node, [](ClProcessor* p) { p->onDestroy(); });
}

void broadcastReload(ClEntityNode* node) {
    for (ClEntityNode* child : node->children) broadcastReload(child);
    for (ClProcessor* processor : node->processors) processor->reloadParameters();
}

void broadcastDamaged(ClEntityNode* node, ClAtom* hitAtom) {
    for (ClProcessor* processor : node->processors) processor->onDamaged(hitAtom);
    for (ClEntityNode* child : node->children) broadcastDamaged(child, hitAtom);
}

void updateNodeTree(ClEntityNode* node) {
    for (ClAtom* atom : node->atoms)
        if (atom->effectCount != 0) atom->atomTick();
    for (ClProcessor* processor : node->processors) processor->update();
    for (ClEntityNode* child : node->children) updateNodeTree(child);
}

void drawNodeTree(ClEntityNode* node) {
    if (overlayProcessorCount() != 0)
        for (ClProcessor* processor : node->processors) processor->drawOverlay();
    for (ClAtom* atom : node->atoms)
        if (atom->active) atom->draw();
    for (ClEntityNode* child : node->children) drawNodeTree(child);
}

void emitAtomBreakUp(ClAtom* atom) {
    const ClMatrix44& world = atom->currentWorldMatrix();
    const ClVec3 position(world.m[12], world.m[13], world.m[14], 0.0f);
    const ClVec3 lowered(position.x, position.y - BREAK_UP_DROP, position.z, 0.0f);
    g_BaseImports.recordBreakUpImpact(lowered, BREAK_UP_BLAST_RADIUS, BREAK_UP_BLAST_STRENGTH);
    if (!megaParticles()) return;
    for (const SBreakUpBurst& burst : BREAK_UP_BURSTS) {
        SMegaEmit request = {};
        request.count = burst.count;
        request.material = getMaterialForEffectAndTextureName(burst.effect, burst.texture);
        request.colour = 0xFFFFFFFFu;
        request.position = position;
        request.direction = ClVec3(0.0f, 1.0f, 0.0f, 0.0f);
        const f32* v = burst.values;
        request.spread = v[0];
        request.speed = v[1];
        request.speedVariance = v[2];
        request.streak = v[3];
        request.size = v[4];
        request.flicker = v[5];
        request.sizeVariance = v[6];
        request.gravity = v[7];
        request.life = v[8];
        request.lifeVariance = v[9];
        request.drift = v[10];
        megaParticles()->emit(0, request);
    }
}

void killUnreachedAtoms(ClEntityNode* node, u32 stamp) {
    for (ClAtom* atom : node->atoms) {
        if (!atom->active || atom->visitStamp == stamp) continue;
        atom->onKilled(KILLED_SPIN);
        atom->deactivate(0);
        emitAtomBreakUp(atom);
    }
    for (ClEntityNode* child : node->children) killUnreachedAtoms(child, stamp);
}

void explodeAllAtoms(ClEntityNode* node, u32 quiet) {
    for (ClAtom* atom : node->atoms) {
        if (!atom->active) continue;
        atom->deactivate(quiet);
        if (quiet == 0) {
            atom->onKilled(KILLED_SPIN);
            emitAtomBreakUp(atom);
        }
    }
    for (ClEntityNode* child : node->children) explodeAllAtoms(child, quiet);
    node->anyActive = 0;
}
