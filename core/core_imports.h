// What core asks of the layers above it: the routines of the one real task type, the render
// side's draw-list line builder (task type TASK_TYPE_DRAW_LIST_LINES). The program fills the
// record once at start-up (app/layer_imports.cpp) and clears it at shutdown; without it a task of
// that type stops the program like every other type. Main thread only.
#pragma once

#include "core/task_layer.h"

struct SCoreImports {
    // Unset routines (a null start) read as the stopping row.
    STaskType drawListLines = {};
};

// Copies the record; null clears every member.
void setCoreImports(const SCoreImports* imports);
const SCoreImports& coreImports();
