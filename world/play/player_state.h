// The state of one play: four player records (only the first is ever played), the wave-kill
// chain, the rammed flag, and the score rules. The score is held as 11 x the shown score:
// writers multiply the points they add by 11, readers divide with truncation toward zero.
#pragma once

#include "core/types.h"
#include "world/entity/entity_ref.h"
#include "world/play/play_record.h"

class ClAtom;
class ClDNAProgram;
class ClEntity;
class ClEntityNode;
struct ClVec3;

constexpr u32 PLAYER_COUNT = 4;
constexpr s32 SCORE_ENCODING_FACTOR = 11;
constexpr f32 RESPAWN_SECONDS = 4.0f;
constexpr f32 SPAWN_GRACE_SECONDS = 2.0f;
constexpr f32 RAM_GRACE_SECONDS = 0.15f;
constexpr f32 WAVE_KILL_CHAIN_WINDOW_SECONDS = 9.0f;
constexpr u32 MEDAL_WAVE_KILL_CHAIN_5 = 3;
constexpr u32 MEDAL_WAVE_KILL_CHAIN_10 = 4;

struct SShipAnchor {
    ClEntityNode* node;  // the first node in pre-order whose "anchID" is the anchor's index
    ClAtom* atom;        // the first atom named "AnchorCL" in that node's subtree
    s32 upgradeValue;    // the equipped collectible's value for the next level, 0 without one
};

struct SPlayerState {
    ClDNAProgram* shipProgram;  // owned; built on entering play
    SShipAnchor anchors[SHIP_ANCHOR_CAPACITY];
    s32 anchorCount;
    s32 active;
    SEntityRef ship;  // empty while dead; read through playerShip
    f32 invincibilityTime;  // seconds; FLT_MAX with PLAYER_INVINCIBLE
    f32 respawnCountdown;
    s32 kills;
    f32 killPercentage;  // written by the results screen
    s32 deaths;
    f32 playTime;  // seconds of unpaused play
    s32 pointsLost;  // shown points
    s32 nextTargetShown;
    s32 allTargetsReached;
    s32 score;  // 11 x the shown score
};

extern SPlayerState g_aPlayerState[PLAYER_COUNT];

// Player p's ship; null while dead or once its record has been released.
inline ClEntity* playerShip(u32 player) { return entityRefGet(g_aPlayerState[player].ship); }
inline void setPlayerShip(u32 player, ClEntity* ship) { g_aPlayerState[player].ship = makeEntityRef(ship); }

extern s32 g_aiWaveKillChain[PLAYER_COUNT];
extern f32 g_fWaveKillChainWindow;
// Set when the ship rams an ordinary enemy while vulnerable; read and cleared by updatePlayerLife.
extern s32 g_iPlayerRammed;

// Zeroes the four records and chain counts and empties the popup pool.
void resetPlayerStates();
void enableFirstPlayer();

// The shown score of the record.
s32 shownScore(const SPlayerState& player);

// trunc(selected song's score scale for the difficulty x the program's inspiration score).
s32 getKillPoints(const ClEntity* entity);
// One step of the wave-kill chain for player p: its bonus, medal and popup.
void awardWaveKillChainBonus(u32 player, const ClVec3& position);
// A score pickup's points for the first player; the popup follows the ship.
void addPickupScore(s32 points);
// The ship of player p was destroyed: a death, the difficulty's penalty (the score never falls
// below 0), its popup, the cue and flash. Nothing without a ship or with every popup in use.
void applyDeathPenalty(u32 player);
// A message above player p's ship; nothing without a ship.
void showPlayerPopupText(u32 player, const char* textKey);
// The barrel-phase count of the play record, at least 1.
s32 getBarrelPhaseCount();

// The medal award lives above the world; without a hook an award is dropped.
using AwardMedalHook = void (*)(u32 medalId);
void setAwardMedalHook(AwardMedalHook hook);
