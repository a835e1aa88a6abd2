// The whole program: it starts from its data directory, runs its frames, and ends cleanly on
// SIGINT or SIGTERM; without its data it stops with a line saying why.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

struct SRun {
    int status = 0;
    std::string errorText;
    double cpuSeconds = 0;  // user and system time until the signal
    double wallSeconds = 0;
};

double processCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// Starts the game in a folder with its user data under a fresh home and the given video driver
// (and display), optionally sends a signal after a while, and waits for it to end.
SRun runGame(const std::string& directory, const std::string& home, int signal, const char* videoDriver = "offscreen",
             const std::string& display = "", int runMilliseconds = 500) {
    int pipeEnds[2];
    EXPECT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDERR_FILENO);
        close(pipeEnds[0]);
        setenv("SDL_VIDEODRIVER", videoDriver, 1);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        if (!display.empty()) {
            setenv("DISPLAY", display.c_str(), 1);
            // SDL's X11 back end holds a desktop-bus connection for the life of the process; the
            // offscreen runs check the game's own memory.
            setenv("LSAN_OPTIONS", "detect_leaks=0", 1);
        }
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        if (chdir(directory.c_str()) != 0) _exit(70);
        execl(VELODRIX_GAME_BINARY, VELODRIX_GAME_BINARY, static_cast<char*>(nullptr));
        _exit(71);
    }
    close(pipeEnds[1]);
    SRun run;
    if (signal != 0) {
        // The run is timed from the first presented title frame, which the front end logs (a loaded
        // machine, or a sanitizer build, can take longer than the run itself just to start); the
        // wait is at most 60 s.
        const std::string frontEndLog = home + "/.local/share/Orlenvane/Velodrix/GAMEDATA/FrontEnd.log";
        for (int wait = 0; wait < 6000; ++wait) {
            std::ifstream log(frontEndLog);
            const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
            if (text.find("presented TitleMenu") != std::string::npos) break;
            usleep(10000);
        }
        const double cpuAtTitle = processCpuSeconds(child);
        const auto atTitle = std::chrono::steady_clock::now();
        usleep(useconds_t(runMilliseconds) * 1000);
        run.cpuSeconds = processCpuSeconds(child) - cpuAtTitle;
        run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - atTitle).count();
        kill(child, signal);
    }
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

std::string makeTempDirectory() {
    char name[] = "/tmp/velodrix_run_XXXXXX";
    return mkdtemp(name);
}

void expectCleanEnd(const SRun& run) {
    ASSERT_TRUE(WIFEXITED(run.status)) << "killed by signal " << WTERMSIG(run.status) << "\n" << run.errorText;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.errorText;
}

TEST(Program, EndsCleanlyOnTerminationSignalsAndKeepsItsFoldersUnderTheUserDataHome) {
    for (int signal : {SIGTERM, SIGINT}) {
        const std::string home = makeTempDirectory();
        const SRun run = runGame(VELODRIX_BUILD_DATA_DIR, home, signal);
        expectCleanEnd(run);
        EXPECT_EQ(dumpsIn(VELODRIX_BUILD_DATA_DIR), 0);
        struct stat info;
        EXPECT_EQ(stat((home + "/.local/share/Orlenvane/Velodrix/SAVEDATA").c_str(), &info), 0);
        std::system(("rm -rf '" + home + "'").c_str());
    }
}

// Paced frames leave the processor mostly idle: on the title screen the game uses far less than a
// core while it waits for the display. The window is small (its own project.ini), so
// that the software rasteriser's fill does not count as the game's own work.
TEST(Program, RunsPacedFramesInItsWindowWithoutKeepingACoreBusy) {
    const std::string home = makeTempDirectory();
    const SRun run = runGame(VELODRIX_SMALL_WINDOW_DATA_DIR, home, SIGINT, "offscreen", "", 4000);
    expectCleanEnd(run);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Under the sanitizers their own checks would count as the game's work.
    EXPECT_LT(run.cpuSeconds, 0.8 * run.wallSeconds) << run.errorText;
#endif
    std::system(("rm -rf '" + home + "'").c_str());
}

// The X11 path, on a virtual X server (which has no window manager to give the focus).
TEST(Program, OpensItsWindowOnAnX11DisplayAndEndsCleanly) {
    int displayPipe[2];
    ASSERT_EQ(pipe(displayPipe), 0);
    const pid_t server = fork();
    if (server == 0) {
        close(displayPipe[0]);
        const std::string fd = std::to_string(displayPipe[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x720x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(72);
    }
    close(displayPipe[1]);
    char number[32] = {};
    const ssize_t got = read(displayPipe[0], number, sizeof number - 1);
    close(displayPipe[0]);
    if (got <= 0) {
        waitpid(server, nullptr, 0);
        GTEST_SKIP() << "no Xvfb (scripts/install-deps installs it)";
    }
    const std::string display = ":" + std::string(number, strcspn(number, "\n"));
    for (int signal : {SIGTERM, SIGINT}) {
        const std::string home = makeTempDirectory();
        expectCleanEnd(runGame(VELODRIX_BUILD_DATA_DIR, home, signal, "x11", display, 1500));
        std::system(("rm -rf '" + home + "'").c_str());
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
}

TEST(Program, WithoutItsDataItStopsWithStatusThreeNamingTheSettingsFile) {
    const std::string directory = makeTempDirectory();
    const SRun run = runGame(directory, directory, 0);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 3);
    EXPECT_NE(run.errorText.find("project.ini"), std::string::npos) << run.errorText;
    EXPECT_EQ(dumpsIn(directory), 0);
    std::system(("rm -rf '" + directory + "'").c_str());
}

// The package is there but its settings file holds no setting (the packer refuses a file of no
// bytes), or the package is missing beside other data: both stop at once naming what is wrong.
TEST(Program, AnEmptySettingsFileOrAMissingPackageStopsWithStatusThree) {
    const std::string directory = makeTempDirectory();
    const std::string stage = directory + "/stage";
    mkdir(stage.c_str(), 0755);
    std::ofstream(stage + "/project.ini") << "// no settings\n";
    const std::string pack = std::string(VELODRIX_PACK_BINARY) + " '" + stage + "' '" + directory + "' ASPEC > /dev/null";
    ASSERT_EQ(std::system(pack.c_str()), 0);
    SRun run = runGame(directory, directory, 0);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 3);
    EXPECT_NE(run.errorText.find("project.ini holds no settings"), std::string::npos) << run.errorText;

    std::remove((directory + "/ASPEC_win32.mdf").c_str());
    std::remove((directory + "/ASPEC_win32.mtc").c_str());
    std::ofstream(directory + "/project.ini") << "LANG eng\n";
    run = runGame(directory, directory, 0);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 3);
    EXPECT_NE(run.errorText.find("ASPEC"), std::string::npos) << run.errorText;
    std::system(("rm -rf '" + directory + "'").c_str());
}

}  // namespace
