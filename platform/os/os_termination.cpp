// SIGINT and SIGTERM turned into a request the main loop reads; SIGXFSZ set aside.
#include "platform/os/os.h"

#include <signal.h>

#include <atomic>

namespace {

std::atomic<bool> g_terminationRequested{false};

void onTerminationSignal(int) { g_terminationRequested.store(true); }

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

bool osTerminationRequested() { return g_terminationRequested.load(); }

void osClearTerminationRequest() { g_terminationRequested.store(false); }
