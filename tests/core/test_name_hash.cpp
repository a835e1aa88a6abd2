#include <gtest/gtest.h>

#include <string>

#include "core/name_hash.h"

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
