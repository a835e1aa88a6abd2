// velodrix_script_lint <Scripts folder>: checks every text definition file under the folder
// with the game's parser. Findings go to standard error as "file:line: error|warning: text".
// Exit status 0 when there is no error (warnings allowed), 1 with errors, 2 when the folder
// cannot be read.
#include "core/script_lint.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool hiddenName(const fs::path& relative) {
    for (const fs::path& part : relative) {
        if (!part.empty() && part.string()[0] == '.') return true;
    }
    return false;
}

bool collectFiles(const fs::path& folder, std::vector<SScriptLintFile>* out) {
    std::error_code error;
    fs::recursive_directory_iterator it(folder, error);
    if (error) {
        std::fprintf(stderr, "%s: cannot read the folder: %s\n", folder.string().c_str(), error.message().c_str());
        return false;
    }
    for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) break;
        if (!it->is_regular_file()) continue;
        const fs::path relative = fs::relative(it->path(), folder);
        if (hiddenName(relative)) continue;
        std::ifstream stream(it->path(), std::ios::binary);
        if (!stream) {
            std::fprintf(stderr, "%s: cannot be read\n", it->path().string().c_str());
            return false;
        }
        SScriptLintFile file;
        file.name = relative.generic_string();
        std::replace(file.name.begin(), file.name.end(), '/', '\\');
        file.bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
        out->push_back(std::move(file));
    }
    if (error) {
        std::fprintf(stderr, "%s: listing broke off: %s\n", folder.string().c_str(), error.message().c_str());
        return false;
    }
    std::sort(out->begin(), out->end(),
              [](const SScriptLintFile& a, const SScriptLintFile& b) { return a.name < b.name; });
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <Scripts folder>\n", argc > 0 ? argv[0] : "velodrix_script_lint");
        return 2;
    }
    std::vector<SScriptLintFile> files;
    if (!collectFiles(argv[1], &files)) return 2;
    std::vector<SScriptLintMessage> messages;
    const u32 errors = lintScripts(files, &messages);
    for (const SScriptLintMessage& message : messages) {
        std::fprintf(stderr, "%s\n", formatScriptLintMessage(message).c_str());
    }
    std::fprintf(stderr, "%zu files, %u errors, %zu warnings\n", files.size(), errors, messages.size() - errors);
    return errors ? 1 : 0;
}
