// Old include path of the shared test support, kept until every suite names tests/support/.
#pragma once

#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <string>
#include <vector>

namespace file_test {

using test_support::pcm16Bytes;
using test_support::wavImage;
using ClTempFolder = test_support::ClTempDir;
inline std::vector<u8> readBytes(const std::string& path) { return test_support::readFileBytes(path); }

}  // namespace file_test
