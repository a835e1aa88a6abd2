// Compressed-audio reader: lossy files encoded by the ffmpeg command from known signals decode
// to the right length and format, a WAV comes back sample-exactly, and damaged or wrong files
// fail cleanly within a bounded number of reads.
#include "platform/media/media_audio_reader.h"
#include "platform/os/os.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr u32 MAX_READS = 10000;  // a decode that needs more reads than this is a hang

// Left: a chirp from 200 Hz rising 900 Hz per second; right: 660 Hz.
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

class MediaAudioReaderFiles : public ::testing::Test {
protected:
    // Encodes the reference signal (seconds long) with ffmpeg; empty when ffmpeg fails.
    std::string encode(const std::string& name, const std::string& codecArguments, u32 rate, u32 channels,
                       f64 seconds = 2.0, const std::string& extra = "") {
        const std::string path = m_folder.file(name);
        const std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i 'aevalsrc=" +
                                    std::string(referenceExpression(channels)) + ":s=" + std::to_string(rate) +
                                    ":d=" + std::to_string(seconds) + "' " + extra + " " + codecArguments + " '" +
                                    path + "'";
        return std::system(command.c_str()) == 0 ? path : std::string();
    }

    test_support::ClTempDir m_folder;
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

// How closely each codec's decode follows its source is checked through the decoders, which
// read with this reader in both sample forms.
TEST_P(MediaAudioReaderLossy, DecodesToTheSourceLengthInEitherSampleForm) {
    const SLossyCase& c = GetParam();
    if (!ffmpegHasEncoder(c.encoder)) GTEST_SKIP() << "this ffmpeg has no " << c.encoder << " encoder";
    const std::string path = encode(c.fileName, c.codecArguments, c.rate, c.channels);
    ASSERT_FALSE(path.empty()) << "ffmpeg could not encode " << c.fileName;

    const SDecoded decoded = decodeFile(path, c.wanted);
    ASSERT_EQ(decoded.error, E_MEDIAERR_NONE) << mediaReaderErrorText(decoded.error);
    EXPECT_EQ(decoded.format.sampleRate, c.rate);
    ASSERT_EQ(decoded.format.channels, c.channels);
    EXPECT_EQ(decoded.format.bitsPerSample, c.wanted == E_MEDIASAMPLE_S16 ? 16u : 32u);

    const s64 sourceFrames = 2 * s64(c.rate);
    const s64 frames = s64(decoded.samples.size() / c.channels);
    EXPECT_NEAR(f64(frames), f64(sourceFrames), f64(c.lengthTolerance));
    // The container's own length is an estimate; it must still be about right.
    EXPECT_NEAR(decoded.format.durationSeconds, 2.0, 0.15);
    EXPECT_NEAR(f64(decoded.format.totalFramesEstimate), decoded.format.durationSeconds * c.rate, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, MediaAudioReaderLossy,
    ::testing::Values(
        SLossyCase{"Mp3Stereo44k", "libmp3lame", "a.mp3", "-c:a libmp3lame -b:a 192k", 44100, 2, E_MEDIASAMPLE_S16, 1200},
        SLossyCase{"M4aStereo48kFloat", "aac", "c.m4a", "-c:a aac -b:a 192k", 48000, 2, E_MEDIASAMPLE_F32, 1100},
        SLossyCase{"AdtsStereo44kFloat", "aac", "e.aac", "-c:a aac -b:a 192k -f adts", 44100, 2, E_MEDIASAMPLE_F32, 2100},
        SLossyCase{"WmaMono48kFloat", "wmav2", "g.wma", "-c:a wmav2 -b:a 128k", 48000, 1, E_MEDIASAMPLE_F32, 4200}),
    [](const ::testing::TestParamInfo<SLossyCase>& info) { return std::string(info.param.label); });

// A 16-bit WAV of our own: S16 comes back unchanged, f32 is the same samples / 32768.
std::vector<u8> wavFile(const std::vector<s16>& samples, u32 rate, u32 channels) {
    return test_support::wavImage(1, channels, rate, 16, test_support::pcm16Bytes(samples));
}

TEST_F(MediaAudioReaderFiles, WavReadsBackSampleExactInBothForms) {
    std::vector<s16> samples;
    for (u32 i = 0; i < 22050; ++i) {
        samples.push_back(s16(20000.0 * std::sin(i * 0.01)));
        samples.push_back(s16(i % 7 == 0 ? -32768 : (i % 7 == 1 ? 32767 : s16(i * 13))));
    }
    const std::string path = m_folder.write("exact.wav", wavFile(samples, 22050, 2));
    const SDecoded asInteger = decodeFile(path, E_MEDIASAMPLE_S16);
    ASSERT_EQ(asInteger.error, E_MEDIAERR_NONE);
    EXPECT_EQ(asInteger.raw16, samples);
    EXPECT_EQ(asInteger.format.totalFramesEstimate, 22050u);
    const SDecoded asFloat = decodeFile(path, E_MEDIASAMPLE_F32);
    ASSERT_EQ(asFloat.samples.size(), samples.size());
    for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(asFloat.samples[i], f32(samples[i]) / 32768.0f) << i;
}

TEST_F(MediaAudioReaderFiles, ReadsStopShortOnlyAtTheEnd) {
    const std::string path = m_folder.write("short.wav", wavFile(std::vector<s16>(1000, 7), 8000, 1));
    ClMediaAudioReader reader;
    ASSERT_EQ(reader.open(wide(path).c_str(), E_MEDIASAMPLE_S16), E_MEDIAERR_NONE);
    s16 buffer[700];
    for (u32 expected : {700u, 300u, 0u}) {
        u32 frames = 1;
        ASSERT_EQ(reader.read(buffer, 700, &frames), E_MEDIAERR_NONE);
        EXPECT_EQ(frames, expected);
        EXPECT_EQ(reader.atEnd(), expected < 700);
    }
}

TEST_F(MediaAudioReaderFiles, FloatOutputIsClampedWhereTheCodecOvershoots) {
    if (!ffmpegHasEncoder("libmp3lame")) GTEST_SKIP() << "this ffmpeg has no libmp3lame encoder";
    const std::string path = m_folder.file("square.mp3");
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
    for (auto [tag, expected] : {std::pair{E_MEDIATAG_TITLE, u"\u00c9t\u00e9"}, std::pair{E_MEDIATAG_ARTIST, u"Ann"},
                                 std::pair{E_MEDIATAG_ALBUM, u"Disc"}}) {
        std::u16string text;
        EXPECT_TRUE(reader.getTag(tag, &text));
        EXPECT_EQ(text, expected);
    }
}

TEST_F(MediaAudioReaderFiles, WrongEmptyAndMissingFilesFailAtOpen) {
    ClMediaAudioReader reader;
    EXPECT_EQ(reader.open(wide(m_folder.file("absent.mp3")).c_str(), E_MEDIASAMPLE_S16), E_MEDIAERR_FILE_NOT_FOUND);
    EXPECT_EQ(mediaReaderResultCode(reader.lastError(), reader.lastSystemCode()), 0x80070002u);
    EXPECT_EQ(reader.open(wide(m_folder.write("empty.mp3", "")).c_str(), E_MEDIASAMPLE_S16), E_MEDIAERR_EMPTY_FILE);
    std::string text;
    for (int i = 0; i < 200; ++i) text += "This is a play list, not a song. Line " + std::to_string(i) + "\n";
    EXPECT_EQ(reader.open(wide(m_folder.write("notes.mp3", text)).c_str(), E_MEDIASAMPLE_S16),
              E_MEDIAERR_NOT_A_MEDIA_FILE);
    u32 frames = 1;
    EXPECT_EQ(reader.read(&frames, 1, &frames), E_MEDIAERR_NOT_OPEN);
}

// Cut files and video files are decoded through this reader by the decoder tests.
TEST_F(MediaAudioReaderFiles, GarbageInTheMiddleStillDecodesToAnEnd) {
    if (!ffmpegHasEncoder("libmp3lame") || !ffmpegHasEncoder("aac")) {
        GTEST_SKIP() << "this ffmpeg has no libmp3lame or aac encoder";
    }
    for (auto [name, codec] : {std::pair{"bad.mp3", "-c:a libmp3lame"}, std::pair{"bad.m4a", "-c:a aac"}}) {
        std::vector<u8> damaged = test_support::readFileBytes(encode(name, codec, 44100, 2));
        ASSERT_GT(damaged.size(), 10000u) << name;
        for (size_t i = damaged.size() / 3; i < damaged.size() / 2; ++i) damaged[i] = u8(i * 31 + 7);
        // Decoding goes on past the damage or stops there, but ends within the bounded reads.
        const SDecoded result = decodeFile(m_folder.write(name, damaged), E_MEDIASAMPLE_F32);
        EXPECT_LT(result.samples.size(), size_t(3 * 44100 * 2)) << name;
    }
}

}  // namespace
