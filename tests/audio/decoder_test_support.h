// Fixtures, job drivers and comparisons shared by the decoder tests.
//
// Signals are made here and written as WAV files by our own writer; command-line encoders (flac,
// oggenc, wavpack, ffmpeg) turn them into the format under test inside a temporary folder. A job
// is driven either on this thread, as the decode thread would step it, or stepped on a thread of
// its own while this one pulls it dry, as the analysis reads a song. The lossy files of the media
// decoders are encoded once for all their tests.
#pragma once

#include "audio/decode/codec_registry.h"
#include "audio/decode/codec_stream_instance.h"
#include "core/types.h"
#include "platform/media/media_audio_reader.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace decoder_test {

using ClTempFolder = test_support::ClTempDir;
using test_support::readFileBytes;
using test_support::SWavFixture;
using test_support::wavImage;
using test_support::widePath;
using test_support::writeFileBytes;

// ---------------------------------------------------------------------------------------------
// Signals and sample conversions

// A sine on even channels and noise with full-scale clicks (both extremes) on odd ones, as
// right-justified integers of the given width, interleaved.
std::vector<s32> makeSignal(u32 frames, u32 channels, u32 rate, u32 bits);

// Little-endian PCM: (bits + 7) / 8 bytes per sample, left-justified, 8-bit unsigned. Also
// exactly what the WAV and FLAC decoders deliver.
std::vector<u8> packPcm(const std::vector<s32>& samples, u32 bits);
// Floats in [-1, 1] as rounded 16-bit integers, clamped.
std::vector<s32> quantise16(const std::vector<f32>& samples);
// What the float decoders deliver for integer samples: the container value over
// 2^(8 x container - 1).
std::vector<f32> scaledFloats(const std::vector<s32>& samples, u32 bits);
// Decoded bytes read back as signed 16-bit over 32768; floats as bytes.
std::vector<f32> pcm16Floats(const std::vector<u8>& bytes);
std::vector<u8> bytesOf(const std::vector<f32>& samples);

// ---------------------------------------------------------------------------------------------
// File bytes

// Integer PCM (the extensible format for widths that are not whole bytes).
void writeWavFile(const std::string& path, u32 channels, u32 rate, u32 bits, const std::vector<s32>& samples);

// The first `count` bytes: a file cut short.
std::vector<u8> firstBytes(const std::vector<u8>& bytes, size_t count);
bool isPrefix(const std::vector<u8>& part, const std::vector<u8>& whole);

// ---------------------------------------------------------------------------------------------
// Tools and folders

// Runs a shell command, discarding its output; true when it exited with 0.
bool runTool(const std::string& command);
std::string quoted(const std::string& path);

struct SDepth {
    u32 channels, rate, bits;
};
// The samples written as "<name>.wav" in the folder and encoded by `tool` (the command and its
// options) as "<tool> <wav> -o <folder>/<name>"; the encoded file's path.
std::string encodeWithTool(const ClTempFolder& folder, const std::string& name, const SDepth& depth,
                           const std::vector<s32>& samples, const std::string& tool);


// A temporary folder that is the user-data folder while it lives.
class ClTempUserFolder : public ClTempFolder {
public:
    ClTempUserFolder();
    ~ClTempUserFolder();

private:
    std::u16string m_previousUserDir;
};

// Sends the decoders' audio-log lines to "GAMEDATA/audio.log" under the folder while it lives.
class ClAudioLogCapture {
public:
    explicit ClAudioLogCapture(const std::string& folder);
    ~ClAudioLogCapture() { finish(); }
    ClAudioLogCapture(const ClAudioLogCapture&) = delete;
    ClAudioLogCapture& operator=(const ClAudioLogCapture&) = delete;
    // Stops logging and returns the log's text.
    std::string finish();

private:
    std::string m_logPath;
    std::u16string m_previousUserDir;
    bool m_active = false;
};

// ---------------------------------------------------------------------------------------------
// Jobs

// A job made by the family's factory and initialised for full decoding of the file.
ClCodecStreamInstance* openJob(CodecFactoryFn factory, const std::string& path);
// The decode thread's clean-up and the delete.
void destroyJob(ClCodecStreamInstance* job);

// Generous: a job that has not settled in this many decode passes is stuck.
constexpr u32 DECODE_STEP_LIMIT = 4000;

// Steps a job until its state is at least `state` (every terminal state lies past the others) or
// DECODE_STEP_LIMIT steps have run; returns the state.
s32 stepJobUntil(ClCodecStreamInstance* job, s32 state);

