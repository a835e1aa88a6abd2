#include "world/play/boss_meter.h"

#include "audio/play/song_clock.h"
#include "audio/sound/sound_engine.h"
#include "core/config.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/float_helpers.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "input/ambient/ambient_light.h"
#include "render/canvases.h"
#include "ui/font_face.h"
#include "ui/text_draw.h"
#include "ui/ui_sprite.h"
#include "ui/widget.h"
#include "world/collision/kill_queue.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/play/guardian_sequence.h"
#include "world/play/hud_widgets.h"
#include "world/play/inspiration_pickups.h"
#include "world/play/player_ship.h"
#include "world/play/player_state.h"
#include "world/processors/player_ctrl.h"
#include "world/services/bar_colour_scheme.h"
#include "world/services/world_imports.h"
#include "world/state/boss_encounter.h"
#include "world/state/play_record.h"

#include <cfloat>
#include <cstring>

namespace {

constexpr u32 HUD_BOSS_COLOUR = 0x00401004u;
constexpr f32 HUD_RESTORE_SECONDS = 0.5f;
constexpr f32 SCRIPTED_MOVE_SECONDS = 2.0f;
constexpr f32 INTRO_GRACE_MARGIN = 1.5f;
constexpr u32 WHITE = 0xFFFFFFFFu;
constexpr u32 METER_ICON_COLOUR = 0xFFFF0000u;
constexpr u32 BAR_LAYER = 1000;
constexpr u32 BAR_HIT_LAYER = 1200;
constexpr f32 BAR_X = -552.0f;
constexpr f32 BAR_Y = 57.0f;
// The bar runs from its corner across the top of the screen to just short of the countdown; read
// as canvas units, a bar 34 by 9 would be a speck nobody could read the strength from.
constexpr f32 BAR_WIDTH = 1020.0f;
constexpr f32 BAR_HEIGHT = 36.0f;
// The countdown's centre, on the bar's middle row.
constexpr f32 COUNTDOWN_X = 540.0f;
constexpr f32 COUNTDOWN_Y = 75.5f;
// Whether the boss's death ends the encounter (the waves install it for a song's play).
bool g_encounterInstalled = false;

constexpr const char* METER_WIDGETS[] = {"boss_meter_background", "boss_meter_highlight", "boss_meter_color_highlight",
                                         "boss_meter_icon"};

ClEntity* firstShip() { return playerShip(0); }

void setShipGrace(f32 seconds) {
    if (ClEntity* ship = firstShip()) ship->timer = playerInvincible() ? FLT_MAX : seconds;
}

void setDontShoot(s32 value) {
    if (bossEntity() && bossEntity()->root) bossEntity()->findOrAddParam("dnt_shoot")->setInt(value);
}

void setMeterWidgetsVisible(bool visible, bool withBackground) {
    for (const char* name : METER_WIDGETS) {
        if (!withBackground && std::strcmp(name, "boss_meter_background") == 0) continue;
        setHudWidgetVisible(name, visible);
    }
}

void fadeHudColour(u32 colour, f32 seconds) {
    g_BarColourScheme.colour(E_BARSCHEME_WATER_COLOUR).fadeFromCurrent(colour, seconds, E_COLOURANIM_EASE_LINEAR, 0.0f);
}

u32 presetFirstColour() {
    return g_aBarColourPresets[g_uBarColourPresetIndex % BAR_COLOUR_PRESET_COUNT].colour(E_BARSCHEME_WATER_COLOUR).current;
}

void startEntityFade(ClEntity* entity, f32 end) {
    const SFloatTweenDesc desc = {entity->tween.tag, E_TWEEN_ANIMATE, E_TWEEN_CURVE_LINEAR, 0.0f, end, 0.0f, 0.0f,
                                  BOSS_ARRIVAL_SECONDS, 1};
    entity->tween.start(desc);
}

// Only enemies fade: the ship and the pickups stay as they are.
template <typename Pick>
void fadeLiveEnemies(f32 end, Pick pick) {
    for (u32 i = entityListCount(E_LIST_LIVE); i-- > 0;) {
        ClEntity* entity = entityListAt(E_LIST_LIVE, i);
        if (entity == bossEntity() || !entity->program || entity->program->kind != E_PROGRAM_ENEMY) continue;
        if (pick(entity)) startEntityFade(entity, end);
    }
}

f32 measureCue(const char* name) {
    if (!name[0]) return 0.0f;
    const SCueHandle cue = playCueHeld(name);
    if (!cue) return 0.0f;
    const f32 seconds = getCueDuration(cue);
    stopCue(cue, 0.0f);
    return seconds;
}

f32 escapeSeconds() {
    const ClScriptNode* table =
        ClScriptNode::getNamedChildOrDie(getScript("playbalance.txt", 0), "boss_total_time_before_escape");
    return table->getChild(u32(g_BossEncounter.boss))->getChild(u32(g_BossEncounter.subBoss))->getFloat();
}

void arrive() {
    SBossEncounter& e = g_BossEncounter;
    SBossLibraryState& library = g_PlayRecord.boss;
    library.pending = 1;
    std::memcpy(library.pendingIdentity, g_PlayRecord.song.identity, sizeof(library.pendingIdentity));
    e.phase = E_BOSSPHASE_ARRIVED;
    const SBossEncounterHooks* hooks = worldImports().bossEncounter;
    if (hooks && hooks->collectAllPickups) hooks->collectAllPickups();
    e.phaseTimer = currentSongTime() + BOSS_ARRIVAL_SECONDS;
    fadeHudColour(HUD_BOSS_COLOUR, BOSS_ARRIVAL_SECONDS);
    if (ClEntity* boss = bossEntity()) {
        if (boss->root) boss->root->resetAtoms();
        boss->spawn();
        boss->activate();
        setDontShoot(1);
    }
    fadeOutSpawningEntities();
    fadeOutActiveEntities();
    if (bossEntity()) bossEntity()->tween.startFromTo(0.0f, 1.0f, BOSS_ARRIVAL_SECONDS, E_TWEEN_CURVE_LINEAR, 0.0f);
    setShipGrace(BOSS_ARRIVAL_SECONDS);
    setAmbientMode(E_AMBIENT_PLAY_STROBE);
    g_PlayRecord.bossArrived = 1;
}

void startIntro() {
    SBossEncounter& e = g_BossEncounter;
    f32 introSeconds = measureCue(e.introSoundName);
    if (!g_PlayRecord.boss.staticIntro) {
        startGuardianSequence("InGameIntro", nullptr, 0);
    } else {
        introSeconds = measureCue("SG_RetryStatic");
        startGuardianStatic(introSeconds, 0);
        playCue("SG_RetryStatic");
    }
    e.phase = E_BOSSPHASE_INTRO;
    e.phaseTimer = currentSongTime() + introSeconds;
    setShipGrace(introSeconds + INTRO_GRACE_MARGIN);
}

void flyShipToBoss() {
    ClEntity* ship = firstShip();
    ClProcessor_PlayerCtrl* ctrl = ship ? findPlayerCtrl(ship) : nullptr;
    if (!ctrl || ctrl->scriptedMove || !bossEntity() || !bossEntity()->root) return;
    const SParamValue* meetingPoint = bossEntity()->root->params.find("BPYP");
    if (!meetingPoint) return;
    ctrl->startScriptedMove(meetingPoint->getVector(), SCRIPTED_MOVE_SECONDS);
}

void startFight() {
    SBossEncounter& e = g_BossEncounter;
    e.phase = E_BOSSPHASE_FIGHT;
    e.phaseTimer = currentSongTime() + escapeSeconds();
    setDontShoot(0);
    setMeterWidgetsVisible(true, false);
}

// A point between the two corners of a random entry of "boss_spawn_points_for_healing".
ClVec3 healingPoint() {
    const ClScriptNode* points =
        ClScriptNode::getNamedChildOrDie(getScript("playbalance.txt", 0), "boss_spawn_points_for_healing");
    if (points->childCount() == 0) fatalErrorf("\"playbalance.txt\": boss_spawn_points_for_healing lists no points");
    const ClScriptNode* entry = points->getChild((sfmtGenRand32() % 0x7FFFFFFFu) % points->childCount());
    ClVec3 a;
    ClVec3 b;
    entry->getChild(0)->getVector3(&a);
    entry->getChild(1)->getVector3(&b);
    const f32 t = randomUnitFloat();
    return ClVec3(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t, 0.0f);
}

// The first anchor that lost a part counts the healing down; at 0 a batch of score pickups
// drops and the next interval is drawn.
void tickHealing(ClEntity* ship) {
    const SPlayerState& player = g_aPlayerState[0];
    for (s32 i = 0; i < player.anchorCount && i < s32(SHIP_ANCHOR_CAPACITY); ++i) {
        ClEntityNode* node = player.anchors[i].node;
        if (!node || node->entity != ship || node->allAtomsIntact()) continue;
        SBossEncounter& e = g_BossEncounter;
        e.healingCountdown -= frameTime();
        if (e.healingCountdown > 0.0f) return;
        const u32 level = currentDifficulty();
        e.healingCountdown = randomFloatInRange(BOSS_HEALING_MIN_SECONDS[level], BOSS_HEALING_MAX_SECONDS[level]);
        spawnInspirationPickups(healingPoint(), BOSS_HEALING_VALUE[level], 0, 1);
        return;
    }
}

void drawCountdown() {
    const f32 left = g_BossEncounter.phaseTimer - currentSongTime();
    const s32 seconds = left > 0.0f ? s32(left) : 0;
    const s32 minutes = (seconds / 60) % 60;
    const s32 rest = seconds % 60;
    const char16_t text[6] = {char16_t(u'0' + minutes / 10), char16_t(u'0' + minutes % 10), u':',
                              char16_t(u'0' + rest / 10), char16_t(u'0' + rest % 10), 0};
    STextStyle style;
    style.canvas = "SAFE";
    style.face = getLanguageIndex() == LANGUAGE_INDEX_JAPANESE ? "NiceCapsBoldFont-JAP" : "NiceCapsBoldFont";
    // Drawn at one canvas unit a face pixel, so half the face's line height centres it on the row.
    const SFontFace* face = findFontFaceOrBase(style.face);
    const f32 top = COUNTDOWN_Y - (face ? 0.5f * face->lineHeight : 0.0f);
    drawText(style, BAR_LAYER, E_ALIGN_CENTRE | E_ALIGN_TOP, COUNTDOWN_X, top, 1.0f, WHITE, text, 0xFF000000u);
}

void updateHealthBar(bool hudShown) {
    SBossEncounter& e = g_BossEncounter;
    const SParamValue* strength = bossEntity() && bossEntity()->root ? bossEntity()->root->params.find("NDKFBH") : nullptr;
    const f32 value = clamp01(strength ? strength->real : 1.0f);
    if (value != e.barLastValue) {
        e.hitFlashTime = BOSS_HIT_FLASH_SECONDS;
        e.barLastValue = value;
        requestAmbientFlash(WHITE);
    }
    e.hitFlashTime = clampNonNegative(e.hitFlashTime - frameTime());
    if (!hudShown) return;
    drawUiSprite("hud-boss-bar", "system_blend", WHITE, "SAFE", BAR_LAYER, BAR_X, BAR_Y, BAR_WIDTH, BAR_HEIGHT, value, 1.0f);
    if (e.hitFlashTime > 0.0f)
        drawUiSprite("hud-boss-bar-hit", "system_blend", WHITE, "SAFE", BAR_HIT_LAYER, BAR_X, BAR_Y, BAR_WIDTH, BAR_HEIGHT,
                     value, 1.0f);
}

void updateFight() {
    SBossEncounter& e = g_BossEncounter;
    const ClWidget* highlight = findWidgetByName("boss_meter_highlight");
    if (highlight && !highlight->isVisible()) {
        setMeterWidgetsVisible(true, false);
        setHudWidgetTint("boss_meter_highlight", WHITE);
        setHudWidgetTint("boss_meter_color_highlight", WHITE);
        setHudWidgetTint("boss_meter_icon", METER_ICON_COLOUR);
    }
    if (ClEntity* ship = firstShip()) {
        if (ClProcessor_PlayerCtrl* ctrl = findPlayerCtrl(ship)) ctrl->scriptedMove = 0;
        if (ship->state != E_ENTITY_DESTROYED) tickHealing(ship);
    }
    if (e.phaseTimer < currentSongTime()) {
        if (bossEntity() && bossEntity()->state != E_ENTITY_DESTROYED) bossEntity()->destroy();
        e.noteTargetAtom = nullptr;
        endBossEncounter();
        return;
    }
    const bool hudShown = !guardianSequencePlaying();
    if (hudShown) drawCountdown();
    updateHealthBar(hudShown);
}

}  // namespace

