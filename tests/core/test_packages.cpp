// Packages: mounting, look-up, reading packaged files (plain, compressed, enciphered), the
// asynchronous path, and damaged packages. Packages are made in a temporary folder with the
// package writer.
#include "core/packages.h"

#include "core/async_asset.h"
#include "core/directories.h"
#include "core/file_completions.h"
#include "core/file_layer.h"
#include "core/name_hash.h"
#include "core/package_format.h"
#include "core/package_writer.h"
#include "core/path_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string compressible(size_t length, const char* word) {
    std::string text;
    while (text.size() < length) text += word;
    text.resize(length);
    return text;
}

class Packages : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/velodrix_packages_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        m_root = name;
        setDataDir((m_root.string() + "/").c_str());
        fileLayerInit();
        packagesInit();
    }
    void TearDown() override {
        packagesShutdown();
        fileLayerShutdown();
        setDataDir("");
        fs::remove_all(m_root);
    }

    void writeSource(const std::string& package, const std::string& relative, const std::string& contents) {
        const fs::path path = m_root / ("src_" + package) / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }

    void pack(const std::string& package, const SPackageWriterOptions& options = {}, const std::string& folder = "") {
        std::string error;
        const fs::path output = folder.empty() ? m_root : m_root / folder;
        ASSERT_TRUE(packageWriterPackFolder((m_root / ("src_" + package)).c_str(), output.c_str(), package.c_str(),
                                            options, &error))
            << error;
    }

    fs::path packageFile(const std::string& package, const char* extension, const std::string& folder = "") {
        const fs::path base = folder.empty() ? m_root : m_root / folder;
        return base / packageFileName(package.c_str(), extension);
    }

    // Reads a packaged file the blocking way; the status of the first step that fails.
    u32 readPackaged(const std::string& path, std::string* out, u32 packageId = PACKAGE_ID_ANY) {
        SAssetFile* file = nullptr;
        u32 size = 0;
        u32 status = openPackagedFile(path.c_str(), &size, &file, packageId);
        if (status != 0) return status;
        EXPECT_EQ(prepareAssetFileBuffers(file, 0, size, 16, 4), 1u);
        status = readAssetFile(file, 0, size);
        if (status == 0) out->assign(reinterpret_cast<const char*>(file->data), size);
        EXPECT_EQ(closeAssetFileDisk(file), 0u);
        EXPECT_EQ(releaseAssetFile(file), 1u);
        return status;
    }

    // Changes one descriptor word of the entry for a path in a written table of contents.
    void patchDescriptor(const fs::path& table, const char* path, u32 word, u32 value) {
        std::vector<u8> image = readBytes(table);
        SPackageTableView view;
        ASSERT_EQ(packageTableOpen(&view, image.data(), image.size(), PACKAGE_DATA_SIZE_UNKNOWN), E_PACKAGETABLE_OK);
        const s32 index = relocTableFind(view.table, crc32TextNoCase(path));
        ASSERT_GE(index, 0);
        storeLe32(&image[relocTablePayloadOffset(view.table, u32(index)) + word * 4], value);
        writeBytes(table, image);
    }

    SPackageEntry entryOf(const std::string& package, const char* path) {
        const std::vector<u8> image = readBytes(packageFile(package, ".mtc"));
        SPackageTableView view;
        SPackageEntry entry;
        EXPECT_EQ(packageTableOpen(&view, image.data(), image.size(), PACKAGE_DATA_SIZE_UNKNOWN), E_PACKAGETABLE_OK);
        EXPECT_TRUE(packageTableFind(view, crc32TextNoCase(path), &entry));
        return entry;
    }

    static std::vector<u8> readBytes(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<u8>(std::istreambuf_iterator<char>(in), {});
    }
    static void writeBytes(const fs::path& path, const std::vector<u8>& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()),
                                                                      std::streamsize(bytes.size()));
    }

    // Mounts and returns what the mount wrote to standard error.
    std::string mountCapturingErrors(const char* name, u32* outResult) {
        ::testing::internal::CaptureStderr();
        *outResult = archiveMount(name, 4, nullptr);
        return ::testing::internal::GetCapturedStderr();
    }

    fs::path m_root;
};