struct SDecodeRun {
    s32 state = E_CODECJOB_NEW;       // the final state
    std::vector<u8> bytes;            // decoded bytes, zero fill not counted
    std::vector<u32> bufferSizes;     // stepped: the byte count of each ready buffer
    s32 infoResult = 0;
    SCommonCodecInfo info = {};
    s32 soundResult = 0;
    SCodecCreateSoundExInfo sound = {};
    bool sawDamage = false;           // the decoder skipped damaged data
};

// Steps the job on this thread, as the decode thread would, draining each ready buffer as a
// reader would, until the job is in a terminal state or DECODE_STEP_LIMIT steps have run.
SDecodeRun runJob(ClCodecStreamInstance* job, SCodecRing* ring);

// Opens a job of the family TJob on the file, runs it as runJob does, asks it for its infos
// (unless it failed to open) and destroys it.
template <class TJob>
SDecodeRun decodeFile(CodecFactoryFn factory, const std::string& path) {
    ClCodecStreamInstance* job = openJob(factory, path);
    SDecodeRun run = runJob(job, &static_cast<TJob*>(job)->m_ring);
    if (run.state != E_CODECJOB_OPEN_FAILED && run.state != E_CODECJOB_START_FAILED) {
        run.infoResult = job->getCommonCodecInfo(&run.info);
        run.soundResult = job->fillCreateSoundExInfo(&run.sound);
    }
    run.sawDamage = codecJobSawDamage(job);
    destroyJob(job);
    return run;
}


struct SPullOptions {
    u32 chunkBytes = 4093;             // odd, so reads end inside buffers
    bool askSoundInfo = true;          // fill the stream's creation info before the pull
    u32 stepLimit = 20000;             // then the stepper stops the job, which ends the pull
    u32 stepPauseMicroseconds = 50;
};

// Opens a job on the file and decodes it whole: a thread steps the job like the decode thread
// while this one pulls through the analysis read (a job that failed only in decoding still gives
// what its ring holds). A job still running after the step limit is stopped, so a hang shows as a
// short or failed decode, never as a stuck test.
SDecodeRun pullJob(CodecFactoryFn factory, const std::string& path, const SPullOptions& options = {});

// Registers a family with its extensions, each with its format.
void registerCodecFamily(CodecThreadInitFn init, CodecThreadExitFn exit, CodecFactoryFn factory,
                         std::initializer_list<std::pair<const char*, s32>> extensions);

// Starts the decode thread on the registered families, stepping every millisecond; false when
// the registry is not ready within ten seconds.
bool startDecodeThreadAndWait();
// The registry with one family for ".wav" files, and the decode thread stepping it.
bool startSingleFamilyRegistry(CodecFactoryFn factory);

// ---------------------------------------------------------------------------------------------
// Comparison

// What a decoder tells of a decode of `frames` frames. A stream format of NONE: the decode
// cannot be streamed, and the stream's creation info is refused.
struct SExpectedInfo {
    u32 channels, rate, bytesPerSample, sampleFormat;
    u64 frames;
    ECodecSoundFormat soundFormat;
};
void expectCodecInfo(const SDecodeRun& run, const SExpectedInfo& expected);

using DecodeFn = std::function<SDecodeRun(const std::string& path)>;

// Writes the samples as a file of the format under test in the folder and returns its path.
using EncodeFn = std::function<std::string(const ClTempFolder&, const SDepth&, const std::vector<s32>&)>;

// Each depth's signal of `tenths` tenths of a second, encoded and decoded: the job finishes,
// tells its layout and length, and delivers exactly the source's samples, packed as packPcm
// does or, with `floats`, as scaledFloats gives them.
void expectExactDepths(const EncodeFn& encode, const DecodeFn& decode, bool floats, u32 tenths,
                       std::initializer_list<SDepth> depths);

// A damaged lossless file (its bytes `file`, decoding to `expected`): garbage does not open; cut
// at 3/5 it delivers a start of `expected` exactly, then fails; with 2,000 bytes overwritten in
// its middle the job ends, with no more than `expected`.
void expectDamagedLosslessEnds(const DecodeFn& decode, const std::string& folderPath, const std::vector<u8>& file,
                               const std::vector<u8>& expected);

// Normalised correlation of one channel of the decode with the source, at the lag (decode
// behind source, within +-maxLag frames) that matches best over a window of the source.
f64 channelCorrelation(const std::vector<f32>& decoded, const std::vector<f32>& source, u32 channels, u32 channel,
                       s32 maxLag);

}  // namespace decoder_test
