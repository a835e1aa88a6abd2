// The decoder of uncompressed RIFF/WAVE files (format id 0, ".wav"): its own synchronous reader
// hands the file's PCM bytes unchanged to a ring of three half-second buffers.
#pragma once

#include "audio/decode/codec_stream_instance.h"
#include "audio/decode/wav_format.h"
#include "core/types.h"

#include <string>

struct SOsFile;

constexpr u32 WAV_RING_BUFFER_COUNT = 3;

// Reads a WAV file's chunks at open and then its data chunk in order. The last error says why a
// call failed, with the system's error code where the system refused.
class ClSyncWAVFileReader {
public:
    ClSyncWAVFileReader() = default;
    ClSyncWAVFileReader(const ClSyncWAVFileReader&) = delete;
    ClSyncWAVFileReader& operator=(const ClSyncWAVFileReader&) = delete;
    ~ClSyncWAVFileReader() { close(); }

    // Opens the file (under the file-system lock) and walks its chunks. 0 when the file cannot be
    // opened, is not a regular file or is 4 GiB or larger; otherwise 1 whether or not the walk
    // succeeded: the file is usable only when getFormatBlock is non-null.
    s32 open(const char16_t* path);
    // Reads up to bytes of the data chunk from the read position. 0 on a read failure (the last
    // error keeps it); otherwise 1 with outCount bytes (0 at the end of the data).
    s32 readNextData(void* buffer, u32 bytes, u32* outCount);
    void close();

    // At least WAV_FORMAT_BLOCK_MIN_BYTES bytes; null until a "fmt " chunk was read.
    const u8* getFormatBlock() const { return m_layout.formatBlock; }
    u32 getDataSize() const { return m_layout.dataSize; }
    // The last error, and the system's reason where there is one, for the audio log.
    std::string describeLastError() const;

private:
    void failWith(EWavError error);

    SWavLayout m_layout = {};
    u32 m_readPosition = 0;
    EWavError m_lastError = E_WAVERR_NONE;
    u32 m_systemError = 0;
    SOsFile* m_file = nullptr;
    u64 m_fileSize = 0;
    char16_t m_path[CODEC_PATH_CAPACITY] = {};
};

class ClCodecStreamInstance_WAV : public ClCodecStreamInstance {
public:
    ~ClCodecStreamInstance_WAV() override;

    s32 initializeMembers() override;
    s32 initializeFullStream() override;
    s32 startDecoding() override;
    s32 canDecodeMoreData() override;
    s32 isDecodingFinished() override;
    s32 continueDecoding() override;
    void releaseAll() override;
    s32 getCommonCodecInfo(SCommonCodecInfo* info) override;
    s32 fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) override;
    s32 handleFMODReadCallback(void* data, u32 bytes) override;
    s32 gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination, u32 bytes,
                                       u32* outBytes) override;

    // The body of startDecoding and continueDecoding.
    s32 attemptToFillWAVDataBuffers();

    ClSyncWAVFileReader* mp_pSyncWAVFileReader = nullptr;

private:
    void releaseResources();

    SWavFormat m_format = {};
    SCodecRing m_ring = {};
};
