#include "world/services/world_quad_pass.h"

void drawWorldQuadPass() {}
