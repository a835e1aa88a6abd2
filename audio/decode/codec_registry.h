// The codec registry: which extensions can be decoded, by which decoder family, whether each
// family's library could be started; it opens decode jobs, owns every live job, and runs the
// decode thread (decode_thread.h) that steps them all and destroys released ones.
//
// A decoder family supplies a factory and, where its library needs it, thread-init and
// thread-exit functions (declared at the end of this file); codecRegistration puts them into
// records with their extensions and format ids, in a fixed order. The thread-inits run on the
// decode thread's first pass, and the registry is ready only after that pass.
#pragma once

#include "core/log_manager.h"
#include "core/types.h"

class ClCodecStreamInstance;

constexpr u32 CODEC_MAX_EXTENSIONS = 8;
// Characters of an extension, terminator included.
constexpr u32 CODEC_EXTENSION_CAPACITY = 768;
constexpr u32 CODEC_DEFAULT_DECODE_INTERVAL_MS = 33;
// The log the decoders write to: "GAMEDATA\audio.log" under the user-data directory.
constexpr const char* CODEC_AUDIO_LOG_NAME = "VEDOVoz";

enum ECodecFormatId : s32 {
    E_CODECFORMAT_NONE = -1,
    E_CODECFORMAT_WAV = 0,
    E_CODECFORMAT_MP3 = 1,
    E_CODECFORMAT_M4A = 2,
    E_CODECFORMAT_WMA = 3,
    E_CODECFORMAT_AAC = 4,
    E_CODECFORMAT_OGGVORBIS = 5,
    E_CODECFORMAT_FLAC = 6,
    E_CODECFORMAT_AIFF = 7,
    E_CODECFORMAT_WAVPACK = 8,
};

enum ECodecInitStatus : s32 {
    E_CODECINIT_NOT_INITIALISED = -1,
    E_CODECINIT_INITIALISED = 1,
    E_CODECINIT_FAILED = 3,
};

// Non-zero on success. Runs on the decode thread.
using CodecThreadInitFn = s32 (*)();
using CodecThreadExitFn = void (*)();
// A new decoder object of the family (made with new: the decode thread deletes it), constructed
// but not initialised; null on failure.
using CodecFactoryFn = ClCodecStreamInstance* (*)();

struct SCodecExtension {
    s32 formatId;                               // ECodecFormatId
    char extension[CODEC_EXTENSION_CAPACITY];   // with its leading dot, lower case
    u32 disabledByUser;
    u32 unavailable;                            // nothing sets it after registration
};

struct SCodecRecord {
    SCodecExtension extensions[CODEC_MAX_EXTENSIONS];
    u32 extensionCount;                         // 1 to 8
    s32 initStatus;                             // ECodecInitStatus
    CodecThreadInitFn threadInit;               // null counts as a failed start
    CodecThreadExitFn threadExit;               // may be null
    CodecFactoryFn factory;
};

// A zeroed record with the three functions and status -1.
void initCodecRecord(SCodecRecord* record, CodecThreadInitFn threadInit, CodecThreadExitFn threadExit,
                     CodecFactoryFn factory);
// Appends an entry (the text is stored lower-cased, at most 767 characters). 0 when the record
// already holds CODEC_MAX_EXTENSIONS entries or the text is empty.
s32 addCodecRecordExtension(SCodecRecord* record, const char* extension, s32 formatId);

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown (by the sound engine)

// E_CODECMANAGER_NOT_STARTED, not ready, no thread; creates the registry lock and the three
// arrays.
// Returns 1.
s32 initCodecRegistry();
// Opens the audio log, applies the user's audio-log option (savedOptions().audioLog), registers
// the seven decoder families in their fixed order and starts the decode thread. The argument is
// the sound engine's and carries nothing here. Returns 1.
s32 codecRegistration(u32 engineArgument);
// Stops every job, waits for the decode thread to destroy them all and to run the thread-exit
// functions, then frees the registry. Every stream that reads a job must be stopped first.
void shutdownCodecRegistry();

// Appends a copy of the record under the registry lock. Returns 1.
s32 registerCodec(const SCodecRecord& record);

