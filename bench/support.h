// What the comparison benchmarks share: a scratch folder, a generated song written as a plain
// WAV file and encoded, and other programs run as timed child processes.
#pragma once

#include "core/types.h"

#include <filesystem>
#include <string>
#include <vector>

// A new, empty folder under the system's temporary directory, named from the prefix; empty when
// none could be made.
std::filesystem::path makeScratchFolder(const char* prefix);
// Removes the folder and everything in it unless asked to keep it (the kept folder is printed).
void finishScratchFolder(const std::filesystem::path& folder, bool keep);

// The generated songs of the comparison benchmarks: 44.1 kHz stereo.
constexpr u32 CLICK_SONG_RATE = 44100;
constexpr u32 CLICK_SONG_CHANNELS = 2;

// Interleaved 16-bit stereo of the given length. Every beat a click (a 4 ms burst of decaying
// noise); a bass note on every beat, its root changing each bar of four; a pad chord held over
// each bar with a slow attack, the left and right voices slightly apart.
std::vector<s16> makeClickSong(u32 seconds, f64 tempo);

// A canonical 44-byte-header PCM WAV file of interleaved 16-bit samples. False when it cannot be
// written.
bool writeWav16(const std::filesystem::path& path, const std::vector<s16>& samples, u32 channels, u32 rate);

struct SProcessRun {
    s32 exitCode = -1;  // -1 when the program could not be started or did not exit normally
    f64 wallSeconds = 0.0;
    f64 cpuSeconds = 0.0;  // user + system of the child
};

// Runs the program without a shell, standard input from /dev/null, and times it from outside
// (wall clock, and the child's CPU time from wait4). Standard output and standard error go to
// the files named (created or truncated); null keeps this program's stream.
constexpr const char* DISCARD_OUTPUT = "/dev/null";
SProcessRun runProcess(const std::vector<std::string>& arguments, const char* outFile, const char* errFile);

// The pattern's words with "{in}" and "{out}" replaced.
std::vector<std::string> substitute(const std::vector<std::string>& pattern, const std::string& in,
                                    const std::string& out);

// A format of the comparison benchmarks and the command-line programs that make and read it.
struct SCodecFormat {
    const char* name;
    const char* extension;
    std::vector<std::string> encoder;  // {in} the WAV, {out} the encoded file
    std::vector<std::string> decoder;  // {in} the encoded file
};

// The click song of the given length written as song.wav in the folder, what is made printed;
// empty when it cannot be written (the program names itself in the message).
std::filesystem::path writeClickSongWav(const std::filesystem::path& folder, u32 seconds, f64 tempo,
                                        const char* program);
// The formats the comparison benchmarks time, with their reference programs: FLAC, Ogg, WavPack, MP3.
const std::vector<SCodecFormat>& referenceFormats();

// The WAV file encoded with the format's encoder as song<extension> beside it, what is done
// printed; empty (and a message naming the program) when the encoder fails.
std::filesystem::path encodeSong(const SCodecFormat& format, const std::filesystem::path& wav, const char* program);

// The whole text of a file; empty when it cannot be read.
std::string readText(const std::filesystem::path& path);
// a / b, or 0 when b is not above 0.
f64 ratio(f64 a, f64 b);
