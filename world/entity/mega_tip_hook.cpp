#include "world/entity/mega_tip_hook.h"

namespace {
MegaTipHook g_megaTipHook = nullptr;
}

void setMegaTipHook(MegaTipHook hook) { g_megaTipHook = hook; }

void queueMegaTip(const char* tipName) {
    if (g_megaTipHook) g_megaTipHook(tipName);
}
