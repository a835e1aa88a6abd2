#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/hashed_name.h"
#include "core/name_hash.h"
#include "core/string.h"

namespace {

// Independent bitwise forms of both hashes, without the table.
u32 bitwiseCrcStep(u32 value) {
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    return value;
}

u32 referenceNameHash(const std::string& text) {
    u32 value = 0;
    for (unsigned char c : text) {
        const u32 entry = bitwiseCrcStep(((c & 0xDFu) ^ value) & 0xFFu);
        const u32 shifted = (value >> 8) | ((value & 0x80000000u) ? 0xFF000000u : 0u);
        value = shifted ^ entry;
    }
    return value;
}

// The textbook CRC-32 continued from a previous value, as zlib's crc32(crc, ...) computes it.
u32 zlibStyleCrc32(u32 crc, const std::string& text) {
    u32 value = ~crc;
    for (unsigned char c : text) value = bitwiseCrcStep((value ^ c) & 0xFFu) ^ (value >> 8);
    return ~value;
}

std::string randomText(std::mt19937& engine) {
    std::uniform_int_distribution<int> length(1, 40);
    std::uniform_int_distribution<int> byte(1, 255);
    std::string text(size_t(length(engine)), ' ');
    for (char& c : text) c = char(byte(engine));
    return text;
}

}  // namespace

// "ba" gives 0xC3945C81 with a logical shift: the shift must be arithmetic.
TEST(NameHash, WorkedValuesWithTheArithmeticShift) {
    const std::pair<const char*, u32> worked[] = {
        {"abc", 0x5CC2DA5Au}, {"ABC", 0x5CC2DA5Au}, {"Speed", 0xC1AFCBA4u}, {"SPEED", 0xC1AFCBA4u},
        {"ba", 0x3C945C81u}, {"project.ini", 0xFD2998FBu}, {"Lang\\eng\\Strings\\Win32.lang", 0x3D12325Bu},
        {"Scripts\\playbalance.txt", 0x1487A4AFu}, {"Lang\\eng\\Strings\\All.lang", 0xEC91E381u},
        {"Camera\\CameraFrames.txt", 0xAC42DFE7u}, {"[UNNAMED]", 0x3B926EDAu}, {"", 0}, {nullptr, 0}};
    for (const auto& [text, hash] : worked) EXPECT_EQ(crc32TextNoCase(text), hash) << (text ? text : "null");
    EXPECT_EQ(crc32Text("abc"), 0xCA6598D0u);
    EXPECT_EQ(crc32Text(nullptr), 0u);
}

TEST(NameHash, MaskFoldsBitFiveOfEveryByteAndMatchesIndependentFormsOverRandomTexts) {
    // '0' is 0x30 and folds onto 0x10.
    EXPECT_EQ(crc32TextNoCase("a0"), crc32TextNoCase("A\x10"));
    // The separator takes part: the '/' form of a path is another name.
    EXPECT_NE(crc32TextNoCase("Scripts\\playbalance.txt"), crc32TextNoCase("Scripts/playbalance.txt"));

    ASSERT_EQ(zlibStyleCrc32(0, "123456789"), 0xCBF43926u);  // the published check value
    std::mt19937 engine(20240601u);
    for (int i = 0; i < 2000; ++i) {
        const std::string text = randomText(engine);
        ASSERT_EQ(crc32TextNoCase(text.c_str()), referenceNameHash(text)) << i;
        // Start 0 and no final inversion.
        ASSERT_EQ(crc32Text(text.c_str()), ~zlibStyleCrc32(0xFFFFFFFFu, text)) << i;
    }
}

TEST(HashedName, AssigningCopiesTextAndHashesItAndAssigningItsOwnTextIsSafe) {
    char source[] = "Speed";
    ClHashedName name;
    name.assignText(source);
    source[0] = 'X';
    EXPECT_STREQ(name.text, "Speed");
    EXPECT_EQ(name.hash, 0xC1AFCBA4u);
    name.release();
    EXPECT_EQ(name.text, g_szEmptyText);

    ClHashedName path;
    path.assignText("Scripts\\playbalance.txt");
    path.assignText(path.text + 8);
    EXPECT_STREQ(path.text, "playbalance.txt");
    EXPECT_EQ(path.hash, crc32TextNoCase("playbalance.txt"));
}
