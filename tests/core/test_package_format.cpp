// The table of contents shared by the package reader and writer: layout, look-up, damage.
#include "core/package_format.h"

#include "core/name_hash.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

SPackageTableInput plainInput(u32 hash, u32 offset, u32 size, const char* path = nullptr) {
    SPackageTableInput input;
    input.pathHash = hash;
    input.entry.dataOffset = offset;
    input.entry.size = size;
    input.pathText = path;
    return input;
}

std::vector<u8> buildImage(const std::vector<SPackageTableInput>& inputs) {
    std::vector<u8> image;
    const SPackageBuildResult result = packageTableBuild(inputs.data(), u32(inputs.size()), &image);
    EXPECT_EQ(result.error, E_PACKAGEBUILD_OK);
    return image;
}

// Exactly sized heap copies, so that the sanitizer run catches any read past the end.
EPackageTableError openCopy(const std::vector<u8>& bytes, u64 dataSize, SPackageTableView* view,
                            std::vector<u8>* keep) {
    *keep = bytes;
    return packageTableOpen(view, keep->empty() ? nullptr : keep->data(), keep->size(), dataSize);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Layout and look-up

TEST(PackageFormat, ImageHasTheDocumentedLayoutAndEveryEntryIsFoundByItsHash) {
    SPackageTableInput input = plainInput(0x11223344u, 0x40, 5, "a.txt");
    input.entry.compressed = 1;
    input.entry.compressedSize = 3;
    const std::vector<u8> image = buildImage({input});

    ASSERT_GE(image.size(), 16u + 4 + 12 + 28);
    EXPECT_EQ(loadLe32(&image[8]), 1u);
    const u32 record = loadLe32(&image[16]);
    EXPECT_EQ(image[record + 8], 0x44);  // the hash, little-endian on disk
    const u32 descriptor = loadLe32(&image[record]);
    EXPECT_EQ(loadLe32(&image[descriptor + 0]), 1u);
    EXPECT_EQ(loadLe32(&image[descriptor + 8]), 0x40u);
    EXPECT_EQ(loadLe32(&image[descriptor + 20]), 3u);
    EXPECT_STREQ(reinterpret_cast<const char*>(&image[loadLe32(&image[record + 4])]), "a.txt");

    const char* paths[] = {"project.ini", "Lang\\eng\\Strings\\Win32.lang", "Scripts\\playbalance.txt",
                           "Camera\\CameraFrames.txt", "Shaders\\Glow.fxo"};
    std::vector<SPackageTableInput> inputs;
    for (u32 i = 0; i < 5; ++i) inputs.push_back(plainInput(crc32TextNoCase(paths[i]), i * 16, i + 1, paths[i]));
    const std::vector<u8> table = buildImage(inputs);

    SPackageTableView view;
    ASSERT_EQ(packageTableOpen(&view, table.data(), table.size(), 1000), E_PACKAGETABLE_OK);
    ASSERT_EQ(packageTableCount(view), 5u);
    for (u32 i = 0; i < 5; ++i) {
        SPackageEntry entry;
        ASSERT_TRUE(packageTableFind(view, crc32TextNoCase(paths[i]), &entry)) << paths[i];
        EXPECT_EQ(entry.dataOffset, i * 16);
        EXPECT_EQ(entry.size, i + 1);
    }
    EXPECT_FALSE(packageTableFind(view, crc32TextNoCase("missing.txt"), nullptr));
}

TEST(PackageFormat, HashesDifferingOnlyInTheSignBitAreBothFoundAndAnEmptyTableFindsNothing) {
    const std::vector<u8> image = buildImage({plainInput(0x00000010u, 0, 1), plainInput(0x80000010u, 16, 2),
                                              plainInput(0x7FFFFFFFu, 32, 3), plainInput(0xFFFFFFFFu, 48, 4)});
    SPackageTableView view;
    ASSERT_EQ(packageTableOpen(&view, image.data(), image.size(), PACKAGE_DATA_SIZE_UNKNOWN), E_PACKAGETABLE_OK);
    // Sorted as signed integers: the negative keys come first.
    EXPECT_EQ(packageTableHashAt(view, 0), 0x80000010u);
    const std::pair<u32, u32> sizes[] = {{0x00000010u, 1}, {0x80000010u, 2}, {0x7FFFFFFFu, 3}, {0xFFFFFFFFu, 4}};
    for (const auto& [hash, size] : sizes) {
        SPackageEntry entry;
        ASSERT_TRUE(packageTableFind(view, hash, &entry)) << hash;
        EXPECT_EQ(entry.size, size);
    }
    // An empty table opens and finds nothing.
    const std::vector<u8> empty = buildImage({});
    ASSERT_EQ(packageTableOpen(&view, empty.data(), empty.size(), 0), E_PACKAGETABLE_OK);
    EXPECT_FALSE(packageTableFind(view, 0, nullptr));
}

TEST(PackageFormat, GenericViewReadsOtherRecordSizes) {
    // A string-table-like image: header, array of 2, two 16-byte records with payload offsets.
    std::vector<u8> image(16 + 8 + 32, 0);
    const std::pair<u32, u32> words[] = {{0, 16}, {8, 2}, {16, 24}, {20, 40}, {24, 7}, {32, u32(-5)}, {40, 9}, {48, 3}};
    for (const auto& [at, value] : words) storeLe32(&image[at], value);
    SRelocTableView view;
    ASSERT_EQ(relocTableOpen(&view, image.data(), image.size(), 16), E_RELOCTABLE_OK);
    EXPECT_EQ(relocTableFind(view, 3), 1);
    EXPECT_EQ(relocTablePayloadOffset(view, u32(relocTableFind(view, u32(-5)))), 7u);
    EXPECT_EQ(relocTableFind(view, 4), -1);
    // The last record needs all 16 bytes.
    image.resize(image.size() - 1);
    EXPECT_EQ(relocTableOpen(&view, image.data(), image.size(), 16), E_RELOCTABLE_RECORD_PAST_END);
}

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
    SPackageTableInput input = plainInput(1, 0, 20);
    input.entry.enciphered = 1;
    input.entry.encipheredSize = 20;
    EXPECT_EQ(packageTableBuild(&input, 1, &image).error, E_PACKAGEBUILD_BAD_ENTRY);
}

