#include "tests/support/memory_script_source.h"

#include "core/script_cache.h"

#include <utility>

namespace test_support {

bool ClMemoryScriptSource::readScriptFile(const char* name, std::vector<char>* out) {
    ++reads[name];
    const auto found = files.find(name);
    if (found == files.end()) return false;
    out->assign(found->second.begin(), found->second.end());
    return true;
}

ClInstalledScripts::ClInstalledScripts(std::map<std::string, std::string> initial) {
    files = std::move(initial);
    scriptRegistriesInit();
    setScriptSource(this);
}

ClInstalledScripts::~ClInstalledScripts() {
    freeAllScripts();
    setScriptSource(nullptr);
}

}  // namespace test_support