SPackageWriterOptions everyKindOfEntry() {
    SPackageWriterOptions options;
    options.compressPatterns = {"comp*", "both*"};
    options.encipherPatterns = {"enc*", "both*"};
    options.keyText = "test key";
    return options;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Round trip through the writer and the reader

TEST_F(Packages, PlainCompressedAndEncipheredEntriesReadBackExactly) {
    const std::string plain = "FULLSCREEN = 0\n";
    const std::string compressed = compressible(70000, "compressed text ");
    const std::string enciphered = "seventeen bytes!!";
    const std::string both = compressible(3000, "both ways ");
    writeSource("ASPEC", "plain.txt", plain);
    writeSource("ASPEC", "comp.txt", compressed);
    writeSource("ASPEC", "enc.txt", enciphered);
    writeSource("ASPEC", "both.txt", both);
    pack("ASPEC", everyKindOfEntry());
    EXPECT_TRUE(entryOf("ASPEC", "comp.txt").compressed);
    EXPECT_TRUE(entryOf("ASPEC", "enc.txt").enciphered);
    EXPECT_TRUE(entryOf("ASPEC", "both.txt").compressed && entryOf("ASPEC", "both.txt").enciphered);

    ASSERT_EQ(archiveMount("ASPEC", 4, "test key"), 1u);
    std::string out;
    ASSERT_EQ(readPackaged("plain.txt", &out), 0u);
    EXPECT_EQ(out, plain);
    ASSERT_EQ(readPackaged("comp.txt", &out), 0u);
    EXPECT_EQ(out, compressed);
    ASSERT_EQ(readPackaged("enc.txt", &out), 0u);
    EXPECT_EQ(out, enciphered);
    ASSERT_EQ(readPackaged("both.txt", &out), 0u);
    EXPECT_EQ(out, both);
    EXPECT_EQ(getAssetFileCount(), 0u);
}

TEST_F(Packages, PlainEntriesReadInParts) {
    writeSource("ASPEC", "numbers.txt", "0123456789");
    pack("ASPEC");
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    SAssetFile* file = nullptr;
    u32 size = 0;
    ASSERT_EQ(openPackagedFile("numbers.txt", &size, &file, PACKAGE_ID_ANY), 0u);
    ASSERT_EQ(prepareAssetFileBuffers(file, 0, 4, 16, 4), 1u);
    ASSERT_EQ(readAssetFile(file, 6, 4), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file->data), 4), "6789");
    EXPECT_EQ(readAssetFile(file, 7, 4), 9u);  // past the entry
    EXPECT_EQ(readAssetFile(file, 0, 5), 9u);  // more than the buffer holds
    releaseAssetFile(file);
}

// ---------------------------------------------------------------------------------------------
// Look-up and mounting

TEST_F(Packages, LookUpIgnoresCaseSeparatorsAndTheDataDirectory) {
    writeSource("ASPEC", "Scripts/playbalance.txt", "balance");
    pack("ASPEC");
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    EXPECT_EQ(packagedFileExists("Scripts\\playbalance.txt", PACKAGE_ID_ANY), 1u);
    EXPECT_EQ(packagedFileExists("SCRIPTS\\PLAYBALANCE.TXT", PACKAGE_ID_ANY), 1u);
    EXPECT_EQ(packagedFileExists("Scripts/playbalance.txt", PACKAGE_ID_ANY), 1u);
    EXPECT_EQ(packagedFileExists((m_root.string() + "/Scripts/playbalance.txt").c_str(), PACKAGE_ID_ANY), 1u);
    EXPECT_EQ(packagedFileExists("playbalance.txt", PACKAGE_ID_ANY), 0u);
    std::string out;
    EXPECT_EQ(readPackaged("scripts\\Playbalance.TXT", &out), 0u);
    EXPECT_EQ(out, "balance");
    std::u16string wide = u"Scripts\\playbalance.txt";
    SAssetFile* file = nullptr;
    u32 size = 0;
    EXPECT_EQ(openPackagedFileW(wide.c_str(), &size, &file, PACKAGE_ID_ANY), 0u);
    EXPECT_EQ(size, 7u);
    releaseAssetFile(file);
    EXPECT_EQ(openPackagedFile("missing.txt", &size, &file, PACKAGE_ID_ANY), 1u);
    EXPECT_EQ(openPackagedFile(nullptr, &size, &file, PACKAGE_ID_ANY), 2u);
    EXPECT_EQ(openPackagedFile(std::string(FILE_PATH_LIMIT, 'a').c_str(), &size, &file, PACKAGE_ID_ANY), 2u);
}

