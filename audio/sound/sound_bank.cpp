#include "audio/sound/sound_bank.h"

#include "audio/decode/codec_registry.h"
#include "audio/sound/sound_engine_internal.h"
#include "audio/sound/sound_package_read.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/file_status.h"
#include "core/name_hash.h"
#include "core/packages.h"

#include <cstdio>
#include <new>
#include <string>

namespace {

constexpr u32 SOUND_BANK_FILE_ALIGNMENT = 16;
constexpr u32 SAMPLE_FILE_ALIGNMENT = 16;
// The modes the engine's data is written with: memory samples 0x84A (0x852 positional),
// streamed samples 0x4A.
constexpr u32 MODE_MEMORY_SAMPLE = E_SOUNDMODE_OPENMEMORY | E_SOUNDMODE_SOFTWARE | E_SOUNDMODE_LOOP_NORMAL;
constexpr u32 MODE_STREAMED_SAMPLE = E_SOUNDMODE_SOFTWARE | E_SOUNDMODE_LOOP_NORMAL;

struct SSoundBankRecord {
    SSoundBankImage bank;
    u32 nameHash = 0;
    u32 poolIndex = 0;
};

struct SMusicFileSound {
    SSoundDefinition* definition = nullptr;
    u32 poolIndex = 0;
};

ClFixedPool<SSoundBankRecord, SOUND_BANK_POOL_SIZE> g_banks;
// The pool's table is not in load order once a bank is unloaded, and look-ups go by load order.
SSoundBankRecord* g_bankOrder[SOUND_BANK_POOL_SIZE];
u32 g_bankOrderCount = 0;
ClFixedPool<SMusicFileSound, MUSIC_FILE_SOUND_POOL_SIZE> g_musicSounds;

SSoundBankRecord* findBank(u32 nameHash) {
    for (u32 i = 0; i < g_bankOrderCount; ++i)
        if (g_bankOrder[i]->nameHash == nameHash) return g_bankOrder[i];
    return nullptr;
}

SMusicFileSound* findMusicRecord(u32 nameHash) {
    if (nameHash == 0) return nullptr;
    for (u32 i = 0; i < g_musicSounds.used; ++i)
        if (g_musicSounds.table[i]->definition->nameHash == nameHash) return g_musicSounds.table[i];
    return nullptr;
}

u32 sampleMode(u32 base, const SSoundDefinition* definition) {
    return base | (definition->positional ? E_SOUNDMODE_3D : E_SOUNDMODE_2D);
}

std::string narrowPath(const std::u16string& wide) {
    std::string narrow;
    for (char16_t unit : wide) narrow += unit < 256 ? char(unit) : '_';
    return narrow;
}

// A memory sound from a file of the packages.
ClSound createMemorySound(const char* path, u32 mode) {
    u32 size = 0;
    SAssetFile* file = readWholePackagedFile(path, SAMPLE_FILE_ALIGNMENT, &size);
    if (!file) return {};
    SCreateSoundInfo info{};
    info.length = size;
    ClSound sound;
    {
        ClSoundLock lock;
        getSoundEngineSystem()->createSound(file->data, mode, &info, &sound);
    }
    // The layer decodes the data whole, so the bytes are not needed afterwards.
    releaseAssetFile(file);
    return sound;
}

// A streamed sample of the packages: straight from the package's data file when the entry is
// stored plain, else (compressed or enciphered bytes cannot be streamed as they lie) read into
// memory.
ClSound createPackagedStream(const char* path, u32 memoryMode, u32 streamMode) {
    SAssetFile* file = nullptr;
    u32 size = 0;
    if (openPackagedFile(path, &size, &file, PACKAGE_ID_ANY) != E_FILESTATUS_OK || !file) return {};
    const SPackageEntry entry = file->entry;
    const std::string dataPath = file->package ? file->package->dataPath : "";
    releaseAssetFile(file);
    if (entry.compressed || entry.enciphered || dataPath.empty() || size == 0) return createMemorySound(path, memoryMode);

    SCreateSoundInfo info{};
    info.fileOffset = entry.dataOffset;
    info.length = entry.size;
    ClSound sound;
    ClSoundLock lock;
    getSoundEngineSystem()->createStream(dataPath.c_str(), streamMode, &info, &sound);
    return sound;
}

void createBankSample(SSoundSampleSlot* slot, const SSoundDefinition* definition, u32 index) {
    const std::string path = std::string("Audio/") + definition->fileNames[index];
    if (definition->stream)
        slot->sound = createPackagedStream(path.c_str(), sampleMode(MODE_MEMORY_SAMPLE, definition),
                                           sampleMode(MODE_STREAMED_SAMPLE, definition));
    else
        slot->sound = createMemorySound(path.c_str(), sampleMode(MODE_MEMORY_SAMPLE, definition));
}

std::u16string musicSamplePath(const SSoundDefinition* definition, u32 index, const char16_t* directory) {
    std::u16string path;
    if (directory) {
        path = directory;
    } else {
        path = getDataDirW();
        path += u"Audio\\";
    }
    if (definition->wideNames && definition->wideFileNames[index]) {
        path += definition->wideFileNames[index];
    } else {
        for (const char* c = definition->fileNames[index]; *c; ++c) path += char16_t(u8(*c));
    }
    return path;
}

void createMusicSample(SSoundInstance* instance, SSoundSampleSlot* slot, const SSoundDefinition* definition, u32 index,
                       const char16_t* directory) {
    const std::u16string widePath = musicSamplePath(definition, index, directory);
    std::string packagePath = narrowPath(widePath);
    removeDataDirPrefix(packagePath.data());
    packagePath.resize(std::char_traits<char>::length(packagePath.c_str()));

    if (!definition->stream) {
        slot->sound = createMemorySound(packagePath.c_str(), sampleMode(MODE_MEMORY_SAMPLE, definition));
        return;
    }
    s32 formatId = E_CODECFORMAT_NONE;
    findCodecFormatForPath(widePath.c_str(), &formatId);
    if (formatId != E_CODECFORMAT_NONE) {
        slot->musicStream = makeMusicStream(formatId, widePath.c_str());
        if (slot->musicStream) {
            addStreamedInstance(instance);
            return;
        }
    }
    if (packagedFileExists(packagePath.c_str(), PACKAGE_ID_ANY)) {
        slot->sound = createPackagedStream(packagePath.c_str(), sampleMode(MODE_MEMORY_SAMPLE, definition),
                                           sampleMode(MODE_STREAMED_SAMPLE, definition));
        return;
    }
    ClSoundLock lock;
    getSoundEngineSystem()->createStream(widePath.c_str(), sampleMode(MODE_STREAMED_SAMPLE | E_SOUNDMODE_UNICODE, definition),
                                         nullptr, &slot->sound);
}

void createSlotGroups(SSoundInstance* instance, SSoundSampleSlot* slot, const char* baseName, u32 index) {
    char name[SOUND_GROUP_NAME_CAPACITY];
    const u32 address = u32(reinterpret_cast<uintptr_t>(instance));
    ClSoundLock lock;
    ClSoundSystem* system = getSoundEngineSystem();
    std::snprintf(name, sizeof name, "%s_dry_%08X_%u", baseName, address, index);
    system->createChannelGroup(name, &slot->dryGroup);
    std::snprintf(name, sizeof name, "%s_wet_%08X_%u", baseName, address, index);
    system->createChannelGroup(name, &slot->wetGroup);
    ClChannelGroup master;
    system->getMasterChannelGroup(&master);
    master.addGroup(slot->dryGroup);
    // The dry group is shared by every voice of the sample: voices set their own channel's
    // volume, never the group's. The wet group is never connected and stays silent.
    slot->dryGroup.setVolume(1.0f);
    slot->wetGroup.setVolume(0.0f);
}

std::string sampleBaseName(const SSoundDefinition* definition, u32 index) {
    std::string name = definition->fileNames[index];
    if (definition->wideNames && definition->wideFileNames[index]) name = narrowPath(definition->wideFileNames[index]);
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

void releaseMusicRecord(SMusicFileSound* record) {
    SSoundDefinition* definition = record->definition;
    if (definition->instance) destroySoundInstance(definition->instance);
    definition->instance = nullptr;
    if (definition->wideNames) {
        for (char16_t*& name : definition->wideFileNames) {
            delete[] name;
            name = nullptr;
        }
    }
    record->definition = nullptr;
    g_musicSounds.release(record);
}

}  // namespace

SSoundInstance* createSoundInstance(SSoundDefinition* definition, f32 bankParameter, const char16_t* directory,
                                    bool musicFile) {
    SSoundInstance* instance = new (std::nothrow) SSoundInstance;
    if (!instance) return nullptr;
    instance->definition = definition;
    instance->bankParameter = bankParameter;
    instance->voices.init();
    const u32 count = definition->sampleCount < SOUND_DEFINITION_MAX_SAMPLES ? definition->sampleCount
                                                                           : SOUND_DEFINITION_MAX_SAMPLES;
    for (u32 i = 0; i < count; ++i) {
        SSoundSampleSlot* slot = &instance->slots[i];
        slot->index = i;
        const std::string baseName = sampleBaseName(definition, i);
        if (definition->timelineFlags[i] && timelineDataLoad(baseName.c_str(), nullptr)) {
            slot->hasTimeline = true;
            slot->timelineHash = crc32TextNoCase(baseName.c_str());
        }
        if (musicFile)
            createMusicSample(instance, slot, definition, i, directory);
        else
            createBankSample(slot, definition, i);
        if (slot->sound || slot->musicStream) createSlotGroups(instance, slot, baseName.c_str(), i);
    }
    return instance;
}

void destroySoundInstance(SSoundInstance* instance) {
    if (!instance) return;
    freeInstanceVoices(instance);
    if (instance->streamed) removeStreamedInstance(instance);
    ClSoundLock lock;
    for (SSoundSampleSlot& slot : instance->slots) {
        if (slot.musicStream) {
            // The player owns its stream: releasing it releases the sound and the decode job.
            slot.musicStream->release();
            delete slot.musicStream;
            slot.musicStream = nullptr;
            slot.sound = {};
        }
        if (slot.sound) slot.sound.release();
        if (slot.dryGroup) slot.dryGroup.release();
        if (slot.wetGroup) slot.wetGroup.release();
    }
    delete instance;
}

void soundBanksInit() {
    g_banks.init();
    g_bankOrderCount = 0;
    g_musicSounds.init();
}

void soundBanksShutdown() {
    while (g_musicSounds.used) releaseMusicRecord(g_musicSounds.table[g_musicSounds.used - 1]);
    while (g_bankOrderCount) unloadSoundBank(g_bankOrder[g_bankOrderCount - 1]->nameHash);
}

s32 loadSoundBank(const char* name, u32 flag) {
    if (flag != 0) fatalErrorf("loadSoundBank: flag %u for bank \"%s\" is not 0", flag, name ? name : "");
    if (!name || !name[0] || !isAudioEngineRunning()) return 0;
    const u32 nameHash = crc32TextNoCase(name);
    if (findBank(nameHash)) return 0;
    SSoundBankRecord* record = g_banks.take();
    if (!record) return 0;

    const std::string path = std::string("Audio/") + name + ".iAudioSB";
    u32 size = 0;
    SAssetFile* file = readWholePackagedFile(path.c_str(), SOUND_BANK_FILE_ALIGNMENT, &size);
    if (!file) {
        g_banks.release(record);
        return 0;
    }
    const ESoundDataError error = soundBankParse(file->data, size, &record->bank);
    releaseAssetFile(file);
    if (error != E_SOUNDDATA_OK) {
        std::fprintf(stderr, "sound bank \"%s\" refused: %s\n", path.c_str(), soundDataErrorText(error));
        record->bank = SSoundBankImage{};
        g_banks.release(record);
        return 0;
    }

    record->nameHash = nameHash;
    for (SSoundDefinition& definition : record->bank.definitions) {
        definition.instance = createSoundInstance(&definition, record->bank.parameter, nullptr, false);
        if (!definition.instance) fatalErrorf("sound bank \"%s\": no memory for a sound instance", path.c_str());
    }
    g_bankOrder[g_bankOrderCount++] = record;
    return 1;
}

s32 unloadSoundBank(u32 nameHash) {
    SSoundBankRecord* record = findBank(nameHash);
    if (!record) return 0;
    for (SSoundDefinition& definition : record->bank.definitions) {
        destroySoundInstance(definition.instance);
        definition.instance = nullptr;
    }
    record->bank = SSoundBankImage{};
    record->nameHash = 0;
    u32 position = 0;
    while (g_bankOrder[position] != record) ++position;
    for (; position + 1 < g_bankOrderCount; ++position) g_bankOrder[position] = g_bankOrder[position + 1];
    --g_bankOrderCount;
    g_banks.release(record);
    return 1;
}

SSoundDefinition* findSoundInBanks(u32 nameHash) {
    for (u32 b = 0; b < g_bankOrderCount; ++b) {
        SSoundBankImage& bank = g_bankOrder[b]->bank;
        for (const SSoundBankEntryRecord& entry : bank.entries)
            if (entry.nameHash == nameHash) return &bank.definitions[entry.definitionIndex];
    }
    return nullptr;
}


s32 createMusicFileSound(const char16_t*, SSoundDefinition* definition, const char16_t* directory, u32 lockFlag) {
    if (!definition || !isAudioEngineRunning()) return 0;
    if (lockFlag) critSectionEnter(getSoundEngineLock());
    s32 result = 0;
    if (definition->instance) {
        SMusicFileSound* previous = nullptr;
        for (u32 i = 0; i < g_musicSounds.used; ++i)
            if (g_musicSounds.table[i]->definition == definition) previous = g_musicSounds.table[i];
        destroySoundInstance(definition->instance);
        definition->instance = nullptr;
        if (previous) {
            previous->definition = nullptr;
            g_musicSounds.release(previous);
        }
    }
    if (SMusicFileSound* record = g_musicSounds.take()) {
        definition->instance = createSoundInstance(definition, 0.0f, directory, true);
        if (definition->instance) {
            record->definition = definition;
            result = 1;
        } else {
            g_musicSounds.release(record);
        }
    }
    if (lockFlag) critSectionLeave(getSoundEngineLock());
    return result;
}

s32 unloadSoundDefinition(SSoundDefinition* definition, u32 lockFlag) {
    if (!definition || !isAudioEngineRunning()) return 0;
    if (lockFlag) critSectionEnter(getSoundEngineLock());
    SMusicFileSound* record = findMusicRecord(definition->nameHash);
    if (record) releaseMusicRecord(record);
    if (lockFlag) critSectionLeave(getSoundEngineLock());
    return record ? 1 : 0;
}

SSoundDefinition* findMusicFileSound(u32 nameHash) {
    SMusicFileSound* record = findMusicRecord(nameHash);
    return record ? record->definition : nullptr;
}
