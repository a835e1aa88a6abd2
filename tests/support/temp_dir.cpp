#include "tests/support/temp_dir.h"

#include "tests/support/file_bytes.h"

#include <stdlib.h>

#include <stdexcept>

namespace test_support {

ClTempDir::ClTempDir() {
    char name[] = "/tmp/velodrix_test_XXXXXX";
    if (mkdtemp(name) == nullptr) throw std::runtime_error("no temporary folder");
    m_path = name;
}

ClTempDir::~ClTempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::string ClTempDir::write(const std::string& name, std::string_view bytes) const {
    return write(name, std::vector<u8>(bytes.begin(), bytes.end()));
}

std::string ClTempDir::write(const std::string& name, const std::vector<u8>& bytes) const {
    const fs::path path = m_path / name;
    writeFileBytes(path, bytes);
    return path.string();
}

}  // namespace test_support
