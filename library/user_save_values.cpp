#include "library/user_save_values.h"

#include "audio/analysis/spectrum_geometry.h"
#include "core/login_name.h"
#include "core/saved_options.h"
#include "library/ship_program.h"
#include "library/song_items.h"
#include "library/song_library.h"

#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr f32 SENSITIVITY_MIN = 0.0f;
constexpr f32 SENSITIVITY_MAX = 10.0f;
constexpr s32 AMBIENT_LAYOUT_MAX = 4;

void mendFlag(u32* word, const char* what, SSaveMends* mends) {
    if (*word <= 1) return;
    *word = 1;
    mends->note(what);
}

void mendFlag(s32* word, const char* what, SSaveMends* mends) {
    if (*word == 0 || *word == 1) return;
    *word = 1;
    mends->note(what);
}

void mendRange(s32* value, s32 low, s32 high, const char* what, SSaveMends* mends) {
    if (*value >= low && *value <= high) return;
    *value = *value < low ? low : high;
    mends->note(what);
}

void mendSensitivity(f32* value, f32 fallback, const char* what, SSaveMends* mends) {
    if (*value >= SENSITIVITY_MIN && *value <= SENSITIVITY_MAX) return;
    *value = std::isnan(*value) ? fallback : *value < SENSITIVITY_MIN ? SENSITIVITY_MIN : SENSITIVITY_MAX;
    mends->note(what);
}

bool isOwned(const SSongLibrary& library, const char* key) {
    for (const SCollectibleRecord& item : library.collectibles)
        if (item.identified && std::strcmp(item.key, key) == 0) return true;
    return false;
}

bool holdsNul(const std::u16string& text) { return text.find(u'\0') != std::u16string::npos; }

void mendTag(std::u16string* tag, const char* what, SSaveMends* mends) {
    if (!holdsNul(*tag)) return;
    tag->clear();
    mends->note(what);
}

// What the analysis found: a duration and rate it could make, spawn targets it could count.
bool analysisHolds(const SSongRecord& song) {
    const bool analysed = song.state == E_SONGSTATE_READY;
    if (!(song.duration >= 0.0f && song.duration <= SONG_DURATION_LIMIT)) return false;
    if (analysed && song.duration == 0.0f) return false;
    const bool rateInRange =
        song.sampleRate >= f32(SPECTRUM_MIN_SAMPLE_RATE) && song.sampleRate <= f32(SPECTRUM_MAX_SAMPLE_RATE);
    if (!rateInRange && (analysed || song.sampleRate != 0.0f)) return false;
    for (s32 targets : song.levelSpawnTargets)
        if (targets < 0) return false;
    return true;
}

// What a play settles again when it starts: the wave generator state and the score fields.
bool settledScoresHold(const SSongRecord& song) {
    if (song.randomState.valid > 1 || song.randomState.draws > SONG_RANDOM_DRAWS_LIMIT) return false;
    if (!std::isfinite(song.progressValue)) return false;
    for (u32 level = 0; level < DIFFICULTY_LEVEL_COUNT; ++level) {
        if (!(song.scoreScale[level] >= 0.0f && song.scoreScale[level] <= SONG_SCORE_SCALE_LIMIT)) return false;
        for (u32 i = 0; i < 2; ++i) {
            if (!std::isfinite(song.progressThresholds[level][i])) return false;
            if (song.scoreTargets[level][i] < 0) return false;
        }
    }
    return true;
}

}  // namespace

void SSaveMends::note(const char* what) {
    if (count++ == 0) first = what;
}

void mendSavedOptions(SSavedOptions* o, SSaveMends* mends) {
    const SSavedOptions defaults = defaultSavedOptions();
    mendFlag(&o->waterReflection, "the water option", mends);
    mendFlag(&o->bloom, "the bloom option", mends);
    mendFlag(&o->inputLagReduction, "the lag reduction option", mends);
    mendFlag(&o->fullScreen, "the full-screen option", mends);
    mendFlag(&o->verticalSync, "the v-sync option", mends);
    mendFlag(&o->audioLog, "the audio log option", mends);
    mendFlag(&o->latchedFire, "the latched-fire option", mends);
    mendFlag(&o->animatedLines, "the line style option", mends);
    mendSensitivity(&o->controllerSensitivity, defaults.controllerSensitivity, "the controller sensitivity", mends);
    mendSensitivity(&o->interfacePointerSensitivity, defaults.interfacePointerSensitivity,
                    "the interface pointer sensitivity", mends);
    mendSensitivity(&o->inGamePointerSensitivity, defaults.inGamePointerSensitivity, "the in-game pointer sensitivity",
                    mends);
    if (o->ambientLayout < 0 || o->ambientLayout > AMBIENT_LAYOUT_MAX) {
        o->ambientLayout = defaults.ambientLayout;
        mends->note("the ambient layout");
    }
}

