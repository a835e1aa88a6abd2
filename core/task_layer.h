// Tasks split into parts that run on the worker threads, dispatched from the main thread.
#pragma once

// Once per frame from the tick: hands pending work to idle workers and runs the completions
// of finished work, while the layer is ready and not suspended.
void taskLayerDispatch();
