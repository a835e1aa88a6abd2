// Full-screen films "FMV/<name>.mov": one at a time, decoded on the system clock, the pictures
// kept for the present and the sound played through a user stream of the sound layer. The end
// of a pass posts the video message (E_WM_VIDEO_EVENT) and the message handler rewinds for a
// repeat or goes idle.
#pragma once

#include "core/types.h"

// repeats 0 plays once, n plays n + 1 times, a negative count repeats until another film
// starts. False, with a log line naming the film, when it is missing or does not decode.
bool fmvPlay(const char* name, s32 repeats);
bool isFmvPlaying();
// Once per frame: decodes the pictures due after dt more seconds and feeds the sound; the end
// of the film posts the video message.
void fmvUpdate(f32 dt);
// The video message: a finished pass repeats or ends the film.
void fmvHandleGraphEvents();
// The latest picture (width x height RGBA, top row first), null without one.
const u8* fmvPicture(u32* width, u32* height);
// Pictures decoded since the film (or its current pass) started.
u32 fmvPicturesShown();
// Closes the film and its sound stream; the state becomes failed, as after a failed start.
// Before the sound layer shuts down.
void fmvRelease();
// Where the end of a pass is posted; null restores the window's message queue.
void setFmvMessagePoster(void (*post)(u32 message, u64 wParam, s64 lParam));
