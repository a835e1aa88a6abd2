// The output without a device: a thread of its own mixes a block whenever the monotonic clock
// says the block would have played, and throws the result away, so positions and stream ends
// keep real time on a machine without sound. (Tests use the manual clock instead, which needs no
// output object: ClSoundSystem::advanceNullOutput.)
#include "platform/sound/sound_internal.h"

#include <atomic>

namespace {

constexpr u32 NULL_OUTPUT_PERIOD_FRAMES = 1024;
// After a stall longer than this the clock starts afresh instead of mixing the backlog.
constexpr u64 NULL_OUTPUT_MAX_BACKLOG_NS = 250000000ull;

class ClNullSoundOutput final : public ISoundOutput {
public:
    explicit ClNullSoundOutput(SSoundSystemState* state) : m_state(state) {}
    ~ClNullSoundOutput() override { stop(); }

    ESoundResult start() override {
        m_quit = false;
        return m_thread.start(&threadMain, this, "sound output") ? E_SOUND_OK : E_SOUND_ERR_OUTPUT;
    }

    void stop() override {
        m_quit = true;
        m_thread.join();
    }

    u32 latencyFrames() const override { return NULL_OUTPUT_PERIOD_FRAMES; }
    u32 periodFrames() const override { return NULL_OUTPUT_PERIOD_FRAMES; }
    bool interpolates() const override { return true; }

private:
    static void threadMain(void* self) {
        auto* output = static_cast<ClNullSoundOutput*>(self);
        const u64 periodNs = static_cast<u64>(NULL_OUTPUT_PERIOD_FRAMES) * 1000000000ull / SOUND_OUTPUT_RATE;
        u64 due = osPerformanceCounter();
        while (!output->m_quit) {
            u64 now = osPerformanceCounter();
            if (now < due) {
                u64 waitMs = (due - now) / 1000000ull;
                osSleep(waitMs > 0 ? static_cast<u32>(waitMs) : 1);
                continue;
            }
            if (now - due > NULL_OUTPUT_MAX_BACKLOG_NS) due = now;
            mixSoundOutput(output->m_state, output->m_mix, NULL_OUTPUT_PERIOD_FRAMES, now);
            due += periodNs;
        }
    }

    SSoundSystemState* m_state;
    ClThread m_thread;
    std::atomic<bool> m_quit{false};
    f32 m_mix[NULL_OUTPUT_PERIOD_FRAMES * SOUND_OUTPUT_CHANNELS] = {};
};

}  // namespace

std::unique_ptr<ISoundOutput> makeNullSoundOutput(SSoundSystemState* state) {
    return std::make_unique<ClNullSoundOutput>(state);
}
