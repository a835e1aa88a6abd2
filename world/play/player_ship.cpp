#include "world/play/player_ship.h"

#include "core/config.h"
#include "core/game_clock.h"
#include "core/vec.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/frame_parity.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"
#include "world/play/collectibles.h"
#include "world/play/player_state.h"
#include "world/play/score_popups.h"
#include "world/processors/player_ctrl.h"
#include "world/services/positioned_sound.h"
#include "world/services/world_imports.h"
#include "world/state/boss_encounter.h"

#include <cfloat>
#include <vector>

namespace {

// The programs the level-ups built this play: the parts they made left with their entities at the
// end of their step, and nothing reads a program once its entities are gone, but the world's
// shutdown is the one point after which none can be left.
std::vector<ClDNAProgram*> g_aLevelUpPrograms;

// A ship that comes while the boss arrives is flown to the boss's meeting point "BPYP".
constexpr f32 BOSS_MEETING_MOVE_SECONDS = 2.0f;

void placeAtStart(ClEntity* ship) {
    ship->setRootPosition(ClVec3(SHIP_START_X, 0.0f, SHIP_START_Z));
    ship->setFacing(ClVec3(0.0f, 0.0f, -1.0f), ClVec3(0.0f, 1.0f, 0.0f));
}

// The ship was allocated here, so it is freed from here (after the destroyed flush).
void shipDied(SPlayerState& player) {
    applyDeathPenalty(0);
    queueEntityForFreeing(entityRefGet(player.ship));
    player.ship = SEntityRef{};
    player.anchorCount = 0;
    player.respawnCountdown = RESPAWN_SECONDS;
}

bool someAnchorWhole(const SPlayerState& player) {
    for (s32 i = 0; i < player.anchorCount; ++i) {
        if (player.anchors[i].node && player.anchors[i].node->allAtomsIntact()) return true;
    }
    return false;
}

void freeProgram(ClDNAProgram*& program) {
    if (!program) return;
    program->release();
    delete program;
    program = nullptr;
}

void freeShipProgram(SPlayerState& player) {
    freeProgram(player.shipProgram);
    for (ClDNAProgram*& program : g_aLevelUpPrograms) freeProgram(program);
    g_aLevelUpPrograms.clear();
}

// Swaps what hangs on the anchor node for the built part's nodes. The old nodes go out quietly
// (no break-up, nothing queued for the kill queue) and leave with the part's entity.
void replaceAnchorPart(ClEntity* ship, ClEntityNode* anchor, ClEntity* part) {
    ClEntityNode* partRoot = part->root;
    const u32 newCount = partRoot->children.count;
    while (anchor->children.count != 0) {
        ClEntityNode* old = anchor->children[anchor->children.count - 1];
        broadcastDestroy(old);
        explodeAllAtoms(old, 1);
        old->graftOnto(partRoot);
    }
    for (u32 i = 0; i < newCount; ++i) {
        ClEntityNode* fresh = partRoot->children[0];
        fresh->graftOnto(anchor);
        fresh->resetAtoms();
    }
    ship->refreshWorldFrames();
    for (u32 i = anchor->children.count - newCount; i < anchor->children.count; ++i) broadcastSpawn(anchor->children[i]);
    ship->root->updateAliveFlags();
}

}  // namespace

bool playerInvincible() { return configGetInt("PLAYER_INVINCIBLE") >= 1; }

void createPlayerShipProgram() {
    freeShipProgram(g_aPlayerState[0]);
    g_aPlayerState[0].shipProgram = worldImports().buildShipProgram ? worldImports().buildShipProgram() : nullptr;
}

