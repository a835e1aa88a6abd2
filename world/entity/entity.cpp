#include "world/entity/entity.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/owner_blocks.h"
#include "core/timers.h"
#include "world/atoms/atom.h"
#include "world/entity/base_imports.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity_node.h"
#include "world/entity/entity_ref.h"
#include "world/entity/param_table.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"
#include "world/services/world_imports.h"

#include <cfloat>
#include <cmath>

SEntityRef g_CurrentBossEntity;

namespace {

u32 g_visitCounter = 0;

// Repairs stop after this many build steps per call.
constexpr u32 REPAIR_ROUNDS = 15;
constexpr f32 BLINK_RATE = 25.0f;

ClVec4 translationOf(const ClMatrix44& matrix) {
    ClVec4 result;
    result.set(matrix.m[12], matrix.m[13], matrix.m[14], matrix.m[15]);
    return result;
}

ClVec4 axisXOf(const ClMatrix44& matrix) {
    ClVec4 result;
    result.set(matrix.m[0], matrix.m[1], matrix.m[2], matrix.m[3]);
    return result;
}

}  // namespace

void ClEntity::buildFromDNA(ClDNAProgram* dna) {
    // The lists and the tree the program builds are kept together in the record's own blocks.
    const ClOwnerBlocksScope ownBlocks(entityRecordNumber(this));
    program = dna;
    root = nullptr;
    state = E_ENTITY_BUILT;
    boundsFrame = 0;
    registeredAtoms.init();
    atoms.init();
    thirdList.init();
    fourthList.init();
    g_BaseImports.resetEnemyBeams(&beams);
    focusAtomIndex = 0;
    noBrokenAtom = 0;
    runDNA(0, nullptr, nullptr);
    timer = 0.0f;
    killed = 0;
    incoming = 0;
    faceAlongBlend = 0;
    spawnTime = FLT_MIN;
    SFloatTweenDesc hold = {};
    hold.mode = E_TWEEN_HOLD;
    hold.curve = E_TWEEN_CURVE_LINEAR;
    hold.start = 1.0f;
    hold.end = 1.0f;
    tween = SFloatTween();
    tween.start(hold);
    tween.current = 1.0f;
    velocity = ClVec3();
    angularVelocity = ClVec3();
}

void ClEntity::update() {
    const f32 before = timer;
    // Never below zero; a NaN count ends at zero too.
    const f32 left = timer - frameTime();
    timer = left > 0.0f ? left : 0.0f;
    if (before > 0.0f && timer == 0.0f && program && program->kind == E_PROGRAM_PLAYER && root &&
        !root->allAtomsIntactAndActive() && worldImports().queueMegaTip)
        worldImports().queueMegaTip("MegaTip_Repair");
    tween.advance(frameTime());
    if (root) updateNodeTree(root);
    // Only an active enemy carries beams; the shots, the bulk of the walk, skip the call.
    if (state == E_ENTITY_ACTIVE && program && program->kind == E_PROGRAM_ENEMY) g_BaseImports.updateEnemyBeams(this);
    if (!(program && program->kind != E_PROGRAM_PLAYER && noBrokenAtom)) findFirstBrokenAtom();
}

void ClEntity::updatePreview() {
    if (root) broadcastUpdatePreview(root);
}

void ClEntity::draw() {
    if (timer != 0.0f && isBlinkOn(BLINK_RATE, 0.0f, GAME_CLOCK_GAMEPLAY) && !isCurrentBossEntity(this)) return;
    if (root) drawNodeTree(root);
}

void ClEntity::refreshWorldFrames() {
    if (root) broadcastWorldFrames(root);
}

void ClEntity::setRootPosition(const ClVec3& position) {
    if (!root) return;
    root->localMatrix.setTranslationXYZ(position.x, position.y, position.z);
    root->localMatrix.m[15] = 1.0f;
    root->setWorldTranslation(position);
    refreshWorldFrames();
}

void ClEntity::setRootTransform(const ClMatrix44& matrix) {
    if (!root) return;
    root->localMatrix = matrix;
    root->setWorldMatrix(matrix);
    refreshWorldFrames();
}

void ClEntity::setFacing(const ClVec3& direction, const ClVec3& up) {
    ClVec3 rows[3];
    if (!root || !buildFrameFromDirection(direction, up, rows)) return;
    ClMatrix44 world = root->worldMatrix[g_uFrameCurrent];
    for (u32 row = 0; row < 3; ++row) {
        const f32 values[4] = {rows[row].x, rows[row].y, rows[row].z, 0.0f};
        for (u32 column = 0; column < 4; ++column) {
            root->localMatrix.m[row * 4 + column] = values[column];
            world.m[row * 4 + column] = values[column];
        }
    }
    root->setWorldMatrix(world);
    refreshWorldFrames();
}

