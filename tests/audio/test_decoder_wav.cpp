#include "audio/decoder_wav.h"

#include "audio/codec_registry.h"
#include "audio/sample_pull.h"
#include "audio/wav_format.h"
#include "core/crit_section_pool.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Fixtures: known signals written by our own small WAV writer

void putLe16(std::vector<u8>* out, u32 value) {
    out->push_back(u8(value));
    out->push_back(u8(value >> 8));
}

void putLe32(std::vector<u8>* out, u32 value) {
    putLe16(out, value & 0xFFFF);
    putLe16(out, value >> 16);
}

void putId(std::vector<u8>* out, const char* id) {
    for (u32 i = 0; i < 4; ++i) out->push_back(u8(id[i]));
}

// Channel 0 a sine, channel 1 noise with full-scale clicks (both extremes) every 997 frames.
s32 signalValue(u32 channel, u32 frame, u32 bits, u32 rate) {
    const s64 maxValue = (s64(1) << (bits - 1)) - 1;
    const s64 minValue = -(s64(1) << (bits - 1));
    if (channel == 0) return s32(std::lround(0.8 * f64(maxValue) * std::sin(2.0 * M_PI * 440.0 * frame / rate)));
    if (frame % 997 == 0) return s32((frame / 997) % 2 ? maxValue : minValue);
    u32 state = frame * 2654435761u + 12345u;
    state ^= state >> 13;
    state *= 0x5bd1e995u;
    state ^= state >> 15;
    return s32(s64(state % u32(maxValue)) - maxValue / 2);
}

// Interleaved little-endian PCM: samples left-justified in their container; 8-bit is unsigned.
std::vector<u8> makePcm(u32 channels, u32 bits, u32 container, u32 frames, u32 rate) {
    std::vector<u8> pcm;
    pcm.reserve(size_t(frames) * channels * container);
    for (u32 frame = 0; frame < frames; ++frame) {
        for (u32 channel = 0; channel < channels; ++channel) {
            u32 word = u32(signalValue(channel, frame, bits, rate)) << (container * 8 - bits);
            if (container == 1) word ^= 0x80;
            for (u32 b = 0; b < container; ++b) pcm.push_back(u8(word >> (8 * b)));
        }
    }
    return pcm;
}

struct SWavSpec {
    u16 channels = 2;
    u32 rate = 44100;
    u16 bits = 16;
    u16 container = 0;  // 0: (bits + 7) / 8
    u16 tag = WAV_FORMAT_TAG_PCM;
    u32 fmtSize = 16;
    bool dataBeforeFmt = false;
    bool oddListBeforeData = false;
    bool omitPad = false;
    u32 dataSizeOverride = 0;  // 0: the real size
};

std::vector<u8> makeWav(const SWavSpec& spec, const std::vector<u8>& pcm) {
    const u32 container = spec.container ? spec.container : (spec.bits + 7) / 8;
    std::vector<u8> fmt;
    putLe16(&fmt, spec.tag);
    putLe16(&fmt, spec.channels);
    putLe32(&fmt, spec.rate);
    putLe32(&fmt, spec.rate * spec.channels * container);
    putLe16(&fmt, spec.channels * container);
    putLe16(&fmt, spec.bits);
    fmt.resize(spec.fmtSize, 0);

    std::vector<u8> out;
    putId(&out, "RIFF");
    putLe32(&out, 0);
    putId(&out, "WAVE");
    auto putFmt = [&] {
        putId(&out, "fmt ");
        putLe32(&out, u32(fmt.size()));
        out.insert(out.end(), fmt.begin(), fmt.end());
    };
    auto putData = [&] {
        putId(&out, "data");
        putLe32(&out, spec.dataSizeOverride ? spec.dataSizeOverride : u32(pcm.size()));
        out.insert(out.end(), pcm.begin(), pcm.end());
        if (pcm.size() % 2) out.push_back(0);
    };
    if (!spec.dataBeforeFmt) putFmt();
    if (spec.oddListBeforeData) {
        const char info[] = "LIST-INFO-odd";  // 13 bytes
        putId(&out, "LIST");
        putLe32(&out, 13);
        out.insert(out.end(), info, info + 13);
        if (!spec.omitPad) out.push_back(0);
    }
    putData();
    if (spec.dataBeforeFmt) putFmt();
    const u32 riffSize = u32(out.size() - 8);
    std::memcpy(out.data() + 4, &riffSize, 4);
    return out;
}

// ---------------------------------------------------------------------------------------------
// The chunk walk over bytes in memory

