#include "world/processors/arm_processors.h"

#include "audio/analysis/beat.h"
#include "audio/play/song_clock.h"
#include "audio/play/tempo_sequences.h"
#include "core/directions.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "render/draw_lists.h"
#include "world/atoms/atom_draw.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/state/player_records.h"

namespace {

const ClVec3 REST_AXIS(1.0f, 0.0f, 0.0f);
constexpr u32 BAR_COLOUR = 0xFEFFFFFFu;
constexpr f32 BAR_WIDTH = 3.5f;
constexpr u32 BAR_LAYERS = 236;
const STempoRange ARM_TEMPI = {40.0f, 60.0f, 90.0f};
constexpr u32 ARM_RUN_COUNT = 4;
ClNamedMaterial g_barMaterial("game_bar_enemy_1", "Images/Bar_WhiteTight");

ClVec3 xyz(const ClVec4& v) { return ClVec3(v.x, v.y, v.z); }

bool shipInPlay() { return g_aPlayerState[0].active && playerShip(0); }

f32 floatParam(const ClEntityNode* node, const char* name) {
    if (!node->params.isInitialised()) fatalErrorf("an arm node without parameters (looking for \"%s\")", name);
    return node->params.get(name)->real;
}

f32 optionalFloat(const ClEntityNode* node, const char* name) {
    const SParamValue* value = node->params.isInitialised() ? node->params.find(name) : nullptr;
    return value && value->type == E_PARAM_FLOAT ? value->real : 0.0f;
}

void sumAttDef(const ClEntityNode* node, SArmRecord* record) {
    record->attack += optionalFloat(node, "att");
    record->defence += optionalFloat(node, "def");
    for (const ClEntityNode* child : node->children) sumAttDef(child, record);
}

}  // namespace

void SArmParams::readFromNode(const ClEntityNode* node, SArmParams* out) {
    out->armAngle = floatParam(node, "arm_ang");
    out->armLength = floatParam(node, "arm_len");
}

// --- arm ------------------------------------------------------------------------------------------

void ClProcessor_Enemy_AI_Arm::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_ARM);
    tipNode = nullptr;
    swingState = E_ARM_IDLE;
    barMaterial = nullptr;
}

void ClProcessor_Enemy_AI_Arm::onSpawn() {
    SArmParams::readFromNode(node, &armParams);
    const ClVec3 rest(armParams.armLength, 0.0f, 0.0f);
    swingTarget = rest;
    tipBlend.start(rest, rest, 0.0f);
    swingState = E_ARM_IDLE;
    if (node->children.count == 0) fatalError("an arm node without its tip");
    tipNode = node->children[0];
}

void ClProcessor_Enemy_AI_Arm::update() {
    SParamValue* command = node->params.findOrAdd("armai_cmd");
    if (command->type == E_PARAM_INT && command->integer == 1) {
        command->setInt(0);
        swingState = E_ARM_ARMED;
        strikeTime = node->params.findOrAdd("armai_S")->real;
        swingDuration = node->params.findOrAdd("armai_D")->real;
    }
    if (swingState == E_ARM_ARMED && strikeTime < currentSongTime()) {
        // No ship at the strike time, no strike.
        if (!playerShip(0)) {
            swingState = E_ARM_IDLE;
            return;
        }
        aimAt(xyz(playerShip(0)->getWorldPosition()));
        tipBlend.start(tipBlend.value(), swingTarget, swingDuration);
        swingState = E_ARM_SWINGING;
    } else if (swingState == E_ARM_SWINGING) {
        tipBlend.update(frameTime());
        if (tipBlend.finished()) swingState = E_ARM_IDLE;
    }
}

void ClProcessor_Enemy_AI_Arm::aimAt(const ClVec3& shipPosition) {
    const ClMatrix44 inverse = node->currentWorldMatrix().getInverse();
    const ClVec3 local = inverse.transformPoint(shipPosition) - matrixRow(node->localMatrix, 3);
    const ClVec3 normal = REST_AXIS.cross(local).normalized();
    if (!(normal.length() > 0.0f)) return;
    ClVec3 r;
    clampDirectionToCone(&r, local.normalized(), REST_AXIS, ARM_CONE_LIMIT, normal);
    swingTarget = scaleVec3(r, armParams.armLength / r.length());
}

