// The whole program: it starts from its data directory, runs its frames, and ends cleanly on
// SIGINT or SIGTERM; without its data it stops with a line saying why.
#include "tests/app/game_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using test_support::ClTempDir;

// Quitting takes well under a second; the bound leaves room for a loaded machine and the sanitizer
// build's leak check at exit.
constexpr int QUIT_LIMIT_SECONDS = 6;

// The processor time of a process, or of one of its threads ("/proc/<pid>/task/<tid>").
double processCpuSeconds(const std::string& procFolder) {
    const std::string text = test_support::readFileText(procFolder + "/stat");
    // Fields 14 and 15 (user and system ticks) follow the eleven after the name's closing bracket.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skipped;
    for (int i = 3; i < 14; ++i) fields >> skipped;
    unsigned long long utime = 0, stime = 0;
    fields >> utime >> stime;
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}
double processCpuSeconds(pid_t pid) { return processCpuSeconds("/proc/" + std::to_string(pid)); }

// Waits (at most a minute) until the game's thread of that name has used the processor for
// `seconds`; whether it did.
bool waitForThreadWork(pid_t pid, const std::string& name, double seconds) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < limit) {
        for (const fs::directory_entry& task : fs::directory_iterator(tasks)) {
            if (test_support::readFileText(task.path() / "comm") == name + "\n" &&
                processCpuSeconds(task.path().string()) >= seconds)
                return true;
        }
        usleep(20000);
    }
    return false;
}

// Run without a signal: it stops with status 3 and a line naming `why`, leaving no dump.
void expectStopNaming(const std::string& directory, const char* why) {
    ClGameProcess game(directory, directory);
    game.end(0);
    ASSERT_TRUE(WIFEXITED(game.status));
    EXPECT_EQ(WEXITSTATUS(game.status), 3);
    EXPECT_NE(game.errorText.find(why), std::string::npos) << game.errorText;
    EXPECT_TRUE(ClGameProcess::crashReports(directory).empty());
}

// Quitting waits neither for a 16-hour song's analysis nor for the tag read of a 5 GB file of
// zeros named as an MP3 (a download in progress) beside it: the scan stops at once.
TEST(Program, QuitsAtOnceDuringALongAnalysisBesideAFileOfZeros) {
    const ClTempDir home;
    test_support::writeSilentWav(home.file("Music/long.wav"), 22050, 16 * 3600);
    test_support::writeZeroFile(home.file("Music/download.mp3"), u64(5) << 30);
    ClGameProcess game(VELODRIX_BUILD_DATA_DIR, home.str());
    ASSERT_TRUE(game.waitForTitle()) << game.whatHappened();
    ASSERT_TRUE(waitForThreadWork(game.pid, "song scan", 0.2));
    const auto signalled = std::chrono::steady_clock::now();
    game.endCleanly(SIGTERM);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(QUIT_LIMIT_SECONDS));
    EXPECT_EQ(game.errorText.find("did not stop"), std::string::npos) << game.errorText;
}

// A second game started on the profile of a running one says that the game is running and ends,
// leaving the first to run on.
TEST(Program, ASecondGameOnTheSameProfileSaysTheGameIsRunningAndLeavesTheFirstAlone) {
    const ClTempDir home, otherHome;
    ClGameProcess game(VELODRIX_BUILD_DATA_DIR, home.str());
    ASSERT_TRUE(game.waitForTitle()) << game.whatHappened();
    ClGameProcess second(VELODRIX_BUILD_DATA_DIR, otherHome.str(), "offscreen", "", VELODRIX_GAME_BINARY,
                         {{"XDG_DATA_HOME", home.file(".local/share")}});
    second.end(0);
    ASSERT_TRUE(WIFEXITED(second.status)) << second.endText();
    EXPECT_EQ(WEXITSTATUS(second.status), 1);
    EXPECT_NE(second.errorText.find("already running"), std::string::npos) << second.errorText;
    EXPECT_EQ(waitpid(game.pid, nullptr, WNOHANG), 0) << "the first game ended";
    game.endCleanly(SIGTERM);
}

// Paced frames leave the processor idle between them: a frame loop that spun instead would keep a
// whole core busy on its own. The window is small (its own project.ini), so that the software
// rasteriser's fill does not count as the game's own work. The title screen takes about 0.6 of a
// core here on a quiet machine and more on a loaded one, so the bound is only just under a core.
// The game runs 4 s from its first presented title frame (a loaded machine, or a sanitizer build,
// can take longer than that just to start; the wait is at most 60 s), and ends on SIGINT.
TEST(Program, RunsPacedFramesInItsWindowWithoutKeepingACoreBusy) {
    const ClTempDir home;
    ClGameProcess game(VELODRIX_SMALL_WINDOW_DATA_DIR, home.str());
    game.waitForTitle();
    const double cpuAtTitle = processCpuSeconds(game.pid);
    const auto atTitle = std::chrono::steady_clock::now();
    usleep(4000000);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - atTitle).count();
    [[maybe_unused]] const double busy = (processCpuSeconds(game.pid) - cpuAtTitle) / wall;
    game.endCleanly(SIGINT);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Under the sanitizers their own checks would count as the game's work.
    EXPECT_LT(busy, 0.95) << game.errorText;
