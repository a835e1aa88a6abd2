// Compressed-audio reader: files encoded by the ffmpeg command from known signals decode to the
// length the reader reports, without the encoder delay and padding where the file marks them;
// lengths that headers state but the data does not hold are not believed; damaged and wrong
// files fail cleanly within a bounded number of reads.
#include "platform/media/media_audio_reader.h"
#include "platform/os/os.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using test_support::widePath;

constexpr u32 MAX_READS = 10000;  // a decode that needs more reads than this is a hang

bool ffmpegHasEncoder(const std::string& name) {
    return std::system(("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q ' " + name + " '").c_str()) == 0;
}

struct SDecoded {
    EMediaReaderError error = E_MEDIAERR_NONE;
    SMediaAudioFormat format{};
    std::vector<f32> samples;  // interleaved, F32 only
    std::vector<s16> raw16;    // interleaved, S16 only
    u64 frames = 0;
};

// Decodes a whole file in buffer-sized reads; the read count is bounded.
SDecoded decodeFile(const std::string& path, EMediaSampleFormat wanted) {
    SDecoded result;
    ClMediaAudioReader reader;
    result.error = reader.open(widePath(path).c_str(), wanted);
    if (result.error != E_MEDIAERR_NONE) return result;
    reader.getFormat(&result.format);
    std::vector<u8> buffer(result.format.bytesPerBuffer);
    u32 reads = 0;
    while (!reader.atEnd() && ++reads < MAX_READS) {
        u32 frames = 0;
        result.error = reader.read(buffer.data(), MEDIA_AUDIO_BUFFER_FRAMES, &frames);
        result.frames += frames;
        const u32 count = frames * result.format.channels;
        const auto* floats = reinterpret_cast<const f32*>(buffer.data());
        const auto* integers = reinterpret_cast<const s16*>(buffer.data());
        if (wanted == E_MEDIASAMPLE_F32) result.samples.insert(result.samples.end(), floats, floats + count);
        else result.raw16.insert(result.raw16.end(), integers, integers + count);
        if (result.error != E_MEDIAERR_NONE) break;
    }
    EXPECT_LT(reads, MAX_READS) << path << ": decoding did not end";
    return result;
}

class MediaAudioReaderFiles : public ::testing::Test {
protected:
    // Encodes a chirp (and on a second channel a 660 Hz tone), or the given signal, with ffmpeg;
    // empty when it fails.
    std::string encode(const std::string& name, const std::string& codecArguments, u32 rate, u32 channels,
                       f64 seconds = 2.0, const std::string& extra = "", const char* signal = nullptr) {
        const std::string path = m_folder.file(name);
        if (!signal)
            signal = channels == 1 ? "0.5*sin(2*PI*(200*t+450*t*t))" : "0.5*sin(2*PI*(200*t+450*t*t))|0.4*sin(2*PI*660*t)";
        const std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i 'aevalsrc=" +
                                    std::string(signal) + ":s=" + std::to_string(rate) + ":d=" +
                                    std::to_string(seconds) + "' " + extra + " " + codecArguments + " '" + path + "'";
        return std::system(command.c_str()) == 0 ? path : std::string();
    }

    test_support::ClTempDir m_folder;
};

struct SLossyCase {
    const char *label, *encoder, *fileName, *codecArguments;
    u32 rate, channels;
    EMediaSampleFormat wanted;
    u32 sourceTolerance;  // frames the decode may differ from the 2 s source by
    u32 reportTolerance;  // frames the decode may fall short of the reported length by
    const char* extra = "";  // further ffmpeg inputs
};

class MediaAudioReaderLossy : public MediaAudioReaderFiles, public ::testing::WithParamInterface<SLossyCase> {};

