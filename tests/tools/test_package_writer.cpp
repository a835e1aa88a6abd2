// The package writer: folder walk, path hashing, storage choices, refusals and the listing.
#include "core/package_writer.h"

#include "core/cipher.h"
#include "core/name_hash.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class PackageWriterFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/velodrix_pack_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        m_root = name;
        fs::create_directories(m_root / "src");
    }
    void TearDown() override { fs::remove_all(m_root); }

    void writeSource(const std::string& relative, const std::string& contents) {
        const fs::path path = m_root / "src" / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }
    std::string source() const { return (m_root / "src").string(); }
    std::string output() const { return (m_root / "out").string(); }
    std::string outputFile(const char* name) const { return (m_root / "out" / name).string(); }

    std::vector<u8> readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<u8>(std::istreambuf_iterator<char>(in), {});
    }

    bool pack(const SPackageWriterOptions& options, std::string* error) {
        return packageWriterPackFolder(source().c_str(), output().c_str(), "TEST", options, error);
    }

    std::vector<SPackageListing> list() {
        std::vector<SPackageListing> lines;
        std::string error;
        EXPECT_TRUE(packageWriterList(outputFile("TEST_win32.mtc").c_str(), outputFile("TEST_win32.mdf").c_str(),
                                      &lines, &error))
            << error;
        return lines;
    }

    const SPackageListing* find(const std::vector<SPackageListing>& lines, const char* path) {
        for (const SPackageListing& line : lines)
            if (line.path == path) return &line;
        return nullptr;
    }

    fs::path m_root;
};

std::string compressible(size_t length) {
    std::string text;
    while (text.size() < length) text += "KEY = value; ";
    text.resize(length);
    return text;
}

std::string noise(size_t length) {
    std::mt19937 random(7);
    std::string bytes(length, '\0');
    for (char& c : bytes) c = char(random());
    return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Patterns

TEST(PackageWriterPattern, NamePatternsMatchTheFileNameInAnyFolder) {
    EXPECT_TRUE(packageWriterMatchPattern("*.fxo", "Shaders\\Glow.FXO"));
    EXPECT_TRUE(packageWriterMatchPattern("*.fxo", "Glow.fxo"));
    EXPECT_FALSE(packageWriterMatchPattern("*.fxo", "Shaders.fxo\\Glow.txt"));
    EXPECT_TRUE(packageWriterMatchPattern("?lo*", "A\\Glow.fxo"));
    EXPECT_FALSE(packageWriterMatchPattern("*.fx", "Glow.fxo"));
}

TEST(PackageWriterPattern, PathPatternsMatchTheWholeRelativePath) {
    EXPECT_TRUE(packageWriterMatchPattern("Audio\\*", "audio\\Music\\song.ogg"));
    EXPECT_FALSE(packageWriterMatchPattern("Audio\\*", "UI\\Audio\\x.qvi"));
    EXPECT_TRUE(packageWriterMatchPattern("*\\Strings\\*.lang", "Lang\\eng\\Strings\\Win32.lang"));
}

// ---------------------------------------------------------------------------------------------
// Folder walk and names

TEST_F(PackageWriterFolder, PathsAreRelativeWithBackslashesAndHashedAsTheGameDoes) {
    writeSource("project.ini", "FULLSCREEN = 0\n");
    writeSource("Lang/eng/Strings/Win32.lang", "strings");
    writeSource("Scripts/playbalance.txt", "balance");
    writeSource(".hidden", "left out");
    writeSource(".git/config", "left out");
    std::string error;
    ASSERT_TRUE(pack({}, &error)) << error;
    EXPECT_TRUE(fs::exists(outputFile("TEST_win32.mdf")));

    const std::vector<SPackageListing> lines = list();
    ASSERT_EQ(lines.size(), 3u);
    ASSERT_NE(find(lines, "project.ini"), nullptr);
    EXPECT_EQ(find(lines, "project.ini")->pathHash, 0xFD2998FBu);
    ASSERT_NE(find(lines, "Lang\\eng\\Strings\\Win32.lang"), nullptr);
    EXPECT_EQ(find(lines, "Lang\\eng\\Strings\\Win32.lang")->pathHash, 0x3D12325Bu);
    ASSERT_NE(find(lines, "Scripts\\playbalance.txt"), nullptr);
    EXPECT_EQ(find(lines, "Scripts\\playbalance.txt")->pathHash, 0x1487A4AFu);
    // Listed in record order: ascending signed hashes.
    for (size_t i = 1; i < lines.size(); ++i) EXPECT_LT(s32(lines[i - 1].pathHash), s32(lines[i].pathHash));
}

TEST_F(PackageWriterFolder, PlainEntriesHoldTheFileBytesOnAlignedOffsets) {
    writeSource("a.txt", "first");
    writeSource("b.txt", "second file");
    std::string error;
    ASSERT_TRUE(pack({}, &error)) << error;
    const std::vector<u8> data = readFile(outputFile("TEST_win32.mdf"));
    const std::vector<SPackageListing> lines = list();
    for (const char* name : {"a.txt", "b.txt"}) {
        const SPackageListing* line = find(lines, name);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->dataOffset % PACKAGE_WRITER_ENTRY_ALIGNMENT, 0u);
        ASSERT_LE(line->dataOffset + line->size, data.size());
        const std::vector<u8> expected = readFile(source() + "/" + name);
        EXPECT_EQ(std::vector<u8>(data.begin() + line->dataOffset, data.begin() + line->dataOffset + line->size),
                  expected);
    }
}

