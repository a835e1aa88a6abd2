#include "world/services/play_area.h"

bool isInsidePlayArea(const ClVec3& position) {
    return position.x >= 0.0f && position.x <= PLAY_AREA_WIDTH && position.z >= 0.0f &&
           position.z <= PLAY_AREA_DEPTH;
}

bool isInsideExtendedPlayArea(const ClVec3& position) {
    return position.x >= -EXTENDED_PLAY_AREA_MARGIN && position.x <= PLAY_AREA_WIDTH + EXTENDED_PLAY_AREA_MARGIN &&
           position.z >= -PLAY_AREA_DEPTH && position.z <= PLAY_AREA_DEPTH;
}
