// The package writer: folder walk, path hashing, storage choices, refusals and the listing.
#include "core/package_writer.h"

#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace ::testing;

namespace {

class PackageWriterFolder : public ::testing::Test {
protected:
    void writeSource(const std::string& relative, const std::string& contents) { m_folder.write("src/" + relative, contents); }
    std::string output(const char* extension) const { return m_folder.file("out/TEST_win32.") + extension; }

    // Why packing was refused, or "packed".
    std::string refusal(const SPackageWriterOptions& options = {}) {
        std::string error;
        return packageWriterPackFolder(m_folder.file("src").c_str(), m_folder.file("out").c_str(), "TEST", options, &error)
                   ? "packed"
                   : error;
    }
    // Packs the source folder and lists the package in record order.
    std::vector<SPackageListing> packAndList(const SPackageWriterOptions& options = {}) {
        EXPECT_EQ(refusal(options), "packed");
        std::vector<SPackageListing> lines;
        std::string error;
        EXPECT_TRUE(packageWriterList(output("mtc").c_str(), output("mdf").c_str(), &lines, &error)) << error;
        return lines;
    }
    // The listing's line for the path; throws when the listing lacks it.
    SPackageListing line(const std::vector<SPackageListing>& lines, const std::string& path) {
        for (const SPackageListing& entry : lines)
            if (entry.path == path) return entry;
        throw std::runtime_error("not listed: " + path);
    }

    test_support::ClTempDir m_folder;
};

std::string compressible(size_t length) { return test_support::repeatedText(length, "KEY = value; "); }

std::string noise(size_t length) {
    std::mt19937 random(7);
    std::string bytes(length, '\0');
    for (char& c : bytes) c = char(random());
    return bytes;
}

}  // namespace

TEST(PackageWriterPattern, NamePatternsMatchTheFileNameAndPathPatternsTheWholePath) {
    EXPECT_TRUE(packageWriterMatchPattern("*.fxo", "Shaders\\Glow.FXO"));
    EXPECT_FALSE(packageWriterMatchPattern("*.fxo", "Shaders.fxo\\Glow.txt"));
    EXPECT_TRUE(packageWriterMatchPattern("Audio\\*", "audio\\Music\\song.ogg"));
    EXPECT_FALSE(packageWriterMatchPattern("Audio\\*", "UI\\Audio\\x.qvi"));
    EXPECT_TRUE(packageWriterMatchPattern("*\\Strings\\*.lang", "Lang\\eng\\Strings\\Win32.lang"));
}

// What the entries hold is read back through the package reader by the package tests.

// Hidden files and folders are left out.
TEST_F(PackageWriterFolder, CompressesByPatternOnlyWhenSmallerAndStoresEffectsAndAudioPlain) {
    writeSource(".hidden", "left out");
    writeSource(".git/config", "left out");
    writeSource("Scripts/big.txt", compressible(5000));
    writeSource("Images/noise.bin", noise(3000));
    writeSource("Shaders/Glow.fxo", compressible(4000));
    writeSource("Audio/Music.ogg", compressible(4000));
    SPackageWriterOptions options;
    options.compressPatterns = {"*"};
    const std::vector<SPackageListing> lines = packAndList(options);
    EXPECT_EQ(lines.size(), 4u);
    const SPackageListing big = line(lines, "Scripts\\big.txt");
    EXPECT_THAT(big.compressedSize, AllOf(Gt(0u), Lt(big.size)));
    for (const char* stored : {"Images\\noise.bin", "Shaders\\Glow.fxo", "Audio\\Music.ogg"})
        EXPECT_EQ(line(lines, stored).compressedSize, 0u) << stored;
}

TEST_F(PackageWriterFolder, EnciphersWholeBlocksAfterCompressingButNeverEffects) {
    writeSource("secret.txt", compressible(1000));
    writeSource("Shaders/Glow.fxo", "effect");
    SPackageWriterOptions options;
    options.compressPatterns = {"*.txt"};
    options.encipherPatterns = {"*"};
    options.keyText = "test key";
    const std::vector<SPackageListing> lines = packAndList(options);
    const SPackageListing secret = line(lines, "secret.txt");
    EXPECT_GT(secret.compressedSize, 0);
    EXPECT_EQ(secret.encipheredSize % 16, 0u);
    EXPECT_GE(secret.encipheredSize, secret.compressedSize);
    EXPECT_EQ(line(lines, "Shaders\\Glow.fxo").encipheredSize, 0u);
}

// ---------------------------------------------------------------------------------------------
// Refusals

// Duplicate hashes are refused naming both paths, and nothing is written.
TEST_F(PackageWriterFolder, DuplicateHashesEmptyFilesEmptyFoldersAndKeylessEncipheringAreRefused) {
    writeSource("Data/Title.txt", "one");
    writeSource("data/title.TXT", "two");  // the same path to the case-blind hash
    const std::string duplicate = refusal();
    EXPECT_THAT(duplicate, HasSubstr("Title.txt"));
    EXPECT_THAT(duplicate, HasSubstr("title.TXT"));
    EXPECT_FALSE(std::filesystem::exists(output("mtc")));
    std::filesystem::remove_all(m_folder.file("src"));
    writeSource("project.ini", "");
    EXPECT_THAT(refusal(), HasSubstr("project.ini"));
    std::filesystem::remove(m_folder.file("src/project.ini"));
    EXPECT_THAT(refusal(), HasSubstr("nothing to pack"));
    writeSource("a.txt", "text");
    SPackageWriterOptions options;
    options.encipherPatterns = {"*"};
    EXPECT_THAT(refusal(options), HasSubstr("key"));
}

TEST_F(PackageWriterFolder, ListingRefusesADamagedTable) {
    writeSource("a.txt", "text");
    packAndList();
    std::filesystem::resize_file(output("mtc"), 20);
    std::vector<SPackageListing> lines;
    std::string error;
    EXPECT_FALSE(packageWriterList(output("mtc").c_str(), nullptr, &lines, &error));
    EXPECT_THAT(error, HasSubstr("TEST_win32.mtc"));
}
