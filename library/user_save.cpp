#include "library/user_save.h"

#include "core/file_layer.h"
#include "core/saved_options.h"
#include "library/data_file.h"
#include "library/save_bytes.h"
#include "library/song_library.h"
#include "library/play_record_fill.h"
#include "library/user_save_values.h"
#include "library/save_writer.h"

#include "platform/os/os.h"

#include <cstdio>

namespace {

// Set when the save read was damaged and could not be set aside.
bool g_damagedSaveInPlace = false;

// A song record takes at least this many bytes: the fixed fields and four empty texts.
constexpr u32 SONG_RECORD_MIN_BYTES = 32 + 4 * 4 + 8 + 4 * 4 + 6 * 4 + 3 * 4 + 6 * 4 + 4 + 12 * 4 + 12 * 4 + 6 * 4;
constexpr u32 COLLECTIBLE_MIN_BYTES = 4 * 4;
// Room for the options, the credentials, the boss progress and the profile's items.
constexpr size_t SAVE_HEAD_BYTES = 4096;
constexpr u32 WIDE_TAG_LIMIT = 4095;

void putOptions(ClByteWriter& out, const SSavedOptions& o) {
    for (u32 word : {o.waterReflection, o.bloom, o.inputLagReduction, o.fullScreen, o.verticalSync,
                     o.resolutionWidth, o.resolutionHeight, o.audioLog}) {
        out.putU32(word);
    }
    out.putF32(o.controllerSensitivity);
    out.putF32(o.interfacePointerSensitivity);
    out.putF32(o.inGamePointerSensitivity);
    out.putS32(o.ambientLayout);
    out.putU32(o.latchedFire);
    out.putU32(o.animatedLines);
}

void getOptions(ClByteReader& in, u32 version, SSavedOptions* o) {
    for (u32* word : {&o->waterReflection, &o->bloom, &o->inputLagReduction, &o->fullScreen, &o->verticalSync,
                      &o->resolutionWidth, &o->resolutionHeight, &o->audioLog}) {
        *word = in.getU32();
    }
    o->controllerSensitivity = in.getF32();
    o->interfacePointerSensitivity = in.getF32();
    o->inGamePointerSensitivity = in.getF32();
    o->ambientLayout = in.getS32();
    o->latchedFire = in.getU32();
    // Older saves have no line style: the one of a first run stays.
    if (version >= 3) o->animatedLines = in.getU32();
}

void putBoss(ClByteWriter& out, const SSongLibrary& library) {
    const SBossLibraryState& boss = library.boss;
    for (const auto& row : boss.beaten) {
        for (s32 beaten : row) out.putS32(beaten);
    }
    out.putS32(boss.pending);
    for (u32 word : boss.pendingIdentity) out.putU32(word);
    out.putS32(boss.enabled);
    out.putS32(boss.skip);
    for (s8 met : boss.met) out.putU8(u8(met));
    out.putS32(boss.staticIntro);
    out.putS32(boss.corruptionSoundOff);
    out.putS32(library.bossStage);
    out.putS32(library.bossWon);
    out.putS32(library.bossFailed);
}

void getBoss(ClByteReader& in, SSongLibrary* library) {
    SBossLibraryState& boss = library->boss;
    for (auto& row : boss.beaten) {
        for (s32& beaten : row) beaten = in.getS32();
    }
    boss.pending = in.getS32();
    for (u32& word : boss.pendingIdentity) word = in.getU32();
    boss.enabled = in.getS32();
    boss.skip = in.getS32();
    for (s8& met : boss.met) met = s8(in.getU8());
    boss.staticIntro = in.getS32();
    boss.corruptionSoundOff = in.getS32();
    library->bossStage = in.getS32();
    library->bossWon = in.getS32();
    library->bossFailed = in.getS32();
}

void putSong(ClByteWriter& out, const SSongRecord& song) {
    out.putBytes(song.identity.bytes, SONG_IDENTITY_BYTES);
    out.putWide(song.path);
    out.putWide(song.title);
    out.putWide(song.artist);
    out.putWide(song.album);
    out.putU64(song.fileSize);
    // A song the scan thread was analysing is analysed again next time.
    out.putU32(song.state == E_SONGSTATE_ANALYSING ? E_SONGSTATE_PENDING : song.state);
    out.putU32(song.failure);
    out.putF32(song.duration);
    out.putF32(song.sampleRate);
    for (s32 targets : song.levelSpawnTargets) out.putS32(targets);
    out.putU32(song.randomState.valid);
    out.putU32(song.randomState.seed);
    out.putU32(song.randomState.draws);
    for (f32 scale : song.scoreScale) out.putF32(scale);
    out.putF32(song.progressValue);
    for (const auto& pair : song.progressThresholds) {
        for (f32 threshold : pair) out.putF32(threshold);
    }
    for (const auto& pair : song.scoreTargets) {
        for (s32 target : pair) out.putS32(target);
    }
    for (s32 best : song.bestScores) out.putS32(best);
}

void getSong(ClByteReader& in, SSongRecord* song) {
    in.getBytes(song->identity.bytes, SONG_IDENTITY_BYTES);
    song->path = in.getWide(FILE_PATH_LIMIT - 1);
    song->title = in.getWide(WIDE_TAG_LIMIT);
    song->artist = in.getWide(WIDE_TAG_LIMIT);
    song->album = in.getWide(WIDE_TAG_LIMIT);
    song->fileSize = in.getU64();
    song->state = in.getU32();
    song->failure = in.getU32();
    song->duration = in.getF32();
    song->sampleRate = in.getF32();
    for (s32& targets : song->levelSpawnTargets) targets = in.getS32();
    song->randomState.valid = in.getU32();
    song->randomState.seed = in.getU32();
    song->randomState.draws = in.getU32();
    for (f32& scale : song->scoreScale) scale = in.getF32();
    song->progressValue = in.getF32();
    for (auto& pair : song->progressThresholds) {
        for (f32& threshold : pair) threshold = in.getF32();
    }
    for (auto& pair : song->scoreTargets) {
        for (s32& target : pair) target = in.getS32();
    }
    for (s32& best : song->bestScores) best = in.getS32();
}

}  // namespace

