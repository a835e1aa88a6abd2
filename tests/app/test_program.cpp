// The whole program: it starts from its data directory, runs its frames, and ends cleanly on
// SIGINT or SIGTERM; without its data it stops with a line saying why.
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace {

struct SRun {
    int status = 0;
    std::string errorText;
};

// Starts the game in a folder with its user data under a fresh home, optionally sends a signal
// after a moment, and waits for it to end.
SRun runGame(const std::string& directory, const std::string& home, int signal) {
    int pipeEnds[2];
    EXPECT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDERR_FILENO);
        close(pipeEnds[0]);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        if (chdir(directory.c_str()) != 0) _exit(70);
        execl(VELODRIX_GAME_BINARY, VELODRIX_GAME_BINARY, static_cast<char*>(nullptr));
        _exit(71);
    }
    close(pipeEnds[1]);
    if (signal != 0) {
        usleep(500 * 1000);
        kill(child, signal);
    }
    SRun run;
    char buffer[512];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) run.errorText.append(buffer, size_t(got));
    close(pipeEnds[0]);
    waitpid(child, &run.status, 0);
    return run;
}

int dumpsIn(const std::string& directory) {
    int dumps = 0;
    if (DIR* dir = opendir(directory.c_str())) {
        while (const dirent* entry = readdir(dir)) dumps += std::string(entry->d_name).find(".dmp") != std::string::npos;
        closedir(dir);
    }
    return dumps;
}

TEST(Program, EndsCleanlyOnTerminationSignalsAndKeepsItsFoldersUnderTheUserDataHome) {
    for (int signal : {SIGTERM, SIGINT}) {
        const test_support::ClTempDir folder;
        const std::string home = folder.str();
        const SRun run = runGame(VELODRIX_BUILD_DATA_DIR, home, signal);
        ASSERT_TRUE(WIFEXITED(run.status)) << "killed by signal " << WTERMSIG(run.status) << "\n" << run.errorText;
        EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.errorText;
        EXPECT_EQ(dumpsIn(VELODRIX_BUILD_DATA_DIR), 0);
        struct stat info;
        EXPECT_EQ(stat((home + "/.local/share/Orlenvane/Velodrix/SAVEDATA").c_str(), &info), 0);
    }
}

TEST(Program, WithoutItsDataItStopsWithStatusThreeNamingTheSettingsFile) {
    const test_support::ClTempDir folder;
    const std::string directory = folder.str();
    const SRun run = runGame(directory, directory, 0);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 3);
    EXPECT_NE(run.errorText.find("project.ini"), std::string::npos) << run.errorText;
    EXPECT_EQ(dumpsIn(directory), 0);
}

}  // namespace