ClVec4 ClEntity::getWorldPosition() const { return root ? translationOf(root->worldMatrix[g_uFrameCurrent]) : ClVec4(); }
ClVec4 ClEntity::getPreviousWorldPosition() const {
    return root ? translationOf(root->worldMatrix[g_uFramePrevious]) : ClVec4();
}
ClVec4 ClEntity::getWorldAxisX() const { return root ? axisXOf(root->worldMatrix[g_uFrameCurrent]) : ClVec4(); }
ClVec4 ClEntity::getPreviousWorldAxisX() const { return root ? axisXOf(root->worldMatrix[g_uFramePrevious]) : ClVec4(); }
ClVec4 ClEntity::getMainAtomWorldPosition() const {
    if (registeredAtoms.count == 0) fatalError("an entity without a registered atom has no main atom");
    return translationOf(registeredAtoms[0]->worldMatrix[g_uFrameCurrent]);
}

void ClEntity::broadcastPathSignal() {
    if (root) ::broadcastPathSignal(root);
}
void ClEntity::broadcastFirePressed() {
    if (root) ::broadcastFirePressed(root);
}
void ClEntity::broadcastFireReleased() {
    if (root) ::broadcastFireReleased(root);
}
void ClEntity::broadcastRefresh() {
    if (root) broadcastReload(root);
}

SParamValue* ClEntity::findOrAddParam(const char* name) { return findOrAddParam(SParamName(name)); }

SParamValue* ClEntity::findOrAddParam(const SParamName& name) {
    if (!root) fatalErrorf("parameter \"%s\" asked of an entity without a root node", name.text);
    return root->params.findOrAdd(name);
}

void ClEntity::findFirstBrokenAtom() {
    const u32 start = (program && program->kind == E_PROGRAM_PLAYER) ? 0u : u32(focusAtomIndex);
    for (u32 i = start; i < atoms.count; ++i) {
        if (atoms[i]->atomIsAlive()) continue;
        focusAtomIndex = s32(i);
        focusPosition = translationOf(atoms[i]->worldMatrix[g_uFrameCurrent]);
        return;
    }
    noBrokenAtom = 1;
    if (root) focusPosition = translationOf(root->worldMatrix[g_uFrameCurrent]);
}

void ClEntity::repairAtoms() {
    if (noBrokenAtom || !program || program->kind != E_PROGRAM_PLAYER) return;
    for (u32 round = 0; round < REPAIR_ROUNDS; ++round) {
        findFirstBrokenAtom();
        if (noBrokenAtom) return;
        ClAtom* focus = atoms[u32(focusAtomIndex)];
        focus->bumpStamp();
        focus->active = 1;
        focus->markBoundsChanged();
        focus->node->updateAliveFlags();
        findFirstBrokenAtom();
    }
}

void ClEntity::propagateVisit() {
    const u32 stamp = ++g_visitCounter;
    if (registeredAtoms.count == 0) return;
    for (ClAtom* atom : registeredAtoms) atom->stampReachable(stamp);
    if (root) killUnreachedAtoms(root, stamp);
}

void ClEntity::rebuildAtomList() {
    atoms.count = 0;
    atoms.last = nullptr;
    if (root) root->collectAtoms();
}

void ClEntity::releaseTree() {
    if (root) {
        root->releaseTree();
        freeEntityNode(root);
        root = nullptr;
    }
    atoms.release();
    registeredAtoms.release();
    thirdList.release();
    fourthList.release();
    g_BaseImports.releaseEnemyBeams(&beams);
}

bool buildFrameFromDirection(const ClVec3& direction, const ClVec3& up, ClVec3 rows[3]) {
    constexpr f32 PARALLEL = 0.99f;
    constexpr f32 SHORTEST_DIRECTION = 1e-6f;
    if (direction.length() < SHORTEST_DIRECTION) return false;
    const ClVec3 d = direction.normalized();
    ClVec3 s;
    if (up.length() >= SHORTEST_DIRECTION && std::fabs(up.dot(d)) < PARALLEL) {
        s = d.cross(up);
    } else {
        ClVec3 axis(0.0f, 0.0f, 1.0f);
        if (std::fabs(axis.dot(d)) >= PARALLEL) axis = ClVec3(1.0f, 0.0f, 0.0f);
        const ClVec3 t = d.cross(axis);
        s = d.cross(t);
    }
    ClVec3 u = s.cross(d);
    u.normalize();
    s.normalize();
    rows[0] = ClVec3(d.x, d.y, d.z, 0.0f);
    rows[1] = ClVec3(u.x, u.y, u.z, 0.0f);
    rows[2] = ClVec3(s.x, s.y, s.z, 0.0f);
    return true;
}
