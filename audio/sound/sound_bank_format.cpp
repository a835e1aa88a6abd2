#include "audio/sound/sound_bank_format.h"

#include "core/package_format.h"

#include <cmath>
#include <cstring>
#include <strings.h>

namespace {

// Definition field offsets.
constexpr u32 DEF_NAME_HASH = 136;
constexpr u32 DEF_POSITIONAL = 140;
constexpr u32 DEF_SAMPLE_COUNT = 144;
constexpr u32 DEF_WIDE_NAMES = 148;
constexpr u32 DEF_FILE_NAMES = 152;
constexpr u32 DEF_WEIGHTS = 664;
constexpr u32 DEF_TIMELINE_FLAGS = 696;
constexpr u32 DEF_LENGTHS = 728;
constexpr u32 DEF_FREQUENCIES = 760;
constexpr u32 DEF_LOOP = 796;
constexpr u32 DEF_STREAM = 800;
constexpr u32 DEF_VOLUME = 804;
constexpr u32 DEF_PITCH = 820;
constexpr u32 DEF_PAN = 836;
constexpr u32 DEF_SCALE_COUNT = 852;
constexpr u32 DEF_SCALE_SLOTS = 856;
constexpr u32 DEF_ENVELOPE_COUNT = 888;
constexpr u32 DEF_INPUT_MIX_COUNT = 1152;

constexpr u32 MIX_SCALE_COUNT = 16;
constexpr u32 MIX_SCALE_SLOTS = 20;

constexpr u32 BANK_TABLE_OFFSET = 0;
constexpr u32 BANK_NAME_HASH = 8;
constexpr u32 BANK_ENTRY_COUNT = 20;
constexpr u32 BANK_PARAMETER = 24;
constexpr u32 BANK_MIN_SIZE = 28;  // the words a reader needs

constexpr u32 ENTRY_NAME_HASH = 0;
constexpr u32 ENTRY_DEFINITION = 8;

constexpr u32 TIMELINE_TABLE_OFFSET = 0;
constexpr u32 TIMELINE_TRACK_COUNT = 12;
constexpr u32 TRACK_TIMES = 0;
constexpr u32 TRACK_EVENT_ID = 8;
constexpr u32 TRACK_EVENT_COUNT = 12;

constexpr u32 DEFINITION_ALIGNMENT = 16;

const char* const SCALE_NAMES[SOUND_VOLUME_SCALE_COUNT] = {"music", "song", "effects", "voice"};

f32 loadF32(const u8* bytes) {
    const u32 word = loadLe32(bytes);
    f32 value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

void storeF32(u8* bytes, f32 value) {
    u32 word;
    std::memcpy(&word, &value, sizeof word);
    storeLe32(bytes, word);
}

bool readRandomValue(const u8* at, SSoundRandomValue* out) {
    out->fixed = loadF32(at);
    out->mode = loadLe32(at + 4);
    out->low = loadF32(at + 8);
    out->high = loadF32(at + 12);
    return std::isfinite(out->fixed) && std::isfinite(out->low) && std::isfinite(out->high);
}

void writeRandomValue(u8* at, const SSoundRandomValue& value) {
    storeF32(at, value.fixed);
    storeLe32(at + 4, value.mode);
    storeF32(at + 8, value.low);
    storeF32(at + 12, value.high);
}

u32 alignUp(u32 value, u32 alignment) { return (value + alignment - 1) / alignment * alignment; }

}  // namespace

s32 soundVolumeScaleFromName(const char* name) {
    if (!name) return -1;
    for (u32 slot = 0; slot < SOUND_VOLUME_SCALE_COUNT; ++slot)
        if (SCALE_NAMES[slot] && strcasecmp(SCALE_NAMES[slot], name) == 0) return s32(slot);
    return -1;
}

const char* soundDataErrorText(ESoundDataError error) {
    switch (error) {
    case E_SOUNDDATA_OK: return "no error";
    case E_SOUNDDATA_TOO_SHORT: return "shorter than its header";
    case E_SOUNDDATA_TABLE_PAST_END: return "table runs past the end of the file";
    case E_SOUNDDATA_DEFINITION_PAST_END: return "a sound definition runs past the end of the file";
    case E_SOUNDDATA_BAD_SAMPLE_COUNT: return "a sound definition has not 1 to 8 samples";
    case E_SOUNDDATA_BAD_SAMPLE_NAME: return "a sample file name is empty or unterminated";
    case E_SOUNDDATA_BAD_COUNT: return "a volume-scale, input-mix or track count is too large";
    case E_SOUNDDATA_BAD_NUMBER: return "a sound definition holds a number that is not finite";
    case E_SOUNDDATA_WIDE_NAMES: return "a sound definition claims wide file names";
    case E_SOUNDDATA_EVENTS_PAST_END: return "a track's event times run past the end of the file";
    case E_SOUNDDATA_EVENTS_NOT_ASCENDING: return "a track's event times are not ascending";
    }
    return "unknown error";
}

ESoundDataError soundDefinitionParse(const u8* image, u64 imageSize, u32 offset, SSoundDefinition* out) {
    *out = SSoundDefinition{};
    if (u64(offset) + SOUND_DEFINITION_SIZE > imageSize) return E_SOUNDDATA_DEFINITION_PAST_END;
    const u8* d = image + offset;

    out->nameHash = loadLe32(d + DEF_NAME_HASH);
    out->positional = loadLe32(d + DEF_POSITIONAL);
    out->sampleCount = loadLe32(d + DEF_SAMPLE_COUNT);
    if (out->sampleCount < 1 || out->sampleCount > SOUND_DEFINITION_MAX_SAMPLES) return E_SOUNDDATA_BAD_SAMPLE_COUNT;
    if (loadLe32(d + DEF_WIDE_NAMES) != 0) return E_SOUNDDATA_WIDE_NAMES;

    for (u32 i = 0; i < SOUND_DEFINITION_MAX_SAMPLES; ++i) {
        const u8* name = d + DEF_FILE_NAMES + SOUND_SAMPLE_NAME_SIZE * i;
        const void* terminator = std::memchr(name, 0, SOUND_SAMPLE_NAME_SIZE);
        // Unused slots are not read, but a used one must be a usable name.
        if (i < out->sampleCount && (!terminator || name[0] == 0)) return E_SOUNDDATA_BAD_SAMPLE_NAME;
        if (terminator) std::memcpy(out->fileNames[i], name, SOUND_SAMPLE_NAME_SIZE);

        out->weights[i] = loadF32(d + DEF_WEIGHTS + 4 * i);
        out->timelineFlags[i] = loadLe32(d + DEF_TIMELINE_FLAGS + 4 * i);
        out->lengths[i] = loadF32(d + DEF_LENGTHS + 4 * i);
        out->defaultFrequencies[i] = loadF32(d + DEF_FREQUENCIES + 4 * i);
        if (i < out->sampleCount &&
            !(std::isfinite(out->weights[i]) && std::isfinite(out->lengths[i]) &&
              std::isfinite(out->defaultFrequencies[i])))
            return E_SOUNDDATA_BAD_NUMBER;
    }

    out->loop = loadLe32(d + DEF_LOOP);
    out->stream = loadLe32(d + DEF_STREAM);
    if (!readRandomValue(d + DEF_VOLUME, &out->volume) || !readRandomValue(d + DEF_PITCH, &out->pitch) ||
        !readRandomValue(d + DEF_PAN, &out->pan))
        return E_SOUNDDATA_BAD_NUMBER;

    out->scaleCount = loadLe32(d + DEF_SCALE_COUNT);
    if (out->scaleCount > SOUND_DEFINITION_SCALE_CAPACITY) return E_SOUNDDATA_BAD_COUNT;
    for (u32 i = 0; i < out->scaleCount; ++i) out->scaleSlots[i] = loadLe32(d + DEF_SCALE_SLOTS + 4 * i);

    out->inputMixCount = loadLe32(d + DEF_INPUT_MIX_COUNT);
    if (out->inputMixCount > SOUND_INPUT_MIX_CAPACITY) return E_SOUNDDATA_BAD_COUNT;
    for (u32 i = 0; i < out->inputMixCount; ++i) {
        const u8* entry = d + SOUND_DEFINITION_INPUT_MIX_OFFSET + SOUND_INPUT_MIX_ENTRY_SIZE * i;
        SSoundInputMix& mix = out->inputMix[i];
        if (!readRandomValue(entry, &mix.level)) return E_SOUNDDATA_BAD_NUMBER;
        mix.scaleCount = loadLe32(entry + MIX_SCALE_COUNT);
        if (mix.scaleCount > SOUND_DEFINITION_SCALE_CAPACITY) return E_SOUNDDATA_BAD_COUNT;
        for (u32 s = 0; s < mix.scaleCount; ++s) mix.scaleSlots[s] = loadLe32(entry + MIX_SCALE_SLOTS + 4 * s);
    }
    return E_SOUNDDATA_OK;
}

ESoundDataError soundBankParse(const void* image, u64 imageSize, SSoundBankImage* outBank) {
    *outBank = SSoundBankImage{};
    if (!image || imageSize < BANK_MIN_SIZE || imageSize >= (u64(1) << 32)) return E_SOUNDDATA_TOO_SHORT;
    const u8* bytes = static_cast<const u8*>(image);

    const u32 tableOffset = loadLe32(bytes + BANK_TABLE_OFFSET);
    const u32 count = loadLe32(bytes + BANK_ENTRY_COUNT);
    if (u64(tableOffset) + u64(count) * SOUND_BANK_ENTRY_SIZE > imageSize) return E_SOUNDDATA_TABLE_PAST_END;
    // Every entry needs a whole definition, so the image bounds the count before anything is
    // allocated.
    if (u64(count) * SOUND_DEFINITION_SIZE > imageSize) return E_SOUNDDATA_DEFINITION_PAST_END;

    SSoundBankImage bank;
    bank.nameHash = loadLe32(bytes + BANK_NAME_HASH);
    bank.parameter = loadF32(bytes + BANK_PARAMETER);
    bank.entries.resize(count);
    bank.definitions.resize(count);
    for (u32 i = 0; i < count; ++i) {
        const u8* entry = bytes + tableOffset + u64(i) * SOUND_BANK_ENTRY_SIZE;
        bank.entries[i].nameHash = loadLe32(entry + ENTRY_NAME_HASH);
        bank.entries[i].definitionIndex = i;
        const ESoundDataError error =
            soundDefinitionParse(bytes, imageSize, loadLe32(entry + ENTRY_DEFINITION), &bank.definitions[i]);
        if (error != E_SOUNDDATA_OK) return error;
    }
    bank.parsed = true;
    *outBank = std::move(bank);
    return E_SOUNDDATA_OK;
}

ESoundDataError timelineParse(const void* image, u64 imageSize, STimelineImage* outTimeline) {
    *outTimeline = STimelineImage{};
    if (!image || imageSize < TIMELINE_HEADER_SIZE || imageSize >= (u64(1) << 32)) return E_SOUNDDATA_TOO_SHORT;
    const u8* bytes = static_cast<const u8*>(image);

    const u32 tableOffset = loadLe32(bytes + TIMELINE_TABLE_OFFSET);
    const u32 count = loadLe32(bytes + TIMELINE_TRACK_COUNT);
    if (u64(tableOffset) + u64(count) * TIMELINE_TRACK_SIZE > imageSize) return E_SOUNDDATA_TABLE_PAST_END;
    if (count > TIMELINE_MAX_TRACKS) return E_SOUNDDATA_BAD_COUNT;

    STimelineImage timeline;
    timeline.tracks.resize(count);
    for (u32 i = 0; i < count; ++i) {
        const u8* track = bytes + tableOffset + u64(i) * TIMELINE_TRACK_SIZE;
        const u32 timesOffset = loadLe32(track + TRACK_TIMES);
        const u32 eventCount = loadLe32(track + TRACK_EVENT_COUNT);
        if (u64(timesOffset) + u64(eventCount) * 4 > imageSize) return E_SOUNDDATA_EVENTS_PAST_END;
        STimelineTrack& out = timeline.tracks[i];
        out.eventId = loadLe32(track + TRACK_EVENT_ID);
        out.times.resize(eventCount);
        for (u32 e = 0; e < eventCount; ++e) {
            const f32 time = loadF32(bytes + timesOffset + 4 * u64(e));
            if (!std::isfinite(time) || (e > 0 && time < out.times[e - 1])) return E_SOUNDDATA_EVENTS_NOT_ASCENDING;
            out.times[e] = time;
        }
    }
    timeline.parsed = true;
    *outTimeline = std::move(timeline);
    return E_SOUNDDATA_OK;
}

void soundDefinitionWrite(const SSoundDefinition& definition, u8* out) {
    std::memset(out, 0, SOUND_DEFINITION_SIZE);
    storeLe32(out + DEF_NAME_HASH, definition.nameHash);
    storeLe32(out + DEF_POSITIONAL, definition.positional);
    storeLe32(out + DEF_SAMPLE_COUNT, definition.sampleCount);
    for (u32 i = 0; i < SOUND_DEFINITION_MAX_SAMPLES; ++i) {
        u8* name = out + DEF_FILE_NAMES + SOUND_SAMPLE_NAME_SIZE * i;
        std::memcpy(name, definition.fileNames[i], SOUND_SAMPLE_NAME_SIZE - 1);
        name[SOUND_SAMPLE_NAME_SIZE - 1] = 0;
        storeF32(out + DEF_WEIGHTS + 4 * i, definition.weights[i]);
        storeLe32(out + DEF_TIMELINE_FLAGS + 4 * i, definition.timelineFlags[i]);
        storeF32(out + DEF_LENGTHS + 4 * i, definition.lengths[i]);
        storeF32(out + DEF_FREQUENCIES + 4 * i, definition.defaultFrequencies[i]);
    }
    storeLe32(out + DEF_LOOP, definition.loop);
    storeLe32(out + DEF_STREAM, definition.stream);
    writeRandomValue(out + DEF_VOLUME, definition.volume);
    writeRandomValue(out + DEF_PITCH, definition.pitch);
    writeRandomValue(out + DEF_PAN, definition.pan);
    storeLe32(out + DEF_SCALE_COUNT, definition.scaleCount);
    for (u32 i = 0; i < definition.scaleCount && i < SOUND_DEFINITION_SCALE_CAPACITY; ++i)
        storeLe32(out + DEF_SCALE_SLOTS + 4 * i, definition.scaleSlots[i]);
    storeLe32(out + DEF_ENVELOPE_COUNT, 0);
    storeLe32(out + DEF_INPUT_MIX_COUNT, definition.inputMixCount);
    for (u32 i = 0; i < definition.inputMixCount && i < SOUND_INPUT_MIX_CAPACITY; ++i) {
        u8* entry = out + SOUND_DEFINITION_INPUT_MIX_OFFSET + SOUND_INPUT_MIX_ENTRY_SIZE * i;
        const SSoundInputMix& mix = definition.inputMix[i];
        writeRandomValue(entry, mix.level);
        storeLe32(entry + MIX_SCALE_COUNT, mix.scaleCount);
        for (u32 s = 0; s < mix.scaleCount && s < SOUND_DEFINITION_SCALE_CAPACITY; ++s)
            storeLe32(entry + MIX_SCALE_SLOTS + 4 * s, mix.scaleSlots[s]);
    }
}

std::vector<u8> soundBankBuild(u32 bankNameHash, f32 parameter, const std::vector<SSoundBankInput>& entries) {
    const u32 count = u32(entries.size());
    const u32 tableOffset = SOUND_BANK_HEADER_SIZE;
    const u32 firstDefinition = alignUp(tableOffset + count * SOUND_BANK_ENTRY_SIZE, DEFINITION_ALIGNMENT);
    std::vector<u8> image(firstDefinition + size_t(count) * SOUND_DEFINITION_SIZE, 0);

    storeLe32(&image[BANK_TABLE_OFFSET], tableOffset);
    storeLe32(&image[BANK_NAME_HASH], bankNameHash);
    storeLe32(&image[BANK_ENTRY_COUNT], count);
    storeF32(&image[BANK_PARAMETER], parameter);
    for (u32 i = 0; i < count; ++i) {
        const u32 definitionOffset = firstDefinition + i * SOUND_DEFINITION_SIZE;
        u8* entry = &image[tableOffset + i * SOUND_BANK_ENTRY_SIZE];
        storeLe32(entry + ENTRY_NAME_HASH, entries[i].nameHash);
        storeLe32(entry + ENTRY_DEFINITION, definitionOffset);
        soundDefinitionWrite(entries[i].definition, &image[definitionOffset]);
    }
    return image;
}

std::vector<u8> timelineBuild(const std::vector<STimelineTrack>& tracks) {
    const u32 count = u32(tracks.size());
    u32 size = TIMELINE_HEADER_SIZE + count * TIMELINE_TRACK_SIZE;
    for (const STimelineTrack& track : tracks) size += u32(track.times.size()) * 4;
    std::vector<u8> image(size, 0);

    storeLe32(&image[TIMELINE_TABLE_OFFSET], TIMELINE_HEADER_SIZE);
    storeLe32(&image[TIMELINE_TRACK_COUNT], count);
    u32 timesOffset = TIMELINE_HEADER_SIZE + count * TIMELINE_TRACK_SIZE;
    for (u32 i = 0; i < count; ++i) {
        u8* track = &image[TIMELINE_HEADER_SIZE + i * TIMELINE_TRACK_SIZE];
        const STimelineTrack& source = tracks[i];
        storeLe32(track + TRACK_TIMES, timesOffset);
        storeLe32(track + TRACK_EVENT_ID, source.eventId);
        storeLe32(track + TRACK_EVENT_COUNT, u32(source.times.size()));
        for (f32 time : source.times) {
            storeF32(&image[timesOffset], time);
            timesOffset += 4;
        }
    }
    return image;
}
