#include "world/play/boss_choice.h"

#include "audio/sound/sound_engine.h"
#include "core/config.h"
#include "core/fatal_error.h"
#include "core/rand_obj.h"
#include "core/random.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "core/string_helpers.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/play/boss_wave_hook.h"
#include "world/play/player_state.h"
#include "world/services/positioned_sound.h"
#include "world/services/world_imports.h"
#include "world/state/play_record.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* PLAYBALANCE_SCRIPT = "playbalance.txt";
constexpr const char* GUARDIAN_SCRIPT = "guardian_movies.txt";
// Seconds of song the encounter needs beyond the intro: the fight and the escape margin.
constexpr f32 BOSS_FIGHT_SECONDS = 175.0f;
constexpr f32 BOSS_MARGIN_SECONDS = 12.0f;
constexpr f32 FORCED_ARRIVAL_SECONDS = 5.0f;
constexpr u32 RANDOM_NOTE_COUNT = 14;

// Keys of "playbalance.txt" holding each pair's note sequence; boss 2 has none.
constexpr const char* NOTE_SEQUENCE_KEYS[BOSS_PAIR_COUNT] = {
    "boss_kelvath_eine_kleine_2_notes",      "boss_kelvath_don_giovanni_2_notes",
    "boss_kelvath_dies_irae_2_notes",        "boss_quelloritz_petrushka_2_notes",
    "boss_quelloritz_firebird_2_notes",      "boss_quelloritz_rite_of_spring_2_notes",
    "<NONE>",                                "<NONE>",
    "<NONE>",                                "boss_dravellin_moonlight_2_notes",
    "boss_dravellin_5th_2_notes",            "boss_dravellin_9th_2_notes",
    "boss_ruvo_well_tempered_2_notes",       "boss_ruvo_d_minor_suite_2_notes",
    "boss_ruvo_d_minor_toccata_2_notes",
};

ClDNAProgram* g_pBossProgram = nullptr;

s32 clampInt(s32 v, s32 lo, s32 hi) { return v < lo ? lo : (v > hi ? hi : v); }

// The progress table as the save holds it, kept while a forced choice has marked this play's
// copy; the marks never reach the save.
struct SUnforcedProgress {
    bool held = false;
    s32 beaten[BOSS_COUNT][SUBBOSS_COUNT] = {};
};
SUnforcedProgress g_unforced;

// Marks every sub-boss of the bosses before `boss` beaten; with a sub-boss, also all of the
// boss's own but that one. The table as it was is kept for the save.
void markForcedProgress(s32 boss, s32 subBoss) {
    SBossLibraryState& state = g_PlayRecord.boss;
    if (!g_unforced.held) {
        std::memcpy(g_unforced.beaten, state.beaten, sizeof(g_unforced.beaten));
        g_unforced.held = true;
    }
    for (s32 b = 0; b < boss; ++b)
        for (u32 s = 0; s < SUBBOSS_COUNT; ++s) state.beaten[b][s] = 1;
    if (subBoss < 0) return;
    for (u32 s = 0; s < SUBBOSS_COUNT; ++s) state.beaten[boss][s] = 1;
    state.beaten[boss][subBoss] = 0;
}

s32 firstUnbeatenSubBoss(s32 boss) {
    for (u32 s = 0; s < SUBBOSS_COUNT; ++s)
        if (!g_PlayRecord.boss.beaten[boss][s]) return s32(s);
    return 0;
}

f32 measureCueSeconds(const char* name) {
    if (!name[0]) return 0.0f;
    SCueHandle handle = playCueHeld(name);
    if (!handle) return 0.0f;
    const f32 seconds = getCueDuration(handle);
    stopCue(handle, 0.0f);
    return seconds;
}

f32 readEscapeSeconds(s32 boss, s32 subBoss) {
    const ClScriptNode* table =
        ClScriptNode::getNamedChildOrDie(getScript(PLAYBALANCE_SCRIPT, 0), "boss_total_time_before_escape");
    if (u32(boss) >= table->childCount() || u32(subBoss) >= table->getChild(u32(boss))->childCount())
        fatalErrorf("\"boss_total_time_before_escape\" has no entry for boss %d sub-boss %d", boss, subBoss);
    return table->getChild(u32(boss))->getChild(u32(subBoss))->getFloat();
}

struct SPoolSum {
    f32 arrival;
    f32 escape;
    s64 total;
};

void addMemberPoints(void* user, ClEntity* member, f32 spawnTime) {
    SPoolSum* sum = static_cast<SPoolSum*>(user);
    if (spawnTime > sum->arrival && spawnTime < sum->escape) sum->total += getKillPoints(member);
}

