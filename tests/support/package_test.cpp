#include "tests/support/package_test.h"

#include "core/directories.h"
#include "core/file_layer.h"
#include "core/name_hash.h"
#include "core/packages.h"
#include "core/string_table.h"
#include "core/string_table_format.h"
#include "tests/support/file_bytes.h"

namespace test_support {

void PackageTest::SetUp() {
    setDataDir((m_root.str() + "/").c_str());
    fileLayerInit();
    packagesInit();
}

void PackageTest::TearDown() {
    packagesShutdown();
    fileLayerShutdown();
    setDataDir("");
}

void StringTableTest::SetUp() {
    PackageTest::SetUp();
    buildLangDir();
    stringTablesInit();
}

void StringTableTest::TearDown() {
    stringTablesShutdown();
    PackageTest::TearDown();
}

std::vector<u8> buildStringTable(const StringEntries& entries) {
    std::vector<SStringTableInput> inputs;
    for (const auto& [key, text] : entries) inputs.push_back({crc32TextNoCase(key), text.c_str(), key});
    std::vector<u8> image;
    EXPECT_EQ(stringTableBuild(inputs.data(), u32(inputs.size()), &image).error, E_STRINGTABLEBUILD_OK);
    return image;
}

void StringTableTest::addTable(const std::string& name, const std::vector<u8>& image) {
    writeSource("TEST", std::string("Lang/") + g_aLanguageCodes[getLanguageIndex()] + "/Strings/" + name + ".lang",
                std::string(image.begin(), image.end()));
}

void StringTableTest::mountAndLoadAll(const StringEntries& all) {
    addTable("All", buildStringTable(all));
    packAndMount("TEST");
    ASSERT_EQ(stringTableLoad("All"), 1u);
}

void PackageTest::writeSource(const std::string& package, const std::string& relative, const std::string& contents) {
    writeFileText(m_root.path() / ("src_" + package) / relative, contents);
}

void PackageTest::pack(const std::string& package, const SPackageWriterOptions& options, const std::string& folder) {
    std::string error;
    const fs::path output = folder.empty() ? m_root.path() : m_root.path() / folder;
    ASSERT_TRUE(packageWriterPackFolder((m_root.path() / ("src_" + package)).c_str(), output.c_str(),
                                        package.c_str(), options, &error))
        << error;
}

void PackageTest::packAndMount(const std::string& package) {
    pack(package);
    ASSERT_EQ(archiveMount(package.c_str(), 4, nullptr), 1u);
}

fs::path PackageTest::packageFile(const std::string& package, const char* extension, const std::string& folder) const {
    const fs::path base = folder.empty() ? m_root.path() : m_root.path() / folder;
    return base / packageFileName(package.c_str(), extension);
}

}  // namespace test_support
