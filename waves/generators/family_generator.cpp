#include "waves/generators/family_generators.h"

#include "core/matrix44.h"
#include "waves/wave_families.h"
#include <initializer_list>
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

void ClEnemyFamilies::registerAll() {
    const struct {
        ClDNAGen_Family* generator;
        SFamilyShare share;
    } families[] = {{&m_station, STATION_SHARE}, {&m_crawler, CRAWLER_SHARE},       {&m_flower, FLOWER_SHARE},
                    {&m_bomb, BOMB_SHARE},       {&m_beatShield, BEAT_SHIELD_SHARE}, {&m_staticSpark, STATIC_SPARK_SHARE}};
    for (const auto& family : families) {
        generatorRegister(family.generator);
        addWaveFamily(family.generator, family.share.share, family.share.patrols);
    }
}

void ClEnemyFamilies::unregisterAll() {
    for (ClDNAGenerator* generator : {static_cast<ClDNAGenerator*>(&m_station), static_cast<ClDNAGenerator*>(&m_crawler),
                                      static_cast<ClDNAGenerator*>(&m_flower), static_cast<ClDNAGenerator*>(&m_bomb),
                                      static_cast<ClDNAGenerator*>(&m_beatShield),
                                      static_cast<ClDNAGenerator*>(&m_staticSpark)})
        generatorUnregister(generator);
    clearWaveFamilies();
}
