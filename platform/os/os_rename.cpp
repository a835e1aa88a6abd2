#include "platform/os/rename.h"

#include "platform/os/os.h"
#include "platform/os/os_internal.h"

#include <cerrno>
#include <cstdio>

bool osRenameFileW(const char16_t* from, const char16_t* to) {
    if (!from || !to) {
        osSetLastError(E_OSERR_INVALID_PARAMETER);
        return false;
    }
    if (std::rename(osSystemPathW(from).c_str(), osSystemPathW(to).c_str()) == 0) return true;
    osSetLastError(osErrorFromErrno(errno));
    return false;
}
