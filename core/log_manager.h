// Named log files, fed with lines that the log writer thread appends and flushes.
#pragma once

// Once per frame from the tick: wakes the writer when any log has queued lines.
void logManagerWake();
