// Packages: mounting, look-up, reading packaged files (plain, compressed, enciphered), the
// asynchronous path, and damaged packages. Packages are made in a temporary folder with the
// package writer.
#include "core/packages.h"

#include "core/file_layer.h"
#include "core/name_hash.h"
#include "core/package_format.h"
#include <gtest/gtest.h>
#include "tests/support/file_bytes.h"
#include "tests/support/package_test.h"

#include <string>
#include <vector>

using namespace test_support;

namespace {

SPackageWriterOptions everyKindOfEntry() {
    // Compressed, plain, enciphered patterns and the key.
    return {{"comp*", "both*"}, {}, {"enc*", "both*"}, "test key"};
}

class Packages : public PackageTest {
protected:
    void writeSources(const char* package, std::initializer_list<std::pair<const char*, std::string>> files) {
        for (const auto& [path, contents] : files) writeSource(package, path, contents);
    }
    // Reads a packaged file the blocking way: its bytes, or "status N" of the first step that fails.
    std::string read(const std::string& path, u32 packageId = PACKAGE_ID_ANY) {
        SAssetFile* file = nullptr;
        u32 size = 0;
        u32 status = openPackagedFile(path.c_str(), &size, &file, packageId);
        if (status != 0) return "status " + std::to_string(status);
        EXPECT_EQ(prepareAssetFileBuffers(file, 0, size, 16, 4), 1u);
        status = readAssetFile(file, 0, size);
        const std::string out = status == 0 ? std::string(reinterpret_cast<const char*>(file->data), size)
                                            : "status " + std::to_string(status);
        EXPECT_EQ(closeAssetFileDisk(file), 0u);
        EXPECT_EQ(releaseAssetFile(file), 1u);
        return out;
    }

    // Mounts and returns what the mount wrote to standard error.
    std::string mountCapturingErrors(const char* name, u32* outResult) {
        ::testing::internal::CaptureStderr();
        *outResult = archiveMount(name, 4, nullptr);
        return ::testing::internal::GetCapturedStderr();
    }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Round trip through the writer and the reader

TEST_F(Packages, PlainCompressedAndEncipheredEntriesReadBackExactlyAndPlainOnesInParts) {
    const std::pair<const char*, std::string> files[] = {{"plain.txt", "FULLSCREEN = 0\n"},
                                                         {"comp.txt", repeatedText(70000, "compressed text ")},
                                                         {"enc.txt", "seventeen bytes!!"},
                                                         {"both.txt", repeatedText(3000, "both ways ")}};
    for (const auto& [path, contents] : files) writeSource("ASPEC", path, contents);
    pack("ASPEC", everyKindOfEntry());
    ASSERT_EQ(archiveMount("ASPEC", 4, "test key"), 1u);
    for (const auto& [path, contents] : files) EXPECT_EQ(read(path), contents) << path;

    // Plain entries also read in parts, within the entry and the buffer.
    SAssetFile* file = nullptr;
    u32 size = 0;
    ASSERT_EQ(openPackagedFile("plain.txt", &size, &file, PACKAGE_ID_ANY), 0u);
    ASSERT_EQ(prepareAssetFileBuffers(file, 0, 4, 16, 4), 1u);
    ASSERT_EQ(readAssetFile(file, 6, 4), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file->data), 4), "REEN");
    // Past the entry; more than the buffer holds.
    EXPECT_EQ(readAssetFile(file, size - 3, 4), 9u);
    EXPECT_EQ(readAssetFile(file, 0, 5), 9u);
    releaseAssetFile(file);
}

// ---------------------------------------------------------------------------------------------
// Look-up and mounting

TEST_F(Packages, LookUpIgnoresSeparatorsAndTheDataDirectory) {
    writeSource("ASPEC", "Scripts/playbalance.txt", "balance");
    packAndMount("ASPEC");
    const auto exists = [](const std::string& path) { return packagedFileExists(path.c_str(), PACKAGE_ID_ANY); };
    SAssetFile* file = nullptr;
    u32 size = 0;
    EXPECT_EQ(exists("Scripts/playbalance.txt"), 1u);
    EXPECT_EQ(exists(m_root.str() + "/Scripts/playbalance.txt"), 1u);
    EXPECT_EQ(exists("playbalance.txt"), 0u);
    EXPECT_EQ(openPackagedFile("Scripts\\playbalance.txt", &size, &file, PACKAGE_ID_ANY), 0u);
    EXPECT_EQ(size, 7u);
    releaseAssetFile(file);
    EXPECT_EQ(openPackagedFile(nullptr, &size, &file, PACKAGE_ID_ANY), 2u);
    EXPECT_EQ(openPackagedFile(std::string(FILE_PATH_LIMIT, 'a').c_str(), &size, &file, PACKAGE_ID_ANY), 2u);
}

TEST_F(Packages, FirstMountedPackageWinsAndAnIdSearchesOnlyItsPackage) {
    writeSource("ASPEC", "project.ini", "from ASPEC");
    writeSources("AAM", {{"project.ini", "from AAM"}, {"only.txt", "AAM only"}});
    packAndMount("ASPEC");
    packAndMount("AAM");
    EXPECT_EQ(read("project.ini"), "from ASPEC");
    EXPECT_EQ(read("project.ini", crc32TextNoCase("AAM")), "from AAM");
    EXPECT_EQ(read("only.txt", crc32TextNoCase("ASPEC")), "status 1");
}

