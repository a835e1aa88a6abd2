#include "audio/play/song_display_hook.h"

namespace {
SSongDisplayHooks g_SongDisplayHooks = {};
}  // namespace

void setSongDisplayHooks(const SSongDisplayHooks* hooks) { g_SongDisplayHooks = hooks ? *hooks : SSongDisplayHooks{}; }

const SSongDisplayHooks& songDisplayHooks() { return g_SongDisplayHooks; }
