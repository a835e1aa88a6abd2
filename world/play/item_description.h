// The item description lives with the world's shared records in world/state/.
// The layers above the world include it here.
#pragma once

#include "world/state/item_description.h"