u32 readMemoryAt(void* user, u64 offset, void* buffer, u32 size, u32* outRead) {
    const auto* bytes = static_cast<const std::vector<u8>*>(user);
    *outRead = 0;
    if (offset >= bytes->size()) return 0;
    const u64 held = bytes->size() - offset;
    *outRead = u32(size < held ? size : held);
    std::memcpy(buffer, bytes->data() + offset, *outRead);
    return 0;
}

struct SParsed {
    u32 result;
    SWavLayout layout;
    SWavFormat format;
};

SParsed parse(const std::vector<u8>& bytes) {
    SParsed parsed = {};
    const SWavChunkSource source = {readMemoryAt, const_cast<std::vector<u8>*>(&bytes), bytes.size()};
    parsed.result = parseWavChunks(source, &parsed.layout);
    if (parsed.layout.formatBlock) readWavFormatBlock(parsed.layout.formatBlock, &parsed.format);
    return parsed;
}

TEST(WavFormat, ChunkWalkFindsFmtAndDataInAnyOrderAcrossOddChunks) {
    struct SCase {
        const char* name;
        bool dataBeforeFmt, oddList, omitPad;
        u32 dataSizeField;
        u32 dataStart;
    };
    // A "fmt " of 16 bytes before the data starts the data at 44; a 13-byte LIST adds 8 + 13 and
    // its pad byte, unless the writer left the pad out.
    const SCase cases[] = {{"plain", false, false, false, 0, 44},
                           {"data first", true, false, false, 0, 20},
                           {"odd LIST", false, true, false, 0, 66},
                           {"odd LIST, no pad", false, true, true, 0, 65},
                           {"size beyond the file", false, false, false, 0x7FFFFFF0, 44}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        SWavSpec spec;
        spec.dataBeforeFmt = c.dataBeforeFmt;
        spec.oddListBeforeData = c.oddList;
        spec.omitPad = c.omitPad;
        spec.dataSizeOverride = c.dataSizeField;
        SParsed parsed = parse(makeWav(spec, makePcm(2, 16, 2, 10, 44100)));
        EXPECT_EQ(parsed.result, E_WAVRESULT_OK);
        ASSERT_NE(parsed.layout.formatBlock, nullptr);
        EXPECT_EQ(parsed.layout.formatBlockSize, 18u);
        EXPECT_EQ(parsed.format.extraSize, 0);
        EXPECT_EQ(parsed.layout.dataStart, c.dataStart);
        EXPECT_EQ(parsed.layout.dataSize, 40u);
        freeWavLayout(&parsed.layout);
    }
}

TEST(WavFormat, DamagedHeadersFailWithTheirCodes) {
    std::vector<u8> good = makeWav({}, makePcm(1, 16, 2, 4, 8000));

    std::vector<u8> notRiff = good;
    std::memcpy(notRiff.data(), "RIFX", 4);
    EXPECT_EQ(parse(notRiff).result, E_WAVRESULT_FAIL);
    EXPECT_EQ(parse(std::vector<u8>(good.begin(), good.begin() + 11)).result, E_WAVRESULT_FAIL);
    EXPECT_EQ(parse({}).result, E_WAVRESULT_FAIL);

    // A "fmt " size far beyond the file is refused before anything is allocated for it.
    std::vector<u8> hugeFmt = good;
    const u32 huge = 0xFFFFFFF0u;
    std::memcpy(hugeFmt.data() + 16, &huge, 4);
    SParsed parsed = parse(hugeFmt);
    EXPECT_EQ(parsed.result, E_WAVRESULT_FAIL);
    EXPECT_EQ(parsed.layout.formatBlock, nullptr);
}

TEST(WavFormat, ChunkWalkStopsAfterItsLimit) {
    std::vector<u8> bytes = makeWav({}, {});
    bytes.resize(36);  // header and "fmt " only
    for (u32 i = 0; i < WAV_CHUNK_WALK_LIMIT + 10; ++i) {
        putId(&bytes, "junk");
        putLe32(&bytes, 0);
    }
    putId(&bytes, "data");
    putLe32(&bytes, 0);
    SParsed parsed = parse(bytes);
    EXPECT_EQ(parsed.result, E_WAVRESULT_OK);
    EXPECT_NE(parsed.layout.formatBlock, nullptr);
    EXPECT_EQ(parsed.layout.dataStart, 0u);
    freeWavLayout(&parsed.layout);
}

