#include "waves/generators/family_generators.h"

#include "core/matrix44.h"
#include "waves/wave_families.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"

ClMatrix44 familyTranslation(f32 x, f32 y, f32 z) {
    ClMatrix44 m;
    m.setTranslationXYZ(x, y, z);
    return m;
}

ClMatrix44 familyYaw(f32 radians) {
    ClMatrix44 m;
    m.setRotationY(radians);
    return m;
}

ClDNAProgram* ClDNAGen_Family::generate(ClRandObjSFMT* random, const SGeneratorParams*) {
    auto* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_ENEMY;
    program->generator = this;
    program->emitNewNode(ClMatrix44());
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitAddProcessor(E_PROC_FOLLOW_PATH);
    program->emitAddProcessor(E_PROC_FLICKER_WHEN_DAMAGED);
    m_writer(program, random);
    program->emitCloseNode();
    program->applyConstructionCost(getCategory());
    return program;
}

namespace {

struct SFamilyShare {
    f32 share;
    u32 patrols;
};
// Small waves: bombs and sparks; medium: crawlers, flowers, beat shields; large: stations.
constexpr SFamilyShare STATION_SHARE = {0.35f, 1};
constexpr SFamilyShare CRAWLER_SHARE = {0.2f, 0};
constexpr SFamilyShare FLOWER_SHARE = {0.2f, 0};
constexpr SFamilyShare BOMB_SHARE = {0.2f, 0};
constexpr SFamilyShare BEAT_SHIELD_SHARE = {0.2f, 0};
constexpr SFamilyShare STATIC_SPARK_SHARE = {0.15f, 0};

}  // namespace

ClEnemyFamilies::ClEnemyFamilies()
    : m_station(E_GENCAT_ENEMY_LARGE, STATION_GENERATOR, &writeCubeStation),
      m_crawler(E_GENCAT_ENEMY_MEDIUM, CRAWLER_GENERATOR, &writeCrawler),
      m_flower(E_GENCAT_ENEMY_MEDIUM, FLOWER_GENERATOR, &writeFlower),
      m_bomb(E_GENCAT_ENEMY_SMALL, BOMB_GENERATOR, &writeBomb),
      m_beatShield(E_GENCAT_ENEMY_MEDIUM, BEAT_SHIELD_GENERATOR, &writeBeatShield),
      m_staticSpark(E_GENCAT_ENEMY_SMALL, STATIC_SPARK_GENERATOR, &writeStaticSpark) {}

ClDNAGenerator* ClEnemyFamilies::generator(u32 index) {
    ClDNAGen_Family* const families[COUNT] = {&m_station, &m_crawler, &m_flower, &m_bomb, &m_beatShield, &m_staticSpark};
    return index < COUNT ? families[index] : nullptr;
}

void ClEnemyFamilies::addToWaves() {
    const SFamilyShare shares[COUNT] = {STATION_SHARE, CRAWLER_SHARE,     FLOWER_SHARE,
                                        BOMB_SHARE,    BEAT_SHIELD_SHARE, STATIC_SPARK_SHARE};
    for (u32 i = 0; i < COUNT; ++i) addWaveFamily(generator(i), shares[i].share, shares[i].patrols);
}