// MP3 (LAME header) and M4A (edit list) mark their encoder delay and padding, so they decode to
// the source's length within a millisecond. ADTS marks nothing: its priming stays. WMA's decoder
// holds back its last block, which its stated length still counts. Only the sound of a video is
// decoded: its length is the sound's.
TEST_P(MediaAudioReaderLossy, DecodesToTheReportedLength) {
    const SLossyCase& c = GetParam();
    if (!ffmpegHasEncoder(c.encoder)) GTEST_SKIP() << "this ffmpeg has no " << c.encoder << " encoder";
    const std::string path = encode(c.fileName, c.codecArguments, c.rate, c.channels, 2.0, c.extra);
    ASSERT_FALSE(path.empty()) << "ffmpeg could not encode " << c.fileName;

    const SDecoded decoded = decodeFile(path, c.wanted);
    ASSERT_EQ(decoded.error, E_MEDIAERR_NONE) << mediaReaderErrorText(decoded.error);
    const SMediaAudioFormat& f = decoded.format;
    EXPECT_EQ(f.sampleRate, c.rate);
    EXPECT_EQ(f.channels, c.channels);
    EXPECT_EQ(f.bitsPerSample, c.wanted == E_MEDIASAMPLE_S16 ? 16u : 32u);
    EXPECT_EQ(f.bytesPerBuffer, MEDIA_AUDIO_BUFFER_FRAMES * f.bytesPerFrame);
    EXPECT_EQ(f.lengthMeasured, true);
    EXPECT_NEAR(f64(decoded.frames), 2.0 * c.rate, f64(c.sourceTolerance));
    EXPECT_LE(decoded.frames, decoded.format.totalFrames);
    EXPECT_GE(decoded.frames + c.reportTolerance, decoded.format.totalFrames);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, MediaAudioReaderLossy,
    ::testing::Values(
        SLossyCase{"Mp3Stereo44k", "libmp3lame", "a.mp3", "-c:a libmp3lame -b:a 192k", 44100, 2, E_MEDIASAMPLE_S16, 44, 0},
        SLossyCase{"M4aStereo48kFloat", "aac", "c.m4a", "-c:a aac -b:a 192k", 48000, 2, E_MEDIASAMPLE_F32, 48, 0},
        SLossyCase{"AdtsStereo44kFloat", "aac", "e.aac", "-c:a aac -b:a 192k -f adts", 44100, 2, E_MEDIASAMPLE_F32, 2048, 0},
        SLossyCase{"WmaMono48kFloat", "wmav2", "g.wma", "-c:a wmav2 -b:a 128k", 48000, 1, E_MEDIASAMPLE_F32, 2100, 2100},
        SLossyCase{"Mp4VideoSound", "aac", "clip.mp4", "-c:v mpeg4 -c:a aac -map 0:a -map 1:v", 44100, 1, E_MEDIASAMPLE_S16, 44, 0,
                   "-f lavfi -i testsrc=size=64x48:rate=10:duration=3"}),
    [](const ::testing::TestParamInfo<SLossyCase>& info) { return std::string(info.param.label); });

// The first 4 KB of an MP3 whose Info frame is made to claim 830,000 frames (21 hours), and
// files cut short after their headers were written: each reports what it holds, give or take
// the part of a packet that the cut left.
TEST_F(MediaAudioReaderFiles, LengthsTheDataDoesNotHoldAreNotBelieved) {
    if (!ffmpegHasEncoder("libmp3lame") || !ffmpegHasEncoder("wmav2")) GTEST_SKIP() << "no libmp3lame or wmav2";
    const std::vector<u8> mp3 = test_support::readFileBytes(encode("whole.mp3", "-c:a libmp3lame -b:a 128k", 44100, 2));
    std::vector<u8> claim(mp3.begin(), mp3.begin() + 4096);
    const std::string head(claim.begin(), claim.begin() + 512);
    const size_t tag = head.find("Info") != std::string::npos ? head.find("Info") : head.find("Xing");
    ASSERT_NE(tag, std::string::npos) << "no Info frame";
    ASSERT_TRUE(claim[tag + 7] & 1) << "the Info frame has no frame count";
    for (u32 i = 0; i < 4; ++i) claim[tag + 8 + i] = u8(830000u >> (24 - 8 * i));
    const std::vector<u8> wma = test_support::readFileBytes(encode("whole.wma", "-c:a wmav2 -b:a 128k", 44100, 2));
    const std::vector<u8> adts = test_support::readFileBytes(encode("whole.aac", "-c:a aac -f adts", 44100, 2));

    auto firstPart = [](const std::vector<u8>& bytes, f64 part) {
        return std::vector<u8>(bytes.begin(), bytes.begin() + s64(f64(bytes.size()) * part));
    };
    struct SCut { const char* name; std::vector<u8> bytes; f64 maxSeconds; };
    for (const SCut& cut : {SCut{"claim.mp3", claim, 0.3}, SCut{"cut.mp3", firstPart(mp3, 0.4), 0.9},
                            SCut{"cut.wma", firstPart(wma, 0.93), 1.9}, SCut{"cut.aac", firstPart(adts, 0.4), 0.9}}) {
        const SDecoded decoded = decodeFile(m_folder.write(cut.name, cut.bytes), E_MEDIASAMPLE_F32);
        SCOPED_TRACE(cut.name);
        ASSERT_EQ(decoded.error, E_MEDIAERR_NONE);
        EXPECT_GT(decoded.frames, 0u);
        EXPECT_LE(f64(decoded.format.totalFrames), cut.maxSeconds * 44100);
        EXPECT_LE(decoded.frames, decoded.format.totalFrames);
        EXPECT_GE(decoded.frames + 4200, decoded.format.totalFrames);
    }
}