TEST_F(Packages, FirstMountedPackageWinsAndAnIdSearchesOnlyItsPackage) {
    writeSource("ASPEC", "project.ini", "from ASPEC");
    writeSource("AAM", "project.ini", "from AAM");
    writeSource("AAM", "only.txt", "AAM only");
    pack("ASPEC");
    pack("AAM");
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    ASSERT_EQ(archiveMount("AAM", 4, nullptr), 1u);
    std::string out;
    ASSERT_EQ(readPackaged("project.ini", &out), 0u);
    EXPECT_EQ(out, "from ASPEC");
    ASSERT_EQ(readPackaged("project.ini", &out, crc32TextNoCase("AAM")), 0u);
    EXPECT_EQ(out, "from AAM");
    EXPECT_EQ(readPackaged("only.txt", &out, crc32TextNoCase("ASPEC")), 1u);
    EXPECT_EQ(readPackaged("project.ini", &out, crc32TextNoCase("NONE")), 1u);
    SPackage* holder = nullptr;
    EXPECT_EQ(findPackagedFile(&holder, "only.txt", PACKAGE_ID_ANY), 1u);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->id, crc32TextNoCase("AAM"));
}

TEST_F(Packages, MountingTwiceKeepsOneRecord) {
    writeSource("ASPEC", "a.txt", "a");
    pack("ASPEC");
    EXPECT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    EXPECT_EQ(archiveMount("aspec", 4, nullptr), 0u);
    EXPECT_EQ(getMountedPackageCount(), 1u);
}

TEST_F(Packages, AMissingPackageIsSilentlyNotMounted) {
    u32 result = 1;
    EXPECT_EQ(mountCapturingErrors("AAM", &result), "");
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(getMountedPackageCount(), 0u);
    EXPECT_EQ(packagedFileExists("project.ini", PACKAGE_ID_ANY), 0u);
}

TEST_F(Packages, BothFilesComeFromTheFallbackFolderWhenTheDataFileIsThere) {
    writeSource("ASPEC", "a.txt", "from Mag");
    pack("ASPEC", {}, "Mag");
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    std::string out;
    ASSERT_EQ(readPackaged("a.txt", &out), 0u);
    EXPECT_EQ(out, "from Mag");
}

TEST_F(Packages, APackageWhoseDataFileCannotBeOpenedMountsButItsEntriesDoNotOpen) {
    writeSource("ASPEC", "a.txt", "text");
    pack("ASPEC", {}, "Mag");
    fs::remove(packageFile("ASPEC", ".mdf", "Mag"));
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    EXPECT_EQ(packagedFileExists("a.txt", PACKAGE_ID_ANY), 1u);
    std::string out;
    EXPECT_EQ(readPackaged("a.txt", &out), 1u);
    EXPECT_EQ(getAssetFileCount(), 0u);
}

TEST_F(Packages, The769thFileObjectIsRefused) {
    writeSource("ASPEC", "a.txt", "text");
    pack("ASPEC");
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    std::vector<SAssetFile*> files;
    for (u32 i = 0; i < ASSET_FILE_POOL_SIZE; ++i) {
        SAssetFile* file = nullptr;
        u32 size = 0;
        ASSERT_EQ(openPackagedFile("a.txt", &size, &file, PACKAGE_ID_ANY), 0u);
        closeAssetFileDisk(file);  // the file layer has far fewer disk slots than objects
        files.push_back(file);
    }
    SAssetFile* file = nullptr;
    u32 size = 0;
    EXPECT_EQ(openPackagedFile("a.txt", &size, &file, PACKAGE_ID_ANY), 3u);
    EXPECT_EQ(releaseAssetFile(files[100]), 1u);
    EXPECT_EQ(releaseAssetFile(files[100]), 2u);  // released twice: nothing happens
    EXPECT_EQ(openPackagedFile("a.txt", &size, &file, PACKAGE_ID_ANY), 0u);
}

