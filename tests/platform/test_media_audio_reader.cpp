// Compressed-audio reader: lossy files encoded by the ffmpeg command from known signals decode
// to the right length and shape, a WAV comes back sample-exactly, and damaged or wrong files
// fail cleanly within a bounded number of reads.
#include "platform/media/media_audio_reader.h"
#include "platform/os/os.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr f64 PI = 3.14159265358979323846;
constexpr u32 MAX_READS = 10000;  // a decode that needs more reads than this is a hang

// Left: a chirp from 200 Hz rising 900 Hz per second (no lag looks alike); right: 660 Hz.
f64 referenceSample(u32 channel, f64 t) {
    if (channel == 0) return 0.5 * std::sin(2.0 * PI * (200.0 * t + 450.0 * t * t));
    return 0.4 * std::sin(2.0 * PI * 660.0 * t);
}
const char* referenceExpression(u32 channels) {
    return channels == 1 ? "0.5*sin(2*PI*(200*t+450*t*t))"
                         : "0.5*sin(2*PI*(200*t+450*t*t))|0.4*sin(2*PI*660*t)";
}

bool ffmpegHasEncoder(const std::string& name) {
    static std::string s_list;
    if (s_list.empty()) {
        FILE* pipe = popen("ffmpeg -hide_banner -encoders 2>/dev/null", "r");
        if (!pipe) return false;
        char line[512];
        while (fgets(line, sizeof line, pipe)) s_list += line;
        pclose(pipe);
    }
    return s_list.find(" " + name + " ") != std::string::npos;
}

std::u16string wide(const std::string& utf8) {
    std::u16string out;
    osUtf8ToWide(utf8.c_str(), &out);
    return out;
}

struct SDecoded {
    EMediaReaderError error = E_MEDIAERR_NONE;
    SMediaAudioFormat format{};
    std::vector<f32> samples;  // interleaved, S16 scaled to [-1, 1)
    std::vector<s16> raw16;
    u32 reads = 0;
};

// Decodes a whole file in buffer-sized reads; the read count is bounded.
SDecoded decodeFile(const std::string& path, EMediaSampleFormat wanted) {
    SDecoded result;
    ClMediaAudioReader reader;
    result.error = reader.open(wide(path).c_str(), wanted);
    if (result.error != E_MEDIAERR_NONE) return result;
    reader.getFormat(&result.format);
    std::vector<u8> buffer(result.format.bytesPerBuffer);
    while (!reader.atEnd() && result.reads < MAX_READS) {
        ++result.reads;
        u32 frames = 0;
        result.error = reader.read(buffer.data(), MEDIA_AUDIO_BUFFER_FRAMES, &frames);
        const u32 count = frames * result.format.channels;
        for (u32 i = 0; i < count; ++i) {
            if (wanted == E_MEDIASAMPLE_F32) {
                f32 value;
                std::memcpy(&value, buffer.data() + i * 4, 4);
                result.samples.push_back(value);
            } else {
                s16 value;
                std::memcpy(&value, buffer.data() + i * 2, 2);
                result.raw16.push_back(value);
                result.samples.push_back(f32(value) / 32768.0f);
            }
        }
        if (result.error != E_MEDIAERR_NONE) break;
    }
    EXPECT_LT(result.reads, MAX_READS) << path << ": decoding did not end";
    return result;
}

