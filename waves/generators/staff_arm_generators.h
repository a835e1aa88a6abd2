// The staff and arm families of the waves:
//   - the bird (small): a hull carrying a round-staff gun that grows a ring of notes on the beat
//     and lets it fly at the player when full;
//   - the staff star (medium): a hull whose spinning crown holds three staff nozzles, one beam
//     fired per beat;
//   - the brute (large): a hull with a swinging arm striking on runs of beats, an aimed turret,
//     two shield pods whose loss blows up its armour plate, and a wave-flag part that only every
//     other member of a wave carries.
// Their guns fire the bullets the world registers ("DefBullRSG", "DefBullGEF", "DefBullGenE").
#pragma once

#include "world/generators/dna_generator.h"

constexpr const char* ENEMY_BIRD_GENERATOR = "EnemyBird";
constexpr const char* ENEMY_STAFF_STAR_GENERATOR = "EnemyStaffStar";
constexpr const char* ENEMY_BRUTE_GENERATOR = "EnemyBrute";

// The wave flag bits the wave layer gives members (see buildWaves): even members carry the first,
// odd ones the second. The brute's flagged part asks for the first.
constexpr u32 WAVE_FLAG_EVEN_MEMBER = 1;
constexpr u32 WAVE_FLAG_ODD_MEMBER = 2;

class ClDNAGen_StaffArmEnemy : public ClDNAGenerator {
public:
    // category E_GENCAT_ENEMY_SMALL (bird), _MEDIUM (staff star) or _LARGE (brute).
    ClDNAGen_StaffArmEnemy(u32 category, const char* name);

    // With a random object the sizes vary by up to a tenth; the ring's beats and the staffs'
    // width follow the difficulty in the block.
    ClDNAProgram* generate(ClRandObjSFMT* random, const SGeneratorParams* params) override;
};