TEST_F(Packages, EncipheredEntriesWithoutAKeyStopTheProgram) {
    writeSource("ASPEC", "enc.txt", "secret");
    SPackageWriterOptions options;
    options.encipherPatterns = {"*"};
    options.keyText = "k";
    pack("ASPEC", options);
    EXPECT_EXIT(archiveMount("ASPEC", 4, nullptr), ::testing::ExitedWithCode(3), "without a key");
}

TEST_F(Packages, AWrongKeyGivesWrongBytesOrAFailureNeverAnOverrun) {
    writeSource("ASPEC", "both.txt", compressible(500, "abc "));
    writeSource("ASPEC", "enc.txt", "plain text here");
    pack("ASPEC", everyKindOfEntry());
    ASSERT_EQ(archiveMount("ASPEC", 4, "other key"), 1u);
    std::string out;
    EXPECT_EQ(readPackaged("both.txt", &out), 9u);  // the deciphered stream does not inflate
    ASSERT_EQ(readPackaged("enc.txt", &out), 0u);
    EXPECT_NE(out, "plain text here");
}

// ---------------------------------------------------------------------------------------------
// Damaged packages

TEST_F(Packages, TruncatedTablesAreRefusedNamingTheFile) {
    writeSource("ASPEC", "a.txt", "a");
    writeSource("ASPEC", "b.txt", "b");
    pack("ASPEC");
    const fs::path table = packageFile("ASPEC", ".mtc");
    const std::vector<u8> whole = readBytes(table);
    for (size_t length : {size_t(1), size_t(11), size_t(17), size_t(30), size_t(16 + 8 + 24 + 27)}) {
        writeBytes(table, std::vector<u8>(whole.begin(), whole.begin() + length));
        u32 result = 1;
        const std::string errors = mountCapturingErrors("ASPEC", &result);
        EXPECT_EQ(result, 0u) << length;
        EXPECT_NE(errors.find("ASPEC_win32.mtc"), std::string::npos) << errors;
        EXPECT_EQ(getMountedPackageCount(), 0u);
    }
}

TEST_F(Packages, EntriesPastTheEndOfTheDataFileAreRefused) {
    writeSource("ASPEC", "a.txt", "a");
    pack("ASPEC");
    patchDescriptor(packageFile("ASPEC", ".mtc"), "a.txt", 2, 0xFFFFFFF0u);
    u32 result = 1;
    const std::string errors = mountCapturingErrors("ASPEC", &result);
    EXPECT_EQ(result, 0u);
    EXPECT_NE(errors.find("data file"), std::string::npos) << errors;
}

TEST_F(Packages, CipherLengthsNotAMultipleOf16AreRefused) {
    writeSource("ASPEC", "enc.txt", "secret");
    pack("ASPEC", everyKindOfEntry());
    patchDescriptor(packageFile("ASPEC", ".mtc"), "enc.txt", 6, 15);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(archiveMount("ASPEC", 4, "test key"), 0u);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("multiple of 16"), std::string::npos);
}

TEST_F(Packages, ABadZlibStreamFailsTheRead) {
    writeSource("ASPEC", "comp.txt", compressible(4000, "zlib "));
    SPackageWriterOptions options;
    options.compressPatterns = {"*"};
    pack("ASPEC", options);
    const SPackageEntry entry = entryOf("ASPEC", "comp.txt");
    std::vector<u8> data = readBytes(packageFile("ASPEC", ".mdf"));
    for (u32 i = 2; i < entry.compressedSize; i += 7) data[entry.dataOffset + i] ^= 0x5A;
    writeBytes(packageFile("ASPEC", ".mdf"), data);
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    std::string out;
    EXPECT_EQ(readPackaged("comp.txt", &out), 9u);
}

TEST_F(Packages, AStreamThatInflatesShortOfTheSizeFailsTheRead) {
    writeSource("ASPEC", "comp.txt", compressible(4000, "zlib "));
    SPackageWriterOptions options;
    options.compressPatterns = {"*"};
    pack("ASPEC", options);
    patchDescriptor(packageFile("ASPEC", ".mtc"), "comp.txt", 4, 4001);
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    std::string out;
    EXPECT_EQ(readPackaged("comp.txt", &out), 9u);
}