// A 16-bit WAV of our own: S16 comes back unchanged, f32 is the same samples / 32768, and only
// the read that meets the end stops short.
TEST_F(MediaAudioReaderFiles, WavReadsBackSampleExactInBothForms) {
    std::vector<s16> samples;
    for (u32 i = 0; i < 22050; ++i)
        samples.insert(samples.end(), {s16(20000.0 * std::sin(i * 0.01)),
                                       s16(i % 7 == 0 ? -32768 : (i % 7 == 1 ? 32767 : s16(i * 13)))});
    const std::string path =
        m_folder.write("exact.wav", test_support::wavImage({.rate = 22050}, test_support::pcm16Bytes(samples)));
    const SDecoded asInteger = decodeFile(path, E_MEDIASAMPLE_S16);
    EXPECT_EQ(asInteger.error, E_MEDIAERR_NONE);
    EXPECT_EQ(asInteger.raw16, samples);
    EXPECT_EQ(asInteger.format.totalFrames, 22050u);
    std::vector<f32> scaled(samples.begin(), samples.end());
    for (f32& value : scaled) value /= 32768.0f;
    EXPECT_EQ(decodeFile(path, E_MEDIASAMPLE_F32).samples, scaled);

    ClMediaAudioReader reader;
    ASSERT_EQ(reader.open(widePath(path).c_str(), E_MEDIASAMPLE_S16), E_MEDIAERR_NONE);
    u32 frames = 0;
    EXPECT_EQ(reader.read(samples.data(), 20000, &frames), E_MEDIAERR_NONE);
    EXPECT_EQ(frames, 20000u);
    EXPECT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.read(samples.data(), 20000, &frames), E_MEDIAERR_NONE);
    EXPECT_EQ(frames, 2050u);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.read(samples.data(), 20000, &frames), E_MEDIAERR_NONE);
    EXPECT_EQ(frames, 0u);
}

// A square wave overshoots in the codec: the float output reaches its clamp and never passes it.
TEST_F(MediaAudioReaderFiles, FloatOutputIsClamped) {
    if (!ffmpegHasEncoder("libmp3lame")) GTEST_SKIP() << "this ffmpeg has no libmp3lame encoder";
    const std::string path = encode("square.mp3", "-c:a libmp3lame", 44100, 1, 1.0, "", "0.999*sgn(sin(2*PI*440*t))");
    ASSERT_FALSE(path.empty());
    const SDecoded decoded = decodeFile(path, E_MEDIASAMPLE_F32);
    ASSERT_EQ(decoded.error, E_MEDIAERR_NONE);
    const auto [least, largest] = std::minmax_element(decoded.samples.begin(), decoded.samples.end());
    EXPECT_EQ(std::max(-*least, *largest), 1.0f);
}

