#include "audio/analysis/spectrum_stream.h"

#include "audio/analysis/spectrum_analysis.h"
#include "audio/decode/codec_registry.h"
#include "audio/decode/codec_stream_instance.h"

#include <cstring>

namespace {

// The wait re-checks the state at least this often, should a progress signal be missed.
constexpr u32 STREAM_READY_POLL_MS = 20;

}  // namespace

s32 openAnalysisStream(const char16_t* path) {
    SAnalysisStreamInfo& stream = g_SpectrumAnalysis.stream;
    std::memset(&stream, 0, sizeof(stream));
    s32 format = E_CODECFORMAT_NONE;
    if (!findCodecFormatForPath(path, &format) || format == E_CODECFORMAT_NONE) return 0;
    ClCodecStreamInstance* job = openCodecJob(format, path);
    if (job == nullptr) return 0;
    stream.job = job;
    s32 state = getCodecJobState(job);
    while (state < E_CODECJOB_READY) {
        waitForCodecJobProgress(job, STREAM_READY_POLL_MS);
        state = getCodecJobState(job);
    }
    if (isCodecJobFailed(state)) {
        closeAnalysisStream();
        return 0;
    }
    return 1;
}

s32 readAnalysisStreamInfo() {
    SAnalysisStreamInfo& stream = g_SpectrumAnalysis.stream;
    if (stream.job == nullptr) return 0;
    SCommonCodecInfo info{};
    if (!stream.job->getCommonCodecInfo(&info)) return 0;
    fillAnalysisStreamInfo(&stream, info);
    return 1;
}

void pullAnalysisSamples(void* buffer, u32 bytes, u32* outDelivered) {
    *outDelivered = 0;
    SAnalysisStreamInfo& stream = g_SpectrumAnalysis.stream;
    if (stream.job == nullptr) {
        std::memset(buffer, 0, bytes);
        return;
    }
    stream.job->gameSpecificProcessDecodedData(&stream, buffer, bytes, outDelivered);
}

void closeAnalysisStream() {
    SAnalysisStreamInfo& stream = g_SpectrumAnalysis.stream;
    if (stream.job != nullptr) releaseCodecJob(stream.job);
    stream.job = nullptr;
}

SSpectrumStreamFormat analysisStreamFormat() {
    const SAnalysisStreamInfo& stream = g_SpectrumAnalysis.stream;
    SSpectrumStreamFormat format{};
    format.durationMs = stream.durationMs;
    format.totalBytes = stream.totalBytes;
    format.channels = stream.channels;
    format.bytesPerSample = stream.bytesPerSample;
    format.sampleRate = stream.sampleRate;
    format.integerSamples = stream.integerSamples;
    return format;
}

u32 ClAnalysisJobSampleSource::pullSamples(void* destination, u32 bytes) {
    u32 delivered = 0;
    pullAnalysisSamples(destination, bytes, &delivered);
    return delivered;
}

bool ClAnalysisJobSampleSource::sawDamage() { return codecJobSawDamage(g_SpectrumAnalysis.stream.job); }

// A cut file whose decoder fails the job once everything that was there is delivered has not
// failed here: like a stream that simply ends early, it is judged by what it delivered.
bool ClAnalysisJobSampleSource::hasFailed() {
    const ClCodecStreamInstance* job = g_SpectrumAnalysis.stream.job;
    return isCodecJobFailed(getCodecJobState(job)) && !(job && job->endedBeforeDeclaredLength());
}
