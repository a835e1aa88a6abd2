// The bank writer's side: a readable cue list becomes a sound bank image (audio/
// sound_bank_format.h) and its optional timeline images. Used by tools/sound_bank_writer.
//
// A cue list, one statement a line, '#' starting a comment:
//
//   bank ZUNO_SFX                     the bank's name (its hash is stored); once, first
//   parameter 0.5                     the bank parameter (optional, 0)
//   cue PlayerImpact                  starts a cue; the lines below belong to it
//     sample player_impact.wav 1      a sample file (under "Audio/") and its selection weight;
//                                     "timeline" after the weight loads "<base>.iAudioTD"
//     volume 0.8 | volume random 0.6 0.9     also pitch and pan
//     loop | stream | positional      flags
//     scale effects                   volume-scale slots by name (music, song, effects, voice)
//                                     or number 0 to 9
//     mix 1 | mix random 0.5 1 [scale NAME...]   one input-channel gain per line
//   timeline player_impact            a timeline image "<name>.iAudioTD"
//     track 7 0 0.25 0.5              event id, then ascending event times in seconds
//
// Defaults: volume 1, pitch 1, pan 0, no flags, no slots. A cue's weights are scaled to add up
// to 1. The writer measures every sample (length in seconds, default frequency) from its WAV
// header, so the game never sees -1 in either.
#pragma once

#include "audio/sound/sound_bank_format.h"
#include "core/types.h"

#include <string>
#include <vector>

struct SSoundCueSource {
    std::string name;
    u32 line = 0;
    SSoundDefinition definition;
};

struct SSoundTimelineSource {
    std::string name;
    u32 line = 0;
    std::vector<STimelineTrack> tracks;
};

struct SSoundBankSource {
    std::string bankName;
    f32 parameter = 0.0f;
    std::vector<SSoundCueSource> cues;
    std::vector<SSoundTimelineSource> timelines;
};

// Parses a cue list. False with "<file>:<line>: <reason>" for an unknown statement, a bad number,
// a duplicate cue name or name hash, too many samples, slots or mixes, a name that does not fit
// the definition, a missing bank line, or a flagged sample without a timeline.
bool soundCueListParse(const char* fileName, const std::string& text, SSoundBankSource* out, std::string* outError);

// Length in seconds and frames per second of a PCM WAV file's data. False with a reason when
// the file cannot be read or is not PCM.
bool soundSampleMeasureWav(const std::string& path, f32* outSeconds, f32* outFrequency, std::string* outError);

// Fills every cue's lengths and default frequencies from the samples in the folder.
bool soundBankMeasureSamples(SSoundBankSource* bank, const std::string& sampleFolder, std::string* outError);

// The bank image of the parsed list.
std::vector<u8> soundBankSourceBuild(const SSoundBankSource& bank);
