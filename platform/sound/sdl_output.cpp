// The sound device through SDL2 audio: 48 kHz stereo signed 16-bit, SDL converting where the
// device differs. SDL's audio thread calls back for each buffer; the layer mixes it in float
// and converts.
#include "platform/sound/sound_internal.h"

#include <SDL.h>

#include <vector>

namespace {

// Frames per device buffer asked for (about 21 ms at 48 kHz).
constexpr u16 SDL_SOUND_BUFFER_FRAMES = 1024;

s16 toS16(f32 value) {
    if (value >= 1.0f) return 32767;
    if (value <= -1.0f) return -32767;
    return static_cast<s16>(value * 32767.0f);
}

class ClSdlSoundOutput final : public ISoundOutput {
public:
    explicit ClSdlSoundOutput(SSoundSystemState* state) : m_state(state) {}
    ~ClSdlSoundOutput() override { stop(); }

    ESoundResult start() override {
        // SDL must not take SIGINT/SIGTERM from the program's termination handler.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return E_SOUND_ERR_OUTPUT;
        SDL_AudioSpec wanted = {};
        wanted.freq = static_cast<int>(SOUND_OUTPUT_RATE);
        wanted.format = AUDIO_S16SYS;
        wanted.channels = static_cast<Uint8>(SOUND_OUTPUT_CHANNELS);
        wanted.samples = SDL_SOUND_BUFFER_FRAMES;
        wanted.callback = &audioCallback;
        wanted.userdata = this;
        SDL_AudioSpec obtained = {};
        m_device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (m_device == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return E_SOUND_ERR_OUTPUT;
        }
        m_period = obtained.samples != 0 ? obtained.samples : SDL_SOUND_BUFFER_FRAMES;
        m_mix.assign(static_cast<size_t>(m_period) * SOUND_OUTPUT_CHANNELS, 0.0f);
        SDL_PauseAudioDevice(m_device, 0);
        return E_SOUND_OK;
    }

    void stop() override {
        if (m_device == 0) return;
        // Waits for a callback in progress: nothing mixes once this returns.
        SDL_CloseAudioDevice(m_device);
        m_device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    // The buffer being filled plays after the one the device holds: two buffers until it is heard.
    u32 latencyFrames() const override { return 2 * m_period; }
    u32 periodFrames() const override { return m_period; }
    bool interpolates() const override { return true; }

private:
    static void audioCallback(void* self, Uint8* stream, int length) {
        auto* output = static_cast<ClSdlSoundOutput*>(self);
        u32 frames = static_cast<u32>(length) / (SOUND_OUTPUT_CHANNELS * sizeof(s16));
        s16* out = reinterpret_cast<s16*>(stream);
        while (frames > 0) {
            u32 block = frames < output->m_period ? frames : output->m_period;
            mixSoundOutput(output->m_state, output->m_mix.data(), block, osPerformanceCounter());
            for (u32 i = 0; i < block * SOUND_OUTPUT_CHANNELS; ++i) out[i] = toS16(output->m_mix[i]);
            out += block * SOUND_OUTPUT_CHANNELS;
            frames -= block;
        }
    }

    SSoundSystemState* m_state;
    SDL_AudioDeviceID m_device = 0;
    u32 m_period = SDL_SOUND_BUFFER_FRAMES;
    std::vector<f32> m_mix;
};

}  // namespace

std::unique_ptr<ISoundOutput> makeSdlSoundOutput(SSoundSystemState* state) {
    return std::make_unique<ClSdlSoundOutput>(state);
}
