#include "render/render_hooks.h"

namespace {

SRenderUpwardHooks g_hooks;

}  // namespace

void setRenderUpwardHooks(const SRenderUpwardHooks* hooks) { g_hooks = hooks ? *hooks : SRenderUpwardHooks{}; }

const SRenderUpwardHooks& renderUpwardHooks() { return g_hooks; }
