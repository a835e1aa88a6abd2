#include "world/play/player_ship.h"

#include "core/config.h"
#include "core/game_clock.h"
#include "core/vec.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/frame_parity.h"
#include "world/entity/world.h"
#include "world/play/collectibles.h"
#include "world/play/player_state.h"
#include "world/play/score_popups.h"
#include "world/processors/player_ctrl.h"
#include "world/services/positioned_sound.h"
#include "world/state/boss_encounter.h"

#include <cfloat>

namespace {

ShipProgramBuilder g_pShipBuilder = nullptr;

bool playerInvincible() { return configGetInt("PLAYER_INVINCIBLE") >= 1; }

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

void freeShipProgram(SPlayerState& player) {
    if (!player.shipProgram) return;
    player.shipProgram->release();
    delete player.shipProgram;
    player.shipProgram = nullptr;
}

}  // namespace

void setShipProgramBuilder(ShipProgramBuilder builder) { g_pShipBuilder = builder; }

void createPlayerShipProgram() {
    freeShipProgram(g_aPlayerState[0]);
    g_aPlayerState[0].shipProgram = g_pShipBuilder ? g_pShipBuilder() : nullptr;
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
        player.anchorCount = s32(i) + 1;
    }
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
        player.respawnCountdown -= g_fFrameTime;
        if (player.respawnCountdown <= 0.0f) {
            player.respawnCountdown = 0.0f;
            spawnPlayerShip(0, 0);
        }
    }
    if (g_iPlayerRammed) {
        if (ClEntity* ship = entityRefGet(player.ship)) ship->timer = configGetInt("PLAYER_INVINCIBLE") > 0 ? FLT_MAX : RAM_GRACE_SECONDS;
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
