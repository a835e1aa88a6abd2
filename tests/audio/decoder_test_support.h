// Fixtures and a job driver shared by the FLAC, Ogg Vorbis and WavPack decoder tests.
//
// Signals are made here and written as WAV files by our own writer; the command-line encoders
// turn them into the format under test inside a temporary folder.
#pragma once

#include "audio/codec_registry.h"
#include "audio/codec_stream_instance.h"
#include "core/types.h"

#include <string>
#include <vector>

namespace decoder_test {

// A sine on even channels and noise with full-scale clicks on odd ones, as right-justified
// integers of the given width, interleaved.
std::vector<s32> makeSignal(u32 frames, u32 channels, u32 rate, u32 bits);

// The WAV data bytes of the signal: (bits + 7) / 8 bytes per sample, left-justified, 8-bit
// unsigned. Also exactly what the FLAC decoder delivers.
std::vector<u8> packPcm(const std::vector<s32>& samples, u32 bits);

// Integer PCM (the extensible format for widths that are not whole bytes), or 32-bit float.
bool writeWavFile(const std::string& path, u32 channels, u32 rate, u32 bits, const std::vector<s32>& samples);
bool writeFloatWavFile(const std::string& path, u32 channels, u32 rate, const std::vector<f32>& samples);

std::vector<u8> readFileBytes(const std::string& path);
bool writeFileBytes(const std::string& path, const std::vector<u8>& bytes);

// Runs a shell command with its output discarded; true when it exited with 0.
bool runTool(const std::string& command);
std::string quoted(const std::string& path);

// A fresh folder under the system's temporary folder, removed with everything in it.
class ClTempFolder {
public:
    ClTempFolder();
    ~ClTempFolder();
    ClTempFolder(const ClTempFolder&) = delete;
    ClTempFolder& operator=(const ClTempFolder&) = delete;
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

std::u16string widePath(const std::string& utf8Path);

// Sends the decoders' audio-log lines to "GAMEDATA/audio.log" under the folder while it lives.
class ClAudioLogCapture {
public:
    explicit ClAudioLogCapture(const ClTempFolder& folder);
    ~ClAudioLogCapture();
    ClAudioLogCapture(const ClAudioLogCapture&) = delete;
    ClAudioLogCapture& operator=(const ClAudioLogCapture&) = delete;
    // Stops logging and returns the log's text.
    std::string finish();

private:
    std::string m_logPath;
    std::u16string m_previousUserDir;
    bool m_active = false;
};

// A job made by the family's factory and initialised for full decoding of the file.
ClCodecStreamInstance* openJob(CodecFactoryFn factory, const std::string& path);
// The decode thread's clean-up and the delete.
void destroyJob(ClCodecStreamInstance* job);

struct SDecodeRun {
    s32 state = E_CODECJOB_NEW;
    std::vector<u8> bytes;        // every buffer that became ready, in order
    std::vector<u32> bufferSizes;  // the byte count of each of them
    u32 steps = 0;
};

// Steps the job on this thread, as the decode thread would, draining each ready buffer as a
// reader would, until the job is in a terminal state or stepLimit steps have run (the test then
// fails on the state).
SDecodeRun runJob(ClCodecStreamInstance* job, SCodecRing* ring, u32 stepLimit = 2000);

// Steps the job until it leaves the opening states (1 and below) or stepLimit steps have run.
s32 stepUntilOpened(ClCodecStreamInstance* job, u32 stepLimit = 10);

// Normalised cross-correlation of two equally long series.
f64 correlation(const std::vector<f64>& a, const std::vector<f64>& b);

}  // namespace decoder_test
