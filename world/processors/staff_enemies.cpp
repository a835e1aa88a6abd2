#include "world/processors/staff_enemies.h"

#include "audio/sound/sound_engine.h"
#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_effect.h"
#include "world/atoms/atom_staff.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/processors/bullet_processors.h"

namespace {

ClProcessor_Bullet_RoundStaff* ringProcessorOf(ClEntity* bullet) {
    return static_cast<ClProcessor_Bullet_RoundStaff*>(bullet->root->findProcessor(E_PROC_BULLET_ROUND_STAFF));
}

}  // namespace

// --- round-staff gun ------------------------------------------------------------------------------

void ClProcessor_Enemy_AI_RoundStaffGun::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_ROUND_STAFF_GUN);
    heldBullet = SEntityRef{};
    ringAtom = nullptr;
}

void ClProcessor_Enemy_AI_RoundStaffGun::release() {
    letGo();
}

void ClProcessor_Enemy_AI_RoundStaffGun::onActivate() { growBullet(); }

void ClProcessor_Enemy_AI_RoundStaffGun::updateWorldFrames() {
    if (ClEntity* bullet = entityRefGet(heldBullet)) bullet->setRootTransform(node->currentWorldMatrix());
}

void ClProcessor_Enemy_AI_RoundStaffGun::onFirePressed() {
    ClEntity* bullet = entityRefGet(heldBullet);
    if (!bullet) return;
    forgetBullet();
    broadcastFirePressed(bullet->root);
    playCue("CircularStaffWeaponFire");
    growBullet();
}

void ClProcessor_Enemy_AI_RoundStaffGun::onDestroy() {
    ClEntity* bullet = entityRefGet(heldBullet);
    if (!bullet) return;
    letGo();
    if (bullet->state == E_ENTITY_ACTIVE) bullet->destroy();
}

void ClProcessor_Enemy_AI_RoundStaffGun::forgetBullet() {
    heldBullet = SEntityRef{};
    ringAtom = nullptr;
}

void ClProcessor_Enemy_AI_RoundStaffGun::letGo() {
    if (ClEntity* bullet = entityRefGet(heldBullet)) ringProcessorOf(bullet)->carryingGun = nullptr;
    forgetBullet();
}

void ClProcessor_Enemy_AI_RoundStaffGun::growBullet() {
    ClDNAGenerator* generator = generatorFindOrDie(E_GENCAT_ENEMY_BULLET, "DefBullRSG");
    ClEntity* bullet = allocEntity(entity->ownerTag);
    bullet->buildFromDNA(generator->getSharedProgram());
    bullet->ownerTag = entity->ownerTag;
    bullet->root->resetAtoms();
    bullet->spawn();

    ClAtom* ring = bullet->root->findAtomByName("RSAT");
    if (!ring || ring->kind != E_ATOM_BULLET_ROUND_STAFF) fatalError("a round-staff bullet without its \"RSAT\" ring");
    if (!node->params.isInitialised()) fatalError("a round-staff gun node without parameters");
    heldBullet = makeEntityRef(bullet);
    ringAtom = static_cast<ClAtom_Bullet_RoundStaff*>(ring);
    ringAtom->radius = node->params.findOrAdd("rsg_radius")->real;
    ringAtom->setMaxNotes(node->params.findOrAdd("rsg_numbts")->integer);
    ringProcessorOf(bullet)->carryingGun = this;

    bullet->setRootTransform(node->currentWorldMatrix());
    bullet->activate();
}

// --- staff star -----------------------------------------------------------------------------------

void ClProcessor_Enemy_AI_StaffStar::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_STAFF_STAR);
    staffRecords.release();
    staffRecords.init(8);
    activeStaff = 0;
    beatSubscription = {};
}

void ClProcessor_Enemy_AI_StaffStar::release() {
    dropBeatSubscription(beatSubscription);
    dropStaffs(false);
    staffRecords.release();
}

void ClProcessor_Enemy_AI_StaffStar::onSpawn() {
    staffRecords.count = 0;
    node->forEachNamed("SSGN", reinterpret_cast<uintptr_t>(this), [](ClEntityNode* gunNode, uintptr_t user) {
        auto* star = reinterpret_cast<ClProcessor_Enemy_AI_StaffStar*>(user);
        star->staffRecords.push(SStaffRecord{gunNode, gunNode->findAtomByName("NozzleAtom"), SEntityRef{}, nullptr});
    });
}

