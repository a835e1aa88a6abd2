// The game binary run as a child process from a data folder, its user data under a home of the
// test's own, its standard error into a file there, and its front end's switch log watched.
#pragma once

#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class ClGameProcess {
public:
    // The video driver is SDL's; a display name is set as DISPLAY. Another program than the game
    // (the game with scripted input) and further environment variables (over those of the home)
    // may be given.
    ClGameProcess(const std::string& directory, const std::string& home, const char* videoDriver = "offscreen",
                  const std::string& display = "", const char* binary = VELODRIX_GAME_BINARY,
                  const std::vector<std::pair<std::string, std::string>>& environment = {})
        : m_directory(directory), m_errors(home + "/stderr.txt"), m_log(home + "/.local/share/Orlenvane/Velodrix/GAMEDATA/FrontEnd.log") {
        std::filesystem::create_directories(home);
        std::filesystem::remove(m_log);
        pid = fork();
        if (pid != 0) return;
        // A test ended from outside (a timeout's kill) takes its game with it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (!freopen(m_errors.c_str(), "w", stderr)) _exit(69);
        setenv("SDL_VIDEODRIVER", videoDriver, 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!display.empty()) {
            setenv("DISPLAY", display.c_str(), 1);
            // SDL's X11 back end holds a desktop-bus connection for the life of the process; the
            // offscreen runs check the game's own memory.
            setenv("LSAN_OPTIONS", "detect_leaks=0", 1);
        }
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
        if (chdir(directory.c_str()) != 0) _exit(70);
        execl(binary, binary, static_cast<char*>(nullptr));
        _exit(71);
    }
    ~ClGameProcess() { end(SIGKILL); }
    ClGameProcess(const ClGameProcess&) = delete;
    ClGameProcess& operator=(const ClGameProcess&) = delete;

    // Polls the switch log until `done` holds for its text, the game ends or `limit` passes;
    // whether `done` held.
    template <class FDone>
    bool waitForLog(FDone done, std::chrono::seconds limit) {
        const auto start = std::chrono::steady_clock::now();
        while (!done(log = test_support::readFileText(m_log))) {
            if (waitpid(pid, &status, WNOHANG) == pid) ended = true;
            if (ended || std::chrono::steady_clock::now() - start > limit) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    bool waitForTitle(std::chrono::seconds limit = std::chrono::seconds(60)) {
        return waitForLog([](const std::string& text) { return text.find("presented TitleMenu") != std::string::npos; },
                          limit);
    }
    // Sends the signal unless the game has ended, waits for it and reads its standard error.
    void end(int signal) {
        if (!ended) {
            if (signal != 0) kill(pid, signal);
            waitpid(pid, &status, 0);
            ended = true;
        }
        errorText = test_support::readFileText(m_errors);
    }
    // How the game ended, for a failure's message: a crash with the reports it wrote in its folder.
    std::string endText() const {
        if (!ended) return "still running";
        if (!WIFSIGNALED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
        std::string text = "killed by signal " + std::to_string(WTERMSIG(status));
        for (const std::filesystem::path& report : crashReports(m_directory))
            text += "\n" + test_support::readFileText(report);
        return text;
    }
    // The crash reports a game run from the folder wrote there.
    static std::vector<std::filesystem::path> crashReports(const std::string& directory) {
        std::vector<std::filesystem::path> reports;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(directory, error))
            if (entry.path().extension() == ".dmp") reports.push_back(entry.path());
        return reports;
    }
    // The game's standard error so far and how it ended, for a failure's message.
    std::string whatHappened() const { return test_support::readFileText(m_errors) + "\n" + endText(); }
    // Ends the game as end() does; it must end by exit status 0, not by a signal, with no fatal
    // error written.
    void endCleanly(int signal) {
        end(signal);
        ASSERT_TRUE(WIFEXITED(status)) << endText() << "\n" << errorText;
        EXPECT_EQ(WEXITSTATUS(status), 0) << errorText;
        EXPECT_EQ(errorText.find("fatal"), std::string::npos) << errorText;
    }

    pid_t pid = -1;
    int status = 0;
    bool ended = false;
    std::string log, errorText;

private:
    std::string m_directory, m_errors, m_log;
};
