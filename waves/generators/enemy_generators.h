// The enemies of the waves, one generator per size. Each program is one hull node that the path
// follower flies (its wave plan comes from the schedule), a body atom on a procedural mesh, and,
// for medium and large enemies, a spinning outer part that dies with the hull. An armed enemy
// carries the enemy gun and its bullet block on the hull node.
#pragma once

#include "world/generators/dna_generator.h"

constexpr const char* ENEMY_SMALL_GENERATOR = "EnemyDart";
constexpr const char* ENEMY_MEDIUM_GENERATOR = "EnemySpinner";
constexpr const char* ENEMY_LARGE_GENERATOR = "EnemyBastion";
constexpr const char* ENEMY_BULLET_GENERATOR = "DefBullGenE";

class ClDNAGen_Enemy : public ClDNAGenerator {
public:
    // category: E_GENCAT_ENEMY_SMALL, _MEDIUM or _LARGE.
    ClDNAGen_Enemy(u32 category, const char* name);

    // With a random object the shape varies by up to a tenth and the gun is drawn against the
    // block's gun share; without one the shape is the plain one and there is no gun.
    ClDNAProgram* generate(ClRandObjSFMT* random, const SGeneratorParams* params) override;
};