f32 sumWaveValueBetween(f32 arrival, f32 escape) {
    SPoolSum sum = {arrival, escape, 0};
    const SBossWaveHooks* hooks = worldImports().bossWaves;
    if (hooks && hooks->forEachWaveMember) hooks->forEachWaveMember(addMemberPoints, &sum);
    return f32(sum.total);
}

// The note sequence under the pair's key; an absent or empty one counts as none.
const ClScriptNode* findNoteSequence(s32 boss, s32 subBoss) {
    const ClScriptNode* root = getScript(PLAYBALANCE_SCRIPT, 0);
    if (!root) return nullptr;
    const ClScriptNode* sequence = root->findChild(NOTE_SEQUENCE_KEYS[boss * SUBBOSS_COUNT + subBoss]);
    return sequence && sequence->childCount() > 0 ? sequence : nullptr;
}

void buildBossEntity(const SPlaySong& song, ClDNAGenerator* generator) {
    ClRandObjSFMT random;
    random.restoreState(song.randomState);
    ClDNAProgram* program = generator->generate(&random, song.generatorParams);
    if (!program) fatalErrorf("boss generator \"%s\" wrote no program", generator->getName());
    program->generator = generator;
    ClEntity* entity = allocEntity(OWNER_LIVE_GAME);
    const SBossWaveHooks* hooks = worldImports().bossWaves;
    if (hooks && hooks->attachBossWave) hooks->attachBossWave(entity, program);
    entity->buildFromDNA(program);
    g_pBossProgram = program;

    SBossEncounter& e = g_BossEncounter;
    e.dead = 0;
    e.entity = makeEntityRef(entity);
    g_CurrentBossEntity = e.entity;
    e.noteTargetAtom = entity->root ? entity->root->findAtomByName("noteTarg") : nullptr;
    e.barLastValue = 1.0f;
    e.hitFlashTime = 0.0f;
}

// The boss for this play, or false; stores the indices. The forced indices are chosen here but
// marked in the progress table only once the boss is certain (markForcedChoice).
bool pickBoss(s32 forceBoss) {
    s32 boss = -1;
    s32 subBoss = -1;
    findNextUnbeatenBoss(&boss, &subBoss);
    const bool forcedSubBoss = configHasKey("FORCE_SUBBOSS_INDEX");
    if (configHasKey("FORCE_BOSS_INDEX")) {
        boss = clampInt(configGetInt("FORCE_BOSS_INDEX"), 0, s32(BOSS_COUNT) - 1);
        // Every pair beaten leaves no sub-boss: take the first unbeaten one of the forced boss.
        if (subBoss < 0) subBoss = firstUnbeatenSubBoss(boss);
    }
    if (forcedSubBoss && boss >= 0) subBoss = clampInt(configGetInt("FORCE_SUBBOSS_INDEX"), 0, s32(SUBBOSS_COUNT) - 1);
    if (forceBoss == 2) {
        boss = s32((sfmtGenRand32() % 0x7FFFFFFFu) % BOSS_COUNT);
        subBoss = s32((sfmtGenRand32() % 0x7FFFFFFFu) % SUBBOSS_COUNT);
    }
    if (boss < 0 || subBoss < 0 || !getBossGenerator(u32(boss), u32(subBoss))) return false;
    g_BossEncounter.boss = boss;
    g_BossEncounter.subBoss = subBoss;
    return true;
}

// The progress the forcing settings ask for, marked in this play's table.
void markForcedChoice(s32 boss, s32 subBoss) {
    if (configHasKey("FORCE_BOSS_INDEX")) markForcedProgress(boss, -1);
    if (configHasKey("FORCE_SUBBOSS_INDEX")) markForcedProgress(boss, subBoss);
}

}  // namespace

void keepForcedProgressOutOfSave(SBossLibraryState* saved) {
    if (g_unforced.held) std::memcpy(saved->beaten, g_unforced.beaten, sizeof(saved->beaten));
}

