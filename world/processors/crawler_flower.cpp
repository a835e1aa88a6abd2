#include "world/processors/crawler_flower.h"

#include "audio/play/beat_events.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "render/fx_particles.h"
#include "world/atoms/atom.h"
#include "world/atoms/gun_params.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/services/positioned_sound.h"
#include "world/state/player_records.h"
#include "world/state/wave_record.h"

#include <cfloat>

namespace {

constexpr f32 HALF_PI = 1.5707964f;
const ClVec3 GRID_OFFSETS[4] = {ClVec3(0.0f, 0.0f, -CRAWLER_CELL), ClVec3(CRAWLER_CELL, 0.0f, 0.0f),
                                ClVec3(0.0f, 0.0f, CRAWLER_CELL), ClVec3(-CRAWLER_CELL, 0.0f, 0.0f)};
const ClVec3 Z_AXIS(0.0f, 0.0f, 1.0f);

ClVec3 xyz(const ClVec4& v) { return ClVec3(v.x, v.y, v.z); }

const ClEntity* liveShip() { return g_aPlayerState[0].active ? playerShip(0) : nullptr; }

f32 lengthXYZ(const ClVec3& v) { return ClVec3(v.x, v.y, v.z).length(); }

void appendPetal(ClEntityNode* petal, uintptr_t user) {
    auto* petals = reinterpret_cast<ClArray<SPetalRecord>*>(user);
    const SParamValue* instruction = petal->params.find("DNAInstr");
    petals->push(SPetalRecord{petal, petal->parent, instruction ? instruction->integer : -1});
}

ClEntity* newEnemyBullet(const ClEntity* shooter) {
    ClDNAGenerator* generator = generatorFindOrDie(E_GENCAT_ENEMY_BULLET, "DefBullGenE");
    ClEntity* bullet = allocEntity(shooter->ownerTag);
    bullet->buildFromDNA(generator->getSharedProgram());
    bullet->ownerTag = shooter->ownerTag;
    bullet->root->resetAtoms();
    bullet->spawn();
    return bullet;
}

}  // namespace

// --- crawler --------------------------------------------------------------------------------------

void ClProcessor_Enemy_Crawler::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_CRAWLER);
    subscription = {};
    movingAtom = nullptr;
}

void ClProcessor_Enemy_Crawler::release() { dropBeatSubscription(subscription); }
void ClProcessor_Enemy_Crawler::onDestroy() { dropBeatSubscription(subscription); }

void ClProcessor_Enemy_Crawler::onActivate() {
    if (!subscription) subscription = subscribeBeat(&ClProcessor_Enemy_Crawler::onBeat, this, 0);
}

void ClProcessor_Enemy_Crawler::update() {
    if (entity->state != E_ENTITY_ACTIVE) return;
    slideTween.advance(frameTime());
    if (!movingAtom) return;
    if (!movingAtom->active) {
        movingAtom = nullptr;
        return;
    }
    const ClVec3& at = slideTween.getValue();
    movingAtom->localMatrix.setTranslationXYZ(at.x, at.y, at.z);
    movingAtom->localMatrix.m[15] = 1.0f;
}

void ClProcessor_Enemy_Crawler::onBeat(const SBeat&, s32, void* user) {
    auto* self = static_cast<ClProcessor_Enemy_Crawler*>(user);
    const ClEntity* ship = liveShip();
    if (!ship) return;
    const ClVec3 d = xyz(ship->getWorldPosition()) - xyz(self->entity->getWorldPosition());
    ClAtom* nearest = nullptr;
    ClAtom* farthest = nullptr;
    f32 nearestDistance = FLT_MAX;
    f32 farthestDistance = 0.0f;
    for (ClAtom* atom : self->node->atoms) {
        if (!atom->active) continue;
        const f32 distance = lengthXYZ(d - atom->localMatrix.getTranslation());
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = atom;
        }
        if (distance > farthestDistance) {
            farthestDistance = distance;
            farthest = atom;
        }
    }
    if (!nearest || !farthest) return;
    const ClVec3 base = nearest->localMatrix.getTranslation();
    u32 best = 0;
    f32 bestDistance = FLT_MAX;
    for (u32 i = 0; i < 4; ++i) {
        const f32 distance = lengthXYZ(d - (base + GRID_OFFSETS[i]));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    const f32 gap = getTimeToNextBeat(0.0f, nullptr);
    self->slideTween.startFromTo(farthest->localMatrix.getTranslation(), base + GRID_OFFSETS[best],
                                 CRAWLER_SLIDE_SHARE * gap, E_TWEEN_CURVE_LINEAR, 0.0f);
    self->movingAtom = farthest;
}

