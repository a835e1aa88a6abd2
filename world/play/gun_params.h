// The gun and bullet parameter blocks live with the bullet atoms in world/atoms/.
// The layers above the world include it here.
#pragma once

#include "world/atoms/gun_params.h"