void installBossEncounter() { g_encounterInstalled = true; }
void uninstallBossEncounter() { g_encounterInstalled = false; }

void endBossEncounterOnDeath() {
    if (g_encounterInstalled) endBossEncounter();
}

void fadeOutSpawningEntities() {
    fadeLiveEnemies(0.0f, [](const ClEntity* entity) { return entity->isIncoming() != 0; });
}

void fadeOutActiveEntities() {
    fadeLiveEnemies(0.0f, [](const ClEntity* entity) { return entity->state == E_ENTITY_ACTIVE; });
}

void fadeInSpawningEntities() {
    fadeLiveEnemies(1.0f, [](const ClEntity* entity) {
        return entity->isIncoming() != 0 && entity->state == E_ENTITY_SPAWNED;
    });
}

void updateBossEncounter() {
    // The beat-analysis view names its song by path: the setting's presence is what counts.
    if (configHasKey("VISUAL_BEAT_ANALYSIS")) return;
    SBossEncounter& e = g_BossEncounter;
    // A play without a boss has no encounter to run, whatever the phase timer says.
    if (!bossEntity() && e.phase == E_BOSSPHASE_WAITING) return;
    const bool due = e.phaseTimer < currentSongTime();
    switch (e.phase) {
        case E_BOSSPHASE_WAITING:
            if (due) arrive();
            break;
        case E_BOSSPHASE_ARRIVED:
            if (due) startIntro();
            flyShipToBoss();
            break;
        case E_BOSSPHASE_INTRO:
            if (due) startFight();
            break;
        case E_BOSSPHASE_FIGHT:
            updateFight();
            break;
        default:
            fatalErrorf("boss encounter in phase %d", e.phase);
    }
}

void endBossEncounter() {
    SBossEncounter& e = g_BossEncounter;
    e.phase = E_BOSSPHASE_WAITING;
    setAmbientMode(E_AMBIENT_PLAY);
    e.phaseTimer = FLT_MAX;
    setMeterWidgetsVisible(false, true);
    fadeHudColour(presetFirstColour(), HUD_RESTORE_SECONDS);
    fadeInSpawningEntities();
    if (!e.dead) {
        showBossEscaped();
        return;
    }
    const f32 speech = getGuardianSoundLength("PostWin", nullptr);
    setShipGrace(speech + INTRO_GRACE_MARGIN);
    startGuardianSequence("PostWin", nullptr, 0);
}

void resetBossMeter() {
    SBossEncounter& e = g_BossEncounter;
    e.dead = 0;
    e.noteTargetAtom = nullptr;
    setAmbientMode(E_AMBIENT_PLAY);
    e.phaseTimer = FLT_MAX;
    e.phase = E_BOSSPHASE_WAITING;
    setMeterWidgetsVisible(false, true);
    setHudWidgetVisible("boss_escaped", false);
    fadeHudColour(presetFirstColour(), HUD_RESTORE_SECONDS);
    g_PlayRecord.bossArrived = 0;
}