void ClProcessor_Enemy_AI_Arm::updateWorldFrames() {
    if (!tipNode) return;
    const ClVec3 offset = tipBlend.value();
    ClVec3 rows[3];
    if (buildFrameFromDirection(offset.normalized(), ClVec3(0.0f, 1.0f, 0.0f), rows)) {
        for (u32 r = 0; r < 3; ++r) {
            tipNode->localMatrix.m[4 * r] = rows[r].x;
            tipNode->localMatrix.m[4 * r + 1] = rows[r].y;
            tipNode->localMatrix.m[4 * r + 2] = rows[r].z;
        }
    }
    tipNode->localMatrix.m[12] = offset.x;
    tipNode->localMatrix.m[13] = offset.y;
    tipNode->localMatrix.m[14] = offset.z;
    tipNode->localMatrix.m[15] = 1.0f;
}

void ClProcessor_Enemy_AI_Arm::drawOverlay() {
    if (!tipNode || !tipNode->anyActive || !node->parent || !node->parent->isChainIntact()) return;
    // Looked up when drawn (and again after a purge), so that arms build where no material is loaded.
    barMaterial = g_barMaterial.get();
    ClDrawOwnerScope owner(entity);
    appendLineCommand(matrixRow(node->currentWorldMatrix(), 3), matrixRow(tipNode->currentWorldMatrix(), 3), BAR_WIDTH,
                      BAR_COLOUR, barMaterial, 0.0f, 1, BAR_LAYERS);
}

// --- arm group ------------------------------------------------------------------------------------

void ClProcessor_Enemy_AI_ArmGroup::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_ARM_GROUP);
    armRecords.release();
    armRecords.init(8);
    beatSequence.release();
    beatSequence.init(8);
    cursor = 0;
    commandTimer = 0.0f;
}

void ClProcessor_Enemy_AI_ArmGroup::release() {
    armRecords.release();
    beatSequence.release();
}

void ClProcessor_Enemy_AI_ArmGroup::reloadParameters() {
    armRecords.count = 0;
    node->forEachNamed("arm", reinterpret_cast<uintptr_t>(&armRecords), [](ClEntityNode* arm, uintptr_t list) {
        SArmParams params;
        SArmParams::readFromNode(arm, &params);
        SArmRecord record = {arm, params.armAngle, params.armLength, 0.0f, 0.0f};
        sumAttDef(arm, &record);
        reinterpret_cast<ClArray<SArmRecord>*>(list)->push(record);
    });
}

void ClProcessor_Enemy_AI_ArmGroup::skipPastBeats() {
    while (cursor < s32(beatSequence.count) && songBeats()[u32(beatSequence[u32(cursor)])].time < currentSongTime()) ++cursor;
}

void ClProcessor_Enemy_AI_ArmGroup::update() {
    if (!shipInPlay() || entity->state != E_ENTITY_ACTIVE || armRecords.count == 0) return;
    commandTimer -= frameTime();
    if (commandTimer > 0.0f) return;
    skipPastBeats();
    if (beatSequence.count == 0 || cursor >= s32(beatSequence.count)) {
        beatSequence.release();
        findTempoSequences(currentSongTime(), currentSongTime() + ARM_BEAT_WINDOW, ARM_TEMPI, ARM_RUN_COUNT, &beatSequence, 1);
        cursor = 0;
    }
    f32 strike = ARM_NO_STRIKE;
    if (beatSequence.count >= 2) {
        strike = songBeats()[u32(beatSequence[u32(cursor)])].time;
        commandTimer = (strike - currentSongTime()) + ARM_SWING_SECONDS + ARM_COMMAND_PAUSE;
    } else {
        commandTimer = ARM_RETRY_SECONDS;
    }
    ClEntityNode* arm = armRecords[0].node;
    arm->params.findOrAdd("armai_cmd")->setInt(1);
    arm->params.findOrAdd("armai_S")->setFloat(strike);
    arm->params.findOrAdd("armai_D")->setFloat(ARM_SWING_SECONDS);
}
