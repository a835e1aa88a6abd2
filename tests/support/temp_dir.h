// A fresh folder under /tmp for a test's own files, removed with everything in it.
#pragma once

#include "platform/types.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

namespace fs = std::filesystem;

class ClTempDir {
public:
    ClTempDir();
    ~ClTempDir();
    ClTempDir(const ClTempDir&) = delete;
    ClTempDir& operator=(const ClTempDir&) = delete;

    const fs::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    // Writes the bytes as the named file, making its folders, and returns its path.
    std::string write(const std::string& name, std::string_view bytes) const;
    std::string write(const std::string& name, const std::vector<u8>& bytes) const;

private:
    fs::path m_path;
};

}  // namespace test_support
