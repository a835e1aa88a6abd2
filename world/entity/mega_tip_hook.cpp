#include "world/entity/mega_tip_hook.h"

namespace {
MegaTipHook s_megaTipHook = nullptr;
}

void setMegaTipHook(MegaTipHook hook) { s_megaTipHook = hook; }

void queueMegaTip(const char* tipName) {
    if (s_megaTipHook) s_megaTipHook(tipName);
}
