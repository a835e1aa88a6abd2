#include "audio/sound/codec_music_stream.h"

#include "audio/sound/codec_stream_player.h"
#include "audio/sound/sound_engine.h"

#include <new>

namespace {

class ClCodecMusicStream final : public IMusicStream {
public:
    ClCodecMusicStream(s32 formatId, const char16_t* widePath) {
        initCodecStreamPlayer(&m_player, formatId, widePath, getSoundEngineSystem(), getSoundEngineLock());
    }
    void step() override { stepCodecStreamPlayer(&m_player); }
    s32 state() const override { return m_player.state; }
    s32 play(bool startPaused) override { return playCodecStreamPlayer(&m_player, startPaused); }
    s32 unpause() override { return unpauseCodecStreamPlayer(&m_player); }
    s32 pause() override { return pauseCodecStreamPlayer(&m_player); }
    s32 resume() override { return resumeCodecStreamPlayer(&m_player); }
    s32 stop() override { return stopCodecStreamPlayer(&m_player); }
    ClSound sound() const override { return m_player.sound; }
    ClChannel channel() const override { return m_player.channel; }
    void release() override { releaseCodecStreamPlayer(&m_player); }

private:
    SCodecStreamPlayer m_player{};
};

}  // namespace

IMusicStream* makeCodecMusicStream(s32 formatId, const char16_t* widePath) {
    if (!isAudioEngineRunning()) return nullptr;
    return new (std::nothrow) ClCodecMusicStream(formatId, widePath);
}
