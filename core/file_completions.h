// Completions of overlapped file reads run on the thread that issued them, in its
// alertable waits.
#pragma once

// A zero-length alertable wait: the completions of finished reads run now.
void pumpFileCompletions();