std::vector<u8> encodeUserSave() {
    const SSongLibrary& library = g_SongLibrary;
    ClByteWriter out;
    // The songs are nearly all of it: room for them at once.
    size_t songBytes = 0;
    for (const SSongRecord& song : library.songs) {
        songBytes += SONG_RECORD_MIN_BYTES + 4 + song.fingerprint.size() +
                     2 * (song.path.size() + song.title.size() + song.artist.size() + song.album.size());
    }
    out.reserve(SAVE_HEAD_BYTES + library.collectibles.size() * (COLLECTIBLE_MIN_BYTES + ITEM_KEY_LENGTH) + songBytes);
    out.putU32(USER_SAVE_MAGIC);
    out.putU32(USER_SAVE_VERSION);
    putOptions(out, savedOptions());
    out.putText(library.credentials.loginName, CREDENTIAL_NAME_LENGTH);
    out.putBytes(library.credentials.passwordDigest, CREDENTIAL_DIGEST_BYTES);
    putBoss(out, library);
    out.putS32(library.barrelPhaseCount);
    for (const char* key : library.equippedItemKeys) out.putText(key, ITEM_KEY_LENGTH);
    out.putU32(u32(library.collectibles.size()));
    for (const SCollectibleRecord& item : library.collectibles) {
        out.putText(item.key, ITEM_KEY_LENGTH);
        out.putU32(item.keyHash);
        out.putU32(item.identified);
        out.putS32(item.currentLevel);
    }
    out.putU32(u32(library.songs.size()));
    for (const SSongRecord& song : library.songs) putSong(out, song);
    for (const SSongRecord& song : library.songs) {
        out.putU32(u32(song.fingerprint.size()));
        if (!song.fingerprint.empty()) out.putBytes(song.fingerprint.data(), u32(song.fingerprint.size()));
    }
    out.putU32(library.shownTips);
    return out.takeBytes();
}