#endif
}

// A virtual X server of the test's own, started with -displayfd: ready once it has written its
// display number and its socket takes a connection. A start that fails or hangs is retried; the
// server is ended with the object.
class ClVirtualDisplay {
public:
    ClVirtualDisplay() {
        for (int attempt = 0; attempt < 3 && display.empty(); ++attempt) {
            if (start()) break;
            stop();
            if (!xvfbFound) return;
        }
    }
    ~ClVirtualDisplay() { stop(); }
    // Ends the server (the display goes away under whatever uses it).
    void stop() {
        if (m_server <= 0) return;
        kill(m_server, SIGTERM);
        waitpid(m_server, nullptr, 0);
        m_server = -1;
    }
    ClVirtualDisplay(const ClVirtualDisplay&) = delete;
    ClVirtualDisplay& operator=(const ClVirtualDisplay&) = delete;

    std::string display;  // empty when no server could be started
    std::string why;      // why not
    bool xvfbFound = true;

private:
    static constexpr int READY_MILLISECONDS = 30000;
    static constexpr int EXEC_FAILED = 72;

    bool start() {
        int displayPipe[2];
        if (pipe(displayPipe) != 0) {
            why = std::string("pipe: ") + strerror(errno);
            return false;
        }
        m_server = fork();
        if (m_server == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            close(displayPipe[0]);
            const std::string fd = std::to_string(displayPipe[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x720x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(EXEC_FAILED);
        }
        close(displayPipe[1]);
        const std::string number = readDisplayNumber(displayPipe[0]);
        close(displayPipe[0]);
        if (number.empty()) return false;
        for (int waited = 0; waited < READY_MILLISECONDS; waited += 20) {
            if (acceptsConnection("/tmp/.X11-unix/X" + number)) {
                display = ":" + number;
                return true;
            }
            if (ended()) return false;
            usleep(20000);
        }
        why = "Xvfb :" + number + " never took a connection on its socket";
        return false;
    }

    // The number the server writes once it listens; empty when it ends or hangs first.
    std::string readDisplayNumber(int fd) {
        std::string number;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(READY_MILLISECONDS);
        while (std::chrono::steady_clock::now() < limit) {
            pollfd waiting{fd, POLLIN, 0};
            if (poll(&waiting, 1, 100) <= 0) {
                if (ended()) return {};
                continue;
            }
            char buffer[32];
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got <= 0) {
                ended();
                if (why.empty()) why = "Xvfb closed its display pipe without a number";
                return {};
            }
            number.append(buffer, size_t(got));
            if (number.find('\n') != std::string::npos) return number.substr(0, number.find('\n'));
        }
        why = "Xvfb gave no display number in 30 s";
        return {};
    }

    static bool acceptsConnection(const std::string& path) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0) return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        return connected;
    }

    // Whether the server has ended (and why).
    bool ended() {
        int status = 0;
        if (m_server <= 0 || waitpid(m_server, &status, WNOHANG) != m_server) return false;
        m_server = -1;
        if (WIFEXITED(status) && WEXITSTATUS(status) == EXEC_FAILED) {
            xvfbFound = false;
            why = "no Xvfb on the path (scripts/install-deps installs it)";
        } else {
            why = "Xvfb ended at start with status " + std::to_string(status);
        }
        return true;
    }


    pid_t m_server = -1;
};

// The X11 path, on a virtual X server (which has no window manager to give the focus): the title
// comes, then the display goes away under the running game (the X server ends, as when the session
// is left): the game ends too, with status 1, instead of waiting forever on its own threads. The
// clean end on X11 is the window-manager run's.
TEST(Program, WhenItsDisplayGoesAwayItEnds) {
    ClVirtualDisplay server;
    if (server.display.empty()) GTEST_SKIP() << "no virtual X server: " << server.why;
    const ClTempDir home;
    ClGameProcess game(VELODRIX_BUILD_DATA_DIR, home.str(), "x11", server.display);
    ASSERT_TRUE(game.waitForTitle()) << game.whatHappened();
    server.stop();
    game.waitForLog([](const std::string&) { return false; }, std::chrono::seconds(60));
    ASSERT_TRUE(game.ended) << "still running a minute after its display went away";
    ASSERT_TRUE(WIFEXITED(game.status)) << game.whatHappened();
    EXPECT_EQ(WEXITSTATUS(game.status), 1);
}

