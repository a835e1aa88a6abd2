// velodrix_strings: turns string-table sources into the game's ".lang" tables.
//
//   velodrix_strings OUTPUT_FOLDER SOURCE...
//
// Each SOURCE ("All.txt") becomes OUTPUT_FOLDER/<its name>.lang ("All.lang"). Give the tables
// of one language together, so that keys present in several of them are reported. Warnings go
// to standard error; any error writes nothing and exits 1.
#include "core/string_table_writer.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: velodrix_strings OUTPUT_FOLDER SOURCE...\n");
        return 2;
    }
    const std::vector<std::string> sources(argv + 2, argv + argc);
    std::vector<std::string> warnings;
    std::string error;
    const bool written = stringTableWriterWrite(sources, argv[1], &warnings, &error);
    for (const std::string& warning : warnings) std::fprintf(stderr, "velodrix_strings: warning: %s\n", warning.c_str());
    if (!written) {
        std::fprintf(stderr, "velodrix_strings: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
