// The analysis's own decode job for the song being analysed: opened through the codec registry,
// described by getCommonCodecInfo, pulled through the job's gameSpecificProcessDecodedData into
// g_SpectrumAnalysis.stream, and released when the pass ends.
#pragma once

#include "audio/analysis/spectrum_pass.h"
#include "core/types.h"

class ClCodecStreamInstance;

// Clears g_SpectrumAnalysis.stream, opens a job for the file by its extension and waits until
// the job is ready (E_CODECJOB_READY or later). 1 ready; 0 when no codec serves the file, no job could be
// opened, or the job failed to open or start (the job is then released).
s32 openAnalysisStream(const char16_t* path);
// Fills the stream record from the job's format. 1, or 0 when the job cannot describe itself.
s32 readAnalysisStreamInfo();
// Copies up to bytes of decoded audio (zero-filling past the end); outDelivered counts audio.
void pullAnalysisSamples(void* buffer, u32 bytes, u32* outDelivered);
// Releases the job (the decode thread destroys it); safe when none is open.
void closeAnalysisStream();

// The stream record's format facts as the pass takes them.
SSpectrumStreamFormat analysisStreamFormat();

// The pass's source over the open analysis stream.
class ClAnalysisJobSampleSource final : public ISpectrumSampleSource {
public:
    u32 pullSamples(void* destination, u32 bytes) override;
    // True once the job ended in one of its failed states.
    bool hasFailed() override;
    // True when the job's decoder skipped damaged data.
    bool sawDamage() override;
};
