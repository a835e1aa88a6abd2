// The game's music stream: the codec stream player (audio/codec_stream_player.h) behind the
// sound engine's music-stream interface, on the engine's sound layer and FMOD lock.
#pragma once

#include "audio/sound/music_stream.h"

// A player for the music file (made with new; the engine deletes it after release). Null when
// the engine is not running.
IMusicStream* makeCodecMusicStream(s32 formatId, const char16_t* widePath);