// ---------------------------------------------------------------------------------------------
// Storage choices

TEST_F(PackageWriterFolder, CompressesByPatternOnlyWhenSmaller) {
    const std::string text = compressible(5000);
    writeSource("Scripts/big.txt", text);
    writeSource("Images/noise.bin", noise(3000));
    writeSource("Shaders/Glow.fxo", compressible(4000));
    writeSource("Audio/Music.ogg", compressible(4000));
    SPackageWriterOptions options;
    options.compressPatterns = {"*"};
    std::string error;
    ASSERT_TRUE(pack(options, &error)) << error;
    const std::vector<SPackageListing> lines = list();

    const SPackageListing* big = find(lines, "Scripts\\big.txt");
    ASSERT_NE(big, nullptr);
    ASSERT_GT(big->compressedSize, 0u);
    EXPECT_LT(big->compressedSize, big->size);
    // A zlib stream (not raw deflate or gzip), as `uncompress` wants it.
    const std::vector<u8> data = readFile(outputFile("TEST_win32.mdf"));
    std::vector<u8> unpacked(big->size);
    uLongf length = big->size;
    ASSERT_EQ(uncompress(unpacked.data(), &length, data.data() + big->dataOffset, big->compressedSize), Z_OK);
    EXPECT_EQ(std::string(unpacked.begin(), unpacked.end()), text);

    EXPECT_EQ(find(lines, "Images\\noise.bin")->compressedSize, 0u);
    EXPECT_EQ(find(lines, "Shaders\\Glow.fxo")->compressedSize, 0u);
    EXPECT_EQ(find(lines, "Audio\\Music.ogg")->compressedSize, 0u);
}

TEST_F(PackageWriterFolder, EnciphersAfterCompressingWithZeroIv) {
    const std::string text = compressible(1000);
    writeSource("secret.txt", text);
    writeSource("Shaders/Glow.fxo", "effect");
    SPackageWriterOptions options;
    options.compressPatterns = {"*.txt"};
    options.encipherPatterns = {"*"};
    options.keyText = "test key";
    std::string error;
    ASSERT_TRUE(pack(options, &error)) << error;
    const std::vector<SPackageListing> lines = list();
    const SPackageListing* secret = find(lines, "secret.txt");
    ASSERT_NE(secret, nullptr);
    EXPECT_EQ(secret->encipheredSize % 16, 0u);
    EXPECT_GE(secret->encipheredSize, secret->compressedSize);
    EXPECT_EQ(find(lines, "Shaders\\Glow.fxo")->encipheredSize, 0u);

    const std::vector<u8> data = readFile(outputFile("TEST_win32.mdf"));
    u8 key[16];
    u8 iv[16] = {};
    makeKeyFromText(key, "test key");
    u8* plain = nullptr;
    ASSERT_TRUE(decryptBuffer(data.data() + secret->dataOffset, secret->encipheredSize, &plain, key, iv));
    std::vector<u8> unpacked(secret->size);
    uLongf length = secret->size;
    EXPECT_EQ(uncompress(unpacked.data(), &length, plain, secret->compressedSize), Z_OK);
    std::free(plain);
    EXPECT_EQ(std::string(unpacked.begin(), unpacked.end()), text);
}

// ---------------------------------------------------------------------------------------------
// Refusals

TEST_F(PackageWriterFolder, DuplicateHashesAreRefusedNamingBothPathsAndNothingIsWritten) {
    writeSource("Data/Title.txt", "one");
    writeSource("data/title.TXT", "two");  // the same path to the case-blind hash
    std::string error;
    EXPECT_FALSE(pack({}, &error));
    EXPECT_NE(error.find("Title.txt"), std::string::npos) << error;
    EXPECT_NE(error.find("title.TXT"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(outputFile("TEST_win32.mdf")));
    EXPECT_FALSE(fs::exists(outputFile("TEST_win32.mtc")));
}

TEST_F(PackageWriterFolder, EmptyFilesAndEmptyFoldersAreRefused) {
    writeSource("project.ini", "");
    std::string error;
    EXPECT_FALSE(pack({}, &error));
    EXPECT_NE(error.find("project.ini"), std::string::npos) << error;

    fs::remove(m_root / "src" / "project.ini");
    EXPECT_FALSE(pack({}, &error));
    EXPECT_NE(error.find("nothing to pack"), std::string::npos) << error;
}

TEST_F(PackageWriterFolder, EncipheringWithoutKeyIsRefused) {
    writeSource("a.txt", "text");
    SPackageWriterOptions options;
    options.encipherPatterns = {"*"};
    std::string error;
    EXPECT_FALSE(pack(options, &error));
    EXPECT_NE(error.find("key"), std::string::npos);
}

TEST_F(PackageWriterFolder, ListingRefusesADamagedTable) {
    writeSource("a.txt", "text");
    std::string error;
    ASSERT_TRUE(pack({}, &error)) << error;
    fs::resize_file(outputFile("TEST_win32.mtc"), 20);
    std::vector<SPackageListing> lines;
    EXPECT_FALSE(packageWriterList(outputFile("TEST_win32.mtc").c_str(), nullptr, &lines, &error));
    EXPECT_NE(error.find("TEST_win32.mtc"), std::string::npos);
}
