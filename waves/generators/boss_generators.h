// The five bosses, each in three variants ("_MB1" to "_MB3"): the generators write each boss's
// node tree, its head guns, its tuning suffix and its root parameters. The registered names of
// the Dancer, Opps and WhipIt bosses are their tuning sections in "playbalance.txt"; the suffix
// after the section's prefix is what the generator writes into "WI_nhk".
#pragma once

#include "core/types.h"
#include "world/generators/dna_generator.h"

constexpr u32 BOSS_VARIANT_COUNT = 3;

enum EBossKind : u32 {
    E_BOSS_FIRST = 0,
    E_BOSS_THE_WAVE = 1,
    E_BOSS_OPPS = 2,
    E_BOSS_WHIP_IT = 3,
    E_BOSS_DANCER = 4,
};
constexpr u32 BOSS_KIND_COUNT = 5;

// The generator name of a boss and variant, e.g. "boss_dancer_params_MB2".
const char* bossGeneratorName(u32 kind, u32 variant);

class ClDNAGen_Enemy_Boss : public ClDNAGenerator {
public:
    ClDNAGen_Enemy_Boss(u32 kind, u32 variant);
    ClDNAProgram* generate(ClRandObjSFMT* random, const SGeneratorParams* params) override;

    u32 kind() const { return m_kind; }
    u32 variant() const { return m_variant; }

private:
    u32 m_kind;
    u32 m_variant;
};

// The class names the bosses are known by.
class ClDNAGen_Enemy_Boss_1 final : public ClDNAGen_Enemy_Boss {
public:
    explicit ClDNAGen_Enemy_Boss_1(u32 variant) : ClDNAGen_Enemy_Boss(E_BOSS_FIRST, variant) {}
};
class ClDNAGen_Enemy_Boss_TheWave final : public ClDNAGen_Enemy_Boss {
public:
    explicit ClDNAGen_Enemy_Boss_TheWave(u32 variant) : ClDNAGen_Enemy_Boss(E_BOSS_THE_WAVE, variant) {}
};
class ClDNAGen_Enemy_Boss_Opps final : public ClDNAGen_Enemy_Boss {
public:
    explicit ClDNAGen_Enemy_Boss_Opps(u32 variant) : ClDNAGen_Enemy_Boss(E_BOSS_OPPS, variant) {}
};
class ClDNAGen_Enemy_Boss_WhipIt final : public ClDNAGen_Enemy_Boss {
public:
    explicit ClDNAGen_Enemy_Boss_WhipIt(u32 variant) : ClDNAGen_Enemy_Boss(E_BOSS_WHIP_IT, variant) {}
};
class ClDNAGen_Enemy_Boss_Dancer final : public ClDNAGen_Enemy_Boss {
public:
    explicit ClDNAGen_Enemy_Boss_Dancer(u32 variant) : ClDNAGen_Enemy_Boss(E_BOSS_DANCER, variant) {}
};
