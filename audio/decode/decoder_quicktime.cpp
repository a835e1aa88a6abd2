#include "audio/decode/decoder_quicktime.h"

#include "audio/decode/codec_registry.h"
#include "audio/decode/sample_pull.h"
#include "core/crit_section_pool.h"
#include "core/fatal_error.h"
#include "core/file_layer.h"
#include "core/string_helpers.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr std::align_val_t QT_BLOCK_ALIGNMENT{16};
// The pull re-checks the slices and the job state at least this often while it waits.
constexpr u32 QT_PULL_WAIT_MS = 50;

f32* allocateFloats(u32 count) {
    return static_cast<f32*>(::operator new(size_t(count) * sizeof(f32), QT_BLOCK_ALIGNMENT, std::nothrow));
}

void freeFloats(f32* block) {
    if (block) ::operator delete(block, QT_BLOCK_ALIGNMENT);
}

inline f32 clampUnit(f32 value) { return value < -1.0f ? -1.0f : (value > 1.0f ? 1.0f : value); }

}  // namespace

ClCodecStreamInstance_QuickTime::~ClCodecStreamInstance_QuickTime() { releaseAll(); }

s32 ClCodecStreamInstance_QuickTime::initializeMembers() {
    m_movieLoaded = 0;
    m_channels = 0;
    m_sampleRate = 0.0;
    m_bitsPerChannel = 0;
    m_framesInMovie = 0;
    m_sliceCount = 0;
    m_streamRead = SCodecReadPosition{};
    m_writeIndex = 0;
    m_endOfMedia = 0;
    m_framesExtracted = 0;
    m_framesInterleaved = 0;
    return 1;
}

// Under the file-system lock. Prints its failures to standard output.
s32 ClCodecStreamInstance_QuickTime::loadMovieFromFile() {
    const EMediaReaderError error = m_movie.open(m_path, E_MEDIASAMPLE_F32);
    if (error == E_MEDIAERR_NONE) {
        m_movieLoaded = 1;
        return 1;
    }
    const std::string path = osWideToUtf8(m_path);
    const s32 systemCode = m_movie.lastSystemCode();
    switch (error) {
        case E_MEDIAERR_INVALID_PARAMETER:
            std::printf("loadMovieFromFile() -> NativePathNameToFSSpec failed for path [%s]. Error: [%d]\n",
                        path.c_str(), systemCode);
            break;
        case E_MEDIAERR_FILE_NOT_FOUND:
            std::printf("loadMovieFromFile() -> File with path [%s] not found!\n", path.c_str());
            break;
        case E_MEDIAERR_FILE_OPEN:
        case E_MEDIAERR_READ:
            std::printf("loadMovieFromFile() -> Couldn't open movie file [%s] -> [%d]!\n", path.c_str(), systemCode);
            break;
        case E_MEDIAERR_NOT_A_MEDIA_FILE:
        case E_MEDIAERR_STREAM_INFO:
        case E_MEDIAERR_OUT_OF_MEMORY:
            std::printf(
                "loadMovieFromFile() -> Couldn't create a new movie from the movie file [%s] (NewMovieFromFile() "
                "failed with code [0x%08X] -> [%d]!\n",
                path.c_str(), mediaReaderResultCode(error, systemCode), systemCode);
            break;
        default:
            // Empty files, files without a sound track and audio that cannot be decoded.
            std::printf("loadMovieFromFile() -> File [%s] is not a valid movie file for QuickTime to decode.\n",
                        path.c_str());
            break;
    }
    return 0;
}

s32 ClCodecStreamInstance_QuickTime::setUpSlices() {
    const u32 samplesPerSlice = QUICKTIME_SLICE_FRAMES * m_channels;
    m_extractBuffer = allocateFloats(samplesPerSlice);
    if (!m_extractBuffer) return 0;
    for (u32 i = 0; i < QUICKTIME_SLICE_COUNT; ++i) {
        SScheduledAudioSlice& slice = m_slices[i];
        slice = SScheduledAudioSlice{};
        // mBufferList[0] owns the planar block of every channel.
        slice.mBufferList[0] = allocateFloats(samplesPerSlice);
        slice.interleaved = allocateFloats(samplesPerSlice);
        if (!slice.mBufferList[0] || !slice.interleaved) return 0;
        for (u32 channel = 1; channel < m_channels; ++channel) {
            slice.mBufferList[channel] = slice.mBufferList[0] + channel * QUICKTIME_SLICE_FRAMES;
        }
        slice.mFlags = E_SLICEFLAG_COMPLETE;
    }
    m_sliceCount = QUICKTIME_SLICE_COUNT;
    return 1;
}

