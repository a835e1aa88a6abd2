// A temporary data directory with the file layer and the packages set up. The sources of package
// NAME go under "src_NAME/"; packing writes the pair into the data directory or a sub-folder of it.
#pragma once

#include "core/package_writer.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace test_support {

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void writeSource(const std::string& package, const std::string& relative, const std::string& contents);
    void pack(const std::string& package, const SPackageWriterOptions& options = {}, const std::string& folder = "");
    void packAndMount(const std::string& package);
    fs::path packageFile(const std::string& package, const char* extension, const std::string& folder = "") const;

    ClTempDir m_root;
};

using StringEntries = std::vector<std::pair<const char*, std::u16string>>;
// The image the game's table builder makes of the entries.
std::vector<u8> buildStringTable(const StringEntries& entries);

// The same with the language folder made and the string tables set up, none loaded yet.
class StringTableTest : public PackageTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the image as the named table of the current language into package TEST's sources.
    void addTable(const std::string& name, const std::vector<u8>& image);
    // Adds an "All" table of the given entries, packs and mounts the tables and loads "All".
    void mountAndLoadAll(const StringEntries& all);
};

}  // namespace test_support
