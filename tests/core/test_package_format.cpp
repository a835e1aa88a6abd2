// The table of contents shared by the package reader and writer: layout, look-up, damage.
#include "core/package_format.h"


#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// An entry stored compressed or enciphered when its stored size for that is not 0.
SPackageTableInput plainInput(u32 hash, u32 offset, u32 size, const char* path = nullptr, u32 compressedSize = 0,
                              u32 encipheredSize = 0) {
    return {hash, {compressedSize != 0, encipheredSize != 0, offset, size, compressedSize, encipheredSize}, path};
}

std::vector<u8> buildImage(const std::vector<SPackageTableInput>& inputs) {
    std::vector<u8> image;
    const SPackageBuildResult result = packageTableBuild(inputs.data(), u32(inputs.size()), &image);
    EXPECT_EQ(result.error, E_PACKAGEBUILD_OK);
    return image;
}

// Opens an exactly sized heap copy, so that the sanitizer run catches any read past the end. The
// view holds until the next call.
EPackageTableError openCopy(const std::vector<u8>& bytes, u64 dataSize, SPackageTableView* view) {
    static std::vector<u8> keep;
    keep = std::vector<u8>(bytes);
    return packageTableOpen(view, keep.empty() ? nullptr : keep.data(), keep.size(), dataSize);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Writer refusals

TEST(PackageFormat, WriterRefusesDuplicateHashesNamingBothInputsAndBadEntries) {
    std::vector<u8> image;
    const std::vector<SPackageTableInput> inputs = {plainInput(5, 0, 1), plainInput(9, 16, 1), plainInput(5, 32, 1)};
    const SPackageBuildResult result = packageTableBuild(inputs.data(), 3, &image);
    EXPECT_EQ(result.error, E_PACKAGEBUILD_DUPLICATE_HASH);
    EXPECT_EQ(result.firstIndex, 0u);
    EXPECT_EQ(result.secondIndex, 2u);
    // An entry the reader would refuse.
    const SPackageTableInput input = plainInput(1, 0, 20, nullptr, 0, 20);
    EXPECT_EQ(packageTableBuild(&input, 1, &image).error, E_PACKAGEBUILD_BAD_ENTRY);
}

// ---------------------------------------------------------------------------------------------
// Damaged tables

TEST(PackageFormat, StoredBytesMustLieInsideTheDataFileAndCipherLengthsBeWholeBlocks) {
    const std::vector<u8> image = buildImage({plainInput(1, 90, 1000, nullptr, 10)});
    SPackageTableView view;
    const auto openWith = [&](u64 dataSize) { return packageTableOpen(&view, image.data(), image.size(), dataSize); };
    EXPECT_EQ(openWith(100), E_PACKAGETABLE_OK);
    EXPECT_EQ(openWith(99), E_PACKAGETABLE_DATA_PAST_END);
    EXPECT_FALSE(packageEntryFitsDataFile(plainInput(1, 0xFFFFFFF0u, 0x20).entry, 0xFFFFFFFFull));

    // 20 bytes enciphered as 24 (no whole block) or 16 (too few); as 32, but inflated from a
    // stream of 33 bytes, beyond the block.
    const auto check = [](u32 compressedSize, u32 encipheredSize) {
        return packageEntryCheck(plainInput(1, 0, 20, nullptr, compressedSize, encipheredSize).entry);
    };
    EXPECT_EQ(check(0, 24), E_PACKAGETABLE_BAD_CIPHER_LENGTH);
    EXPECT_EQ(check(0, 16), E_PACKAGETABLE_BAD_SIZES);
    EXPECT_EQ(check(0, 32), E_PACKAGETABLE_OK);
    EXPECT_EQ(check(33, 32), E_PACKAGETABLE_BAD_SIZES);
    // The same damage in an image is refused at open.
    std::vector<u8> damaged = buildImage({plainInput(1, 0, 16, nullptr, 0, 16)});
    const u32 descriptor = loadLe32(&damaged[loadLe32(&damaged[16])]);
    storeLe32(&damaged[descriptor + 24], 17);
    EXPECT_EQ(packageTableOpen(&view, damaged.data(), damaged.size(), 100), E_PACKAGETABLE_BAD_CIPHER_LENGTH);
}

TEST(PackageFormat, RandomDamageNeverReadsOutsideTheImage) {
    std::vector<SPackageTableInput> inputs;
    for (u32 i = 0; i < 8; ++i) inputs.push_back(plainInput(i * 0x1F3A5C07u, i * 8, 8, "name"));
    const std::vector<u8> good = buildImage(inputs);
    std::mt19937 random(1234);
    for (int round = 0; round < 2000; ++round) {
        std::vector<u8> bad = good;
        const int flips = 1 + int(random() % 4);
        for (int f = 0; f < flips; ++f) bad[random() % bad.size()] = u8(random());
        if (random() % 3 == 0) bad.resize(random() % bad.size());
        SPackageTableView view;
        if (openCopy(bad, 64, &view) != E_PACKAGETABLE_OK) continue;
        for (u32 i = 0; i < packageTableCount(view); ++i) {
            const SPackageEntry entry = packageTableEntryAt(view, i);
            EXPECT_TRUE(packageEntryFitsDataFile(entry, 64));
            packageTablePathAt(view, i);
            packageTableFind(view, packageTableHashAt(view, i), nullptr);
        }
    }
}