void ClCodecStreamInstance_QuickTime::releaseSlices() {
    for (SScheduledAudioSlice& slice : m_slices) {
        freeFloats(slice.mBufferList[0]);
        freeFloats(slice.interleaved);
        slice = SScheduledAudioSlice{};
    }
    m_sliceCount = 0;
    freeFloats(m_extractBuffer);
    m_extractBuffer = nullptr;
}

s32 ClCodecStreamInstance_QuickTime::initializeFullStream() {
    fileSystemLockEnter();
    const s32 loaded = loadMovieFromFile();
    fileSystemLockLeave();
    if (!loaded) return 0;

    SMediaAudioFormat format = {};
    m_movie.getFormat(&format);
    m_channels = format.channels;
    m_sampleRate = f64(format.sampleRate);
    m_bitsPerChannel = format.bitsPerSample;
    m_framesInMovie = format.totalFramesEstimate;

    // Lengths are handed on in 32-bit words: a longer movie is refused rather than wrapped.
    const u64 decodedBytes = m_framesInMovie * u64(m_channels) * sizeof(f32);
    bool usable = format.sampleFormat == E_MEDIASAMPLE_F32 && m_bitsPerChannel == 32 && m_channels >= 1 &&
                  m_channels <= MEDIA_AUDIO_MAX_CHANNELS && format.sampleRate != 0;
    if (usable && (m_framesInMovie > CODEC_MAX_DECODED_BYTES || !codecByteCountSupported(decodedBytes))) {
        std::printf(
            "ClCodecStreamInstance_QuickTime::initializeFullStream() -> [%s] is too long to decode "
            "([%llu] frames)!\n",
            osWideToUtf8(m_path).c_str(), static_cast<unsigned long long>(m_framesInMovie));
        usable = false;
    }
    if (usable && setUpSlices()) return 1;

    fileSystemLockEnter();
    releaseSlices();
    m_movie.close();
    m_movieLoaded = 0;
    fileSystemLockLeave();
    return 0;
}

s32 ClCodecStreamInstance_QuickTime::initializeMetaDataOnlyStream() {
    fileSystemLockEnter();
    loadMovieFromFile();
    fileSystemLockLeave();
    return 1;
}

s32 ClCodecStreamInstance_QuickTime::fillSlices(bool waitForLock) {
    if (m_sliceCount == 0) return 1;
    if (waitForLock) {
        lockCodecBuffers("ClCodecStreamInstance_QuickTime::startDecoding");
    } else if (!critSectionTryEnter(m_bufferLock)) {
        return 1;
    }
    // Readers free slices in ring order, so the free ones form one run from the write index.
    u32 freeRun = 0;
    while (freeRun < m_sliceCount && m_slices[(m_writeIndex + freeRun) % m_sliceCount].mFlags == E_SLICEFLAG_COMPLETE) {
        ++freeRun;
    }
    unlockCodecBuffers();

    // Free slices are touched by no reader, so they are filled without the lock.
    s32 result = 1;
    u32 extracted = 0;
    for (; extracted < freeRun && !m_endOfMedia; ++extracted) {
        SScheduledAudioSlice& slice = m_slices[(m_writeIndex + extracted) % m_sliceCount];
        u32 frames = 0;
        const EMediaReaderError error = m_movie.read(m_extractBuffer, QUICKTIME_SLICE_FRAMES, &frames);
        if (error != E_MEDIAERR_NONE) {
            writeCodecAudioLog(
                "ClCodecStreamInstance_QuickTime::fillSlices() -> MovieAudioExtractionFillBuffer() failed "
                "with code [0x%08X] (%s)!",
                mediaReaderResultCode(error, m_movie.lastSystemCode()), mediaReaderErrorText(error));
            result = 0;
            m_endOfMedia = 1;
        } else if (m_movie.atEnd()) {
            m_endOfMedia = 1;
        }
        if (frames == 0) break;
        // The extraction's discrete channels.
        const f32* source = m_extractBuffer;
        for (u32 frame = 0; frame < frames; ++frame) {
            for (u32 channel = 0; channel < m_channels; ++channel) slice.mBufferList[channel][frame] = *source++;
        }
        slice.mNumberFrames = frames;
        m_framesExtracted += frames;
    }
    if (extracted == 0) return result;

    lockCodecBuffers("ClCodecStreamInstance_QuickTime::fillSlices");
    for (u32 i = 0; i < extracted; ++i) m_slices[(m_writeIndex + i) % m_sliceCount].mFlags = E_SLICEFLAG_EXTRACTED;
    unlockCodecBuffers();

    for (u32 i = 0; i < extracted; ++i) {
        SScheduledAudioSlice& slice = m_slices[(m_writeIndex + i) % m_sliceCount];
        f32* target = slice.interleaved;
        for (u32 frame = 0; frame < slice.mNumberFrames; ++frame) {
            for (u32 channel = 0; channel < m_channels; ++channel)
                *target++ = clampUnit(slice.mBufferList[channel][frame]);
        }
        slice.interleavedBytes = slice.mNumberFrames * m_channels * u32(sizeof(f32));
        slice.bytesRead = 0;
        m_framesInterleaved += slice.mNumberFrames;
    }

    lockCodecBuffers("ClCodecStreamInstance_QuickTime::fillSlices");
    for (u32 i = 0; i < extracted; ++i) {
        m_slices[(m_writeIndex + i) % m_sliceCount].mFlags = kScheduledAudioSliceFlag_BeganToRender;
    }
    unlockCodecBuffers();
    m_writeIndex = (m_writeIndex + extracted) % m_sliceCount;
    signalCodecJobProgress();
    return result;
}

