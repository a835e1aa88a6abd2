#include "core/task_layer.h"

void taskLayerDispatch() {
    // No worker pool runs in this build, so no work is pending.
}