// Opens "GAMEDATA\audio.log" under the user-data directory as CODEC_AUDIO_LOG_NAME (its folder
// must exist); a path the log manager cannot hold leaves no log. Part of codecRegistration.
void openCodecAudioLog();
// Non-zero: the audio log (CODEC_AUDIO_LOG_NAME) receives the decoders' lines; 0: none.
void setCodecLogging(u32 setting);
// Writes one line to the audio log (nothing while logging is off).
void writeCodecAudioLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---------------------------------------------------------------------------------------------
// Look-ups. Those that depend on readiness answer 0 until the decode thread's first pass has
// started at least one family.

// 1 once some family's thread-init succeeded.
bool isCodecRegistryReady();
// The extension must be shorter than the path and equal its tail, A-Z folded. The first match
// in a started record gives the format; matches in failed records are passed over. Not ready:
// 0 and outFormat untouched; otherwise outFormat is -1 unless found.
s32 findCodecFormatForPath(const char16_t* widePath, s32* outFormat);
// The flag of the first entry matching the path's tail (whatever the record's status); 1 when
// not ready or nothing matches.
u32 isCodecDisabledForPath(const char16_t* widePath);
// Sets the disabled flag of the first equal entry only. 1, or 0 when nothing matches.
s32 setCodecDisabledForExtension(const char* extension, u32 value);

// The first record, in registration order, that lists the format and has started; null if
// none. The pointer is valid until the next registerCodec.
const SCodecRecord* findCodecRecordForFormat(s32 formatId);

// Creates a job for the file with the format's record, runs initCodecJob
// and adds it to the live jobs; the decode thread steps it from then on. Null when not ready,
// no started record lists the format, or the factory gives nothing. A job whose initialisation
// failed is still returned: it ends in E_CODECJOB_OPEN_FAILED. Any thread.
ClCodecStreamInstance* openCodecJob(s32 formatId, const char16_t* widePath);
// Sets the job's stop flag and hands it to the decode thread, which destroys it once it is
// in a terminal state. Each job is released exactly once and not touched afterwards. Any thread.
void releaseCodecJob(ClCodecStreamInstance* job);

// ---------------------------------------------------------------------------------------------
// The decode thread's pass (decode_thread.cpp calls it every interval). 0 ends the thread.
s32 stepCodecManager();

enum ECodecManagerState : s32 {
    E_CODECMANAGER_NOT_STARTED = -1,  // before the first pass, and after shutdown
    E_CODECMANAGER_RUNNING = 1,
    E_CODECMANAGER_SHUTTING_DOWN = 2,
    E_CODECMANAGER_ALL_FAILED = 3,    // no family started; the thread has ended
};
// Jobs the registry still owns (live), for the decode benchmark and the lock budget.
u32 getLiveCodecJobCount();

// ---------------------------------------------------------------------------------------------
// The decoder families. Each family's source defines its factory and, where listed, its
// thread-init and thread-exit; codecRegistration registers them in this order:
//   1 Windows Media  ".mp3" (1), ".wma" (3)
//   2 QuickTime      ".mp3" (1), ".m4a" (2), ".aac" (4)
//   3 WAV            ".wav" (0)
//   4 Ogg Vorbis     ".ogg" (5)
//   5 FLAC           ".flac" (6)
//   6 AIFF           ".aiff" (7), ".aif" (7)
//   7 WavPack        ".wv" (8)
// Windows Media and QuickTime are the two registrations of the media decoder
// (decoder_media.h), which has nothing to start; nor have WAV, Ogg Vorbis and FLAC. Their
// records get a thread-init that succeeds and no thread-exit.

ClCodecStreamInstance* createCodecStreamInstanceWindowsMedia();
ClCodecStreamInstance* createCodecStreamInstanceQuickTime();

ClCodecStreamInstance* createCodecStreamInstanceWAV();

ClCodecStreamInstance* createCodecStreamInstanceOggVorbis();

ClCodecStreamInstance* createCodecStreamInstanceFLAC();

ClCodecStreamInstance* createCodecStreamInstanceAIFF();
// Records the AIFF reader's version text; 1.
s32 codecThreadInitAIFF();

ClCodecStreamInstance* createCodecStreamInstanceWavPack();
// Records the WavPack library's version number and text; 1.
s32 codecThreadInitWavPack();
