// What the platform layer asks of the layers above it: the crash report that the fatal-signal
// handler writes (core's crash dump). The program fills the record first thing, before the
// handler is installed (app/layer_imports.cpp), and keeps it to the end of the process: a crash
// during shutdown is still reported. Without it the handler writes nothing and the signal's own
// action follows.
#pragma once

struct SCrashInfo;

struct SPlatformImports {
    // Runs inside the signal handler: only async-signal-safe calls. Its result is ignored.
    int (*writeCrashReport)(const SCrashInfo* info) = nullptr;
};

// Copies the record; null clears every member.
void setPlatformImports(const SPlatformImports* imports);
const SPlatformImports& platformImports();