TEST_F(Packages, ADataFileCutAfterTheMountFailsTheRead) {
    writeSource("ASPEC", "a.txt", "first");
    writeSource("ASPEC", "b.txt", compressible(100, "b"));
    pack("ASPEC");
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    fs::resize_file(packageFile("ASPEC", ".mdf"), entryOf("ASPEC", "b.txt").dataOffset + 10);
    std::string out;
    EXPECT_EQ(readPackaged("b.txt", &out), 9u);
}

TEST_F(Packages, NullAndBusyObjectsAreRefused) {
    EXPECT_EQ(readAssetFile(nullptr, 0, 1), 2u);
    EXPECT_EQ(closeAssetFileDisk(nullptr), 2u);
    EXPECT_EQ(releaseAssetFile(nullptr), 2u);
    EXPECT_EQ(prepareAssetFileBuffers(nullptr, 0, 1, 16, 4), 0u);
}

// ---------------------------------------------------------------------------------------------
// Asynchronous reads

namespace {

struct SAsyncOutcome {
    int done = 0;
    int failed = 0;
    u32 stage = 0;
    u32 error = 0;
};

void outcomeDone(void* user) { ++static_cast<SAsyncOutcome*>(user)->done; }
void outcomeFailed(u32 stage, u32 error, void* user) {
    SAsyncOutcome* outcome = static_cast<SAsyncOutcome*>(user);
    ++outcome->failed;
    outcome->stage = stage;
    outcome->error = error;
}

// Pumps completions until the outcome is known (bounded, so a lost completion fails the test).
void waitFor(const SAsyncOutcome& outcome) {
    for (int i = 0; i < 2000 && outcome.done + outcome.failed == 0; ++i) sleepAlertable(1);
}

}  // namespace

TEST_F(Packages, AsyncReadsArriveUnpackedOnTheIssuingThread) {
    const std::string text = compressible(3 * 0x100000 + 77, "asynchronous ");
    writeSource("ASPEC", "comp.txt", text);
    writeSource("ASPEC", "both.txt", compressible(999, "both "));
    pack("ASPEC", everyKindOfEntry());
    ASSERT_EQ(archiveMount("ASPEC", 4, "test key"), 1u);

    for (const char* path : {"comp.txt", "both.txt"}) {
        SAssetFile* file = nullptr;
        u32 size = 0;
        ASSERT_EQ(openPackagedFile(path, &size, &file, PACKAGE_ID_ANY), 0u);
        ASSERT_EQ(prepareAssetFileBuffers(file, 0, size, 16, 4), 1u);
        SAsyncOutcome outcome;
        ASSERT_EQ(readAssetFileAsync(file, 0, size, outcomeDone, &outcome, outcomeFailed, &outcome), 0u);
        EXPECT_EQ(outcome.done, 0);  // never inside the issuing call
        EXPECT_EQ(readAssetFile(file, 0, size), 12u);
        EXPECT_EQ(closeAssetFileDisk(file), 12u);
        waitFor(outcome);
        ASSERT_EQ(outcome.done, 1) << path;
        const std::string expected = std::string(path) == "comp.txt" ? text : compressible(999, "both ");
        EXPECT_EQ(std::string(reinterpret_cast<char*>(file->data), size), expected);
        releaseAssetFile(file);
    }
}

TEST_F(Packages, AsyncReadOfABadStreamFailsAtStage9) {
    writeSource("ASPEC", "comp.txt", compressible(4000, "zlib "));
    SPackageWriterOptions options;
    options.compressPatterns = {"*"};
    pack("ASPEC", options);
    const SPackageEntry entry = entryOf("ASPEC", "comp.txt");
    std::vector<u8> data = readBytes(packageFile("ASPEC", ".mdf"));
    data[entry.dataOffset + entry.compressedSize / 2] ^= 0xFF;
    data[entry.dataOffset + entry.compressedSize - 2] ^= 0xFF;
    writeBytes(packageFile("ASPEC", ".mdf"), data);
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);

    SAssetFile* file = nullptr;
    u32 size = 0;
    ASSERT_EQ(openPackagedFile("comp.txt", &size, &file, PACKAGE_ID_ANY), 0u);
    ASSERT_EQ(prepareAssetFileBuffers(file, 0, size, 16, 4), 1u);
    SAsyncOutcome outcome;
    ASSERT_EQ(readAssetFileAsync(file, 0, size, outcomeDone, &outcome, outcomeFailed, &outcome), 0u);
    waitFor(outcome);
    EXPECT_EQ(outcome.done, 0);
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_EQ(outcome.stage, u32(E_ASSETSTAGE_READ));
    EXPECT_EQ(file->ready, 1u);
    releaseAssetFile(file);
}