// --- flower ---------------------------------------------------------------------------------------

void ClProcessor_Enemy_Flower::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_FLOWER);
    petals.init(8);
    subscription = {};
}

void ClProcessor_Enemy_Flower::release() {
    dropBeatSubscription(subscription);
    petals.release();
}

void ClProcessor_Enemy_Flower::onDestroy() { dropBeatSubscription(subscription); }

void ClProcessor_Enemy_Flower::onSpawn() {
    if (!node->params.isInitialised()) fatalError("flower: its node has no parameter table");
    petals.count = 0;
    node->forEachNamed("petal", reinterpret_cast<uintptr_t>(&petals), &appendPetal);
    SParamValue* open = node->params.findOrAdd("openonact");
    SParamValue* pattern = node->params.findOrAdd("fireptrn");
    openOnActivate = open->type == E_PARAM_INT ? open->integer : 0;
    firePattern = pattern->type == E_PARAM_INT ? pattern->integer : 0;
    petalStep = E_PETAL_CHOOSE;
    if (openOnActivate) setPetalAngles(HALF_PI);
}

void ClProcessor_Enemy_Flower::onActivate() {
    if (!subscription) subscription = subscribeBeat(&ClProcessor_Enemy_Flower::onBeat, this, 0);
    chosenPetal = 0;
    if (openOnActivate) openTween.startFromTo(HALF_PI, 0.0f, FLOWER_OPEN_SECONDS, E_TWEEN_CURVE_LINEAR, 0.0f);
}

void ClProcessor_Enemy_Flower::setPetalAngles(f32 angle) {
    for (SPetalRecord& record : petals) {
        if (!record.petal) continue;
        record.petal->localMatrix.setIdentity();
        record.petal->localMatrix.setRotationAxisAngle(Z_AXIS, angle);
    }
}

void ClProcessor_Enemy_Flower::update() {
    if (entity->state != E_ENTITY_ACTIVE || !openOnActivate || !openTween.running) return;
    openTween.advance(frameTime());
    setPetalAngles(openTween.current);
    broadcastWorldFrames(node);
}

s32 ClProcessor_Enemy_Flower::petalFacingShip() const {
    const ClEntity* ship = playerShip(0);
    if (!ship) return -1;
    s32 best = -1;
    f32 bestScore = -FLT_MAX;
    for (u32 i = 0; i < petals.count; ++i) {
        const ClEntityNode* petal = petals[i].petal;
        if (!petal) continue;
        const ClMatrix44& world = petal->currentWorldMatrix();
        ClVec3 d = xyz(ship->getWorldPosition()) - world.getTranslation();
        d.normalize();
        const f32 score = ClVec3(world.m[0], world.m[1], world.m[2]).dot(d);
        if (score > bestScore) {
            bestScore = score;
            best = s32(i);
        }
    }
    return best;
}

void ClProcessor_Enemy_Flower::flash() {
    if (fxParticles()) fxParticles()->addExpandingFlash(0, xyz(entity->getWorldPosition()));
}

// The flowers of a wave share one turn: only the member whose turn it is acts, at most once per
// beat; destroyed members are passed over. A flower outside any wave always has the turn.
void ClProcessor_Enemy_Flower::onBeat(const SBeat&, s32 index, void* user) {
    auto* self = static_cast<ClProcessor_Enemy_Flower*>(user);
    const SWaveRecord* record = waveRecordOf(self->entity);
    SWaveTurns* turns = record ? record->turns : nullptr;
    if (turns && turns->memberCount > 0) {
        if (index < turns->flowerNextBeat) return;
        const s32 count = s32(turns->memberCount);
        turns->flowerTurn = ((turns->flowerTurn % count) + count) % count;
        for (s32 tries = 0; tries < count && turns->members[turns->flowerTurn]->state == E_ENTITY_DESTROYED; ++tries)
            turns->flowerTurn = (turns->flowerTurn + 1) % count;
        if (turns->members[turns->flowerTurn] != self->entity) return;
        turns->flowerNextBeat = index + 1;
    }
    if (self->openOnActivate && self->openTween.running) return;
    self->act(index);
}

