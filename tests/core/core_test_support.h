// Old include path of the shared test support, kept until every suite names tests/support/.
#pragma once

#include "tests/support/fatal_catch.h"
#include "tests/support/file_bytes.h"
#include "tests/support/memory_script_source.h"
#include "tests/support/package_test.h"
#include "tests/support/temp_dir.h"

namespace core_test = test_support;