// ADTS states no length, and the library's estimate from the bit rate of the first packets falls
// short for a song whose rate drops after its first seconds (about 55 s of 92): the measured
// length stands.
TEST_F(MediaAudioReaderFiles, ALengthEstimatedFromTheBitRateIsNotBelieved) {
    const std::string path = encode("drop.aac", "-c:a aac -q:a 1 -f adts", 44100, 1, 92.0, "",
                                    "if(lt(t\\,8)\\,0.8*(random(0)-0.5)\\,0.3*sin(2*PI*440*t))");
    ASSERT_FALSE(path.empty());
    ClMediaAudioReader reader;
    ASSERT_EQ(reader.open(widePath(path).c_str(), E_MEDIASAMPLE_F32), E_MEDIAERR_NONE);
    SMediaAudioFormat format{};
    reader.getFormat(&format);
    EXPECT_NEAR(f64(format.totalFrames), 92.0 * 44100, 0.1 * 44100);
}

TEST_F(MediaAudioReaderFiles, WrongEmptyMissingAndSoundlessFilesFailAtOpen) {
    const std::string silent = encode("silent.mp4", "-an -c:v mpeg4", 44100, 1, 1.0,
                                      "-f lavfi -i testsrc=size=64x48:rate=10:duration=1 -map 1:v");
    ASSERT_FALSE(silent.empty());
    ClMediaAudioReader reader;
    const auto open = [&reader](const std::string& path) { return reader.open(widePath(path).c_str(), E_MEDIASAMPLE_S16); };
    EXPECT_EQ(open(m_folder.file("absent.mp3")), E_MEDIAERR_FILE_NOT_FOUND);
    EXPECT_EQ(reader.lastSystemCode(), s32(E_OSERR_NOT_FOUND));
    EXPECT_EQ(open(m_folder.write("empty.mp3", "")), E_MEDIAERR_EMPTY_FILE);
    EXPECT_EQ(open(m_folder.write("notes.mp3", test_support::repeatedText(8000, "A play list, not a song.\n"))),
              E_MEDIAERR_NOT_A_MEDIA_FILE);
    EXPECT_EQ(open(silent), E_MEDIAERR_NO_AUDIO_STREAM);
    EXPECT_EQ(reader.open(nullptr, E_MEDIASAMPLE_S16), E_MEDIAERR_INVALID_PARAMETER);
    u32 frames = 1;
    EXPECT_EQ(reader.read(&frames, 1, &frames), E_MEDIAERR_NOT_OPEN);
}

// A block alignment damaged in the header (one byte) makes the decoder cut every packet into
// frames of noise, more audio than the packets hold: the stream is refused as damaged. A header
// whose alignment still fits each packet decodes as before.
TEST_F(MediaAudioReaderFiles, AWmaWithADamagedBlockAlignmentIsRefusedAsDamaged) {
    if (!ffmpegHasEncoder("wmav2")) GTEST_SKIP() << "this ffmpeg has no wmav2 encoder";
    const std::vector<u8> wma = test_support::readFileBytes(encode("aligned.wma", "-c:a wmav2 -b:a 64k", 44100, 1, 20.0));
    // The stream's format record: tag 0x0161, channels 1, rate 44100; its block alignment follows
    // the byte rate.
    const u8 record[] = {0x61, 0x01, 0x01, 0x00, 0x44, 0xAC, 0x00, 0x00};
    const auto at = std::search(wma.begin(), wma.end(), std::begin(record), std::end(record));
    ASSERT_NE(at, wma.end());
    const size_t alignment = size_t(at - wma.begin()) + 12;
    std::vector<u8> damaged = wma;
    damaged[alignment] = 115;
    damaged[alignment + 1] = 0;
    EXPECT_EQ(decodeFile(m_folder.write("damaged.wma", damaged), E_MEDIASAMPLE_S16).error, E_MEDIAERR_MOSTLY_DAMAGED);
    const SDecoded whole = decodeFile(m_folder.write("whole.wma", wma), E_MEDIASAMPLE_S16);
    EXPECT_EQ(whole.error, E_MEDIAERR_NONE);
}

}  // namespace
