// The whole program: it starts, runs its frames, and ends cleanly on SIGINT or SIGTERM.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

int runGameAndSend(int signal) {
    char name[] = "/tmp/velodrix_run_XXXXXX";
    const std::string directory = mkdtemp(name);
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(directory.c_str()) != 0) _exit(70);
        execl(VELODRIX_GAME_BINARY, VELODRIX_GAME_BINARY, static_cast<char*>(nullptr));
        _exit(71);
    }
    usleep(300 * 1000);
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);

    int dumps = 0;
    if (DIR* dir = opendir(directory.c_str())) {
        while (const dirent* entry = readdir(dir)) dumps += std::string(entry->d_name).find(".dmp") != std::string::npos;
        closedir(dir);
    }
    std::system(("rm -rf '" + directory + "'").c_str());
    EXPECT_EQ(dumps, 0);
    return status;
}

TEST(Program, EndsCleanlyOnTerminationSignals) {
    for (int signal : {SIGTERM, SIGINT}) {
        const int status = runGameAndSend(signal);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

}  // namespace
