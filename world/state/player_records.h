// The player records of one play that every layer of the world reads: four records (only the
// first is ever played), the wave-kill chain counts and the rammed flag. The operations on them
// and the score rules are the play's own (world/play/player_state.h). The score is held as
// 11 x the shown score.
#pragma once

#include "core/types.h"
#include "world/entity/entity_ref.h"
#include "world/state/play_record.h"

class ClAtom;
class ClDNAProgram;
class ClEntityNode;

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
    u32 levelledUp;      // a level-up pickup has rebuilt the anchor's part at the upgrade value
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
    s32 score;  // 11 x the shown score
};

// The layers above read a record through playerState() and change it only through the
// operations of world/play/player_state.h.
extern SPlayerState g_aPlayerState[PLAYER_COUNT];

inline const SPlayerState& playerState(u32 player) { return g_aPlayerState[player]; }

// Player p's ship; null while dead or once its record has been released.
inline ClEntity* playerShip(u32 player) { return entityRefGet(g_aPlayerState[player].ship); }

extern s32 g_aiWaveKillChain[PLAYER_COUNT];
// Set when the ship rams an ordinary enemy while vulnerable; read and cleared by updatePlayerLife.
extern s32 g_iPlayerRammed;