TEST(WavFormat, ContainerWidthComesFromBlockAlign) {
    SWavFormat format = {WAV_FORMAT_TAG_PCM, 2, 44100, 44100 * 4, 4, 12, 0};
    EXPECT_EQ(wavContainerBytes(format), 2u);
    EXPECT_EQ(checkWavPcmFormat(format), E_WAVCHECK_OK);
    format = {WAV_FORMAT_TAG_PCM, 2, 44100, 44100 * 6, 6, 20, 0};
    EXPECT_EQ(wavContainerBytes(format), 3u);
    EXPECT_EQ(checkWavPcmFormat(format), E_WAVCHECK_OK);

    EXPECT_EQ(checkWavPcmFormat({3, 2, 44100, 44100 * 8, 8, 32, 0}), E_WAVCHECK_UNSUPPORTED_TAG);
    EXPECT_EQ(checkWavPcmFormat({1, 2, 44100, 44100 * 10, 10, 40, 0}), E_WAVCHECK_UNSUPPORTED_BITS);
    EXPECT_EQ(checkWavPcmFormat({1, 0, 44100, 44100 * 4, 4, 16, 0}), E_WAVCHECK_MALFORMED);
    EXPECT_EQ(checkWavPcmFormat({1, 2, 0, 0, 4, 16, 0}), E_WAVCHECK_MALFORMED);
    EXPECT_EQ(checkWavPcmFormat({1, 2, 44100, 44100 * 3, 3, 16, 0}), E_WAVCHECK_MALFORMED);
    EXPECT_EQ(checkWavPcmFormat({1, 1, 44100, 44100 * 2, 2, 24, 0}), E_WAVCHECK_MALFORMED);
    EXPECT_EQ(checkWavPcmFormat({1, 2, 44100, 2, 4, 16, 0}), E_WAVCHECK_MALFORMED);
    EXPECT_EQ(checkWavPcmFormat({1, 2, 44100, 0xFFFFFFFFu, 4, 16, 0}), E_WAVCHECK_MALFORMED);
}

// ---------------------------------------------------------------------------------------------
// The decoder, stepped on a thread of its own as the decode thread would, read by the pull

constexpr u32 STEP_LIMIT = 20000;

struct SDecoded {
    s32 finalState = E_CODECJOB_NEW;
    s32 infoResult = 0;
    SCommonCodecInfo info = {};
    s32 soundResult = 0;
    SCodecCreateSoundExInfo sound = {};
    std::vector<u8> bytes;
};

// Steps the job until it is terminal (a job still running after the step limit is stopped, so a
// hang shows as a short or failed decode, never as a stuck test) while this thread pulls it dry.
SDecoded decodeJob(ClCodecStreamInstance* job, const std::u16string& path) {
    SDecoded decoded;
    initCodecJob(job, 0, path.c_str());
    std::atomic<bool> done{false};
    std::thread stepper([&] {
        for (u32 i = 0; i < STEP_LIMIT && !done && !isCodecJobTerminal(getCodecJobState(job)); ++i) {
            stepCodecJob(job);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        job->m_stopFlag.store(1);
        stepCodecJob(job);
        job->signalCodecJobProgress();
    });
    s32 state = getCodecJobState(job);
    while (state < E_CODECJOB_READY) {
        waitForCodecJobProgress(job, 10);
        state = getCodecJobState(job);
    }
    if (!isCodecJobFailed(state) || state == E_CODECJOB_DECODE_FAILED) {
        decoded.infoResult = job->getCommonCodecInfo(&decoded.info);
        decoded.soundResult = job->fillCreateSoundExInfo(&decoded.sound);
        if (decoded.infoResult) {
            SAnalysisStreamInfo reader = {};
            reader.job = job;
            fillAnalysisStreamInfo(&reader, decoded.info);
            std::vector<u8> chunk(4093);  // odd, so reads end inside buffers
            for (u32 pulls = 0; pulls < 100000; ++pulls) {
                u32 got = 0;
                job->gameSpecificProcessDecodedData(&reader, chunk.data(), u32(chunk.size()), &got);
                decoded.bytes.insert(decoded.bytes.end(), chunk.begin(), chunk.begin() + got);
                if (got < chunk.size()) break;
            }
        }
    }
    done = true;
    stepper.join();
    decoded.finalState = getCodecJobState(job);
    shutdownCodecJob(job);
    delete job;
    return decoded;
}

class WavDecoder : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        char pattern[] = "/tmp/velodrix_wav_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::u16string write(const std::string& name, const std::vector<u8>& bytes) {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        std::u16string wide;
        osUtf8ToWide(path.c_str(), &wide);
        return wide;
    }

    SDecoded decode(const std::u16string& path) { return decodeJob(createCodecStreamInstanceWAV(), path); }

    std::string m_dir;
};

