#include "tests/support/package_test.h"

#include "core/directories.h"
#include "core/file_layer.h"
#include "core/packages.h"
#include "core/string_table.h"
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
