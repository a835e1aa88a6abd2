// The sound-bank writer: cue lists parsed into definitions, mistakes reported by line, samples
// measured from their WAV headers, and the bank the game reads.
#include "audio/sound/sound_bank_writer.h"

#include "core/name_hash.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string parseError(const std::string& text) {
    SSoundBankSource bank;
    std::string error;
    EXPECT_FALSE(soundCueListParse("ZUNO_SFX.cues", text, &bank, &error));
    return error;
}

// Silent mono PCM16 of the frame count at the rate, with an odd chunk before "data".
std::vector<u8> silentWav(u32 frames, u32 rate) {
    return test_support::wavImage({.channels = 1, .rate = rate, .oddListBeforeData = true}, std::vector<u8>(frames * 2));
}

}  // namespace

TEST(SoundBankWriter, CueListBecomesDefinitions) {
    const std::string text =
        "# effects\n"
        "bank ZUNO_SFX\n"
        "parameter 0.5\n"
        "cue PlayerImpact\n"
        "  sample a.wav 3\n"
        "  sample b.wav 1 timeline   # with its events\n"
        "  volume random 0.5 0.75\n"
        "  pitch 1.25\n"
        "  pan -0.5\n"
        "  loop\n"
        "  stream\n"
        "  scale effects 7\n"
        "  mix 1\n"
        "  mix random 0.25 0.5 scale voice\n"
        "timeline b\n"
        "  track 4 0 0.5 0.5 2\n";
    SSoundBankSource bank;
    std::string error;
    ASSERT_TRUE(soundCueListParse("ZUNO_SFX.cues", text, &bank, &error)) << error;
    EXPECT_EQ(bank.parameter, 0.5f);
    ASSERT_EQ(bank.cues.size(), 1u);
    const SSoundDefinition& d = bank.cues[0].definition;
    // Weights are scaled to add up to 1.
    EXPECT_EQ(d.nameHash, crc32TextNoCase("PlayerImpact"));
    EXPECT_EQ(d.weights[0], 0.75f);
    EXPECT_EQ(d.timelineFlags[1], 1u);
    EXPECT_EQ(d.volume.low, 0.5f);
    EXPECT_EQ(d.pan.fixed, -0.5f);
    EXPECT_EQ(d.stream, 1u);
    ASSERT_EQ(d.scaleCount, 2u);
    ASSERT_EQ(d.inputMixCount, 2u);
    EXPECT_EQ(d.scaleSlots[1], 7u);
    EXPECT_EQ(d.inputMix[1].scaleSlots[0], 3u);
    ASSERT_EQ(bank.timelines.size(), 1u);
    EXPECT_EQ(bank.timelines[0].tracks[0].times.size(), 4u);
}

TEST(SoundBankWriter, MistakesAreReportedWithTheirLine) {
    EXPECT_EQ(parseError("cue A\n  sample a.wav\n"), "ZUNO_SFX.cues:1: no 'bank' line");
    EXPECT_EQ(parseError("bank B\ncue A\n  sample a.wav\ncue a\n"), "ZUNO_SFX.cues:4: cue 'a' given twice");
    EXPECT_EQ(parseError("bank B\ncue A\n  sample a.wav 1 timeline\n"),
              "ZUNO_SFX.cues:2: sample 'a.wav' has no timeline 'a'");
    EXPECT_EQ(parseError("bank B\ntimeline t\n  track 1 0.5 0.25\n"), "ZUNO_SFX.cues:3: event times must ascend");
    EXPECT_EQ(parseError("bank B\ncue A\n  mix 1 loud voice\n"), "ZUNO_SFX.cues:3: 'mix' continues with 'scale'");
    EXPECT_EQ(parseError("bank B\ncue A\n  sample " + std::string(64, 'x') + "\n"),
              "ZUNO_SFX.cues:3: sample file name longer than 63 characters");

    std::string nine = "bank B\ncue A\n";
    for (int i = 0; i < 9; ++i) nine += "  sample s" + std::to_string(i) + ".wav\n";
    EXPECT_EQ(parseError(nine), "ZUNO_SFX.cues:11: more than 8 samples");
}

TEST(SoundBankWriter, SamplesAreMeasuredAndTheBankReadsBack) {
    const test_support::ClTempDir folder;
    folder.write("a.wav", silentWav(24000, 48000));
    folder.write("b.wav", silentWav(11025, 22050));

    SSoundBankSource bank;
    std::string error;
    ASSERT_TRUE(soundCueListParse("x.cues", "bank ZUNO_SFX\ncue A\n sample a.wav\ncue B\n sample b.wav\n", &bank, &error));
    ASSERT_TRUE(soundBankMeasureSamples(&bank, folder.str(), &error)) << error;
    const std::vector<u8> image = soundBankSourceBuild(bank);

    SSoundBankImage parsed;
    ASSERT_EQ(soundBankParse(image.data(), image.size(), &parsed), E_SOUNDDATA_OK);
    ASSERT_EQ(parsed.definitions.size(), 2u);
    EXPECT_EQ(parsed.definitions[0].lengths[0], 0.5f);
    EXPECT_EQ(parsed.definitions[1].lengths[0], 0.5f);
    EXPECT_EQ(parsed.definitions[1].defaultFrequencies[0], 22050.0f);

    f32 seconds, frequency;
    EXPECT_FALSE(soundSampleMeasureWav(folder.write("c.wav", "not a wave"), &seconds, &frequency, &error));
    EXPECT_NE(error.find("c.wav"), std::string::npos);
    EXPECT_FALSE(soundSampleMeasureWav(folder.file("missing.wav"), &seconds, &frequency, &error));
}