TEST_F(WavDecoder, DecodesEveryDepthRateAndLayoutSampleExactly) {
    struct SCase {
        u16 channels;
        u32 rate;
        u16 bits;
        u16 container;
        ECodecSoundFormat format;  // NONE: cannot be streamed
    };
    // 8-bit bytes stay unsigned (the stream's PCM8); 12 and 20 bits fill 2- and 3-byte containers.
    const SCase cases[] = {{1, 8000, 8, 1, E_CODECSOUNDFORMAT_PCM8},     {2, 22050, 8, 1, E_CODECSOUNDFORMAT_PCM8},
                           {1, 44100, 16, 2, E_CODECSOUNDFORMAT_PCM16},  {2, 48000, 16, 2, E_CODECSOUNDFORMAT_PCM16},
                           {2, 96000, 24, 3, E_CODECSOUNDFORMAT_PCM24},  {1, 22050, 24, 3, E_CODECSOUNDFORMAT_PCM24},
                           {2, 44100, 32, 4, E_CODECSOUNDFORMAT_NONE},   {1, 8000, 32, 4, E_CODECSOUNDFORMAT_NONE},
                           {2, 8000, 12, 2, E_CODECSOUNDFORMAT_PCM16},   {1, 22050, 20, 3, E_CODECSOUNDFORMAT_PCM24}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.rate << " Hz " << c.bits << " bits");
        // 2.3 s: more than the ring holds, so buffers are refilled, and a short last one.
        const std::vector<u8> pcm = makePcm(c.channels, c.bits, c.container, c.rate * 23 / 10, c.rate);
        SWavSpec spec;
        spec.channels = c.channels;
        spec.rate = c.rate;
        spec.bits = c.bits;
        spec.container = c.container;
        // A name that is not ASCII must open as well.
        const SDecoded decoded = decode(write("Sigur R\xc3\xb3s \xe6\x97\xa5.wav", makeWav(spec, pcm)));
        EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
        ASSERT_EQ(decoded.infoResult, 1);
        EXPECT_EQ(decoded.info.totalBytes, pcm.size());
        EXPECT_EQ(decoded.info.channels, c.channels);
        EXPECT_EQ(decoded.info.bytesPerSample, c.container);
        EXPECT_EQ(decoded.info.sampleRate, f32(c.rate));
        EXPECT_EQ(decoded.info.sampleFormat, E_CODECSAMPLEFORMAT_INTEGER);
        EXPECT_NEAR(f64(decoded.info.durationMs), 2300.0, 1.0);
        EXPECT_EQ(decoded.soundResult, c.format != E_CODECSOUNDFORMAT_NONE);
        EXPECT_EQ(decoded.sound.format, c.format);
        EXPECT_EQ(decoded.sound.length, decoded.soundResult ? pcm.size() : 0u);
        EXPECT_TRUE(decoded.bytes == pcm);
    }
}

TEST_F(WavDecoder, OddHeadersAndWrongSizesDecodeWhatTheFileHolds) {
    std::vector<u8> pcm = makePcm(1, 8, 1, 4001, 8000);  // odd data size, with its pad byte
    SWavSpec spec;
    spec.channels = 1;
    spec.rate = 8000;
    spec.bits = 8;
    spec.fmtSize = 18;
    spec.oddListBeforeData = true;
    EXPECT_TRUE(decode(write("odd.wav", makeWav(spec, pcm))).bytes == pcm);
    spec.dataBeforeFmt = true;
    spec.omitPad = true;
    EXPECT_TRUE(decode(write("odd2.wav", makeWav(spec, pcm))).bytes == pcm);

    // A data size beyond the file: what the file holds, then the end.
    spec = {};
    spec.dataSizeOverride = 0x10000000;
    pcm = makePcm(2, 16, 2, 30000, 44100);
    SDecoded decoded = decode(write("long.wav", makeWav(spec, pcm)));
    EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
    EXPECT_EQ(decoded.info.totalBytes, pcm.size());
    EXPECT_TRUE(decoded.bytes == pcm);

    // No data chunk at all: the job opens and finishes at once, empty.
    std::vector<u8> noData = makeWav({}, {});
    noData.resize(36);
    decoded = decode(write("nodata.wav", noData));
    EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
    EXPECT_TRUE(decoded.bytes.empty());
}

