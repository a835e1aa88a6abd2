// SIGINT and SIGTERM turned into a request the main loop reads; SIGXFSZ set aside; an exit()
// before the run has ended turned into an immediate end.
#include "platform/os/os.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<bool> g_terminationRequested{false};
std::atomic<bool> g_runEnded{false};

void onTerminationSignal(int) { g_terminationRequested.store(true); }

// Runs before the destructors of the game's static objects (it is registered after they are
// built). An exit() while the game's threads still run (Xlib's, when the display's connection is
// lost, from the thread that was drawing) would run those destructors, which wait for threads
// that nobody has asked to stop: the process would hang. It ends at once instead, with status 1
// (the status exit() was given cannot be read here; every such exit is a failure).
void endAtOnceUnlessRunEnded() {
    if (!g_runEnded.load()) _exit(1);
}

}  // namespace

void osInstallTerminationHandler() {
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A write past a file-size limit fails (EFBIG) and is reported; it never ends the game.
    signal(SIGXFSZ, SIG_IGN);
}

void osEndAtOnceOnEarlyExit() { std::atexit(endAtOnceUnlessRunEnded); }

void osNoteRunEnded() { g_runEnded.store(true); }

bool osTerminationRequested() { return g_terminationRequested.load(); }

void osClearTerminationRequest() { g_terminationRequested.store(false); }
