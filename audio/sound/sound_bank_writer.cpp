#include "audio/sound/sound_bank_writer.h"

#include "core/name_hash.h"
#include "core/package_format.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <strings.h>

namespace {

constexpr u32 WAV_FORMAT_PCM = 1;
constexpr u32 WAV_FORMAT_EXTENSIBLE = 0xFFFE;
constexpr u32 WAV_MIN_FORMAT_SIZE = 16;

struct SLineParser {
    const char* fileName;
    u32 line;
    std::string* error;

    bool fail(const std::string& reason) const {
        *error = std::string(fileName) + ":" + std::to_string(line) + ": " + reason;
        return false;
    }
};

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream stream(text);
    std::string word;
    while (stream >> word) words.push_back(word);
    return words;
}

bool parseFloat(const std::string& text, f32* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const f32 value = std::strtof(text.c_str(), &end);
    if (errno != 0 || *end != 0 || !std::isfinite(value)) return false;
    *out = value;
    return true;
}

bool parseUnsigned(const std::string& text, u32* out) {
    if (text.empty() || text[0] == '-') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || value > 0xFFFFFFFFul) return false;
    *out = u32(value);
    return true;
}

// "volume 0.8" or "volume random 0.6 0.9", from word 1 on; consumes the words it reads.
bool parseRandomValue(const SLineParser& p, const std::vector<std::string>& words, size_t* index,
                      SSoundRandomValue* out) {
    size_t i = *index;
    if (i < words.size() && words[i] == "random") {
        f32 low, high;
        if (i + 2 >= words.size() || !parseFloat(words[i + 1], &low) || !parseFloat(words[i + 2], &high))
            return p.fail("'random' needs two numbers");
        if (low > high) return p.fail("random bounds are reversed");
        *out = SSoundRandomValue{low, 1, low, high};
        *index = i + 3;
        return true;
    }
    f32 value;
    if (i >= words.size() || !parseFloat(words[i], &value)) return p.fail("a number is expected");
    *out = SSoundRandomValue{value, 0, value, value};
    *index = i + 1;
    return true;
}

bool parseScaleSlot(const SLineParser& p, const std::string& word, u32* out) {
    const s32 named = soundVolumeScaleFromName(word.c_str());
    if (named >= 0) {
        *out = u32(named);
        return true;
    }
    u32 number;
    if (!parseUnsigned(word, &number) || number >= SOUND_VOLUME_SCALE_COUNT)
        return p.fail("unknown volume-scale slot '" + word + "'");
    *out = number;
    return true;
}

bool parseScaleList(const SLineParser& p, const std::vector<std::string>& words, size_t first, u32* count,
                    u32* slots) {
    for (size_t i = first; i < words.size(); ++i) {
        if (*count >= SOUND_DEFINITION_SCALE_CAPACITY) return p.fail("more than 8 volume-scale slots");
        if (!parseScaleSlot(p, words[i], &slots[*count])) return false;
        ++*count;
    }
    return true;
}

