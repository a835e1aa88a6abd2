// The wave layer keeps the song's waves; the boss choice asks it, through the hooks of the world's
// import record (services/world_imports.h), what the waves in the boss's window are worth and to
// give the boss entity its wave. Null hooks stand for no waves: the boss's value pool is then 0.
#pragma once

#include "core/types.h"

class ClDNAProgram;
class ClEntity;

// Called for every member entity of every wave, from the last wave to the first.
using BossWaveMemberVisitor = void (*)(void* user, ClEntity* member, f32 spawnTime);

struct SBossWaveHooks {
    void (*forEachWaveMember)(BossWaveMemberVisitor visit, void* user);
    // When the program carries wave motion data: takes a wave record and a member link for the
    // boss entity, sets the wave up from the program's first wave plan with both wave times at
    // the largest float, and makes the entity its member. Fatal when no link record is free.
    void (*attachBossWave)(ClEntity* boss, ClDNAProgram* program);
};
