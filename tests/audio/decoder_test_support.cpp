#include "decoder_test_support.h"

#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/log_manager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace decoder_test {

namespace {

void putLe(std::vector<u8>* out, u32 value, u32 bytes) {
    for (u32 i = 0; i < bytes; ++i) out->push_back(u8(value >> (8 * i)));
}

void putId(std::vector<u8>* out, const char* id) { out->insert(out->end(), id, id + 4); }

// The format GUID's tail shared by PCM and float subformats.
const u8 kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool writeWav(const std::string& path, u32 channels, u32 rate, u32 validBits, u32 container, bool floats,
              const std::vector<u8>& data) {
    const bool extensible = floats || (validBits % 8) != 0;
    std::vector<u8> fmt;
    putLe(&fmt, extensible ? 0xFFFE : 1, 2);
    putLe(&fmt, channels, 2);
    putLe(&fmt, rate, 4);
    putLe(&fmt, rate * channels * container, 4);
    putLe(&fmt, channels * container, 2);
    putLe(&fmt, container * 8, 2);
    if (extensible) {
        putLe(&fmt, 22, 2);
        putLe(&fmt, validBits, 2);
        putLe(&fmt, 0, 4);
        putLe(&fmt, floats ? 3 : 1, 2);
        fmt.insert(fmt.end(), kSubFormatTail, kSubFormatTail + sizeof(kSubFormatTail));
    }
    std::vector<u8> file;
    putId(&file, "RIFF");
    putLe(&file, u32(4 + 8 + fmt.size() + 8 + data.size()), 4);
    putId(&file, "WAVE");
    putId(&file, "fmt ");
    putLe(&file, u32(fmt.size()), 4);
    file.insert(file.end(), fmt.begin(), fmt.end());
    putId(&file, "data");
    putLe(&file, u32(data.size()), 4);
    file.insert(file.end(), data.begin(), data.end());
    return writeFileBytes(path, file);
}

}  // namespace

std::vector<s32> makeSignal(u32 frames, u32 channels, u32 rate, u32 bits) {
    const s64 maxValue = (s64(1) << (bits - 1)) - 1;
    const s64 minValue = -(s64(1) << (bits - 1));
    std::vector<s32> samples;
    samples.reserve(size_t(frames) * channels);
    u32 noise = 0x12345678u;
    for (u32 frame = 0; frame < frames; ++frame) {
        for (u32 channel = 0; channel < channels; ++channel) {
            if (channel % 2 == 0) {
                const f64 phase = 2.0 * M_PI * (440.0 + 110.0 * channel) * frame / rate;
                samples.push_back(s32(std::lround(0.7 * f64(maxValue) * std::sin(phase))));
            } else if (frame % 1009 == 0) {
                samples.push_back(s32((frame / 1009) % 2 ? maxValue : minValue));
            } else {
                noise = noise * 1664525u + 1013904223u;
                samples.push_back(s32(s64(noise >> 8) % (maxValue + 1) - maxValue / 2));
            }
        }
    }
    return samples;
}

std::vector<u8> packPcm(const std::vector<s32>& samples, u32 bits) {
    const u32 container = (bits + 7) / 8;
    std::vector<u8> pcm;
    pcm.reserve(samples.size() * container);
    for (s32 sample : samples) {
        u32 word = u32(sample) << (container * 8 - bits);
        if (container == 1) word += 128;
        putLe(&pcm, word, container);
    }
    return pcm;
}

bool writeWavFile(const std::string& path, u32 channels, u32 rate, u32 bits, const std::vector<s32>& samples) {
    return writeWav(path, channels, rate, bits, (bits + 7) / 8, false, packPcm(samples, bits));
}

bool writeFloatWavFile(const std::string& path, u32 channels, u32 rate, const std::vector<f32>& samples) {
    std::vector<u8> data(samples.size() * 4);
    if (!samples.empty()) std::memcpy(data.data(), samples.data(), data.size());
    return writeWav(path, channels, rate, 32, 4, true, data);
}

std::vector<u8> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<u8>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool writeFileBytes(const std::string& path, const std::vector<u8>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

bool runTool(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string quoted(const std::string& path) { return "'" + path + "'"; }

ClTempFolder::ClTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velodrix-decoder-XXXXXX").string();
    if (mkdtemp(pattern.data())) m_path = pattern;
}

ClTempFolder::~ClTempFolder() {
    std::error_code error;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, error);
}

std::u16string widePath(const std::string& utf8Path) {
    std::u16string wide;
    osUtf8ToWide(utf8Path.c_str(), &wide);
    return wide;
}

ClAudioLogCapture::ClAudioLogCapture(const ClTempFolder& folder) {
    critSectionPoolInit();
    std::error_code error;
    std::filesystem::create_directories(folder.file("GAMEDATA"), error);
    m_logPath = folder.file("GAMEDATA/audio.log");
    m_previousUserDir = getUserDataDirW();
    setUserDataDirW(widePath(folder.path() + "/").c_str());
    logManagerInit();
    openCodecAudioLog();
    setCodecLogging(1);
    m_active = true;
}

ClAudioLogCapture::~ClAudioLogCapture() { finish(); }

std::string ClAudioLogCapture::finish() {
    if (m_active) {
        setCodecLogging(0);
        // Every queued line reaches its file before the manager stops.
        logManagerShutdown();
        setUserDataDirW(m_previousUserDir.c_str());
        m_active = false;
    }
    const std::vector<u8> text = readFileBytes(m_logPath);
    return std::string(text.begin(), text.end());
}

ClCodecStreamInstance* openJob(CodecFactoryFn factory, const std::string& path) {
    critSectionPoolInit();
    ClCodecStreamInstance* job = factory();
    if (job) initCodecJob(job, 0, widePath(path).c_str());
    return job;
}

void destroyJob(ClCodecStreamInstance* job) {
    if (!job) return;
    shutdownCodecJob(job);
    delete job;
}

SDecodeRun runJob(ClCodecStreamInstance* job, SCodecRing* ring, u32 stepLimit) {
    SDecodeRun run;
    u32 readIndex = 0;
    while (run.steps < stepLimit) {
        stepCodecJob(job);
        ++run.steps;
        job->lockCodecBuffers("runJob");
        while (ring->bufferCount != 0 && ring->states[readIndex] == E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE) {
            const u8* buffer = ring->buffers[readIndex];
            run.bytes.insert(run.bytes.end(), buffer, buffer + ring->byteCounts[readIndex]);
            run.bufferSizes.push_back(ring->byteCounts[readIndex]);
            ring->states[readIndex] = E_CODECBS_FREE;
            readIndex = (readIndex + 1) % ring->bufferCount;
        }
        job->unlockCodecBuffers();
        run.state = getCodecJobState(job);
        if (isCodecJobTerminal(run.state)) break;
    }
    return run;
}

s32 stepUntilOpened(ClCodecStreamInstance* job, u32 stepLimit) {
    for (u32 i = 0; i < stepLimit && getCodecJobState(job) <= E_CODECJOB_PRE_OPEN_PASSED; ++i) stepCodecJob(job);
    return getCodecJobState(job);
}

f64 correlation(const std::vector<f64>& a, const std::vector<f64>& b) {
    f64 ab = 0.0, aa = 0.0, bb = 0.0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    return (aa > 0.0 && bb > 0.0) ? ab / std::sqrt(aa * bb) : 0.0;
}

}  // namespace decoder_test
