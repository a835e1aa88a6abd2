// Script files held in memory, counting how often each name is read.
#pragma once

#include "core/script_cache.h"
#include "core/script_parser.h"
#include "tests/support/fatal_catch.h"

#include <map>
#include <string>
#include <vector>

namespace test_support {

class ClMemoryScriptSource : public IScriptSource {
public:
    bool readScriptFile(const char* name, std::vector<char>* out) override;
    std::map<std::string, std::string> files;
    std::map<std::string, int> reads;
};

// Script files installed as the script source for the holder's life: the registries are set up
// first, and every parsed script is freed at the end.
class ClInstalledScripts : public ClMemoryScriptSource {
public:
    explicit ClInstalledScripts(std::map<std::string, std::string> initial = {});
    ~ClInstalledScripts();
};

}  // namespace test_support
