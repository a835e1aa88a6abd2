// Registration of the seven decoder families, in the order that decides which family serves an
// extension listed twice (".mp3": Windows Media first, QuickTime when Windows Media cannot start).
//
// Kept apart from the registry so that the registry itself links without the decoder libraries.
#include "audio/decode/codec_registry.h"

#include "audio/decode/decode_thread.h"
#include "core/saved_options.h"

#include <initializer_list>

namespace {

// The media decoder, WAV, Ogg Vorbis and FLAC have nothing to start.
s32 codecThreadInitNothing() { return 1; }

struct SCodecExtensionEntry {
    const char* extension;
    s32 formatId;
};

void registerFamily(CodecThreadInitFn threadInit, CodecThreadExitFn threadExit, CodecFactoryFn factory,
                    std::initializer_list<SCodecExtensionEntry> extensions) {
    SCodecRecord record;
    initCodecRecord(&record, threadInit, threadExit, factory);
    for (const SCodecExtensionEntry& entry : extensions) addCodecRecordExtension(&record, entry.extension, entry.formatId);
    registerCodec(record);
}

}  // namespace

s32 codecRegistration(u32) {
    openCodecAudioLog();
    setCodecLogging(savedOptions().audioLog);
    registerFamily(codecThreadInitNothing, nullptr, createCodecStreamInstanceWindowsMedia,
                   {{".mp3", E_CODECFORMAT_MP3}, {".wma", E_CODECFORMAT_WMA}});
    registerFamily(codecThreadInitNothing, nullptr, createCodecStreamInstanceQuickTime,
                   {{".mp3", E_CODECFORMAT_MP3}, {".m4a", E_CODECFORMAT_M4A}, {".aac", E_CODECFORMAT_AAC}});
    registerFamily(codecThreadInitNothing, nullptr, createCodecStreamInstanceWAV, {{".wav", E_CODECFORMAT_WAV}});
    registerFamily(codecThreadInitNothing, nullptr, createCodecStreamInstanceOggVorbis,
                   {{".ogg", E_CODECFORMAT_OGGVORBIS}});
    registerFamily(codecThreadInitNothing, nullptr, createCodecStreamInstanceFLAC, {{".flac", E_CODECFORMAT_FLAC}});
    registerFamily(codecThreadInitAIFF, nullptr, createCodecStreamInstanceAIFF,
                   {{".aiff", E_CODECFORMAT_AIFF}, {".aif", E_CODECFORMAT_AIFF}});
    registerFamily(codecThreadInitWavPack, nullptr, createCodecStreamInstanceWavPack,
                   {{".wv", E_CODECFORMAT_WAVPACK}});
    startDecodeThread();
    return 1;
}
