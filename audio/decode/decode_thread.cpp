// The decode thread and its interval.
#include "audio/decode/decode_thread.h"

#include "audio/decode/codec_registry.h"
#include "platform/os/os.h"

#include <atomic>

namespace {

ClThread g_decodeThread;
ClEvent g_decodeThreadWake{false, false};
std::atomic<u32> g_decodeIntervalMs{CODEC_DEFAULT_DECODE_INTERVAL_MS};

void decodeThreadRoutine(void*) {
    while (stepCodecManager() != 0) {
        g_decodeThreadWake.wait(g_decodeIntervalMs.load(), false);
    }
}

}  // namespace

s32 startDecodeThread() {
    if (g_decodeThread.isRunning()) return 0;
    g_decodeThreadWake.reset();
    return g_decodeThread.start(decodeThreadRoutine, nullptr, "decode") ? 1 : 0;
}

void setDecodeThreadInterval(u32 milliseconds) { g_decodeIntervalMs.store(milliseconds); }

void resetDecodeThreadInterval() { g_decodeIntervalMs.store(CODEC_DEFAULT_DECODE_INTERVAL_MS); }

void wakeDecodeThread() { g_decodeThreadWake.set(); }

void joinDecodeThread() { g_decodeThread.join(); }

bool isDecodeThreadStarted() { return g_decodeThread.isRunning(); }