TEST_F(Packages, AMissingPackageIsSilentlyNotMountedAndASecondMountKeepsOneRecord) {
    u32 result = 1;
    EXPECT_EQ(mountCapturingErrors("AAM", &result), "");
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(packagedFileExists("project.ini", PACKAGE_ID_ANY), 0u);

    writeSource("ASPEC", "a.txt", "a");
    packAndMount("ASPEC");
    EXPECT_EQ(archiveMount("aspec", 4, nullptr), 0u);
    EXPECT_EQ(getMountedPackageCount(), 1u);
}

// A package whose data file cannot be opened still mounts, but its entries do not open.
TEST_F(Packages, BothFilesComeFromTheFallbackFolderWhenTheDataFileIsThere) {
    writeSource("ASPEC", "a.txt", "from Mag");
    writeSource("AAM", "b.txt", "text");
    pack("ASPEC", {}, "Mag");
    pack("AAM", {}, "Mag");
    fs::remove(packageFile("AAM", ".mdf", "Mag"));
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    ASSERT_EQ(archiveMount("AAM", 4, nullptr), 1u);
    EXPECT_EQ(read("a.txt"), "from Mag");
    EXPECT_EQ(packagedFileExists("b.txt", PACKAGE_ID_ANY), 1u);
    EXPECT_EQ(read("b.txt"), "status 1");
    EXPECT_EQ(getAssetFileCount(), 0u);
}

TEST_F(Packages, The769thFileObjectIsRefused) {
    writeSource("ASPEC", "a.txt", "text");
    packAndMount("ASPEC");
    std::vector<SAssetFile*> files(ASSET_FILE_POOL_SIZE);
    u32 size = 0;
    for (SAssetFile*& file : files) {
        ASSERT_EQ(openPackagedFile("a.txt", &size, &file, PACKAGE_ID_ANY), 0u);
        closeAssetFileDisk(file);  // the file layer has far fewer disk slots than objects
    }
    SAssetFile* file = nullptr;
    // Released twice: nothing happens.
    EXPECT_EQ(openPackagedFile("a.txt", &size, &file, PACKAGE_ID_ANY), 3u);
    EXPECT_EQ(releaseAssetFile(files[100]), 1u);
    EXPECT_EQ(releaseAssetFile(files[100]), 2u);
    EXPECT_EQ(openPackagedFile("a.txt", &size, &file, PACKAGE_ID_ANY), 0u);
}

TEST_F(Packages, EncipheredEntriesWithoutAKeyStopTheProgramAndAWrongKeyGivesWrongBytesOrAFailureNeverAnOverrun) {
    writeSources("ASPEC", {{"both.txt", repeatedText(500, "abc ")}, {"enc.txt", "plain text here"}});
    pack("ASPEC", everyKindOfEntry());
    EXPECT_EXIT(archiveMount("ASPEC", 4, nullptr), ::testing::ExitedWithCode(3), "without a key");
    ASSERT_EQ(archiveMount("ASPEC", 4, "other key"), 1u);
    // The deciphered stream does not inflate; the plain entry deciphers to other bytes.
    EXPECT_EQ(read("both.txt"), "status 9");
    EXPECT_EQ(read("enc.txt").size(), 15u);
    EXPECT_NE(read("enc.txt"), "plain text here");
}

// ---------------------------------------------------------------------------------------------
// Damaged packages

// Which damage the table refuses is the package format's; the mount names the file and skips it.
TEST_F(Packages, ATruncatedTableIsRefusedNamingTheFile) {
    writeSources("ASPEC", {{"a.txt", "a"}, {"b.txt", "b"}});
    pack("ASPEC");
    const std::vector<u8> whole = readFileBytes(packageFile("ASPEC", ".mtc"));
    writeFileBytes(packageFile("ASPEC", ".mtc"), std::vector<u8>(whole.begin(), whole.begin() + 16 + 8 + 24 + 27));
    u32 result = 1;
    const std::string errors = mountCapturingErrors("ASPEC", &result);
    EXPECT_NE(errors.find("ASPEC_win32.mtc"), std::string::npos) << errors;
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(getMountedPackageCount(), 0u);
}

TEST_F(Packages, StreamsThatDoNotInflateToTheirSizeFailToRead) {
    writeSources("ASPEC", {{"bad.txt", repeatedText(4000, "zlib ")}, {"short.txt", repeatedText(4000, "zlib ")}});
    pack("ASPEC", {{"*"}, {}, {}, ""});
    std::vector<u8> table = readFileBytes(packageFile("ASPEC", ".mtc"));
    SPackageTableView view;
    ASSERT_EQ(packageTableOpen(&view, table.data(), table.size(), PACKAGE_DATA_SIZE_UNKNOWN), E_PACKAGETABLE_OK);
    // Bytes flipped inside the stored stream of bad.txt in the data file.
    SPackageEntry bad;
    ASSERT_TRUE(packageTableFind(view, crc32TextNoCase("bad.txt"), &bad));
    std::vector<u8> data = readFileBytes(packageFile("ASPEC", ".mdf"));
    for (u32 i = 2; i < bad.compressedSize; i += 7) data[bad.dataOffset + i] ^= 0x5A;
    writeFileBytes(packageFile("ASPEC", ".mdf"), data);
    // Descriptor word 4 of short.txt, its size, one more than its stream inflates to.
    const s32 index = relocTableFind(view.table, crc32TextNoCase("short.txt"));
    ASSERT_GE(index, 0);
    storeLe32(&table[relocTablePayloadOffset(view.table, u32(index)) + 4 * 4], 4001);
    writeFileBytes(packageFile("ASPEC", ".mtc"), table);
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    EXPECT_EQ(read("short.txt"), "status 9");
    EXPECT_EQ(read("bad.txt"), "status 9");
}
