#include "bench/game_run.h"

#include "app/startup.h"
#include "bench/support.h"
#include "core/crit_section_pool.h"
#include "core/memory_allocator.h"
#include "library/song_scan_work.h"
#include "render/message_pump.h"
#include "render/render_imports.h"

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr const char* TITLE_PRESENTED = "presented TitleMenu at_ns=";
constexpr auto LOG_POLL = std::chrono::milliseconds(2);
// The input channels a player's start asks for.
constexpr u32 INPUT_CHANNELS = 38;

// Each line that sets the key (first word) goes; the key's line is appended.
std::string withSetting(const std::string& settings, const std::string& key, const std::string& value) {
    std::istringstream in(settings);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, key.size(), key) == 0 && (line.size() == key.size() || line[key.size()] == ' ')) continue;
        out += line + "\n";
    }
    return out + key + " " + value + "\n";
}

}  // namespace

fs::path packGameData(const fs::path& root, const std::vector<SSettingChange>& settings, bool withSoundtrack) {
    const fs::path stage = root / "stage";
    const fs::path data = root / "data";
    std::error_code error;
    fs::copy(VELODRIX_DATA_STAGE_DIR, stage, fs::copy_options::recursive, error);
    if (!error) fs::create_directories(data, error);
    if (error) {
        std::fprintf(stderr, "cannot copy the staged data: %s\n", error.message().c_str());
        return {};
    }
    std::string text = readWholeText(stage / "project.ini");
    for (const auto& [key, value] : settings) text = withSetting(text, key, value);
    std::ofstream(stage / "project.ini") << text;
    const SProcessRun pack = runProcess({VELODRIX_PACK_BINARY, "--compress", "*.txt", "--compress", "*.ini",
                                         "--compress", "*.lang", stage.string(), data.string(), "ASPEC"},
                                        DISCARD_OUTPUT, nullptr);
    if (pack.exitCode != 0) {
        std::fprintf(stderr, "packing the data failed\n");
        return {};
    }
    if (withSoundtrack) {
        fs::copy(fs::path(VELODRIX_BUILD_DATA_DIR) / "Soundtrack", data / "Soundtrack", fs::copy_options::recursive,
                 error);
        if (error) {
            std::fprintf(stderr, "cannot copy the soundtrack: %s\n", error.message().c_str());
            return {};
        }
    }
    return data;
}

u64 monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return u64(now.tv_sec) * 1000000000ull + u64(now.tv_nsec);
}

u64 threadCpuNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return u64(now.tv_sec) * 1000000000ull + u64(now.tv_nsec);
}

bool runGameInProcess(const fs::path& data, const fs::path& home, s32 (*frame)()) {
    std::error_code error;
    fs::create_directories(home, error);
    if (error || chdir(data.c_str()) != 0) {
        std::fprintf(stderr, "cannot enter %s\n", data.c_str());
        return false;
    }
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    critSectionPoolInit();
    setAllocatorReady();
    gameStartup("", "./", INPUT_CHANNELS);
    SRenderImports imports = renderImports();
    imports.runFrame = frame;
    setRenderImports(&imports);
    for (;;) {
        keepCursorCentred();
        if (!pumpMessages()) break;
    }
    gameShutdown();
    critSectionPoolShutdown();
    return true;
}

bool writeShortSongFile(const fs::path& path) {
    constexpr u32 CHANNELS = 2, RATE = 44100;
    if (!writeWav16(path, {}, CHANNELS, RATE)) return false;
    const u32 dataBytes = u32(SONG_SCAN_MIN_FILE_BYTES) - 44;
    const u32 riffBytes = dataBytes + 36;
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (!file) return false;
    const u8 riff[4] = {u8(riffBytes), u8(riffBytes >> 8), u8(riffBytes >> 16), u8(riffBytes >> 24)};
    const u8 data[4] = {u8(dataBytes), u8(dataBytes >> 8), u8(dataBytes >> 16), u8(dataBytes >> 24)};
    bool written = std::fseek(file, 4, SEEK_SET) == 0 && std::fwrite(riff, 1, 4, file) == 4 &&
                   std::fseek(file, 40, SEEK_SET) == 0 && std::fwrite(data, 1, 4, file) == 4;
    written = std::fclose(file) == 0 && written;
    std::error_code error;
    fs::resize_file(path, SONG_SCAN_MIN_FILE_BYTES, error);
    return written && !error;
}

fs::path albumFolder(const fs::path& music, u32 i, u32 perFolder) {
    if (perFolder == 0) return music;
    char name[32];
    std::snprintf(name, sizeof(name), "Album %05u", i / perFolder + 1);
    return music / name;
}

SFrameStats frameStatsOf(const std::vector<f64>& frames, f64 boundMs) {
    SFrameStats stats;
    stats.count = frames.size();
    for (f64 ms : frames) {
        stats.over += ms > boundMs;
        stats.worst = std::max(stats.worst, ms);
        stats.mean += ms;
    }
    if (!frames.empty()) stats.mean /= f64(frames.size());
    return stats;
}

std::string readWholeText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ClGameProcess::~ClGameProcess() {
    if (m_pid > 0) stop();
}

bool ClGameProcess::start(const fs::path& data, const fs::path& home) {
    m_home = home;
    std::error_code error;
    fs::create_directories(home, error);
    const std::string errors = (home / "stderr.txt").string();
    const std::string config = (home / ".config").string();
    const std::string share = (home / ".local/share").string();
    // The child's freopen would write out what this process still holds in its buffers.
    std::fflush(nullptr);
    m_pid = fork();
    if (m_pid == 0) {
        if (!freopen(errors.c_str(), "w", stderr) || !freopen("/dev/null", "w", stdout)) _exit(69);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", share.c_str(), 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        if (chdir(data.c_str()) != 0) _exit(70);
        execl(VELODRIX_GAME_BINARY, VELODRIX_GAME_BINARY, static_cast<char*>(nullptr));
        _exit(71);
    }
    return m_pid > 0;
}

fs::path ClGameProcess::userDir() const { return m_home / ".local/share/Orlenvane/Velodrix"; }

bool ClGameProcess::running() {
    if (m_pid <= 0) return false;
    if (waitpid(m_pid, &m_status, WNOHANG) != m_pid) return true;
    m_pid = -1;
    return false;
}

s32 ClGameProcess::stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, &m_status, 0);
        m_pid = -1;
    }
    return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
}

std::string ClGameProcess::errorText() const { return readWholeText(m_home / "stderr.txt"); }

u64 waitForTitlePresented(ClGameProcess& game, f64 limitSeconds) {
    const fs::path log = game.userDir() / "GAMEDATA/FrontEnd.log";
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<f64>(limitSeconds);
    while (std::chrono::steady_clock::now() < limit) {
        const std::string text = readWholeText(log);
        const size_t at = text.find(TITLE_PRESENTED);
        if (at != std::string::npos && text.find('\n', at) != std::string::npos)
            return std::strtoull(text.c_str() + at + std::char_traits<char>::length(TITLE_PRESENTED), nullptr, 10);
        if (!game.running()) return 0;
        std::this_thread::sleep_for(LOG_POLL);
    }
    return 0;
}