void mendCredentials(SSongLibrary* library, bool nameWhole, SSaveMends* mends) {
    SLibraryCredentials& credentials = library->credentials;
    bool valid = nameWhole;
    for (const char* c = credentials.loginName; valid && *c; ++c) valid = isLoginNameCharacter(u8(*c));
    if (valid) return;
    // The password digest belongs to the name: the player logs in again.
    std::memset(&credentials, 0, sizeof credentials);
    mends->note("the log-in name");
}

void mendBossState(SSongLibrary* library, SSaveMends* mends) {
    SBossLibraryState& boss = library->boss;
    for (auto& row : boss.beaten)
        for (s32& beaten : row) mendFlag(&beaten, "a boss beaten flag", mends);
    mendFlag(&boss.pending, "the boss pending flag", mends);
    mendFlag(&boss.enabled, "the boss enabled flag", mends);
    mendFlag(&boss.skip, "the boss skip flag", mends);
    mendFlag(&boss.staticIntro, "the static intro flag", mends);
    mendFlag(&boss.corruptionSoundOff, "the corruption sound flag", mends);
    mendFlag(&library->bossWon, "the boss won flag", mends);
    mendFlag(&library->bossFailed, "the boss failed flag", mends);
    mendRange(&library->bossStage, s32(BOSS_STAGE_FIRST), s32(BOSS_STAGE_LAST), "the boss stage", mends);
}

void mendProfile(SSongLibrary* library, SSaveMends* mends) {
    mendRange(&library->barrelPhaseCount, 1, INT_MAX, "the barrel-phase count", mends);
    std::vector<SCollectibleRecord>& items = library->collectibles;
    for (size_t i = 0; i < items.size();) {
        SCollectibleRecord& item = items[i];
        const u32 hash = collectibleKeyHash(item.key);
        bool repeated = false;
        for (size_t j = 0; j < i; ++j) repeated = repeated || items[j].keyHash == hash;
        if (!item.key[0] || repeated) {
            items.erase(items.begin() + std::ptrdiff_t(i));
            mends->note("a collectible's key");
            continue;
        }
        if (item.keyHash != hash) {
            item.keyHash = hash;
            mends->note("a collectible's key hash");
        }
        mendFlag(&item.identified, "a collectible's identified flag", mends);
        mendRange(&item.currentLevel, 0, SHIP_ITEM_LEVEL_COUNT - 1, "a collectible's level", mends);
        ++i;
    }
    for (u32 slot = 0; slot < SHIP_ANCHOR_CAPACITY; ++slot) {
        char* key = library->equippedItemKeys[slot];
        if (!key[0]) continue;
        bool elsewhere = false;
        for (u32 other = 0; other < slot; ++other) elsewhere = elsewhere || std::strcmp(library->equippedItemKeys[other], key) == 0;
        if (slot < SHIP_PROGRAM_ANCHOR_COUNT && !elsewhere && isOwned(*library, key)) continue;
        std::memset(key, 0, ITEM_KEY_LENGTH);
        mends->note("an equipped item");
    }
}

bool mendSong(SSongRecord* song, SSaveMends* mends) {
    if (song->path.empty() || holdsNul(song->path)) {
        mends->note("a song's path");
        return false;
    }
    mendTag(&song->title, "a song's title", mends);
    mendTag(&song->artist, "a song's artist", mends);
    mendTag(&song->album, "a song's album", mends);
    const bool failed = song->state == E_SONGSTATE_FAILED;
    const bool failureHolds = failed ? song->failure != E_SONGFAIL_NONE && song->failure < E_SONGFAIL_COUNT
                                     : song->failure == E_SONGFAIL_NONE;
    if (song->state >= E_SONGSTATE_COUNT || song->state == E_SONGSTATE_ANALYSING || !failureHolds) {
        song->state = E_SONGSTATE_PENDING;
        song->failure = E_SONGFAIL_NONE;
        mends->note("a song's state");
    }
    if (!analysisHolds(*song)) {
        song->duration = 0.0f;
        song->sampleRate = 0.0f;
        std::memset(song->levelSpawnTargets, 0, sizeof song->levelSpawnTargets);
        song->fingerprint.clear();
        if (song->state == E_SONGSTATE_READY) song->state = E_SONGSTATE_PENDING;
        mends->note("a song's analysis");
    }
    if (!settledScoresHold(*song)) {
        s32 best[DIFFICULTY_LEVEL_COUNT];
        std::memcpy(best, song->bestScores, sizeof best);
        clearSongProgress(song);
        std::memcpy(song->bestScores, best, sizeof best);
        mends->note("a song's score fields");
    }
    for (s32& best : song->bestScores) mendRange(&best, 0, INT_MAX, "a song's best score", mends);
    return true;
}
