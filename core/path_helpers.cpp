#include "core/path_helpers.h"

const char* getPlatformName() { return "win32"; }
