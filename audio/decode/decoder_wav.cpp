#include "audio/decode/decoder_wav.h"

#include "audio/decode/codec_registry.h"
#include "audio/decode/sample_pull.h"
#include "core/file_layer.h"
#include "core/string_helpers.h"

#include <filesystem>
#include <new>
#include <string>
#include <system_error>

namespace {

const SCodecRingMessages WAV_RING_MESSAGES = {
    "ClCodecStreamInstance_WAV::handleFMODReadCallback() ERROR -> Buffer [%d] should have its buffer state set to "
    "E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE -> SKIPPING!",
    "ClCodecStreamInstance_WAV::handleFMODReadCallback() ERROR -> We have wrapped around to buffer [%d] where we "
    "started (we are out of data)!",
};

u32 readFileAt(void* user, u64 offset, void* buffer, u32 size, u32* outRead) {
    return osFileReadAt(static_cast<SOsFile*>(user), offset, buffer, size, outRead) ? 0 : osLastError();
}

// A pipe or a device would block the open or the reads; a missing file is left to the open,
// which then reports why.
bool existsButIsNotRegular(const char16_t* path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(osSystemPathW(path), error);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// ClSyncWAVFileReader

s32 ClSyncWAVFileReader::open(const char16_t* path) {
    close();
    m_readPosition = 0;
    m_lastError = E_WAVERR_NONE;
    m_systemError = 0;
    m_layout = {};
    if (!path) {
        m_lastError = E_WAVERR_CANNOT_OPEN;
        return 0;
    }
    wstrCopyN(m_path, path, CODEC_PATH_CAPACITY);

    fileSystemLockEnter();
    if (existsButIsNotRegular(m_path)) {
        m_lastError = E_WAVERR_CANNOT_OPEN;
    } else {
        m_file = osFileOpenW(m_path, E_OSFILE_READ_EXISTING);
        if (!m_file) failWith(E_WAVERR_CANNOT_OPEN);
    }
    fileSystemLockLeave();
    if (!m_file) return 0;

    if (!osFileGetSize(m_file, &m_fileSize)) {
        failWith(E_WAVERR_READ_FAILED);
        close();
        return 0;
    }
    if (m_fileSize >= WAV_FILE_SIZE_LIMIT) {
        m_lastError = E_WAVERR_TOO_LARGE;
        close();
        return 0;
    }
    const SWavChunkSource source = {readFileAt, m_file, m_fileSize};
    m_lastError = parseWavChunks(source, &m_layout);
    if (m_lastError == E_WAVERR_READ_FAILED) m_systemError = osLastError();
    return 1;
}

s32 ClSyncWAVFileReader::readNextData(void* buffer, u32 bytes, u32* outCount) {
    *outCount = 0;
    if (!m_file) {
        m_lastError = E_WAVERR_CANNOT_OPEN;
        return 0;
    }
    const u32 left = m_layout.dataSize - m_readPosition;
    const u32 wanted = bytes < left ? bytes : left;
    u32 got = 0;
    if (wanted != 0 && !osFileReadAt(m_file, u64(m_layout.dataStart) + m_readPosition, buffer, wanted, &got) &&
        osLastError() != E_OSERR_HANDLE_EOF) {
        failWith(E_WAVERR_READ_FAILED);
        return 0;
    }
    *outCount = got;
    m_readPosition += got;
    return 1;
}

std::string ClSyncWAVFileReader::describeLastError() const {
    // Open succeeds on a file whose walk found no format block; that is the one failure then.
    std::string text = m_lastError == E_WAVERR_NONE && !m_layout.formatBlock ? "no \"fmt \" chunk"
                                                                             : wavErrorText(m_lastError);
    if (m_systemError != 0) text += " (" + osErrorText(m_systemError) + ")";
    return text;
}

void ClSyncWAVFileReader::failWith(EWavError error) {
    m_lastError = error;
    m_systemError = osLastError();
}

void ClSyncWAVFileReader::close() {
    if (m_file) {
        osFileClose(m_file);
        m_file = nullptr;
    }
    freeWavLayout(&m_layout);
}

// ---------------------------------------------------------------------------------------------
// ClCodecStreamInstance_WAV

ClCodecStreamInstance* createCodecStreamInstanceWAV() { return new (std::nothrow) ClCodecStreamInstance_WAV(); }

ClCodecStreamInstance_WAV::~ClCodecStreamInstance_WAV() { releaseResources(); }

s32 ClCodecStreamInstance_WAV::initializeMembers() {
    releaseResources();
    m_format = {};
    return 1;
}

s32 ClCodecStreamInstance_WAV::initializeFullStream() {
    mp_pSyncWAVFileReader = new (std::nothrow) ClSyncWAVFileReader();
    if (!mp_pSyncWAVFileReader) return 0;
    if (!mp_pSyncWAVFileReader->open(m_path) || !mp_pSyncWAVFileReader->getFormatBlock()) {
        writeCodecAudioLog("ClCodecStreamInstance_WAV::initializeFullStream() -> Cannot read WAV file [%s]: %s!",
                           osWideToUtf8(m_path).c_str(), mp_pSyncWAVFileReader->describeLastError().c_str());
        return 0;
    }
    readWavFormatBlock(mp_pSyncWAVFileReader->getFormatBlock(), &m_format);

    switch (checkWavPcmFormat(m_format)) {
        case E_WAVCHECK_OK:
            break;
        case E_WAVCHECK_UNSUPPORTED_TAG:
            writeCodecAudioLog("ClCodecStreamInstance_WAV::initializeFullStream() -> Format tag [0x%08X] in WAV file "
                               "is unsupported (only WAVE_FORMAT_PCM is currently supported)!",
                               u32(m_format.formatTag));
            return 0;
        case E_WAVCHECK_UNSUPPORTED_BITS:
            writeCodecAudioLog("ClCodecStreamInstance_WAV::initializeFullStream() -> Bit-depth of [%d-bits] in WAV "
                               "file is unsupported!",
                               s32(m_format.bitsPerSample));
            return 0;
        case E_WAVCHECK_MALFORMED:
            writeCodecAudioLog("ClCodecStreamInstance_WAV::initializeFullStream() -> Format block in WAV file is "
                               "malformed (channels [%d], rate [%u], block align [%d], bits [%d])!",
                               s32(m_format.channels), m_format.samplesPerSec, s32(m_format.blockAlign),
                               s32(m_format.bitsPerSample));
            return 0;
    }

    // Half a second per buffer, from the header's own rate of bytes.
    const u64 bytesPerBuffer = u64(f64(m_format.avgBytesPerSec) * 0.5);
    return allocateCodecRing(&m_ring, WAV_RING_BUFFER_COUNT, bytesPerBuffer, this);
}

s32 ClCodecStreamInstance_WAV::startDecoding() { return attemptToFillWAVDataBuffers(); }

s32 ClCodecStreamInstance_WAV::canDecodeMoreData() { return codecRingHasFreeBuffer(this, &m_ring); }

s32 ClCodecStreamInstance_WAV::isDecodingFinished() { return m_ring.finished ? 1 : 0; }

s32 ClCodecStreamInstance_WAV::continueDecoding() { return attemptToFillWAVDataBuffers(); }

s32 ClCodecStreamInstance_WAV::attemptToFillWAVDataBuffers() {
    ClSyncWAVFileReader* reader = mp_pSyncWAVFileReader;
    if (!reader) return 0;
    return fillCodecRing(this, &m_ring, [reader](u8* destination, u32 capacity, u32* outBytes, u32* outAtEnd) {
        *outAtEnd = 0;
        if (!reader->readNextData(destination, capacity, outBytes)) {
            writeCodecAudioLog("ClCodecStreamInstance_WAV::attemptToFillWAVDataBuffers() -> Cannot read the WAV data: "
                               "%s!",
                               reader->describeLastError().c_str());
            return s32(0);
        }
        return s32(1);
    });
}

void ClCodecStreamInstance_WAV::releaseAll() { releaseResources(); }

void ClCodecStreamInstance_WAV::releaseResources() {
    delete mp_pSyncWAVFileReader;
    mp_pSyncWAVFileReader = nullptr;
    releaseCodecRing(&m_ring);
}

s32 ClCodecStreamInstance_WAV::getCommonCodecInfo(SCommonCodecInfo* info) {
    if (!mp_pSyncWAVFileReader || !mp_pSyncWAVFileReader->getFormatBlock()) return 0;
    if (m_format.formatTag != WAV_FORMAT_TAG_PCM) {
        info->sampleFormat = E_CODECSAMPLEFORMAT_FLOAT;
        writeCodecAudioLog("ClCodecStreamInstance_WAV::getCommonCodecInfo() -> Unsupported data format [0x%08X]!",
                           u32(m_format.formatTag));
        return 0;
    }
    // The container, not the bit depth, sizes a sample: 12- and 20-bit samples fill 2 and 3 bytes.
    const u32 containerBytes = wavContainerBytes(m_format);
    if (containerBytes == 0 || m_format.samplesPerSec == 0) return 0;
    const u32 dataSize = mp_pSyncWAVFileReader->getDataSize();
    const u32 frames = dataSize / m_format.blockAlign;
    info->durationMs = u32(f32(frames) / f32(m_format.samplesPerSec) * 1000.0f);
    info->totalBytes = dataSize;
    info->channels = m_format.channels;
    info->one = 1;
    info->bytesPerSample = containerBytes;
    info->sampleRate = f32(m_format.samplesPerSec);
    info->sampleFormat = E_CODECSAMPLEFORMAT_INTEGER;
    return 1;
}

s32 ClCodecStreamInstance_WAV::fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) {
    if (!mp_pSyncWAVFileReader || !mp_pSyncWAVFileReader->getFormatBlock()) return 0;
    // 8-bit WAV data is unsigned, which is what the stream's PCM8 means: the bytes pass as they are.
    ECodecSoundFormat format = E_CODECSOUNDFORMAT_NONE;
    switch (wavContainerBytes(m_format)) {
        case 1: format = E_CODECSOUNDFORMAT_PCM8; break;
        case 2: format = E_CODECSOUNDFORMAT_PCM16; break;
        case 3: format = E_CODECSOUNDFORMAT_PCM24; break;
        default: return 0;  // 32-bit integer files can be analysed but not streamed
    }
    info->length = mp_pSyncWAVFileReader->getDataSize();
    info->numChannels = m_format.channels;
    info->defaultFrequency = m_format.samplesPerSec;
    info->format = format;
    bindCodecRingToStream(this, &m_ring, info, "ClCodecStreamInstance_WAV::fillCreateSoundExInfo");
    return 1;
}

s32 ClCodecStreamInstance_WAV::handleFMODReadCallback(void* data, u32 bytes) {
    return readCodecRingForStream(this, &m_ring, data, bytes, WAV_RING_MESSAGES);
}

s32 ClCodecStreamInstance_WAV::gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination, u32 bytes,
                                                              u32* outBytes) {
    return pullCodecRingForAnalysis(this, &m_ring, info, destination, bytes, outBytes);
}