bool decodeUserSave(const std::vector<u8>& content, bool withOptions) {
    ClByteReader in(content.data(), u32(content.size()));
    if (in.getU32() != USER_SAVE_MAGIC) return false;
    const u32 version = in.getU32();
    if (version < USER_SAVE_FIRST_VERSION || version > USER_SAVE_VERSION) return false;
    SSavedOptions options = savedOptions();
    SSongLibrary library = g_SongLibrary;
    getOptions(in, version, &options);
    const bool nameWhole = in.getText(library.credentials.loginName, CREDENTIAL_NAME_LENGTH);
    in.getBytes(library.credentials.passwordDigest, CREDENTIAL_DIGEST_BYTES);
    getBoss(in, &library);
    library.barrelPhaseCount = in.getS32();
    for (char* key : library.equippedItemKeys) in.getText(key, ITEM_KEY_LENGTH);
    library.collectibles.resize(in.getCount(COLLECTIBLE_MIN_BYTES));
    for (SCollectibleRecord& item : library.collectibles) {
        in.getText(item.key, ITEM_KEY_LENGTH);
        item.keyHash = in.getU32();
        item.identified = in.getU32();
        item.currentLevel = in.getS32();
    }
    library.songs.resize(in.getCount(SONG_RECORD_MIN_BYTES));
    for (SSongRecord& song : library.songs) getSong(in, &song);
    if (version >= 2) {
        for (SSongRecord& song : library.songs) {
            const u32 length = in.getU32();
            if (length > SONG_FINGERPRINT_MAX_BYTES) return false;
            song.fingerprint.resize(length);
            if (length > 0) in.getBytes(song.fingerprint.data(), length);
        }
    }
    // Saves written before the tips were kept end here.
    library.shownTips = 0;
    if (!in.failed() && !in.finishedCleanly()) library.shownTips = in.getU32();
    if (!in.finishedCleanly()) return false;

    SSaveMends mends;
    mendSavedOptions(&options, &mends);
    mendCredentials(&library, nameWhole, &mends);
    mendBossState(&library, &mends);
    mendProfile(&library, &mends);
    std::erase_if(library.songs, [&](SSongRecord& song) { return !mendSong(&song, &mends); });
    if (mends.count > 0) {
        std::fprintf(stderr, "velodrix: the user save held %u value%s out of range (first %s); %s mended\n", mends.count,
                     mends.count == 1 ? "" : "s", mends.first, mends.count == 1 ? "it is" : "they are");
    }
    g_SongLibrary = std::move(library);
    rebuildSongIndex();
    if (withOptions) setSavedOptions(options);
    return true;
}

s32 saveRead(u32 withOptions) {
    finishSaveWrites();
    std::u16string path;
    if (!buildUserDataPath(USER_SAVE_RELATIVE_PATH, &path)) return 0;
    std::vector<u8> content;
    const EDataFileRead read = readDataFile(path, USER_SAVE_TRAILER_VALUE, &content);
    if (read == E_DATAFILE_READ_MISSING) {
        g_damagedSaveInPlace = false;
        return 0;
    }
    if (read != E_DATAFILE_READ_OK || !decodeUserSave(content, withOptions != 0)) {
        // A damaged save that cannot be set aside is the only copy of the player's scores: no
        // write may replace it until a later read sets it aside.
        g_damagedSaveInPlace = !setDataFileAside(path);
        noteLibraryDamagedFile(E_DAMAGED_USER_SAVE);
        return 0;
    }
    g_damagedSaveInPlace = false;
    publishBossProgress();
    return 1;
}

s32 saveWrite(u32) {
    std::u16string path;
    if (!buildUserDataPath(USER_SAVE_RELATIVE_PATH, &path)) return noteLibraryWrite(E_DAMAGED_USER_SAVE, false, E_OSERR_INVALID_PARAMETER);
    if (g_damagedSaveInPlace) {
        noteLibraryWrite(E_DAMAGED_USER_SAVE, false, E_OSERR_ALREADY_EXISTS);
        return 0;
    }
    handSaveToWriter(std::move(path), encodeUserSave());
    return 1;
}