// ---------------------------------------------------------------------------------------------
// Damaged tables

TEST(PackageFormat, EveryTruncationAndEveryOffsetPastTheEndIsRefused) {
    std::vector<SPackageTableInput> inputs;
    for (u32 i = 0; i < 6; ++i) inputs.push_back(plainInput(i * 0x2F000001u, i * 4, 4));
    const std::vector<u8> image = buildImage(inputs);
    for (size_t length = 0; length < image.size(); ++length) {
        SPackageTableView view;
        std::vector<u8> keep;
        const std::vector<u8> prefix(image.begin(), image.begin() + length);
        EXPECT_NE(openCopy(prefix, 1000, &view, &keep), E_PACKAGETABLE_OK) << length;
        EXPECT_EQ(packageTableCount(view), 0u);
    }

    const std::vector<u8> good = buildImage({plainInput(1, 0, 4), plainInput(2, 4, 4)});
    const u32 size = u32(good.size());
    const u32 record = loadLe32(&good[16]);
    const struct {
        u32 at, value;
        EPackageTableError error;
    } damage[] = {{8, 0x40000001u, E_PACKAGETABLE_ARRAY_PAST_END},  // 4N wraps to 4 in 32 bits
                  {16 + 4, size - 11, E_PACKAGETABLE_RECORD_PAST_END},
                  {record, 0xFFFFFFFFu, E_PACKAGETABLE_DESCRIPTOR_PAST_END}};
    for (const auto& [at, value, error] : damage) {
        std::vector<u8> bad = good;
        storeLe32(&bad[at], value);
        SPackageTableView view;
        std::vector<u8> keep;
        EXPECT_EQ(openCopy(bad, 100, &view, &keep), error) << at << " " << value;
    }
}

TEST(PackageFormat, UnsortedRecordsAreRefusedAndAnUnterminatedPathTextIsNotShown) {
    std::vector<u8> image = buildImage({plainInput(1, 0, 4), plainInput(2, 4, 4)});
    const u32 first = loadLe32(&image[16]);
    const u32 second = loadLe32(&image[20]);
    storeLe32(&image[16], second);
    storeLe32(&image[20], first);
    SPackageTableView view;
    EXPECT_EQ(packageTableOpen(&view, image.data(), image.size(), 100), E_PACKAGETABLE_NOT_SORTED);
    EXPECT_FALSE(packageTableFind(view, 1, nullptr));

    std::vector<u8> unterminated = buildImage({plainInput(crc32TextNoCase("abc"), 0, 1, "abc")});
    unterminated.pop_back();  // the terminator of the last text
    std::vector<u8> keep;
    ASSERT_EQ(openCopy(unterminated, 10, &view, &keep), E_PACKAGETABLE_OK);
    EXPECT_EQ(packageTablePathAt(view, 0), nullptr);
}

TEST(PackageFormat, StoredBytesMustLieInsideTheDataFileAndCipherLengthsBeWholeBlocks) {
    SPackageTableInput compressed = plainInput(1, 90, 1000);
    compressed.entry.compressed = 1;
    compressed.entry.compressedSize = 10;
    const std::vector<u8> image = buildImage({compressed});
    SPackageTableView view;
    EXPECT_EQ(packageTableOpen(&view, image.data(), image.size(), 100), E_PACKAGETABLE_OK);
    EXPECT_EQ(packageTableOpen(&view, image.data(), image.size(), 99), E_PACKAGETABLE_DATA_PAST_END);

    SPackageEntry nearTheTop;
    nearTheTop.dataOffset = 0xFFFFFFF0u;
    nearTheTop.size = 0x20;
    EXPECT_FALSE(packageEntryFitsDataFile(nearTheTop, 0xFFFFFFFFull));

    SPackageEntry entry;
    entry.enciphered = 1;
    entry.size = 20;
    entry.encipheredSize = 24;
    EXPECT_EQ(packageEntryCheck(entry), E_PACKAGETABLE_BAD_CIPHER_LENGTH);
    entry.encipheredSize = 16;
    EXPECT_EQ(packageEntryCheck(entry), E_PACKAGETABLE_BAD_SIZES);  // 20 bytes from 16
    entry.encipheredSize = 32;
    EXPECT_EQ(packageEntryCheck(entry), E_PACKAGETABLE_OK);
    entry.compressed = 1;
    entry.compressedSize = 33;  // the stream would be inflated from beyond the block
    EXPECT_EQ(packageEntryCheck(entry), E_PACKAGETABLE_BAD_SIZES);

    // The same damage in an image is refused at open.
    SPackageTableInput input = plainInput(1, 0, 16);
    input.entry.enciphered = 1;
    input.entry.encipheredSize = 16;
    std::vector<u8> damaged = buildImage({input});
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
        std::vector<u8> keep;
        if (openCopy(bad, 64, &view, &keep) != E_PACKAGETABLE_OK) continue;
        for (u32 i = 0; i < packageTableCount(view); ++i) {
            const SPackageEntry entry = packageTableEntryAt(view, i);
            EXPECT_TRUE(packageEntryFitsDataFile(entry, 64));
            packageTablePathAt(view, i);
            packageTableFind(view, packageTableHashAt(view, i), nullptr);
        }
    }
}
