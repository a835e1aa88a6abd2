// Helpers shared by the files of this layer only.
#pragma once

#include <cstdint>

// Maps an errno value to this layer's error codes (E_OSERR_OTHER + errno when none fits).
uint32_t osErrorFromErrno(int error);