// Best normalised correlation of one decoded channel with the reference, over codec delays.
f64 correlationWithReference(const SDecoded& decoded, u32 channel) {
    const u32 channels = decoded.format.channels;
    const u32 rate = decoded.format.sampleRate;
    const s64 frames = s64(decoded.samples.size() / channels);
    auto at = [&](s64 frame) { return f64(decoded.samples[size_t(frame) * channels + channel]); };
    // Find the delay on a short window, then measure over the whole overlap.
    const s64 window = 2048, start = rate / 2;
    s64 bestLag = 0;
    f64 bestScore = -1e300;
    for (s64 lag = -4096; lag <= 4096; ++lag) {
        if (start + lag < 0 || start + lag + window > frames) continue;
        f64 score = 0.0;
        for (s64 i = 0; i < window; ++i) score += at(start + lag + i) * referenceSample(channel, f64(start + i) / rate);
        if (score > bestScore) bestScore = score, bestLag = lag;
    }
    f64 cross = 0.0, energyA = 0.0, energyB = 0.0;
    for (s64 i = 0; i < frames; ++i) {
        const s64 source = i - bestLag;
        if (source < 0) continue;
        const f64 a = at(i), b = referenceSample(channel, f64(source) / rate);
        cross += a * b, energyA += a * a, energyB += b * b;
    }
    return energyA > 0.0 && energyB > 0.0 ? cross / std::sqrt(energyA * energyB) : 0.0;
}

class MediaAudioReaderFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/velodrix_media_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        m_root = name;
    }
    void TearDown() override { std::system(("rm -rf '" + m_root + "'").c_str()); }

    // Encodes the reference signal (seconds long) with ffmpeg; empty when ffmpeg fails.
    std::string encode(const std::string& name, const std::string& codecArguments, u32 rate, u32 channels,
                       f64 seconds = 2.0, const std::string& extra = "") {
        const std::string path = m_root + "/" + name;
        const std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i 'aevalsrc=" +
                                    std::string(referenceExpression(channels)) + ":s=" + std::to_string(rate) +
                                    ":d=" + std::to_string(seconds) + "' " + extra + " " + codecArguments + " '" +
                                    path + "'";
        return std::system(command.c_str()) == 0 ? path : std::string();
    }
    std::string writeBytes(const std::string& name, const std::string& bytes) {
        const std::string path = m_root + "/" + name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path;
    }
    static std::string readBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string m_root;
};

struct SLossyCase {
    const char* label;
    const char* encoder;
    const char* fileName;
    const char* codecArguments;
    u32 rate;
    u32 channels;
    EMediaSampleFormat wanted;
    u32 lengthTolerance;  // frames of codec delay and padding the length may differ by
};

class MediaAudioReaderLossy : public MediaAudioReaderFiles, public ::testing::WithParamInterface<SLossyCase> {};

