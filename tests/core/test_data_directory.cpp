// The data directory the build writes: its package mounts and holds every file of data/.
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "core/packages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

// The path inside the package for a file of the source tree: string-table sources become
// their ".lang" tables, separators become '\'.
std::string packagedPathOf(const std::filesystem::path& relative) {
    std::string path = relative.generic_string();
    if (path.rfind("Lang/", 0) == 0 && relative.parent_path().filename() == "Strings") {
        path = (relative.parent_path() / relative.stem()).generic_string() + ".lang";
    }
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

TEST(DataDirectory, EverySourceFileIsInTheMountedPackage) {
    critSectionPoolInit();
    fileLayerInit();
    packagesInit();
    setDataDir(VELODRIX_BUILD_DATA_DIR "/");
    ASSERT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);

    int found = 0;
    const std::filesystem::path source = VELODRIX_SOURCE_DATA_DIR;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(source)) {
        if (!entry.is_regular_file()) continue;
        const std::filesystem::path relative = std::filesystem::relative(entry.path(), source);
        if (relative == "CMakeLists.txt" || relative == "BuildData.cmake") continue;
        const std::string path = packagedPathOf(relative);
        EXPECT_NE(packagedFileExists(path.c_str(), u32(-1)), 0u) << path;
        ++found;
    }
    EXPECT_GE(found, 7);

    packagesShutdown();
    fileLayerShutdown();
    critSectionPoolShutdown();
}

}  // namespace