void spawnPlayerShip(u32 player, u32 firstSpawn) {
    SPlayerState& state = g_aPlayerState[player];
    if (!state.shipProgram) return;
    ClEntity* ship = allocEntity(OWNER_LIVE_GAME);
    state.ship = makeEntityRef(ship);
    ship->buildFromDNA(state.shipProgram);
    state.invincibilityTime = 0.0f;
    if (playerInvincible())
        state.invincibilityTime = FLT_MAX;
    else
        ship->timer = SPAWN_GRACE_SECONDS;
    if (ship->root) ship->root->resetAtomsWithParam("startNode");
    ship->spawn();
    ship->activate();
    // Both transform buffers hold the start pose, so the first sweep does not streak.
    placeAtStart(ship);
    flipFrameBuffers();
    placeAtStart(ship);
    flipFrameBuffers();
    g_aiWaveKillChain[player] = 0;
    refreshShipAnchors();
    if (!firstSpawn) {
        const ClVec4 at = ship->getWorldPosition();
        playSoundCueAt("PlayerRespawns", ClVec3(at.x, at.y, at.z));
    }
    ClProcessor_PlayerCtrl* ctrl = findPlayerCtrl(ship);
    if (g_BossEncounter.phase == E_BOSSPHASE_ARRIVED && bossEntity() && ctrl && !ctrl->scriptedMove) {
        ctrl->startScriptedMove(bossEntity()->root->params.get("BPYP")->getVector(), BOSS_MEETING_MOVE_SECONDS);
        ship->timer = SPAWN_GRACE_SECONDS;
    }
}

void refreshShipAnchors() {
    SPlayerState& player = g_aPlayerState[0];
    player.anchorCount = 0;
    const ClEntity* ship = entityRefGet(player.ship);
    if (!ship || !ship->root) return;
    for (u32 i = 0; i < SHIP_ANCHOR_CAPACITY; ++i) {
        ClEntityNode* node = ship->root->findByParamValue("anchID", s32(i));
        if (!node) break;
        SShipAnchor& anchor = player.anchors[i];
        anchor.node = node;
        anchor.atom = node->findAtomByName("AnchorCL");
        anchor.upgradeValue = collectibleUpgradeValue(g_PlayRecord.equippedItemKeys[i]);
        anchor.levelledUp = 0;
        player.anchorCount = s32(i) + 1;
    }
}

u32 levelUpShipAnchors() {
    SPlayerState& player = g_aPlayerState[0];
    ClEntity* ship = entityRefGet(player.ship);
    const auto buildAnchorWeapon = worldImports().buildAnchorWeapon;
    if (!ship || !ship->root || !buildAnchorWeapon) return 0;
    u32 levelled = 0;
    for (s32 i = 0; i < player.anchorCount; ++i) {
        SShipAnchor& anchor = player.anchors[i];
        if (!anchor.node || anchor.upgradeValue <= 0 || anchor.levelledUp) continue;
        ClDNAProgram* program = buildAnchorWeapon(u32(i), anchor.upgradeValue);
        if (!program) continue;
        g_aLevelUpPrograms.push_back(program);
        ClEntity* part = allocEntity(OWNER_LIVE_GAME);
        part->buildFromDNA(program);
        if (part->root) replaceAnchorPart(ship, anchor.node, part);
        queueEntityForFreeing(part);
        anchor.levelledUp = 1;
        ++levelled;
    }
    return levelled;
}

void updatePlayerLife() {
    SPlayerState& player = g_aPlayerState[0];
    if (ClEntity* ship = entityRefGet(player.ship)) {
        if (ship->state == E_ENTITY_DESTROYED) {
            shipDied(player);
        } else if (!someAnchorWhole(player)) {
            ship->destroy();
            shipDied(player);
        }
    } else if (player.respawnCountdown > 0.0f) {
        player.respawnCountdown -= frameTime();
        if (player.respawnCountdown <= 0.0f) {
            player.respawnCountdown = 0.0f;
            spawnPlayerShip(0, 0);
        }
    }
    if (g_iPlayerRammed) {
        if (ClEntity* ship = entityRefGet(player.ship)) ship->timer = playerInvincible() ? FLT_MAX : RAM_GRACE_SECONDS;
        g_iPlayerRammed = 0;
    }
}

void freeSessionDNAProgram() {
    if (configHasKey("VISUAL_BEAT_ANALYSIS")) return;
    freeShipProgram(g_aPlayerState[0]);
}

void resetSessionEffects() {
    freeShipProgram(g_aPlayerState[0]);
    while (scorePopupCount() > 0) releaseScorePopup(scorePopupAt(scorePopupCount() - 1));
}