void ClProcessor_Enemy_Flower::act(s32) {
    const SWaveRecord* record = waveRecordOf(entity);
    SWaveTurns* turns = record ? record->turns : nullptr;
    const auto passTurn = [turns]() {
        if (turns && turns->memberCount > 0) turns->flowerTurn = (turns->flowerTurn + 1) % s32(turns->memberCount);
    };
    switch (petalStep) {
        case E_PETAL_CHOOSE: {
            const s32 petal = petalFacingShip();
            if (petal < 0) return;
            chosenPetal = petal;
            flash();
            ClEntityNode* node = petals[u32(petal)].petal;
            if (node->atoms.count > 0) node->atoms[0]->configure(2);
            petalStep = E_PETAL_THROW;
            return;
        }
        case E_PETAL_THROW: {
            ClEntityNode* petal = u32(chosenPetal) < petals.count ? petals[u32(chosenPetal)].petal : nullptr;
            if (!petal || !petal->anyActive) {
                petalStep = E_PETAL_REGROW;
                passTurn();
                return;
            }
            if (!(entity->getWorldPosition().z < FLOWER_THROW_LIMIT_Z)) return;
            throwPetal();
            petalStep = E_PETAL_REGROW;
            passTurn();
            return;
        }
        case E_PETAL_REGROW:
            flash();
            regrowPetal();
            petalStep = E_PETAL_CHOOSE;
            passTurn();
            return;
        case E_PETAL_RESET:
            petalStep = E_PETAL_CHOOSE;
            passTurn();
            return;
        default: fatalErrorf("flower: petal step %d", petalStep);
    }
}

// The petal leaves with the bullet: its node is moved under the bullet's root, which takes the
// petal's place in the world and flies along the petal's x axis.
void ClProcessor_Enemy_Flower::throwPetal() {
    SPetalRecord& record = petals[u32(chosenPetal)];
    ClEntityNode* petal = record.petal;
    flash();
    const ClMatrix44 world = petal->currentWorldMatrix();
    // The petal's pairings with the flower's parts go: the bullet and the flower are freed apart.
    for (ClAtom* atom : petal->atoms) {
        for (u32 i = atom->linkedAtoms.count; i-- > 0;)
            if (atom->linkedAtoms[i]->node != petal) ClAtom::unlinkAtoms(atom, atom->linkedAtoms[i]);
    }
    ClEntity* bullet = newEnemyBullet(entity);
    petal->graftOnto(bullet->root);
    entity->rebuildAtomList();
    petal->localMatrix.setIdentity();
    const SBulletParams block = {0, 10, 0, 10.0f, 0.0f, 100.0f, 100.0f, 0.0f, 0, 0};
    copyBulletParamsToBullet(bullet->root, block);
    bullet->setRootTransform(world);
    bullet->activate();
    record.petal = nullptr;
    playSoundCueAt("MissileFire", world.getTranslation());
}

void ClProcessor_Enemy_Flower::regrowPetal() {
    if (u32(chosenPetal) >= petals.count) return;
    SPetalRecord& record = petals[u32(chosenPetal)];
    if (!record.petal) {
        if (record.dnaInstruction < 0) fatalError("flower: a petal node without \"DNAInstr\" cannot grow again");
        ClEntityNode* grown = nullptr;
        entity->runDNA(u32(record.dnaInstruction), record.parent, &grown);
        if (!grown) fatalError("flower: the petal's instruction made no node");
        record.petal = grown;
    }
    record.petal->resetAtoms();
    record.petal->updateAliveFlags();
    broadcastWorldFrames(record.petal);
}
