// The road of a song through the whole program: start-up, the demo song found and analysed, two
// plays chosen by the random input tester reaching the results, the song list again, a clean end
// on SIGTERM, and the plays' best scores in the save. The front end's switch log is followed.
//
// The plays end by QUICK_EXIT, which stores a fixed score: random input scores nothing in a short
// play. It picks the hardest difficulties with this seed, where the smallest enemy takes some 30
// to 50 hits of the ship's default gun, and only bullet kills drop the pickups that give score.
#include "core/directories.h"
#include "core/file_layer.h"
#include "core/crit_section_pool.h"
#include "library/song_library.h"
#include "library/user_save.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr auto ROAD_TIME_LIMIT = std::chrono::minutes(10);

std::string readText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string tail(const std::string& text, size_t lines) {
    size_t at = text.size();
    for (size_t n = 0; n <= lines && at != std::string::npos && at > 0; ++n) at = text.rfind('\n', at - 1);
    return at == std::string::npos ? text : text.substr(at + 1);
}

// The data set of the road: the built data with its own settings, packed, and the demo song as a
// loose file beside the package.
fs::path packRoadData(const fs::path& root) {
    const fs::path stage = root / "stage";
    const fs::path data = root / "data";
    fs::copy(VELODRIX_DATA_STAGE_DIR, stage, fs::copy_options::recursive);
    std::string settings = readText(stage / "project.ini");
    for (const auto& [from, to] : {std::pair{"USE_PAD_MONKEY 0\n", "USE_PAD_MONKEY 1\n"},
                                   std::pair{"END_GAME_EARLY_TIME 0\n", "END_GAME_EARLY_TIME 20\n"},
                                   std::pair{"RANDOM_SEED 0\n", "RANDOM_SEED 7\n"},
                                   std::pair{"QUICK_EXIT 0\n", "QUICK_EXIT 1\n"}}) {
        const size_t at = settings.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) settings.replace(at, std::string(from).size(), to);
    }
    settings += "FIXED_DT 0.016666\n";
    std::ofstream(stage / "project.ini") << settings;
    fs::create_directories(data / "Soundtrack");
    const std::string pack = std::string(VELODRIX_PACK_BINARY) + " --compress '*.txt' --compress '*.ini' " +
                             "--compress '*.lang' '" + stage.string() + "' '" + data.string() + "' ASPEC > /dev/null";
    EXPECT_EQ(std::system(pack.c_str()), 0);
    fs::copy(fs::path(VELODRIX_BUILD_DATA_DIR) / "Soundtrack", data / "Soundtrack", fs::copy_options::recursive);
    return data;
}

// Two "Results" lines, then the song list again.
bool roadDone(const std::string& log) {
    const size_t first = log.find("page Results");
    if (first == std::string::npos) return false;
    const size_t second = log.find("page Results", first + 1);
    return second != std::string::npos && log.find("page SongList", second) != std::string::npos;
}

TEST(WholeRoad, TwoPlaysOfTheDemoSongReachTheResultsAndTheirBestScoresAreSaved) {
    test_support::ClTempDir root;
    const fs::path data = packRoadData(root.path());
    const fs::path home = root.path() / "home";
    const fs::path userDir = home / ".local/share/Orlenvane/Velodrix";
    const fs::path logPath = userDir / "GAMEDATA/FrontEnd.log";
    const fs::path errors = root.path() / "stderr.txt";

    const pid_t game = fork();
    if (game == 0) {
        freopen(errors.c_str(), "w", stderr);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
        if (chdir(data.c_str()) != 0) _exit(70);
        execl(VELODRIX_GAME_BINARY, VELODRIX_GAME_BINARY, static_cast<char*>(nullptr));
        _exit(71);
    }
    const auto start = std::chrono::steady_clock::now();
    std::string log;
    int status = 0;
    bool ended = false;
    while (!roadDone(log = readText(logPath))) {
        if (waitpid(game, &status, WNOHANG) == game) {
            ended = true;
            break;
        }
        if (std::chrono::steady_clock::now() - start > ROAD_TIME_LIMIT) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    if (!ended) {
        kill(game, SIGTERM);
        waitpid(game, &status, 0);
    }
    const std::string errorText = readText(errors);
    ASSERT_TRUE(roadDone(log)) << (ended ? "the game ended early\n" : "no two results in 10 minutes\n")
                               << tail(log, 20) << errorText;
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status) << "\n" << errorText;
    EXPECT_EQ(WEXITSTATUS(status), 0) << errorText;
    EXPECT_EQ(errorText.find("fatal"), std::string::npos) << errorText;

    // Each play's difficulty, from its results line; the save holds the analysed song and the
    // play's score as the best at each.
    const std::regex resultsLine("page Results song=\"Velodrix Demo.wav\" difficulty=([0-5])");
    std::vector<int> levels;
    for (std::sregex_iterator it(log.begin(), log.end(), resultsLine), end; it != end; ++it)
        levels.push_back(std::stoi((*it)[1]));
    ASSERT_EQ(levels.size(), 2u) << log;

    critSectionPoolInit();
    fileLayerInit();
    const std::string user = userDir.string() + "/";
    setUserDataDirW(std::u16string(user.begin(), user.end()).c_str());
    createSongLibrary();
    ASSERT_EQ(saveRead(0), 1);
    ASSERT_EQ(g_SongLibrary.songs.size(), 1u);
    EXPECT_EQ(g_SongLibrary.songs[0].state, u32(E_SONGSTATE_READY));
    for (int level : levels) EXPECT_GT(g_SongLibrary.songs[0].bestScores[level], 0) << level;
    freeSongLibrary();
    fileLayerShutdown();
}

}  // namespace