TEST_P(MediaAudioReaderLossy, DecodesToSourceLengthAndShape) {
    const SLossyCase& c = GetParam();
    if (!ffmpegHasEncoder(c.encoder)) GTEST_SKIP() << "this ffmpeg has no " << c.encoder << " encoder";
    const std::string path = encode(c.fileName, c.codecArguments, c.rate, c.channels);
    ASSERT_FALSE(path.empty()) << "ffmpeg could not encode " << c.fileName;

    const SDecoded decoded = decodeFile(path, c.wanted);
    ASSERT_EQ(decoded.error, E_MEDIAERR_NONE) << mediaReaderErrorText(decoded.error);
    EXPECT_EQ(decoded.format.sampleRate, c.rate);
    ASSERT_EQ(decoded.format.channels, c.channels);
    EXPECT_EQ(decoded.format.bitsPerSample, c.wanted == E_MEDIASAMPLE_S16 ? 16u : 32u);
    EXPECT_EQ(decoded.format.bytesPerBuffer, MEDIA_AUDIO_BUFFER_FRAMES * decoded.format.bytesPerFrame);

    const s64 sourceFrames = 2 * s64(c.rate);
    const s64 frames = s64(decoded.samples.size() / c.channels);
    EXPECT_NEAR(f64(frames), f64(sourceFrames), f64(c.lengthTolerance));
    // The container's own length is an estimate; it must still be about right.
    EXPECT_NEAR(decoded.format.durationSeconds, 2.0, 0.15);
    EXPECT_NEAR(f64(decoded.format.totalFramesEstimate), decoded.format.durationSeconds * c.rate, 1.0);
    for (u32 channel = 0; channel < c.channels; ++channel) {
        EXPECT_GT(correlationWithReference(decoded, channel), 0.97) << "channel " << channel;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, MediaAudioReaderLossy,
    ::testing::Values(
        SLossyCase{"Mp3Stereo44k", "libmp3lame", "a.mp3", "-c:a libmp3lame -b:a 192k", 44100, 2, E_MEDIASAMPLE_S16, 1200},
        SLossyCase{"Mp3Mono48kFloat", "libmp3lame", "b.mp3", "-c:a libmp3lame -b:a 128k", 48000, 1, E_MEDIASAMPLE_F32, 1200},
        SLossyCase{"M4aStereo48kFloat", "aac", "c.m4a", "-c:a aac -b:a 192k", 48000, 2, E_MEDIASAMPLE_F32, 1100},
        SLossyCase{"M4aMono44k", "aac", "d.m4a", "-c:a aac -b:a 128k", 44100, 1, E_MEDIASAMPLE_S16, 1100},
        SLossyCase{"AdtsStereo44kFloat", "aac", "e.aac", "-c:a aac -b:a 192k -f adts", 44100, 2, E_MEDIASAMPLE_F32, 2100},
        SLossyCase{"WmaStereo44k", "wmav2", "f.wma", "-c:a wmav2 -b:a 192k", 44100, 2, E_MEDIASAMPLE_S16, 4200},
        SLossyCase{"WmaMono48kFloat", "wmav2", "g.wma", "-c:a wmav2 -b:a 128k", 48000, 1, E_MEDIASAMPLE_F32, 4200}),
    [](const ::testing::TestParamInfo<SLossyCase>& info) { return std::string(info.param.label); });

// A 16-bit WAV of our own: S16 comes back unchanged, f32 is the same samples / 32768.
std::string wavFile(const std::vector<s16>& samples, u32 rate, u16 channels) {
    auto u32le = [](u32 v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16le = [](u16 v) { return std::string{char(v), char(v >> 8)}; };
    const u32 dataBytes = u32(samples.size() * 2);
    std::string file = "RIFF" + u32le(36 + dataBytes) + "WAVEfmt " + u32le(16) + u16le(1) + u16le(channels) +
                       u32le(rate) + u32le(rate * channels * 2) + u16le(u16(channels * 2)) + u16le(16) + "data" +
                       u32le(dataBytes);
    file.append(reinterpret_cast<const char*>(samples.data()), dataBytes);
    return file;
}

TEST_F(MediaAudioReaderFiles, WavReadsBackSampleExactInBothForms) {
    std::vector<s16> samples;
    for (u32 i = 0; i < 22050; ++i) {
        samples.push_back(s16(20000.0 * std::sin(i * 0.01)));
        samples.push_back(s16(i % 7 == 0 ? -32768 : (i % 7 == 1 ? 32767 : s16(i * 13))));
    }
    const std::string path = writeBytes("exact.wav", wavFile(samples, 22050, 2));
    const SDecoded asInteger = decodeFile(path, E_MEDIASAMPLE_S16);
    ASSERT_EQ(asInteger.error, E_MEDIAERR_NONE);
    EXPECT_EQ(asInteger.raw16, samples);
    EXPECT_EQ(asInteger.format.totalFramesEstimate, 22050u);
    const SDecoded asFloat = decodeFile(path, E_MEDIASAMPLE_F32);
    ASSERT_EQ(asFloat.samples.size(), samples.size());
    for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(asFloat.samples[i], f32(samples[i]) / 32768.0f) << i;
}

TEST_F(MediaAudioReaderFiles, ReadsStopShortOnlyAtTheEnd) {
    const std::string path = writeBytes("short.wav", wavFile(std::vector<s16>(1000, 7), 8000, 1));
    ClMediaAudioReader reader;
    ASSERT_EQ(reader.open(wide(path).c_str(), E_MEDIASAMPLE_S16), E_MEDIAERR_NONE);
    s16 buffer[700];
    u32 frames = 0;
    ASSERT_EQ(reader.read(buffer, 700, &frames), E_MEDIAERR_NONE);
    EXPECT_EQ(frames, 700u);
    EXPECT_FALSE(reader.atEnd());
    ASSERT_EQ(reader.read(buffer, 700, &frames), E_MEDIAERR_NONE);
    EXPECT_EQ(frames, 300u);
    EXPECT_TRUE(reader.atEnd());
    ASSERT_EQ(reader.read(buffer, 700, &frames), E_MEDIAERR_NONE);
    EXPECT_EQ(frames, 0u);
}

TEST_F(MediaAudioReaderFiles, FloatOutputIsClampedWhereTheCodecOvershoots) {
    if (!ffmpegHasEncoder("libmp3lame")) GTEST_SKIP() << "this ffmpeg has no libmp3lame encoder";
    const std::string path = m_root + "/square.mp3";
    ASSERT_EQ(std::system(("ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "
                           "'aevalsrc=0.999*sgn(sin(2*PI*440*t)):s=44100:d=1' -c:a libmp3lame '" + path + "'").c_str()),
              0);
    const SDecoded decoded = decodeFile(path, E_MEDIASAMPLE_F32);
    ASSERT_EQ(decoded.error, E_MEDIAERR_NONE);
    u32 atLimit = 0;
    for (f32 value : decoded.samples) {
        ASSERT_LE(std::fabs(value), 1.0f);
        atLimit += std::fabs(value) == 1.0f;
    }
    EXPECT_GT(atLimit, 0u) << "the overshoot of a square wave should reach the clamp";
}

TEST_F(MediaAudioReaderFiles, NonAsciiNameAndTagsAreRead) {
    if (!ffmpegHasEncoder("libmp3lame")) GTEST_SKIP() << "this ffmpeg has no libmp3lame encoder";
    const std::string path = encode("B\u00e9la \u0411\u0430\u0440\u0442\u043e\u043a \U0001D11E.mp3", "-c:a libmp3lame",
                                    44100, 2, 1.0,
                                    "-metadata title='\u00c9t\u00e9' -metadata artist=Ann -metadata album=Disc");
    ASSERT_FALSE(path.empty());
    ClMediaAudioReader reader;
    // The game's form of the path: UTF-16 with backslashes.
    std::u16string gamePath = wide(path);
    for (char16_t& unit : gamePath) unit = unit == u'/' ? u'\\' : unit;
    ASSERT_EQ(reader.open(gamePath.c_str(), E_MEDIASAMPLE_S16), E_MEDIAERR_NONE);
    std::u16string text;
    EXPECT_TRUE(reader.getTag(E_MEDIATAG_TITLE, &text));
    EXPECT_EQ(text, u"\u00c9t\u00e9");
    EXPECT_TRUE(reader.getTag(E_MEDIATAG_ARTIST, &text));
    EXPECT_EQ(text, u"Ann");
    EXPECT_TRUE(reader.getTag(E_MEDIATAG_ALBUM, &text));
    EXPECT_EQ(text, u"Disc");
}

TEST_F(MediaAudioReaderFiles, VideoFileGivesItsAudioAndVideoOnlyFileFails) {
    if (!ffmpegHasEncoder("mpeg4") || !ffmpegHasEncoder("aac")) GTEST_SKIP() << "this ffmpeg has no mpeg4 or aac encoder";
    const std::string video = "-f lavfi -i testsrc=size=64x48:rate=10:duration=2 -c:v mpeg4";
    const std::string withAudio = encode("clip.mp4", "-c:a aac -shortest", 48000, 2, 2.0, video);
    const std::string withoutAudio = m_root + "/silent.mp4";
    ASSERT_EQ(std::system(("ffmpeg -hide_banner -loglevel error -nostdin -y " + video + " '" + withoutAudio + "'").c_str()), 0);
    ASSERT_FALSE(withAudio.empty());

    const SDecoded decoded = decodeFile(withAudio, E_MEDIASAMPLE_F32);
    ASSERT_EQ(decoded.error, E_MEDIAERR_NONE);
    EXPECT_EQ(decoded.format.channels, 2u);
    EXPECT_NEAR(f64(decoded.samples.size() / 2), 96000.0, 2100.0);
    EXPECT_GT(correlationWithReference(decoded, 1), 0.97);

    ClMediaAudioReader reader;
    EXPECT_EQ(reader.open(wide(withoutAudio).c_str(), E_MEDIASAMPLE_S16), E_MEDIAERR_NO_AUDIO_STREAM);
    EXPECT_FALSE(reader.isOpen());
}

TEST_F(MediaAudioReaderFiles, WrongEmptyAndMissingFilesFailAtOpen) {
    ClMediaAudioReader reader;
    EXPECT_EQ(reader.open(wide(m_root + "/absent.mp3").c_str(), E_MEDIASAMPLE_S16), E_MEDIAERR_FILE_NOT_FOUND);
    EXPECT_EQ(mediaReaderResultCode(reader.lastError(), reader.lastSystemCode()), 0x80070002u);
    EXPECT_EQ(reader.open(wide(writeBytes("empty.mp3", "")).c_str(), E_MEDIASAMPLE_S16), E_MEDIAERR_EMPTY_FILE);
    std::string text;
    for (int i = 0; i < 200; ++i) text += "This is a play list, not a song. Line " + std::to_string(i) + "\n";
    EXPECT_EQ(reader.open(wide(writeBytes("notes.mp3", text)).c_str(), E_MEDIASAMPLE_S16), E_MEDIAERR_NOT_A_MEDIA_FILE);
    std::string noise(50000, '\0');
    u32 seed = 12345;
    for (char& byte : noise) byte = char((seed = seed * 1103515245u + 12345u) >> 24);
    // Noise may pass for some raw stream; then it must still decode to an end.
    decodeFile(writeBytes("noise.wma", noise), E_MEDIASAMPLE_S16);
    EXPECT_EQ(reader.open(nullptr, E_MEDIASAMPLE_S16), E_MEDIAERR_INVALID_PARAMETER);
    u32 frames = 1;
    EXPECT_EQ(reader.read(&frames, 1, &frames), E_MEDIAERR_NOT_OPEN);
}

TEST_F(MediaAudioReaderFiles, TruncatedAndCorruptFilesEndCleanly) {
    if (!ffmpegHasEncoder("libmp3lame") || !ffmpegHasEncoder("aac")) GTEST_SKIP() << "this ffmpeg has no libmp3lame or aac encoder";
    const std::string mp3 = readBytes(encode("whole.mp3", "-c:a libmp3lame", 44100, 2));
    const std::string m4a = readBytes(encode("whole.m4a", "-c:a aac", 44100, 2));
    ASSERT_GT(mp3.size(), 10000u);
    ASSERT_GT(m4a.size(), 10000u);

    // Half an MP3 plays its first half.
    const SDecoded half = decodeFile(writeBytes("half.mp3", mp3.substr(0, mp3.size() / 2)), E_MEDIASAMPLE_S16);
    EXPECT_EQ(half.error, E_MEDIAERR_NONE);
    EXPECT_NEAR(f64(half.samples.size() / 2), 44100.0, 4000.0);

    // The M4A index sits at the end of the file: without it nothing can be found.
    ClMediaAudioReader reader;
    EXPECT_NE(reader.open(wide(writeBytes("half.m4a", m4a.substr(0, m4a.size() / 2))).c_str(), E_MEDIASAMPLE_F32),
              E_MEDIAERR_NONE);
    EXPECT_FALSE(reader.isOpen());

    // Garbage over the middle of each: decoding goes on or stops, but always ends.
    for (const std::string* whole : {&mp3, &m4a}) {
        std::string damaged = *whole;
        for (size_t i = damaged.size() / 3; i < damaged.size() / 2; ++i) damaged[i] = char(i * 31 + 7);
        const SDecoded result = decodeFile(writeBytes(whole == &mp3 ? "bad.mp3" : "bad.m4a", damaged), E_MEDIASAMPLE_F32);
        EXPECT_LT(result.samples.size(), size_t(3 * 44100 * 2));
    }
}

}  // namespace
