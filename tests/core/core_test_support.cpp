#include "tests/core/core_test_support.h"

#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/file_layer.h"
#include "core/packages.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>

namespace core_test {

void throwOnFatal(const char* reason) { throw SFatal(reason); }

void FatalThrowingTest::SetUp() { setFatalErrorHook(throwOnFatal); }
void FatalThrowingTest::TearDown() { setFatalErrorHook(nullptr); }

ClTempDir::ClTempDir() {
    char name[] = "/tmp/velodrix_test_XXXXXX";
    if (mkdtemp(name) == nullptr) throw std::runtime_error("no temporary folder");
    m_path = name;
}

ClTempDir::~ClTempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::vector<u8> patternBytes(u32 size) {
    std::vector<u8> bytes(size);
    for (u32 i = 0; i < size; ++i) bytes[i] = u8((i * 131u) ^ (i >> 13));
    return bytes;
}

std::string repeatedText(size_t length, const char* word) {
    std::string text;
    while (text.size() < length) text += word;
    text.resize(length);
    return text;
}

std::vector<u8> readFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(in), {});
}

std::string readFileText(const fs::path& path) {
    const std::vector<u8> bytes = readFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeFileBytes(const fs::path& path, const std::vector<u8>& bytes) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void writeFileText(const fs::path& path, const std::string& text) {
    writeFileBytes(path, std::vector<u8>(text.begin(), text.end()));
}

bool ClMemoryScriptSource::readScriptFile(const char* name, std::vector<char>* out) {
    ++reads[name];
    const auto found = files.find(name);
    if (found == files.end()) return false;
    out->assign(found->second.begin(), found->second.end());
    return true;
}

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

void PackageTest::packAndMount(const std::string& package, const SPackageWriterOptions& options,
                               const char* keyText) {
    pack(package, options);
    ASSERT_EQ(archiveMount(package.c_str(), 4, keyText), 1u);
}

fs::path PackageTest::packageFile(const std::string& package, const char* extension, const std::string& folder) const {
    const fs::path base = folder.empty() ? m_root.path() : m_root.path() / folder;
    return base / packageFileName(package.c_str(), extension);
}

}  // namespace core_test