void chooseSessionBoss(const SPlaySong& song) {
    SBossEncounter& e = g_BossEncounter;
    SBossLibraryState& state = g_PlayRecord.boss;
    e.phaseTimer = FLT_MAX;
    e.phase = E_BOSSPHASE_WAITING;
    e.noteTargetAtom = nullptr;
    e.entity = SEntityRef{};
    e.valuePool = 0.0f;
    e.healingCountdown = 0.0f;
    g_PlayRecord.bossArrived = 0;
    g_unforced.held = false;

    const s32 forceBoss = configGetInt("FORCE_BOSS");
    if (state.pending && forceBoss == 0 && songIdentityDiffers(song.identity, state.pendingIdentity)) return;
    if (state.enabled && !state.skip) {
        state.skip = 1;
        return;
    }
    if (configGetInt("FORCE_NO_BOSS") == 1) return;
    if ((forceBoss == 0 || forceBoss == 2) && !state.enabled) return;
    if (!pickBoss(forceBoss)) return;

    // The intro is this boss's: its name is loaded before the intro is measured.
    ClDNAGenerator* generator = getBossGenerator(u32(e.boss), u32(e.subBoss));
    strCopyN(e.bossName, generator->getName(), BOSS_NAME_LENGTH);
    loadBossIntroSound();
    const f32 minimumSongSeconds = measureCueSeconds(e.introSoundName) + BOSS_FIGHT_SECONDS + BOSS_MARGIN_SECONDS;
    if (song.duration < minimumSongSeconds && forceBoss == 0) return;
    if (state.met[e.boss * SUBBOSS_COUNT + e.subBoss] > 0 && forceBoss == 0) return;

    f32 arrival = song.duration - minimumSongSeconds;
    if (forceBoss > 0) {
        arrival = FORCED_ARRIVAL_SECONDS;
        state.pending = 1;
        std::memcpy(state.pendingIdentity, song.identity, sizeof(state.pendingIdentity));
    }
    const f32 escape = arrival + readEscapeSeconds(e.boss, e.subBoss);
    e.arrivalTime = arrival;
    e.escapeTime = escape;
    e.valuePool = sumWaveValueBetween(arrival, escape);
    if (e.valuePool == 0.0f) return;
    markForcedChoice(e.boss, e.subBoss);
    e.phaseTimer = arrival;

    buildBossEntity(song, generator);
    e.noteSequence = findNoteSequence(e.boss, e.subBoss);
    e.lastNoteIndex = -1;
    e.noteToggle = 0;
}

void releaseSessionBoss() {
    // After the world's teardown the entity is already back in the pool, and the reference reads empty.
    if (ClEntity* boss = bossEntity()) freeEntity(boss);
    g_BossEncounter.entity = SEntityRef{};
    g_CurrentBossEntity = SEntityRef{};
    g_BossEncounter.noteTargetAtom = nullptr;
    if (g_pBossProgram) {
        g_pBossProgram->release();
        delete g_pBossProgram;
        g_pBossProgram = nullptr;
    }
}

s32 nextBossNote() {
    SBossEncounter& e = g_BossEncounter;
    s32 note;
    if (e.noteSequence) {
        const s32 count = s32(e.noteSequence->childCount());
        e.lastNoteIndex = e.lastNoteIndex + 1 >= count ? 0 : e.lastNoteIndex + 1;
        note = e.noteSequence->getChild(u32(e.lastNoteIndex))->getInt() + 1;
    } else {
        note = s32((sfmtGenRand32() % 0x7FFFFFFFu) % RANDOM_NOTE_COUNT) + 1;
    }
    const s32 wasOn = e.noteToggle;
    e.noteToggle = wasOn ? 0 : 1;
    return wasOn ? note : 0;
}

void loadBossIntroSound() {
    SBossEncounter& e = g_BossEncounter;
    e.introSoundName[0] = '\0';
    if (g_PlayRecord.boss.staticIntro) return;
    const ClScriptNode* root = getScript(GUARDIAN_SCRIPT, 0);
    const ClScriptNode* speakers = root ? root->findChild(e.bossName) : nullptr;
    const ClScriptNode* sequence = speakers ? speakers->findChild("InGameIntro") : nullptr;
    const ClScriptNode* sound = sequence ? sequence->findChild("sound_file") : nullptr;
    if (sound && sound->kind == E_SCRIPTNODE_TEXT) strCopyN(e.introSoundName, sound->getValueString().getText(), BOSS_INTRO_NAME_LENGTH);
}

void resetSessionChoice() {
    g_BossEncounter.bossName[0] = '\0';
    g_BossEncounter.noteSequence = nullptr;
    g_BossEncounter.lastNoteIndex = -1;
}

void shutdownSessionChoice() {
    g_BossEncounter.introSoundName[0] = '\0';
    resetSessionChoice();
}

void playBossNote(const ClVec3& position) {
    const s32 note = nextBossNote();
    if (note == 0) return;
    char cue[16];
    std::snprintf(cue, sizeof(cue), "note_%02d", note);
    playSoundCueAt(cue, position);
}
