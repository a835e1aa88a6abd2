// The front end's own log: one line at every switch of "TopLevelSwitcher", naming the page shown
// and, for "Results", the song, the difficulty and the score shown (the play's stored score / 11):
//   page TitleMenu
//   page Results song="Artist - Title" difficulty=2 score=12345
// (a quoted text escapes '"', '\' and control characters, so every line stays one line),
// and one more line, once, after the first frame showing the title page has been presented, with
// the monotonic clock's nanoseconds at that moment (CLOCK_MONOTONIC, comparable across processes):
//   presented TitleMenu at_ns=123456789
#pragma once

#include <string>

// The text in double quotes: '"' and '\' after a '\', control characters as \n, \r, \t or \xHH.
std::string quoteForLog(const std::string& text);
// Opens the log under the user-data directory (nothing when the log manager does not run).
void openSwitchLog();
void closeSwitchLog();
// The line for the page now shown; the song, difficulty and score are read from the library, the
// play record and the first player.
std::string switchLogLine(const char* page);
// The "onSwitch" callback of "TopLevelSwitcher".
void logTopLevelSwitch();
// After the render worker has presented a frame: the "presented" line when the title page is
// shown and the line has not been written since the log was opened.
void logTitleFramePresented();
