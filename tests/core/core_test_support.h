// Fixtures shared by the core tests: fatal errors caught as exceptions, temporary folders, file
// bytes, and a data directory whose packages are written by the package writer.
#pragma once

#include "core/package_writer.h"
#include "core/script_parser.h"
#include "core/types.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace core_test {

namespace fs = std::filesystem;

// A fatal error, thrown by the hook that FatalThrowingTest sets.
struct SFatal : std::runtime_error {
    using std::runtime_error::runtime_error;
};
[[noreturn]] void throwOnFatal(const char* reason);

class FatalThrowingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The reason a call stops with, or "" when it returns.
template <typename Fn>
std::string fatalReasonOf(Fn fn) {
    try {
        fn();
    } catch (const SFatal& fatal) {
        return fatal.what();
    }
    return "";
}

// A fresh folder under /tmp, removed with everything in it.
class ClTempDir {
public:
    ClTempDir();
    ~ClTempDir();
    const fs::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }

private:
    fs::path m_path;
};

// Bytes that differ from piece to piece, so data landing at a wrong offset is seen.
std::vector<u8> patternBytes(u32 size);
// A text of the given length repeating a word: it compresses well.
std::string repeatedText(size_t length, const char* word);

// Writing creates the missing parent folders.
std::vector<u8> readFileBytes(const fs::path& path);
std::string readFileText(const fs::path& path);
void writeFileBytes(const fs::path& path, const std::vector<u8>& bytes);
void writeFileText(const fs::path& path, const std::string& text);

// Script files held in memory, counting how often each name is read.
class ClMemoryScriptSource : public IScriptSource {
public:
    bool readScriptFile(const char* name, std::vector<char>* out) override;
    std::map<std::string, std::string> files;
    std::map<std::string, int> reads;
};

// The temporary folder is the data directory, with the file layer and the packages set up. The
// sources of package NAME go under "src_NAME/"; packing writes the pair into the data directory
// or a sub-folder of it.
class PackageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void writeSource(const std::string& package, const std::string& relative, const std::string& contents);
    void pack(const std::string& package, const SPackageWriterOptions& options = {}, const std::string& folder = "");
    void packAndMount(const std::string& package, const SPackageWriterOptions& options = {},
                      const char* keyText = nullptr);
    fs::path packageFile(const std::string& package, const char* extension, const std::string& folder = "") const;

    ClTempDir m_root;
};

}  // namespace core_test
