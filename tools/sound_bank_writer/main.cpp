// velodrix_sound_bank: writes a sound bank and its timelines from a readable cue list.
//
//   velodrix_sound_bank CUE_LIST SAMPLE_FOLDER OUTPUT_FOLDER
//
// The samples the list names are measured in SAMPLE_FOLDER (their lengths and frequencies go
// into the bank); OUTPUT_FOLDER receives "<bank>.iAudioSB" and one "<name>.iAudioTD" per
// timeline. The game reads all of them from "Audio/" in its packages.
#include "audio/sound/sound_bank_writer.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "velodrix_sound_bank: %s\n", message.c_str());
    return 1;
}

bool writeFile(const std::string& path, const std::vector<u8>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: velodrix_sound_bank CUE_LIST SAMPLE_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    std::ifstream listFile(argv[1], std::ios::binary);
    if (!listFile) return fail(std::string(argv[1]) + ": cannot be read");
    std::stringstream text;
    text << listFile.rdbuf();

    SSoundBankSource bank;
    std::string error;
    if (!soundCueListParse(argv[1], text.str(), &bank, &error)) return fail(error);
    if (!soundBankMeasureSamples(&bank, argv[2], &error)) return fail(error);

    const std::string output = argv[3];
    const std::string bankPath = output + "/" + bank.bankName + ".iAudioSB";
    if (!writeFile(bankPath, soundBankSourceBuild(bank))) return fail(bankPath + ": cannot be written");
    for (const SSoundTimelineSource& timeline : bank.timelines) {
        const std::string path = output + "/" + timeline.name + ".iAudioTD";
        if (!writeFile(path, timelineBuild(timeline.tracks))) return fail(path + ": cannot be written");
    }
    return 0;
}