std::string baseName(const char* fileName) {
    std::string name = fileName;
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool parseCueLine(const SLineParser& p, const std::vector<std::string>& words, SSoundCueSource* cue) {
    SSoundDefinition& d = cue->definition;
    const std::string& keyword = words[0];
    if (keyword == "sample") {
        if (words.size() < 2 || words.size() > 4) return p.fail("'sample' takes a file name, a weight and 'timeline'");
        if (d.sampleCount >= SOUND_DEFINITION_MAX_SAMPLES) return p.fail("more than 8 samples");
        if (words[1].size() >= SOUND_SAMPLE_NAME_SIZE) return p.fail("sample file name longer than 63 characters");
        f32 weight = 1.0f;
        if (words.size() >= 3 && (!parseFloat(words[2], &weight) || weight < 0.0f))
            return p.fail("bad sample weight");
        if (words.size() == 4 && words[3] != "timeline") return p.fail("unknown sample option '" + words[3] + "'");
        const u32 i = d.sampleCount++;
        std::strncpy(d.fileNames[i], words[1].c_str(), SOUND_SAMPLE_NAME_SIZE - 1);
        d.weights[i] = weight;
        d.timelineFlags[i] = words.size() == 4 ? 1 : 0;
        d.lengths[i] = -1.0f;
        d.defaultFrequencies[i] = -1.0f;
        return true;
    }
    if (keyword == "volume" || keyword == "pitch" || keyword == "pan") {
        SSoundRandomValue* value = keyword == "volume" ? &d.volume : keyword == "pitch" ? &d.pitch : &d.pan;
        size_t index = 1;
        if (!parseRandomValue(p, words, &index, value)) return false;
        if (index != words.size()) return p.fail("too many words");
        return true;
    }
    if (keyword == "loop" || keyword == "stream" || keyword == "positional") {
        if (words.size() != 1) return p.fail("'" + keyword + "' takes nothing");
        (keyword == "loop" ? d.loop : keyword == "stream" ? d.stream : d.positional) = 1;
        return true;
    }
    if (keyword == "scale") {
        if (words.size() < 2) return p.fail("'scale' needs a slot");
        return parseScaleList(p, words, 1, &d.scaleCount, d.scaleSlots);
    }
    if (keyword == "mix") {
        if (d.inputMixCount >= SOUND_INPUT_MIX_CAPACITY) return p.fail("more than 8 input-mix entries");
        SSoundInputMix& mix = d.inputMix[d.inputMixCount];
        size_t index = 1;
        if (!parseRandomValue(p, words, &index, &mix.level)) return false;
        if (index < words.size()) {
            if (words[index] != "scale" || index + 1 >= words.size()) return p.fail("'mix' continues with 'scale'");
            if (!parseScaleList(p, words, index + 1, &mix.scaleCount, mix.scaleSlots)) return false;
        }
        ++d.inputMixCount;
        return true;
    }
    return p.fail("unknown statement '" + keyword + "'");
}

bool parseTrackLine(const SLineParser& p, const std::vector<std::string>& words, SSoundTimelineSource* timeline) {
    if (words[0] != "track") return p.fail("unknown statement '" + words[0] + "' in a timeline");
    STimelineTrack track;
    if (words.size() < 2 || !parseUnsigned(words[1], &track.eventId)) return p.fail("'track' needs an event id");
    for (size_t i = 2; i < words.size(); ++i) {
        f32 time;
        if (!parseFloat(words[i], &time) || time < 0.0f) return p.fail("bad event time '" + words[i] + "'");
        if (!track.times.empty() && time < track.times.back()) return p.fail("event times must ascend");
        track.times.push_back(time);
    }
    timeline->tracks.push_back(std::move(track));
    return true;
}

// Whole-list checks once every line is read.
bool checkCueList(const char* fileName, SSoundBankSource* bank, std::string* outError) {
    const SLineParser top{fileName, 1, outError};
    if (bank->bankName.empty()) return top.fail("no 'bank' line");
    for (size_t c = 0; c < bank->cues.size(); ++c) {
        SSoundCueSource& cue = bank->cues[c];
        const SLineParser p{fileName, cue.line, outError};
        SSoundDefinition& d = cue.definition;
        if (d.sampleCount == 0) return p.fail("cue '" + cue.name + "' has no sample");
        for (size_t other = 0; other < c; ++other)
            if (bank->cues[other].definition.nameHash == d.nameHash)
                return p.fail("cue '" + cue.name + "' has the name hash of '" + bank->cues[other].name + "'");
        f32 total = 0.0f;
        for (u32 i = 0; i < d.sampleCount; ++i) total += d.weights[i];
        if (!(total > 0.0f)) return p.fail("cue '" + cue.name + "' has no positive weight");
        for (u32 i = 0; i < d.sampleCount; ++i) d.weights[i] /= total;
        for (u32 i = 0; i < d.sampleCount; ++i) {
            if (!d.timelineFlags[i]) continue;
            const std::string base = baseName(d.fileNames[i]);
            bool found = false;
            for (const SSoundTimelineSource& timeline : bank->timelines)
                found = found || strcasecmp(timeline.name.c_str(), base.c_str()) == 0;
            if (!found) return p.fail("sample '" + std::string(d.fileNames[i]) + "' has no timeline '" + base + "'");
        }
    }
    return true;
}

}  // namespace