s32 ClCodecStreamInstance_QuickTime::startDecoding() {
    m_endOfMedia = 0;
    m_framesExtracted = 0;
    m_framesInterleaved = 0;
    return fillSlices(true);
}

s32 ClCodecStreamInstance_QuickTime::continueDecoding() { return fillSlices(false); }

s32 ClCodecStreamInstance_QuickTime::canDecodeMoreData() {
    lockCodecBuffers("ClCodecStreamInstance_QuickTime::canDecodeMoreData");
    s32 anyNotReady = 0;
    for (u32 i = 0; i < m_sliceCount && !anyNotReady; ++i) {
        anyNotReady = m_slices[i].mFlags != kScheduledAudioSliceFlag_BeganToRender;
    }
    unlockCodecBuffers();
    return anyNotReady;
}

s32 ClCodecStreamInstance_QuickTime::getMetaData(SCodecMetaDataRequest* request) {
    // The movie's common metadata keys 'name', 'arts' and 'albm'.
    EMediaTag tag = E_MEDIATAG_TITLE;
    switch (request->kind) {
        case E_CODECMETA_TITLE: tag = E_MEDIATAG_TITLE; break;
        case E_CODECMETA_ARTIST: tag = E_MEDIATAG_ARTIST; break;
        case E_CODECMETA_ALBUM: tag = E_MEDIATAG_ALBUM; break;
        default: fatalErrorf("ClCodecStreamInstance_QuickTime::getMetaData() -> unknown kind %d", request->kind);
    }
    const u32 units = request->bufferBytes / 2;
    std::u16string value;
    if (!m_movieLoaded || !request->buffer || units == 0 || !m_movie.getTag(tag, &value)) return 0;
    wstrCopyN(request->buffer, value.c_str(), units);
    return 1;
}

void ClCodecStreamInstance_QuickTime::releaseAll() {
    fileSystemLockEnter();
    releaseSlices();
    m_movie.close();
    m_movieLoaded = 0;
    fileSystemLockLeave();
}

s32 ClCodecStreamInstance_QuickTime::getCommonCodecInfo(SCommonCodecInfo* info) {
    if (!m_movieLoaded || m_sampleRate <= 0.0) return 0;
    info->durationMs = u32(f64(m_framesInMovie) / m_sampleRate * 1000.0);
    info->totalBytes = u32((m_bitsPerChannel / 8) * m_channels * m_framesInMovie);
    info->channels = m_channels;
    info->one = 1;
    info->bytesPerSample = m_bitsPerChannel / 8;
    info->sampleRate = f32(m_sampleRate);
    info->sampleFormat = E_CODECSAMPLEFORMAT_FLOAT;
    return 1;
}

s32 ClCodecStreamInstance_QuickTime::fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) {
    if (!m_movieLoaded || m_sliceCount == 0) return 0;
    info->decodeBufferSize = m_sliceCount * QUICKTIME_SLICE_FRAMES / 2;
    info->length = u32(m_framesInMovie * m_channels * sizeof(f32));
    info->numChannels = m_channels;
    info->defaultFrequency = u32(m_sampleRate);
    info->format = E_CODECSOUNDFORMAT_PCMFLOAT;
    lockCodecBuffers("ClCodecStreamInstance_QuickTime::fillCreateSoundExInfo");
    m_streamRead.index = 0;
    m_streamRead.offset = 0;
    m_streamRead.job = this;
    unlockCodecBuffers();
    info->userData = &m_streamRead;
    return 1;
}

u32 ClCodecStreamInstance_QuickTime::copyReadySlices(u8* destination, u32 bytes, u32* outStoppedAt) {
    u32 copied = 0;
    u32 index = m_streamRead.index;
    while (copied < bytes) {
        SScheduledAudioSlice& slice = m_slices[index];
        if (slice.mFlags != kScheduledAudioSliceFlag_BeganToRender) {
            *outStoppedAt = index;
            break;
        }
        const u32 available = slice.interleavedBytes - slice.bytesRead;
        const u32 take = available < bytes - copied ? available : bytes - copied;
        std::memcpy(destination + copied, reinterpret_cast<const u8*>(slice.interleaved) + slice.bytesRead, take);
        copied += take;
        slice.bytesRead += take;
        if (slice.bytesRead == slice.interleavedBytes) {
            slice.mFlags = E_SLICEFLAG_COMPLETE;
            slice.bytesRead = 0;
            index = (index + 1) % m_sliceCount;
        }
    }
    m_streamRead.index = index;
    return copied;
}

