// Sound banks ("Audio/<name>.iAudioSB") and timeline data ("Audio/<name>.iAudioTD"): their byte
// layout, the checks the game makes before it trusts an image, the native records an image is
// parsed into, and the images the bank writer builds. The game's loader and the tool in tools/
// both use this module, so the two cannot drift.
//
// Words are little-endian and 32 bits; offsets are from the start of the image. An image is never
// relocated: it is parsed into native records, and the stored offsets stay offsets.
//
// Bank:
//   +0 offset of the entry table   +4 (free)  +8 bank name hash (crc32TextNoCase)
//   +12, +16 (free)                +20 entry count   +24 bank parameter (f32)   +28 (free)
// Entry (32 bytes): +0 cue name hash, +8 offset of its definition; the rest free.
// Definition (SOUND_DEFINITION_SIZE bytes):
//   0-31 eight pointer slots (0 in files)   128 instance word (0 in files)
//   136 name hash   140 positional flag   144 sample count (1 to 8)   148 wide-names flag (0)
//   152 + 64i sample file name, zero-terminated, with its extension
//   664 + 4i selection weight   696 + 4i timeline flag   728 + 4i length in seconds (-1 unknown)
//   760 + 4i default frequency (-1 until known)
//   796 loop   800 stream   804 fixed volume   808 volume mode   812, 816 random volume bounds
//   820 fixed pitch   824 pitch mode   828, 832 pitch bounds
//   836 fixed pan   840 pan mode   844, 848 pan bounds
//   852 volume-scale slot count (0 to 8), slots from 856
//   888 volume-envelope segment count (written 0, not read)
//   1152 input-mix entry count (0 to 8), entries of SOUND_INPUT_MIX_ENTRY_SIZE bytes from 1156:
//        +0 fixed level (f32)  +4 level mode  +8, +12 random level bounds (f32)
//        +16 volume-scale slot count (0 to 8)  +20 slots (8 words)  rest free
//   The input-mix entry i is the gain of the sample's input channel i.
//
// Timeline data:
//   +0 offset of the track array   +12 track count
// Track (24 bytes): +0 offset of the event times (f32 seconds, ascending), +8 event id,
//   +12 event count; the rest free.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

struct SSoundInstance;

constexpr u32 SOUND_BANK_HEADER_SIZE = 32;
constexpr u32 SOUND_BANK_ENTRY_SIZE = 32;
constexpr u32 SOUND_DEFINITION_MAX_SAMPLES = 8;
constexpr u32 SOUND_SAMPLE_NAME_SIZE = 64;
constexpr u32 SOUND_DEFINITION_SCALE_CAPACITY = 8;
constexpr u32 SOUND_INPUT_MIX_CAPACITY = 8;
constexpr u32 SOUND_INPUT_MIX_ENTRY_SIZE = 128;  // 32 words
constexpr u32 SOUND_DEFINITION_INPUT_MIX_OFFSET = 1156;
// 1156 + 8 x 128 = 2180, rounded up to 16.
constexpr u32 SOUND_DEFINITION_SIZE = 2192;

constexpr u32 TIMELINE_HEADER_SIZE = 16;
constexpr u32 TIMELINE_TRACK_SIZE = 24;
// Tracks of one timeline: a player keeps a fixed state per track.
constexpr u32 TIMELINE_MAX_TRACKS = 32;

// The engine's ten volume-scale slots. The options (DISABLE_MUSIC, DISABLE_SFX, DISABLE_VOICE)
// set the base factors of the music, effects and voice slots; the song's own definition lists
// the music slot and the song-volume slot.
constexpr u32 SOUND_VOLUME_SCALE_COUNT = 10;
enum ESoundVolumeScale : u32 {
    E_SOUNDSCALE_MUSIC = 0,
    E_SOUNDSCALE_SONG_VOLUME = 1,
    E_SOUNDSCALE_EFFECTS = 2,
    E_SOUNDSCALE_VOICE = 3,
};
// The slot of a name (case-insensitive), or -1.
s32 soundVolumeScaleFromName(const char* name);

// A level, volume, pitch or pan: the fixed value when the mode is 0, else a random value
// between the bounds.
struct SSoundRandomValue {
    f32 fixed = 1.0f;
    u32 mode = 0;
    f32 low = 1.0f;
    f32 high = 1.0f;
};

struct SSoundInputMix {
    SSoundRandomValue level;
    u32 scaleCount = 0;
    u32 scaleSlots[SOUND_DEFINITION_SCALE_CAPACITY] = {};
};

