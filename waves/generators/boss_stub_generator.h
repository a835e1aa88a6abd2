// The one generator behind every entry of the boss table until the bosses exist: a plain hull
// of the boss category. Bosses stay disabled in the play record, so it is built only when a
// setting forces a boss.
#pragma once

#include "world/generators/dna_generator.h"

constexpr const char* BOSS_STUB_GENERATOR = "BossStub";

class ClDNAGen_BossStub : public ClDNAGenerator {
public:
    ClDNAGen_BossStub();
    ClDNAProgram* generate(ClRandObjSFMT* random, const SGeneratorParams* params) override;
};