TEST_F(WavDecoder, DamagedFilesFailToOpenCleanly) {
    const std::vector<u8> good = makeWav({}, makePcm(2, 16, 2, 1000, 44100));
    std::vector<std::pair<std::string, std::vector<u8>>> damaged;
    damaged.push_back({"empty", {}});
    damaged.push_back({"header only", std::vector<u8>(good.begin(), good.begin() + 12)});
    damaged.push_back({"truncated fmt", std::vector<u8>(good.begin(), good.begin() + 30)});
    damaged.push_back({"noise", std::vector<u8>(4096, 0xA5)});
    std::vector<u8> hugeFmt = good;
    const u32 huge = 0xFFFFFFF0u;
    std::memcpy(hugeFmt.data() + 16, &huge, 4);
    damaged.push_back({"huge fmt", hugeFmt});
    std::vector<u8> floatTag = good;
    floatTag[20] = 3;
    damaged.push_back({"float tag", floatTag});
    std::vector<u8> wideBits = good;
    wideBits[34] = 40;
    damaged.push_back({"40 bits", wideBits});
    std::vector<u8> noChannels = good;
    noChannels[22] = 0;
    damaged.push_back({"0 channels", noChannels});
    std::vector<u8> noRate = good;
    std::memset(noRate.data() + 24, 0, 4);
    damaged.push_back({"0 rate", noRate});
    std::vector<u8> aiff(64, 0);
    std::memcpy(aiff.data(), "FORM\0\0\0\x38" "AIFF", 12);
    damaged.push_back({"wrong extension", aiff});

    for (const auto& [name, bytes] : damaged) {
        SCOPED_TRACE(name);
        const SDecoded decoded = decode(write("damaged.wav", bytes));
        EXPECT_EQ(decoded.finalState, E_CODECJOB_OPEN_FAILED);
        EXPECT_TRUE(decoded.bytes.empty());
    }
}

TEST_F(WavDecoder, MissingFileDirectoryAndPipeFailToOpen) {
    std::u16string wideDir;
    osUtf8ToWide(m_dir.c_str(), &wideDir);
    ClSyncWAVFileReader reader;
    EXPECT_EQ(reader.open((wideDir + u"/missing.wav").c_str()), 0);
    EXPECT_EQ(reader.getLastError(), 0x80070002u);  // the system's "file not found"
    EXPECT_EQ(decode(wideDir + u"/missing.wav").finalState, E_CODECJOB_OPEN_FAILED);
    EXPECT_EQ(decode(wideDir).finalState, E_CODECJOB_OPEN_FAILED);
    const std::string pipe = m_dir + "/pipe.wav";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(decode(wideDir + u"/pipe.wav").finalState, E_CODECJOB_OPEN_FAILED);
}

TEST_F(WavDecoder, FilesWrittenBySoxDecodeToTheirRawSamples) {
    if (std::system("sox --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
    for (const char* bits : {"8", "16"}) {
        SCOPED_TRACE(bits);
        const std::string wav = m_dir + "/sox.wav";
        const std::string raw = m_dir + "/sox.raw";
        const std::string make = std::string("sox -n -r 22050 -c 2 -b ") + bits + " " + wav +
                                 " synth 2.2 sine 440 pinknoise >/dev/null 2>&1 && sox " + wav + " -t raw " + raw;
        ASSERT_EQ(std::system(make.c_str()), 0);
        std::ifstream rawFile(raw, std::ios::binary);
        const std::vector<u8> expected((std::istreambuf_iterator<char>(rawFile)), std::istreambuf_iterator<char>());
        std::u16string path;
        osUtf8ToWide(wav.c_str(), &path);
        const SDecoded decoded = decode(path);
        EXPECT_EQ(decoded.finalState, E_CODECJOB_FINISHED);
        EXPECT_EQ(decoded.bytes.size(), expected.size());
        EXPECT_TRUE(decoded.bytes == expected);
    }
}

TEST_F(WavDecoder, FileOfFourGibibytesIsRefusedAtOpen) {
    SWavSpec spec;
    spec.dataSizeOverride = 0xFFFFFFF0u;
    const std::u16string path = write("huge.wav", makeWav(spec, {}));
    // Sparse: no disk space is used.
    std::filesystem::resize_file(m_dir + "/huge.wav", (u64(1) << 32) + 64);
    ClSyncWAVFileReader reader;
    EXPECT_EQ(reader.open(path.c_str()), 0);
    EXPECT_EQ(reader.getLastError(), E_WAVRESULT_FILE_TOO_LARGE);
    EXPECT_EQ(decode(path).finalState, E_CODECJOB_OPEN_FAILED);
}

}  // namespace