s32 ClCodecStreamInstance_QuickTime::handleFMODReadCallback(void* data, u32 bytes) {
    std::memset(data, 0, bytes);
    // Until the first fill is done the decode thread is still setting the slices up.
    if (getCodecJobState(this) < E_CODECJOB_READY || m_sliceCount == 0) return CODEC_STREAM_READ_OK;
    u32 stoppedAt = QUICKTIME_SLICE_COUNT;
    lockCodecBuffers("ClCodecStreamInstance_QuickTime::handleFMODReadCallback");
    copyReadySlices(static_cast<u8*>(data), bytes, &stoppedAt);
    const u32 flags = stoppedAt < QUICKTIME_SLICE_COUNT ? m_slices[stoppedAt].mFlags : 0;
    unlockCodecBuffers();
    if (stoppedAt < QUICKTIME_SLICE_COUNT) {
        writeCodecAudioLog(
            "ClCodecStreamInstance_QuickTime::handleFMODReadCallback() ERROR -> slice buffer [%d] should "
            "have mFlags set to kScheduledAudioSliceFlag_BeganToRender (mFlags is [0x%08X]) -> SKIPPING!",
            s32(stoppedAt), flags);
    }
    return CODEC_STREAM_READ_OK;
}

s32 ClCodecStreamInstance_QuickTime::gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination,
                                                                    u32 bytes, u32* outBytes) {
    if (info->one == 0)
        fatalError("ClCodecStreamInstance_QuickTime::gameSpecificProcessDecodedData() -> stream info not filled");
    u8* target = static_cast<u8*>(destination);
    u32 done = 0;
    while (getCodecJobState(this) < E_CODECJOB_READY) waitForCodecJobProgress(this, QT_PULL_WAIT_MS);
    while (done < bytes && m_sliceCount != 0) {
        u32 stoppedAt = QUICKTIME_SLICE_COUNT;
        lockCodecBuffers("ClCodecStreamInstance_QuickTime::gameSpecificProcessDecodedData");
        done += copyReadySlices(target + done, bytes - done, &stoppedAt);
        unlockCodecBuffers();
        if (done == bytes) break;
        if (isCodecJobTerminal(getCodecJobState(this))) {
            // The last fill finished before the state changed: one more look takes what it left.
            lockCodecBuffers("ClCodecStreamInstance_QuickTime::gameSpecificProcessDecodedData");
            done += copyReadySlices(target + done, bytes - done, &stoppedAt);
            unlockCodecBuffers();
            break;
        }
        waitForCodecJobProgress(this, QT_PULL_WAIT_MS);
    }
    if (done < bytes) std::memset(target + done, 0, bytes - done);
    *outBytes = done;
    return 1;
}

u32 ClCodecStreamInstance_QuickTime::getSliceFlags(u32 index) {
    lockCodecBuffers("ClCodecStreamInstance_QuickTime::getSliceFlags");
    const u32 flags = index < m_sliceCount ? m_slices[index].mFlags : E_SLICEFLAG_COMPLETE;
    unlockCodecBuffers();
    return flags;
}

u32 ClCodecStreamInstance_QuickTime::getReadIndex() {
    lockCodecBuffers("ClCodecStreamInstance_QuickTime::getReadIndex");
    const u32 index = m_streamRead.index;
    unlockCodecBuffers();
    return index;
}

// ---------------------------------------------------------------------------------------------
// The family's entry points

ClCodecStreamInstance* createCodecStreamInstanceQuickTime() {
    return new (std::nothrow) ClCodecStreamInstance_QuickTime();
}

// The media library has no version to check and nothing to start on Linux.
s32 codecThreadInitQuickTime() {
    writeCodecAudioLog("QuickTime successfully initialized.");
    return 1;
}

void codecThreadExitQuickTime() {}

s32 ClCodecStreamInstance_QuickTime::isStreamDrained() {
    const s32 state = m_jobState.load();
    if (state != E_CODECJOB_FINISHED && state != E_CODECJOB_DECODE_FAILED) return 0;
    lockCodecBuffers("ClCodecStreamInstance_QuickTime::isStreamDrained");
    bool pending = false;
    for (const SScheduledAudioSlice& slice : m_slices) pending = pending || slice.mFlags != E_SLICEFLAG_COMPLETE;
    unlockCodecBuffers();
    return pending ? 0 : 1;
}
