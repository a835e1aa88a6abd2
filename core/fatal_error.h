// The one place the game stops when it cannot go on: a broken invariant, a missing mandatory
// file, an exhausted mandatory pool.
#pragma once

// Writes one line naming the reason to standard error and ends the process at once with exit
// status 3. No destructors, no crash dump.
[[noreturn]] void fatalError(const char* reason);

// printf-style variant for reasons that name a file or a value.
[[noreturn]] void fatalErrorf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Tests catch fatal paths with a hook that throws; when the hook returns, the process ends as
// usual. Null restores the plain behaviour.
using FatalErrorHook = void (*)(const char* reason);
void setFatalErrorHook(FatalErrorHook hook);
