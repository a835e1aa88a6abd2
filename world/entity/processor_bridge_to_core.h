// A processor with no behaviour: even attach stores nothing.
#pragma once

#include "world/entity/processor.h"

class alignas(16) ClProcessor_BridgeToCore : public ClProcessor {};
