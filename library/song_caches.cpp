#include "library/song_caches.h"

#include "core/file_layer.h"
#include "library/song_record.h"

s32 loadSongCaches(SSongRecord* record) {
    if (!record || record->path.empty() || record->state == E_SONGSTATE_FAILED) return 0;
    if (!fileExistsW(record->path.c_str())) {
        record->missing = true;
        return 0;
    }
    return 1;
}
