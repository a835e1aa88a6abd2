#include "waves/generators/pickup_generators.h"

#include "core/matrix44.h"
#include "input/ambient/ambient_light.h"
#include "render/mesh_builders.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_pickupable.h"
#include "world/collision/contact.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/processor.h"
#include "world/play/player_ship.h"
#include "world/play/player_state.h"

namespace {

constexpr s32 NO_GEOMETRY = -1;
constexpr u32 PICKUP_HIT_CLASS = 0;

s32 rootInt(const ClEntity* pickup, const char* name) {
    const SParamValue* value = pickup->root && pickup->root->params.isInitialised() ? pickup->root->params.find(name) : nullptr;
    return value ? value->integer : 0;
}

}  // namespace

ClDNAGen_Pickup::ClDNAGen_Pickup(EPickupKind kind, const char* name) : ClDNAGenerator(E_GENCAT_PICKUP, name), m_kind(kind) {}

ClDNAProgram* ClDNAGen_Pickup::generate(ClRandObjSFMT*, const SGeneratorParams*) {
    auto* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_PICKUP;
    program->generator = this;
    const ClMatrix44 identity;
    program->emitNewNode(identity);
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    if (m_kind == E_PICKUP_SCORE) {
        program->emitNewAtom(E_ATOM_PICKUPABLE, NO_GEOMETRY, identity, PICKUP_HIT_CLASS);
        program->emitAtomParamInt("PAT", E_PICKUP_PATTERN_NOTES);
    } else {
        // One shape per kind, so that the player tells them apart.
        ClGeometryMesh* mesh = nullptr;
        switch (m_kind) {
            case E_PICKUP_INVINCIBILITY: mesh = buildBipyramidMesh(6, 7.0f, 7.0f, 7.0f); break;
            case E_PICKUP_LEVEL_UP: mesh = buildPyramidMesh(4, 8.0f, 0.0f, 10.0f); break;
            default: mesh = buildDiamondOutlineMesh(9.0f, 9.0f); break;
        }
        program->geometries.push(mesh);
        program->emitParamFloat("PTTS", MESH_PICKUP_LIFE_SECONDS);
        program->emitNewAtom(E_ATOM_PICKUPABLE, 0, identity, PICKUP_HIT_CLASS);
        program->emitAtomParamInt("PAT", E_PICKUP_PATTERN_MESH);
    }
    program->emitRegisterAtom();
    program->emitCloseNode();
    return program;
}

s32 ClDNAGen_Pickup::onCollect(ClEntity* pickup, const SContact* contact) {
    (void)contact;
    switch (m_kind) {
        case E_PICKUP_SCORE: {
            const s32 points = rootInt(pickup, "inspvalue");
            addPickupScore(points);
            return points;
        }
        case E_PICKUP_INVINCIBILITY:
            addPlayerInvincibility(0, INVINCIBILITY_PICKUP_SECONDS);
            showPlayerPopupText(0, "pickup_invincible");
            return 1;
        case E_PICKUP_LEVEL_UP:
            levelUpShipAnchors();
            showPlayerPopupText(0, "pickup_level_up");
            return 1;
        case E_PICKUP_CHAIN_BONUS: {
            reopenWaveKillChainWindow(0);
            const ClVec4 at = pickup->getWorldPosition();
            awardWaveKillChainBonus(0, ClVec3(at.x, at.y, at.z));
            requestAmbientFlash(CHAIN_BONUS_FLASH_COLOUR);
            return 1;
        }
    }
    return 0;
}