bool soundCueListParse(const char* fileName, const std::string& text, SSoundBankSource* out, std::string* outError) {
    *out = SSoundBankSource{};
    SSoundCueSource* cue = nullptr;
    SSoundTimelineSource* timeline = nullptr;
    std::istringstream lines(text);
    std::string lineText;
    u32 lineNumber = 0;
    while (std::getline(lines, lineText)) {
        ++lineNumber;
        const size_t hash = lineText.find('#');
        if (hash != std::string::npos) lineText.resize(hash);
        const std::vector<std::string> words = splitWords(lineText);
        if (words.empty()) continue;
        const SLineParser p{fileName, lineNumber, outError};
        const std::string& keyword = words[0];

        if (keyword == "bank") {
            if (words.size() != 2) return p.fail("'bank' takes one name");
            if (!out->bankName.empty()) return p.fail("a second 'bank' line");
            out->bankName = words[1];
        } else if (keyword == "parameter") {
            if (words.size() != 2 || !parseFloat(words[1], &out->parameter)) return p.fail("'parameter' takes a number");
        } else if (keyword == "cue") {
            if (words.size() != 2) return p.fail("'cue' takes one name");
            for (const SSoundCueSource& other : out->cues)
                if (strcasecmp(other.name.c_str(), words[1].c_str()) == 0) return p.fail("cue '" + words[1] + "' given twice");
            out->cues.emplace_back();
            cue = &out->cues.back();
            timeline = nullptr;
            cue->name = words[1];
            cue->line = lineNumber;
            cue->definition.nameHash = crc32TextNoCase(words[1].c_str());
        } else if (keyword == "timeline") {
            if (words.size() != 2) return p.fail("'timeline' takes one name");
            for (const SSoundTimelineSource& other : out->timelines)
                if (strcasecmp(other.name.c_str(), words[1].c_str()) == 0) return p.fail("timeline '" + words[1] + "' given twice");
            out->timelines.emplace_back();
            timeline = &out->timelines.back();
            cue = nullptr;
            timeline->name = words[1];
            timeline->line = lineNumber;
        } else if (cue) {
            if (!parseCueLine(p, words, cue)) return false;
        } else if (timeline) {
            if (!parseTrackLine(p, words, timeline)) return false;
        } else {
            return p.fail("'" + keyword + "' outside a cue");
        }
    }
    return checkCueList(fileName, out, outError);
}

bool soundSampleMeasureWav(const std::string& path, f32* outSeconds, f32* outFrequency, std::string* outError) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *outError = path + ": cannot be read";
        return false;
    }
    const std::vector<u8> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(&bytes[0], "RIFF", 4) != 0 || std::memcmp(&bytes[8], "WAVE", 4) != 0) {
        *outError = path + ": not a RIFF WAVE file";
        return false;
    }
    u32 rate = 0, blockAlign = 0, formatTag = 0;
    u64 dataSize = 0;
    bool haveFormat = false, haveData = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const u32 chunkSize = loadLe32(&bytes[at + 4]);
        const u64 available = bytes.size() - (at + 8);
        const u8* body = &bytes[at + 8];
        if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && chunkSize >= WAV_MIN_FORMAT_SIZE && available >= WAV_MIN_FORMAT_SIZE) {
            formatTag = u32(body[0]) | u32(body[1]) << 8;
            rate = loadLe32(body + 4);
            blockAlign = u32(body[12]) | u32(body[13]) << 8;
            haveFormat = true;
        } else if (std::memcmp(&bytes[at], "data", 4) == 0) {
            dataSize = chunkSize < available ? chunkSize : available;
            haveData = true;
        }
        at += 8 + u64(chunkSize) + (chunkSize & 1);
    }
    if (!haveFormat || !haveData || rate == 0 || blockAlign == 0 ||
        (formatTag != WAV_FORMAT_PCM && formatTag != WAV_FORMAT_EXTENSIBLE)) {
        *outError = path + ": not a PCM WAV file with a format and a data chunk";
        return false;
    }
    *outSeconds = f32(f64(dataSize / blockAlign) / f64(rate));
    *outFrequency = f32(rate);
    return true;
}

bool soundBankMeasureSamples(SSoundBankSource* bank, const std::string& sampleFolder, std::string* outError) {
    for (SSoundCueSource& cue : bank->cues) {
        SSoundDefinition& d = cue.definition;
        for (u32 i = 0; i < d.sampleCount; ++i)
            if (!soundSampleMeasureWav(sampleFolder + "/" + d.fileNames[i], &d.lengths[i], &d.defaultFrequencies[i],
                                       outError))
                return false;
    }
    return true;
}

std::vector<u8> soundBankSourceBuild(const SSoundBankSource& bank) {
    std::vector<SSoundBankInput> inputs;
    inputs.reserve(bank.cues.size());
    for (const SSoundCueSource& cue : bank.cues) inputs.push_back(SSoundBankInput{cue.definition.nameHash, cue.definition});
    return soundBankBuild(crc32TextNoCase(bank.bankName.c_str()), bank.parameter, inputs);
}
