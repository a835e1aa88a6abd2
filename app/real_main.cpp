#include "app/real_main.h"

#include "app/layer_imports.h"
#include "app/startup.h"
#include "core/crit_section_pool.h"
#include "core/memory_allocator.h"
#include "platform/crash/crash.h"
#include "platform/os/os.h"
#include "render/message_pump.h"

bool installCrashFilterUnlessDebugged() {
    if (osIsDebuggerPresent()) return false;
    installPlatformImports();
    crashInstallHandlers();
    return true;
}

s32 programEntry(const char* commandLine) {
    // First, so that Ctrl+C during a slow start-up ends the run cleanly once the loop runs.
    osInstallTerminationHandler();
    osEndAtOnceOnEarlyExit();
    installCrashFilterUnlessDebugged();
    return realMain(commandLine);
}

s32 realMain(const char* commandLine) {
    critSectionPoolInit();
    setAllocatorReady();
    gameStartup(commandLine, "./", 38);
    for (;;) {
        keepCursorCentred();
        if (!pumpMessages()) break;
    }
    gameShutdown();
    critSectionPoolShutdown();
    osNoteRunEnded();
    return 0;
}