void ClProcessor_Enemy_AI_StaffStar::onActivate() {
    dropBeatSubscription(beatSubscription);
    beatSubscription = subscribeBeat(
        [](const SBeat&, s32 index, void* user) { static_cast<ClProcessor_Enemy_AI_StaffStar*>(user)->onBeat(index); }, this, 0);
    growStaffs();
    activeStaff = 0;
}

void ClProcessor_Enemy_AI_StaffStar::growStaffs() {
    ClDNAGenerator* generator = generatorFindOrDie(E_GENCAT_ENEMY_BULLET, "DefBullGEF");
    const f32 width = entity->findOrAddParam("staffwidth")->real;
    for (SStaffRecord& record : staffRecords) {
        if (!record.nozzle) continue;
        ClEntity* staff = allocEntity(entity->ownerTag);
        staff->buildFromDNA(generator->getSharedProgram());
        staff->root->resetAtoms();
        staff->spawn();
        staff->setRootTransform(record.nozzle->currentWorldMatrix());
        staff->activate();
        if (staff->root->atoms.count == 0 || staff->root->atoms[0]->kind != E_ATOM_BULLET_STAFF)
            fatalError("a staff bullet whose first atom is not its staff");
        record.staffEntity = makeEntityRef(staff);
        record.staffAtom = static_cast<ClAtom_Bullet_Staff*>(staff->root->atoms[0]);
        record.staffAtom->ownerAtom = record.nozzle;
        record.staffAtom->ownerProcessor = this;
        staff->findOrAddParam("staffwidth")->setFloat(width);
        staff->update();
    }
}

void ClProcessor_Enemy_AI_StaffStar::updateWorldFrames() {
    if (entity->state != E_ENTITY_ACTIVE) return;
    for (SStaffRecord& record : staffRecords) {
        ClEntity* staff = entityRefGet(record.staffEntity);
        if (record.nozzle && staff && staff->state == E_ENTITY_ACTIVE)
            staff->setRootTransform(record.nozzle->currentWorldMatrix());
    }
}

void ClProcessor_Enemy_AI_StaffStar::onDestroy() {
    dropBeatSubscription(beatSubscription);
    dropStaffs(true);
}

// The staffs point back at the star and its nozzles; both links go before the star does.
void ClProcessor_Enemy_AI_StaffStar::dropStaffs(bool destroy) {
    if (!staffRecords.inUse) return;
    for (SStaffRecord& record : staffRecords) {
        // A staff whose record went is never written through its atom.
        ClEntity* staff = entityRefGet(record.staffEntity);
        if (staff && record.staffAtom) {
            record.staffAtom->ownerAtom = nullptr;
            record.staffAtom->ownerProcessor = nullptr;
        }
        if (destroy && staff && staff->state == E_ENTITY_ACTIVE) staff->destroy();
        record.staffEntity = SEntityRef{};
        record.staffAtom = nullptr;
    }
}

void ClProcessor_Enemy_AI_StaffStar::onStaffEnded(ClAtom_Bullet_Staff* staff) {
    for (u32 i = 0; i < staffRecords.count; ++i) {
        if (staffRecords[i].staffAtom != staff) continue;
        for (u32 j = i + 1; j < staffRecords.count; ++j) staffRecords[j - 1] = staffRecords[j];
        --staffRecords.count;
        if (activeStaff >= s32(staffRecords.count)) activeStaff = 0;
        return;
    }
}

void ClProcessor_Enemy_AI_StaffStar::onBeat(s32 beatIndex) {
    if (staffRecords.count == 0) return;
    if (entity->getWorldPosition().z >= STAFF_STAR_FAR_EDGE_Z) return;
    SStaffRecord& previous = staffRecords[u32(activeStaff)];
    activeStaff = s32((entity->memberIndex + u32(beatIndex)) % staffRecords.count);
    if (previous.staffAtom && entityRefGet(previous.staffEntity)) previous.staffAtom->resetColours();
    previous.node->addEffectToAtoms(SAtomEffectDesc{E_ATOM_EFFECT_COLOUR_FADE, 0.0f, 0, 0});
    SStaffRecord& fired = staffRecords[u32(activeStaff)];
    if (fired.staffAtom && entityRefGet(fired.staffEntity)) fired.staffAtom->fireBeam();
}
