// Sound-bank and timeline images: what the writer builds the reader gives back, and damaged
// images are refused with a reason instead of being trusted.
#include "audio/sound/sound_bank_format.h"

#include "core/name_hash.h"
#include "core/package_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

SSoundDefinition makeDefinition(const char* cue, u32 samples) {
    SSoundDefinition d;
    d.nameHash = crc32TextNoCase(cue);
    d.sampleCount = samples;
    for (u32 i = 0; i < samples; ++i) {
        std::snprintf(d.fileNames[i], SOUND_SAMPLE_NAME_SIZE, "%s_%u.wav", cue, i);
        d.weights[i] = 1.0f / f32(samples);
        d.lengths[i] = 0.25f * f32(i + 1);
        d.defaultFrequencies[i] = 48000.0f;
    }
    return d;
}

std::vector<u8> oneCueBank(const SSoundDefinition& definition) {
    return soundBankBuild(crc32TextNoCase("ZUNO_SFX"), 0.5f, {{definition.nameHash, definition}});
}

// The offset of the only definition of a one-cue bank.
u32 firstDefinitionOffset(const std::vector<u8>& image) { return loadLe32(&image[loadLe32(&image[0]) + 8]); }

ESoundDataError parse(const std::vector<u8>& image) {
    SSoundBankImage bank;
    const ESoundDataError error = soundBankParse(image.data(), image.size(), &bank);
    EXPECT_EQ(bank.parsed, error == E_SOUNDDATA_OK);
    EXPECT_TRUE(error == E_SOUNDDATA_OK || bank.entries.empty());
    return error;
}

}  // namespace

TEST(SoundBankFormat, RoundTripKeepsEveryFieldAtItsOffset) {
    SSoundDefinition d = makeDefinition("BossImpact", 3);
    d.positional = d.loop = d.stream = d.timelineFlags[1] = 1;
    d.volume = {0.8f, 1, 0.6f, 0.9f};
    d.pitch = {1.0f, 1, 0.95f, 1.05f};
    d.pan = {-0.5f, 0, -0.5f, -0.5f};
    d.scaleCount = 2;
    d.scaleSlots[1] = 9;
    d.inputMixCount = 2;
    d.inputMix[1].level = {0.5f, 1, 0.25f, 0.75f};
    d.inputMix[1].scaleCount = 1;
    d.inputMix[1].scaleSlots[0] = E_SOUNDSCALE_VOICE;
    SSoundDefinition other = makeDefinition("PlayerImpact", 1);

    const std::vector<u8> image =
        soundBankBuild(crc32TextNoCase("ZUNO_SFX"), 2.5f, {{d.nameHash, d}, {other.nameHash, other}});
    SSoundBankImage bank;
    ASSERT_EQ(soundBankParse(image.data(), image.size(), &bank), E_SOUNDDATA_OK);
    ASSERT_EQ(bank.entries.size(), 2u);
    EXPECT_EQ(bank.nameHash, crc32TextNoCase("ZUNO_SFX"));
    EXPECT_EQ(bank.parameter, 2.5f);
    EXPECT_EQ(bank.entries[1].nameHash, other.nameHash);

    const SSoundDefinition& r = bank.definitions[bank.entries[0].definitionIndex];
    EXPECT_EQ(r.nameHash, d.nameHash);
    EXPECT_EQ(r.positional, 1u);
    EXPECT_EQ(r.sampleCount, 3u);
    EXPECT_EQ(std::string(r.fileNames[2]), "BossImpact_2.wav");
    EXPECT_EQ(r.weights[0], d.weights[0]);
    EXPECT_EQ(r.timelineFlags[1], 1u);
    EXPECT_EQ(r.lengths[2], 0.75f);
    EXPECT_EQ(r.defaultFrequencies[1], 48000.0f);
    EXPECT_EQ(r.loop, 1u);
    EXPECT_EQ(r.stream, 1u);
    EXPECT_EQ(r.volume.mode, 1u);
    EXPECT_EQ(r.volume.high, 0.9f);
    EXPECT_EQ(r.pitch.low, 0.95f);
    EXPECT_EQ(r.pan.fixed, -0.5f);
    const SSoundInputMix& mix = r.inputMix[1];
    EXPECT_EQ(r.scaleCount, 2u);
    EXPECT_EQ(r.scaleSlots[1], 9u);
    EXPECT_EQ(r.inputMixCount, 2u);
    EXPECT_EQ(mix.level.low, 0.25f);
    EXPECT_EQ(mix.scaleSlots[0], u32(E_SOUNDSCALE_VOICE));

    // The words the game reads by offset, and pointer slots left empty.
    const std::vector<u8> single = oneCueBank(other);
    const u32 def = firstDefinitionOffset(single);
    EXPECT_EQ(def % 16, 0u);
    EXPECT_EQ(single.size(), size_t(def + SOUND_DEFINITION_SIZE));
    EXPECT_EQ(loadLe32(&single[def + 136]), other.nameHash);
    EXPECT_EQ(loadLe32(&single[def + 144]), 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(&single[def + 152]), "PlayerImpact_0.wav");
    for (u32 word = 0; word <= 128; word += 4) EXPECT_EQ(loadLe32(&single[def + word]), 0u);
}

