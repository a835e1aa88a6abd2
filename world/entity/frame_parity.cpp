#include "world/entity/frame_parity.h"

u32 g_uFrameCurrent = 0;
u32 g_uFramePrevious = 1;
u32 g_uFrameFlips = 1;

void flipFrameBuffers() {
    g_uFramePrevious = g_uFrameCurrent;
    g_uFrameCurrent = 1 - g_uFrameCurrent;
    if (++g_uFrameFlips == 0) g_uFrameFlips = 1;
}
