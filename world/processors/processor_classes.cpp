// The processor classes by type id, which the entity layer's factory (processorCreate) builds
// from: each class is named here once, so the layers below the behaviours name none of them.
#include "world/entity/processor.h"
#include "world/entity/processor_bridge_to_core.h"
#include "world/processors/arm_processors.h"
#include "world/processors/bomb_shield.h"
#include "world/processors/boss_dancer.h"
#include "world/processors/boss_first.h"
#include "world/processors/boss_opps.h"
#include "world/processors/boss_the_wave.h"
#include "world/processors/boss_whip_it.h"
#include "world/processors/bullet_processors.h"
#include "world/processors/charging_gun.h"
#include "world/processors/crawler_flower.h"
#include "world/processors/cube_station.h"
#include "world/processors/enemy_gun.h"
#include "world/processors/enemy_parts.h"
#include "world/processors/missile_launcher.h"
#include "world/processors/motion_processors.h"
#include "world/processors/path_follower.h"
#include "world/processors/player_ctrl.h"
#include "world/processors/player_gun.h"
#include "world/processors/sonic_weapon.h"
#include "world/processors/staff_enemies.h"
#include "world/processors/static_spark.h"

#include <concepts>
#include <new>
#include <type_traits>

namespace {

// A class that declares its own drawOverlay (directly or through a base below ClProcessor) must
// be counted while it lives, or the draw walk passes over it: both are checked here, where every
// class is named.
template <typename T>
constexpr bool declaresOverlay = !std::is_same_v<decltype(&T::drawOverlay), void (ClProcessor::*)()>;
template <typename T>
constexpr bool holdsOverlayMark = requires(T& processor) {
    { processor.overlayMark } -> std::same_as<SOverlayMark&>;
};

template <typename T>
ClProcessor* constructProcessor() {
    static_assert(declaresOverlay<T> == holdsOverlayMark<T>,
                  "a processor class that draws an overlay holds an SOverlayMark named overlayMark, and only such a class");
    return new (std::nothrow) T();
}

}  // namespace

// Indexed by type id; one line per class.
const SProcessorClassEntry g_aProcessorClasses[PROCESSOR_TYPE_COUNT] = {
    {"ClProcessor_UpdateWorldFrames", &constructProcessor<ClProcessor_UpdateWorldFrames>},
    {"ClProcessor_UpdateWorldFramesAbsRot", &constructProcessor<ClProcessor_UpdateWorldFramesAbsRot>},
    {"ClProcessor_Bullet", &constructProcessor<ClProcessor_Bullet>},
    {"ClProcessor_Bullet_Seek", &constructProcessor<ClProcessor_Bullet_Seek>},
    {"ClProcessor_Bullet_RoundStaff", &constructProcessor<ClProcessor_Bullet_RoundStaff>},
    {"ClProcessor_Missile", &constructProcessor<ClProcessor_Missile>},
    {"ClProcessor_PlayerCtrl", &constructProcessor<ClProcessor_PlayerCtrl>},
    {"ClProcessor_PlayerGun", &constructProcessor<ClProcessor_PlayerGun>},
    {"ClProcessor_PlayerSonic", &constructProcessor<ClProcessor_PlayerSonic>},
    {"ClProcessor_PlayerMissileLauncher", &constructProcessor<ClProcessor_PlayerMissileLauncher>},
    {"ClProcessor_PlayerChargingGun", &constructProcessor<ClProcessor_PlayerChargingGun>},
    {"ClProcessor_PlayerLightning", &constructProcessor<ClProcessor_PlayerLightning>},
    {"ClProcessor_EnemyGun", &constructProcessor<ClProcessor_EnemyGun>},
    {"ClProcessor_EnemyGun_Physical", &constructProcessor<ClProcessor_EnemyGun_Physical>},
    {"ClProcessor_FollowPath", &constructProcessor<ClProcessor_FollowPath>},
    {"ClProcessor_GoStraight", &constructProcessor<ClProcessor_GoStraight>},
    {"ClProcessor_Rotator", &constructProcessor<ClProcessor_Rotator>},
    {"ClProcessor_Rotator_OnBeat", &constructProcessor<ClProcessor_Rotator_OnBeat>},
    {"ClProcessor_Enemy_Flower", &constructProcessor<ClProcessor_Enemy_Flower>},
    {"ClProcessor_Enemy_AI_StaffStar", &constructProcessor<ClProcessor_Enemy_AI_StaffStar>},
    {"ClProcessor_Enemy_AI_StaffStarGun", &constructProcessor<ClProcessor_Enemy_AI_StaffStarGun>},
    {"ClProcessor_Enemy_AI_RoundStaffGun", &constructProcessor<ClProcessor_Enemy_AI_RoundStaffGun>},
    {"ClProcessor_Enemy_Crawler", &constructProcessor<ClProcessor_Enemy_Crawler>},
    {"ClProcessor_Enemy_AI_Hover", &constructProcessor<ClProcessor_Enemy_AI_Hover>},
    {"ClProcessor_Enemy_AI_StaticSpark", &constructProcessor<ClProcessor_Enemy_AI_StaticSpark>},
    {"ClProcessor_Enemy_Med_Beat_Shield", &constructProcessor<ClProcessor_Enemy_Med_Beat_Shield>},
    {"ClProcessor_Enemy_Boss_1", &constructProcessor<ClProcessor_Enemy_Boss_1>},
    {"ClProcessor_Enemy_Boss_TheWave", &constructProcessor<ClProcessor_Enemy_Boss_TheWave>},
    {"ClProcessor_Enemy_Boss_WhipIt", &constructProcessor<ClProcessor_Enemy_Boss_WhipIt>},
    {"ClProcessor_Enemy_Boss_Opps", &constructProcessor<ClProcessor_Enemy_Boss_Opps>},
    {"ClProcessor_Enemy_Boss_Dancer", &constructProcessor<ClProcessor_Enemy_Boss_Dancer>},
    {"ClProcessor_BridgeToCore", &constructProcessor<ClProcessor_BridgeToCore>},
    {"ClProcessor_Conditional_Destroy", &constructProcessor<ClProcessor_Conditional_Destroy>},
    {"ClProcessor_EnableBasedOnWaveFlags", &constructProcessor<ClProcessor_EnableBasedOnWaveFlags>},
    {"ClProcessor_FlickerWhenDamaged", &constructProcessor<ClProcessor_FlickerWhenDamaged>},
    {"ClProcessor_Enemy_ExplodeWhenIDie", &constructProcessor<ClProcessor_Enemy_ExplodeWhenIDie>},
    {"ClProcessor_Enemy_AI_Head_Gun", &constructProcessor<ClProcessor_Enemy_AI_Head_Gun>},
    {"ClProcessor_Enemy_AI_Head_Shield", &constructProcessor<ClProcessor_Enemy_AI_Head_Shield>},
    {"ClProcessor_Enemy_AI_CubeStation", &constructProcessor<ClProcessor_Enemy_AI_CubeStation>},
    {"ClProcessor_Enemy_AI_ArmGroup", &constructProcessor<ClProcessor_Enemy_AI_ArmGroup>},
    {"ClProcessor_Enemy_AI_Arm", &constructProcessor<ClProcessor_Enemy_AI_Arm>},
};
