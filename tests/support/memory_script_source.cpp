#include "tests/support/memory_script_source.h"

namespace test_support {

bool ClMemoryScriptSource::readScriptFile(const char* name, std::vector<char>* out) {
    ++reads[name];
    const auto found = files.find(name);
    if (found == files.end()) return false;
    out->assign(found->second.begin(), found->second.end());
    return true;
}

}  // namespace test_support
