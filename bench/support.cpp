#include "bench/support.h"

#include "core/package_format.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char** environ;

namespace {

constexpr u32 WAV_HEADER_BYTES = 44;

f64 secondsOf(const timeval& value) { return f64(value.tv_sec) + f64(value.tv_usec) * 1e-6; }

void storeLe16(u8* bytes, u32 value) {
    bytes[0] = u8(value);
    bytes[1] = u8(value >> 8);
}

}  // namespace

std::filesystem::path makeScratchFolder(const char* prefix) {
    std::error_code noTemp;
    std::string folderTemplate =
        (std::filesystem::temp_directory_path(noTemp) / (std::string(prefix) + "_XXXXXX")).string();
    if (noTemp || !mkdtemp(folderTemplate.data())) {
        std::fprintf(stderr, "%s: cannot make a scratch folder: %s\n", program_invocation_short_name,
                     std::strerror(errno));
        return {};
    }
    return folderTemplate;
}

void finishScratchFolder(const std::filesystem::path& folder, bool keep) {
    if (keep) {
        std::printf("files kept in %s\n", folder.c_str());
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

bool writeWav16(const std::filesystem::path& path, const std::vector<s16>& samples, u32 channels, u32 rate) {
    const u32 dataBytes = u32(samples.size() * 2);
    std::vector<u8> bytes(WAV_HEADER_BYTES + size_t(dataBytes));
    u8* header = bytes.data();
    std::memcpy(header, "RIFF", 4);
    storeLe32(header + 4, WAV_HEADER_BYTES - 8 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    storeLe32(header + 16, 16);
    storeLe16(header + 20, 1);  // PCM
    storeLe16(header + 22, channels);
    storeLe32(header + 24, rate);
    storeLe32(header + 28, rate * channels * 2);
    storeLe16(header + 32, channels * 2);
    storeLe16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    storeLe32(header + 40, dataBytes);
    for (size_t i = 0; i < samples.size(); ++i) storeLe16(header + WAV_HEADER_BYTES + 2 * i, u16(samples[i]));
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

SProcessRun runProcess(const std::vector<std::string>& arguments, const char* outFile, const char* errFile) {
    SProcessRun run;
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outFile) posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errFile) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "%s: cannot start %s: %s\n", program_invocation_short_name, argv[0],
                     std::strerror(spawned));
        return run;
    }
    int status = 0;
    rusage usage = {};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.wallSeconds = std::chrono::duration<f64>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<std::string> substitute(const std::vector<std::string>& pattern, const std::string& in,
                                    const std::string& out) {
    std::vector<std::string> result;
    for (const std::string& word : pattern) result.push_back(word == "{in}" ? in : word == "{out}" ? out : word);
    return result;
}