TEST_F(Packages, ReleasingAnObjectWithAReadInFlightWaitsForTheRead) {
    writeSource("ASPEC", "big.txt", compressible(2 * 0x100000, "x"));
    pack("ASPEC");
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    SAssetFile* file = nullptr;
    u32 size = 0;
    ASSERT_EQ(openPackagedFile("big.txt", &size, &file, PACKAGE_ID_ANY), 0u);
    ASSERT_EQ(prepareAssetFileBuffers(file, 0, size, 16, 4), 1u);
    SAsyncOutcome outcome;
    ASSERT_EQ(readAssetFileAsync(file, 0, size, outcomeDone, &outcome, outcomeFailed, &outcome), 0u);
    EXPECT_EQ(releaseAssetFile(file), 1u);
    EXPECT_EQ(outcome.done, 1);
    EXPECT_EQ(getAssetFileCount(), 0u);
}

TEST_F(Packages, TheAssetLoaderLoadsPackagedFilesUnpacked) {
    const std::string text = compressible(20000, "loader ");
    writeSource("ASPEC", "Shaders/Glow.txt", text);
    SPackageWriterOptions options;
    options.compressPatterns = {"*"};
    pack("ASPEC", options);
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);

    struct SLoad {
        int done = 0;
        int failed = 0;
        s32 stage = 0;
        u32 error = 0;
    } load, missing;
    auto onDone = [](SAsyncAssetEntry*, void* user) { ++static_cast<SLoad*>(user)->done; };
    auto onFail = [](SAsyncAssetEntry*, void* user, s32 stage, u32 error) {
        SLoad* l = static_cast<SLoad*>(user);
        ++l->failed;
        l->stage = stage;
        l->error = error;
    };
    SAsyncAssetEntry* entry =
        createAsyncAsset("Shaders\\Glow.txt", &load, onDone, onFail, nullptr, 4, false, nullptr, 0);
    SAsyncAssetEntry* absent = createAsyncAsset("nowhere.txt", &missing, onDone, onFail, nullptr, 4, false, nullptr, 0);
    ASSERT_NE(entry, nullptr);
    for (int i = 0; i < 2000 && (load.done + load.failed == 0 || missing.done + missing.failed == 0); ++i) {
        stepAsyncAssetLoader();
        sleepAlertable(1);
        pumpFileCompletions();
    }
    ASSERT_EQ(load.done, 1);
    EXPECT_EQ(entry->size, text.size());
    EXPECT_EQ(std::string(static_cast<char*>(entry->data), entry->size), text);
    EXPECT_EQ(missing.failed, 1);
    EXPECT_EQ(missing.stage, E_ASYNCSTAGE_OPEN);
    EXPECT_EQ(missing.error, 1u);
    releaseAsyncAsset(entry);
    releaseAsyncAsset(absent);
    EXPECT_EQ(getAssetFileCount(), 0u);
}

TEST_F(Packages, ShutdownAfterTheFileLayerDoesNotWaitForAnAbandonedRead) {
    writeSource("ASPEC", "big.txt", compressible(2 * 0x100000, "y"));
    pack("ASPEC");
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
    SAssetFile* file = nullptr;
    u32 size = 0;
    ASSERT_EQ(openPackagedFile("big.txt", &size, &file, PACKAGE_ID_ANY), 0u);
    ASSERT_EQ(prepareAssetFileBuffers(file, 0, size, 16, 4), 1u);
    SAsyncOutcome outcome;
    ASSERT_EQ(readAssetFileAsync(file, 0, size, outcomeDone, &outcome, outcomeFailed, &outcome), 0u);
    // The shutdown order of the game: the file layer goes first.
    fileLayerShutdown();
    packagesShutdown();
    EXPECT_EQ(getAssetFileCount(), 0u);
    EXPECT_EQ(getMountedPackageCount(), 0u);
    sleepAlertable(1);  // the abandoned completion runs and does nothing
    EXPECT_EQ(outcome.done + outcome.failed, 0);
}