TEST(SoundBankFormat, DamagedImagesAndEntriesSharingOneDefinitionAreRefused) {
    const SSoundDefinition d = makeDefinition("PlayerImpact", 2);
    const std::vector<u8> good = oneCueBank(d);
    const u32 def = firstDefinitionOffset(good);
    ASSERT_EQ(parse(good), E_SOUNDDATA_OK);
    EXPECT_EQ(parse(soundBankBuild(1, 0.0f, {})), E_SOUNDDATA_OK);  // no entries at all is valid

    EXPECT_EQ(parse(std::vector<u8>(good.begin(), good.begin() + 20)), E_SOUNDDATA_TOO_SHORT);
    EXPECT_EQ(parse(std::vector<u8>(good.begin(), good.end() - 1)), E_SOUNDDATA_DEFINITION_PAST_END);

    // Words overwritten at their offsets, and what each image is refused as; the name at 216 is
    // the second one.
    const u32 nan = std::bit_cast<u32>(std::numeric_limits<f32>::quiet_NaN());
    const std::tuple<u32, u32, ESoundDataError> words[] = {
        {0, 0xFFFFFFF0u, E_SOUNDDATA_TABLE_PAST_END}, {20, 0x08000000u, E_SOUNDDATA_TABLE_PAST_END},
        {loadLe32(&good[0]) + 8, 0xFFFFFF00u, E_SOUNDDATA_DEFINITION_PAST_END},
        {def + 144, 0, E_SOUNDDATA_BAD_SAMPLE_COUNT}, {def + 144, 9, E_SOUNDDATA_BAD_SAMPLE_COUNT},
        {def + 148, 1, E_SOUNDDATA_WIDE_NAMES}, {def + 852, 9, E_SOUNDDATA_BAD_COUNT}, {def + 1152, 9, E_SOUNDDATA_BAD_COUNT},
        {def + 216, 0, E_SOUNDDATA_BAD_SAMPLE_NAME}, {def + 664, nan, E_SOUNDDATA_BAD_NUMBER}, {def + 804, nan, E_SOUNDDATA_BAD_NUMBER}};
    for (const auto& [offset, word, error] : words) {
        std::vector<u8> image = good;
        storeLe32(&image[offset], word);
        EXPECT_EQ(parse(image), error) << offset;
    }
    std::vector<u8> unterminated = good;
    std::memset(&unterminated[def + 152], 'a', 64);
    EXPECT_EQ(parse(unterminated), E_SOUNDDATA_BAD_SAMPLE_NAME);

    // 64 entries fit the table, and every one points at the same valid definition; the file holds
    // one definition, not 64.
    const std::vector<u8> one = oneCueBank(makeDefinition("PlayerImpact", 1));
    const u32 entries = 64;
    const u32 shared = SOUND_BANK_HEADER_SIZE + entries * SOUND_BANK_ENTRY_SIZE;
    std::vector<u8> image(one.begin(), one.begin() + SOUND_BANK_HEADER_SIZE);
    image.resize(shared, 0);
    image.insert(image.end(), one.begin() + firstDefinitionOffset(one), one.end());
    storeLe32(&image[20], entries);
    for (u32 i = 0; i < entries; ++i) storeLe32(&image[SOUND_BANK_HEADER_SIZE + i * SOUND_BANK_ENTRY_SIZE + 8], shared);
    EXPECT_EQ(parse(image), E_SOUNDDATA_DEFINITION_PAST_END) << "entries sharing one definition";
}

TEST(TimelineFormat, RoundTripAndRefusals) {
    const std::vector<STimelineTrack> tracks = {{7, {0.0f, 0.5f, 1.25f}}, {9, {}}};
    const std::vector<u8> image = timelineBuild(tracks);
    STimelineImage timeline;
    ASSERT_EQ(timelineParse(image.data(), image.size(), &timeline), E_SOUNDDATA_OK);
    ASSERT_EQ(timeline.tracks.size(), 2u);
    for (u32 i = 0; i < 2; ++i) {
        EXPECT_EQ(timeline.tracks[i].eventId, tracks[i].eventId);
        EXPECT_EQ(timeline.tracks[i].times, tracks[i].times) << i;
    }

    auto damaged = [&](u32 offset, u32 value) {
        std::vector<u8> copy = image;
        storeLe32(&copy[offset], value);
        STimelineImage parsed;
        const ESoundDataError error = timelineParse(copy.data(), copy.size(), &parsed);
        EXPECT_EQ(parsed.parsed, error == E_SOUNDDATA_OK);
        return error;
    };
    EXPECT_EQ(damaged(12, 1000), E_SOUNDDATA_TABLE_PAST_END);
    EXPECT_EQ(damaged(TIMELINE_HEADER_SIZE + 12, 1000), E_SOUNDDATA_EVENTS_PAST_END);
    const u32 secondTime = loadLe32(&image[TIMELINE_HEADER_SIZE]) + 8;
    EXPECT_EQ(damaged(secondTime, std::bit_cast<u32>(0.25f)), E_SOUNDDATA_EVENTS_NOT_ASCENDING);

    const std::vector<u8> tooMany = timelineBuild(std::vector<STimelineTrack>(TIMELINE_MAX_TRACKS + 1));
    STimelineImage parsed;
    EXPECT_EQ(timelineParse(tooMany.data(), tooMany.size(), &parsed), E_SOUNDDATA_BAD_COUNT);
}
