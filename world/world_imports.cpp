#include "world/world_imports.h"

void setWorldImports(const SWorldImports* imports) {
    const SWorldImports none;
    const SWorldImports& in = imports ? *imports : none;
    setMegaTipHook(in.queueMegaTip);
    setShipProgramBuilder(in.buildShipProgram);
    setAnchorWeaponBuilder(in.buildAnchorWeapon);
    setCollectibleFinder(in.findCollectible);
    setAwardMedalHook(in.awardMedal);
    setBossWaveHooks(in.bossWaves);
    setBossEncounterHooks(in.bossEncounter);
    setWavePlanReleaser(in.releaseWavePlan);
}
