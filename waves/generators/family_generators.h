// The enemy families that stand in for the plain enemies of a size, wave by wave (wave_families):
// each is one generator whose program carries its family's processors and their parameters.
// Every family's root node flies the wave's path; its parts hang on the root's main atom, so a
// part shot away leaves the rest, and the main atom takes them all down.
#pragma once

#include "core/matrix44.h"
#include "core/types.h"
#include "world/generators/dna_generator.h"

class ClDNAProgram;
class ClRandObjSFMT;

constexpr const char* STATION_GENERATOR = "EnemyCubeStation";
constexpr const char* CRAWLER_GENERATOR = "EnemyCrawler";
constexpr const char* FLOWER_GENERATOR = "EnemyFlower";
constexpr const char* BOMB_GENERATOR = "EnemyBomb";
constexpr const char* BEAT_SHIELD_GENERATOR = "EnemyBeatShield";
constexpr const char* STATIC_SPARK_GENERATOR = "EnemyStaticSpark";

// Writes the family's nodes into a program whose root node is open (the path follower already on
// it); leaves the root open.
using FamilyWriter = void (*)(ClDNAProgram* program, ClRandObjSFMT* random);

class ClDNAGen_Family : public ClDNAGenerator {
public:
    ClDNAGen_Family(u32 category, const char* name, FamilyWriter writer)
        : ClDNAGenerator(category, name), m_writer(writer) {}
    ClDNAProgram* generate(ClRandObjSFMT* random, const SGeneratorParams* params) override;

private:
    FamilyWriter m_writer;
};

void writeCubeStation(ClDNAProgram* program, ClRandObjSFMT* random);
void writeCrawler(ClDNAProgram* program, ClRandObjSFMT* random);
void writeFlower(ClDNAProgram* program, ClRandObjSFMT* random);
void writeBomb(ClDNAProgram* program, ClRandObjSFMT* random);
void writeBeatShield(ClDNAProgram* program, ClRandObjSFMT* random);
void writeStaticSpark(ClDNAProgram* program, ClRandObjSFMT* random);

// Shared by the writers: a translation and a turn about y (radians).
ClMatrix44 familyTranslation(f32 x, f32 y, f32 z);
ClMatrix44 familyYaw(f32 radians);

// The six family generators of the built-in pack, with their shares of their sizes' waves (the
// cube station patrols after it arrives, so that its turns show). The pack registers the
// generators; a family stands in by its share alone, so the pack does not list it among the
// generators a song's rolls choose from.
class ClEnemyFamilies {
public:
    static constexpr u32 COUNT = 6;
    ClEnemyFamilies();
    ClDNAGenerator* generator(u32 index);
    // Gives each family its share of its size's waves (wave_families), once the pack registered it.
    void addToWaves();

private:
    ClDNAGen_Family m_station, m_crawler, m_flower, m_bomb, m_beatShield, m_staticSpark;
};