// What a command printed on its standard output.
std::string commandOutput(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (size_t got = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, got);
        pclose(pipe);
    }
    return text;
}

// The command's output once it holds `text`, read every 0.1 s for up to a minute; the last output
// when it never does.
std::string outputOnceItHolds(const std::string& command, const std::string& text) {
    std::string output;
    for (int tries = 0; tries < 600 && output.find(text) == std::string::npos; ++tries) {
        usleep(100000);
        output = commandOutput(command);
    }
    return output;
}

// The integer after `label` in the text; -1 when it is not there.
int numberAfter(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + label.size());
}

// Under a window manager that frames the window once it is shown (openbox: a title bar above it),
// on a screen of exactly the size the game asks for, the window with its frame still fits the
// screen: its last rows are not cut off.
TEST(Program, UnderAWindowManagerTheWindowWithItsFrameFitsTheScreen) {
    const ClVirtualDisplay server;
    if (server.display.empty()) GTEST_SKIP() << "no virtual X server: " << server.why;
    const pid_t manager = fork();
    if (manager == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        setenv("DISPLAY", server.display.c_str(), 1);
        execlp("openbox", "openbox", static_cast<char*>(nullptr));
        _exit(72);
    }
    // The game starts under a window manager that has taken the screen, as a player's does: shown
    // while the manager is still starting, SDL's wait for the window to be mapped can wait forever.
    const std::string manages =
        outputOnceItHolds("xprop -display " + server.display + " -root _NET_SUPPORTING_WM_CHECK 2>/dev/null", "window id");
    ASSERT_NE(manages.find("window id"), std::string::npos) << "openbox never took the screen: " << manages;
    const ClTempDir home;
    ClGameProcess game(VELODRIX_BUILD_DATA_DIR, home.str(), "x11", server.display);
    ASSERT_TRUE(game.waitForTitle()) << game.whatHappened();
    const std::string window = " -display " + server.display + " -name Velodrix";
    // The frame's sides as the window manager states them: left, right, top, bottom.
    const std::string extents = outputOnceItHolds("xprop" + window + " _NET_FRAME_EXTENTS 2>/dev/null", "=");
    int frame[4] = {};
    ASSERT_EQ(std::sscanf(extents.c_str() + extents.find('='), "= %d, %d, %d, %d", &frame[0], &frame[1], &frame[2],
                          &frame[3]),
              4)
        << extents;
    // The fit follows the frame's first appearance a frame or two later: on a busy machine that
    // can take a while, so the window is read until it fits or a minute has gone.
    std::string geometry;
    int x = 0, y = 0, width = 0, height = 0;
    for (int tries = 0; tries < 600; ++tries) {
        usleep(100000);
        geometry = commandOutput("xwininfo" + window);
        x = numberAfter(geometry, "Absolute upper-left X:");
        y = numberAfter(geometry, "Absolute upper-left Y:");
        width = numberAfter(geometry, "Width:");
        height = numberAfter(geometry, "Height:");
        const bool fits = x - frame[0] >= 0 && x + width + frame[1] <= 1280 && y - frame[2] >= 0 && y + height + frame[3] <= 720;
        if (fits) break;
    }
    EXPECT_GE(x - frame[0], 0) << geometry;
    EXPECT_LE(x + width + frame[1], 1280) << geometry;
    EXPECT_GE(y - frame[2], 0) << geometry;
    EXPECT_LE(y + height + frame[3], 720) << geometry;
    game.endCleanly(SIGTERM);
    kill(manager, SIGTERM);
    waitpid(manager, nullptr, 0);
}

// No data at all; the package there but its settings file holding no setting (the packer refuses
// a file of no bytes); the package missing beside other data: each stops at once naming why.
TEST(Program, WithoutItsDataOrWithAnEmptySettingsFileItStopsWithStatusThreeNamingWhy) {
    const ClTempDir directory;
    expectStopNaming(directory.str(), "project.ini");

    directory.write("stage/project.ini", "// no settings\n");
    const std::string pack =
        std::string(VELODRIX_PACK_BINARY) + " '" + directory.file("stage") + "' '" + directory.str() + "' ASPEC > /dev/null";
    ASSERT_EQ(std::system(pack.c_str()), 0);
    expectStopNaming(directory.str(), "project.ini holds no settings");

    fs::remove(directory.file("ASPEC_win32.mdf"));
    fs::remove(directory.file("ASPEC_win32.mtc"));
    directory.write("project.ini", "LANG eng\n");
    expectStopNaming(directory.str(), "ASPEC");
}

}  // namespace