// A sound definition in memory. Bank definitions are parsed from an image; the song's and the
// preview's are built by code, which may set the wide names and the owning flag.
struct SSoundDefinition {
    // Code-built definitions: heap wide file names, owned by the definition while wideNames is
    // set (they are then used instead of fileNames).
    char16_t* wideFileNames[SOUND_DEFINITION_MAX_SAMPLES] = {};
    SSoundInstance* instance = nullptr;
    u32 nameHash = 0;
    u32 positional = 0;
    u32 sampleCount = 0;
    u32 wideNames = 0;
    char fileNames[SOUND_DEFINITION_MAX_SAMPLES][SOUND_SAMPLE_NAME_SIZE] = {};
    f32 weights[SOUND_DEFINITION_MAX_SAMPLES] = {};
    u32 timelineFlags[SOUND_DEFINITION_MAX_SAMPLES] = {};
    f32 lengths[SOUND_DEFINITION_MAX_SAMPLES] = {};
    f32 defaultFrequencies[SOUND_DEFINITION_MAX_SAMPLES] = {};
    u32 loop = 0;
    u32 stream = 0;
    SSoundRandomValue volume;
    SSoundRandomValue pitch;
    SSoundRandomValue pan{0.0f, 0, 0.0f, 0.0f};
    u32 scaleCount = 0;
    u32 scaleSlots[SOUND_DEFINITION_SCALE_CAPACITY] = {};
    u32 inputMixCount = 0;
    SSoundInputMix inputMix[SOUND_INPUT_MIX_CAPACITY] = {};
};

// ---------------------------------------------------------------------------------------------
// Reading

enum ESoundDataError : u32 {
    E_SOUNDDATA_OK = 0,
    E_SOUNDDATA_TOO_SHORT,            // smaller than the header, or 4 GiB or more
    E_SOUNDDATA_TABLE_PAST_END,       // entry or track table beyond the image
    E_SOUNDDATA_DEFINITION_PAST_END,  // a definition beyond the image
    E_SOUNDDATA_BAD_SAMPLE_COUNT,     // not 1 to 8
    E_SOUNDDATA_BAD_SAMPLE_NAME,      // empty, or not terminated within its 64 bytes
    E_SOUNDDATA_BAD_COUNT,            // a volume-scale or input-mix count above 8, or more than
                                      // TIMELINE_MAX_TRACKS tracks
    E_SOUNDDATA_BAD_NUMBER,           // a weight, length, frequency, volume, pitch or pan not finite
    E_SOUNDDATA_WIDE_NAMES,           // the wide-names flag set: a file holds no pointers
    E_SOUNDDATA_EVENTS_PAST_END,      // a track's event times beyond the image
    E_SOUNDDATA_EVENTS_NOT_ASCENDING, // an event time below the one before it, or not finite
};

const char* soundDataErrorText(ESoundDataError error);

struct SSoundBankEntryRecord {
    u32 nameHash = 0;
    u32 definitionIndex = 0;  // into SSoundBankImage::definitions
};

// A bank image parsed into native records. Each entry has its own definition, whose instance
// the loader sets.
struct SSoundBankImage {
    bool parsed = false;
    u32 nameHash = 0;
    f32 parameter = 0.0f;
    std::vector<SSoundBankEntryRecord> entries;
    std::vector<SSoundDefinition> definitions;
};

// Checks the whole image and fills the bank. On failure the bank is left empty with parsed
// false and the error says why.
ESoundDataError soundBankParse(const void* image, u64 imageSize, SSoundBankImage* outBank);
// Parses one definition at an offset (the same checks as inside a bank).
ESoundDataError soundDefinitionParse(const u8* image, u64 imageSize, u32 offset, SSoundDefinition* out);

struct STimelineTrack {
    u32 eventId = 0;
    std::vector<f32> times;  // seconds, ascending
};

struct STimelineImage {
    bool parsed = false;
    std::vector<STimelineTrack> tracks;
};

ESoundDataError timelineParse(const void* image, u64 imageSize, STimelineImage* outTimeline);

// ---------------------------------------------------------------------------------------------
// Writing (the tool's side)

struct SSoundBankInput {
    u32 nameHash = 0;
    SSoundDefinition definition;  // pointer slots and instance are written as 0
};

// The bank image: header, entry table, then the definitions in entry order, each on a 16-byte
// boundary. No entries give a valid empty bank.
std::vector<u8> soundBankBuild(u32 bankNameHash, f32 parameter, const std::vector<SSoundBankInput>& entries);
// Writes one definition's SOUND_DEFINITION_SIZE bytes at out.
void soundDefinitionWrite(const SSoundDefinition& definition, u8* out);

std::vector<u8> timelineBuild(const std::vector<STimelineTrack>& tracks);
