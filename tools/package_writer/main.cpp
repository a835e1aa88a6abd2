// velodrix_pack: turns a folder into a package pair, or lists a package's table of contents.
//
//   velodrix_pack [--compress PATTERN]... [--plain PATTERN]... SOURCE OUTPUT NAME
//   velodrix_pack --list NAME_win32.mtc
//
// Writes OUTPUT/NAME_win32.mdf and OUTPUT/NAME_win32.mtc. --encipher PATTERN with --key TEXT
// exists for tests: the game mounts its own packages without a key.
#include "core/package_writer.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void printUsage() {
    std::fprintf(stderr,
                 "usage: velodrix_pack [--compress PATTERN]... [--plain PATTERN]... "
                 "[--encipher PATTERN --key TEXT] SOURCE OUTPUT NAME\n"
                 "       velodrix_pack --list NAME_win32.mtc\n");
}

int fail(const std::string& message) {
    std::fprintf(stderr, "velodrix_pack: %s\n", message.c_str());
    return 1;
}

int list(const char* tablePath) {
    std::string dataPath = tablePath;
    const size_t length = dataPath.size();
    if (length > 4 && dataPath.compare(length - 4, 4, ".mtc") == 0) dataPath.replace(length - 4, 4, ".mdf");
    std::vector<SPackageListing> lines;
    std::string error;
    if (!packageWriterList(tablePath, dataPath.c_str(), &lines, &error)) return fail(error);
    std::printf("%-10s %10s %10s %10s %10s  %s\n", "hash", "offset", "size", "zlib", "cipher", "path");
    for (const SPackageListing& line : lines)
        std::printf("0x%08X %10u %10u %10u %10u  %s\n", line.pathHash, line.dataOffset, line.size,
                    line.compressedSize, line.encipheredSize, line.path.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    SPackageWriterOptions options;
    std::vector<const char*> positional;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argument, "--list") == 0 && hasValue) {
            return list(argv[i + 1]);
        } else if (std::strcmp(argument, "--compress") == 0 && hasValue) {
            options.compressPatterns.push_back(argv[++i]);
        } else if (std::strcmp(argument, "--plain") == 0 && hasValue) {
            options.plainPatterns.push_back(argv[++i]);
        } else if (std::strcmp(argument, "--encipher") == 0 && hasValue) {
            options.encipherPatterns.push_back(argv[++i]);
        } else if (std::strcmp(argument, "--key") == 0 && hasValue) {
            options.keyText = argv[++i];
        } else if (argument[0] == '-' && argument[1] == '-') {
            printUsage();
            return 2;
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 3) {
        printUsage();
        return 2;
    }
    std::string error;
    if (!packageWriterPackFolder(positional[0], positional[1], positional[2], options, &error)) return fail(error);
    return 0;
}
