// Text entry: typed characters for the front end's text fields. Key codes become characters
// through a fixed US layout; the line has a cursor, insert and overwrite, an allowed list, a
// terminator list that ends the entry and a callback list; a held key repeats after a delay.
// One entry exists at a time. Main thread only.
#pragma once

#include "core/types.h"

#include <span>

// Ends any open entry and opens a new one. Capacity 0 means no limit; otherwise the line holds
// capacity - 1 characters. A typed character of the callback codes is kept for the entry's owner
// to take (takeTextEntryCallbackCharacter). The timings and the word are kept with the entry and
// change nothing. Returns 1 when caps lock is on, else 0.
s16 beginTextEntry(std::span<const u16> allowed, std::span<const u16> terminators, std::span<const u16> callbackCodes,
                   const char16_t* initialText, u32 capacity, f32 firstTiming, f32 secondTiming, u16 word);
void endTextEntry();
// The last character of the callback codes typed since the last call, then 0 until another is
// typed; 0 also after the entry began or ended.
u16 takeTextEntryCallbackCharacter();
// One keyboard record: down flag and DirectInput key code. Records from the keyboard may start
// the key repeat; the repeat's own calls may not.
void handleTextKey(u32 down, u32 code, bool repeatAllowed);
// Copies at most size - 1 typed characters and a terminating 0. 0 for a null buffer or size 0.
u32 getTypedText(char16_t* buffer, u32 size);
// The characters typed since the entry began that its allowed list kept out (the callback
// list's own characters not counted), so that a field can say what it takes.
u32 textEntryRefusedCount();

void setKeyRepeatTimings(f32 delaySeconds, f32 intervalSeconds);
void startKeyRepeat(u32 code);
void stopKeyRepeat();
// Once per frame with the real-time frame step.
void updateKeyRepeat(f32 dt);

// The character of a key code, by the shift, control and alt flags; 0 for none.
u16 textCharacterOfKey(u32 code, bool shift, bool control, bool alt);
