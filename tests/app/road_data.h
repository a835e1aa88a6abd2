// The data set a road through the whole program runs from: the staged build data with some
// settings of its project.ini changed, packed into a data folder of the test's own.
#pragma once

#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

// One line of project.ini as the stage has it, and the line that takes its place.
struct SSettingChange {
    const char* from;
    const char* to;
};

// Packs the stage with the window forced to the size, each change made and `added` appended to
// project.ini; the data folder's Soundtrack folder is made and left empty.
inline std::filesystem::path packSettingsData(const std::filesystem::path& root, int width, int height,
                                              std::initializer_list<SSettingChange> changes,
                                              const std::string& added) {
    namespace fs = std::filesystem;
    const fs::path stage = root / "stage";
    const fs::path data = root / "data";
    fs::copy(VELODRIX_DATA_STAGE_DIR, stage, fs::copy_options::recursive);
    std::string settings = test_support::readFileText(stage / "project.ini");
    const std::string forcedWidth = "HARD_FORCED_WIDTH " + std::to_string(width) + "\n";
    const std::string forcedHeight = "HARD_FORCED_HEIGHT " + std::to_string(height) + "\n";
    std::vector<SSettingChange> all{{"HARD_FORCED_WIDTH 0\n", forcedWidth.c_str()},
                                    {"HARD_FORCED_HEIGHT 0\n", forcedHeight.c_str()}};
    all.insert(all.end(), changes);
    for (const SSettingChange& change : all) {
        const size_t at = settings.find(change.from);
        EXPECT_NE(at, std::string::npos) << change.from;
        if (at != std::string::npos) settings.replace(at, std::string(change.from).size(), change.to);
    }
    settings += added;
    std::ofstream(stage / "project.ini") << settings;
    fs::create_directories(data / "Soundtrack");
    const std::string pack = std::string(VELODRIX_PACK_BINARY) + " --compress '*.txt' --compress '*.ini' " +
                             "--compress '*.lang' '" + stage.string() + "' '" + data.string() + "' ASPEC > /dev/null";
    EXPECT_EQ(std::system(pack.c_str()), 0);
    return data;
}

// The packed data as above, with the build's Soundtrack (the demo song) as loose files beside it.
inline std::filesystem::path packRoadData(const std::filesystem::path& root, int width, int height,
                                          std::initializer_list<SSettingChange> changes, const std::string& added) {
    namespace fs = std::filesystem;
    const fs::path data = packSettingsData(root, width, height, changes, added);
    fs::copy(fs::path(VELODRIX_BUILD_DATA_DIR) / "Soundtrack", data / "Soundtrack", fs::copy_options::recursive);
    return data;
}
