// Generators write the DNA programs entities are built from. Each registered generator belongs
// to a category and is found by the name hash of its registered name. The wave layer, the ship
// builder and the pickups register theirs from above; the world registers its bullet generators.
#pragma once

#include "core/types.h"

class ClDNAProgram;
class ClEntity;
class ClRandObjSFMT;
struct SContact;
struct SGeneratorParams;
struct SItemDescription;

enum EGeneratorCategory : u32 {
    E_GENCAT_PICKUP = 2,          // score, invincibility, level-up and chain-bonus pickups
    E_GENCAT_SHIP_ITEM = 3,       // the items a song awards and the ship's anchors carry
    E_GENCAT_PLAYER_BULLET = 6,   // player bullets and missiles
    E_GENCAT_ENEMY_SMALL = 8,
    E_GENCAT_ENEMY_MEDIUM = 9,
    E_GENCAT_ENEMY_LARGE = 10,
    E_GENCAT_BOSS = 11,
    E_GENCAT_ENEMY_BULLET = 12,
};
constexpr u32 GENERATOR_CATEGORY_COUNT = 13;
constexpr u32 GENERATOR_NAME_LENGTH = 32;  // terminator included

class ClDNAGenerator {
public:
    // The name is cut to 31 characters; its hash is taken from the whole name.
    ClDNAGenerator(u32 category, const char* name);
    virtual ~ClDNAGenerator();
    ClDNAGenerator(const ClDNAGenerator&) = delete;
    ClDNAGenerator& operator=(const ClDNAGenerator&) = delete;

    // A new program, owned by the caller (release it, then delete it).
    virtual ClDNAProgram* generate(ClRandObjSFMT* random, const SGeneratorParams* params) = 0;
    virtual const char* getName() const { return m_name; }
    // Pickups: the ship collected an entity built from this generator's program.
    virtual s32 onCollect(ClEntity* pickup, const SContact* contact);
    // What the menus show of the generator's item at the level (0 upwards): the description is
    // reset, then filled. Without an item of its own a generator gives only its name.
    virtual void describe(SItemDescription* out, s32 level) const;

    // The generator's own program, written by generate (no random object, no parameters) on
    // first use and kept until releaseSharedProgram: what guns build each shot from.
    ClDNAProgram* getSharedProgram();
    // Frees the shared program; every entity built from it must be released first.
    void releaseSharedProgram();

    u32 getCategory() const { return m_category; }
    u32 getNameHash() const { return m_nameHash; }

private:
    u32 m_category;
    u32 m_nameHash;
    char m_name[GENERATOR_NAME_LENGTH];
    ClDNAProgram* m_pSharedProgram = nullptr;
};

// Registers a generator (not owned). A category of 13 or more, or a second generator of the same
// category and name hash, is fatal.
void generatorRegister(ClDNAGenerator* generator);
// Takes a registered generator out again; nothing happens when it is not registered.
void generatorUnregister(ClDNAGenerator* generator);
// Forgets every registration (the generators are their registrars' to free).
void generatorUnregisterAll();
// The registered generator of the category with that name hash, or null.
ClDNAGenerator* generatorFind(u32 category, u32 nameHash);
// generatorFind by name, fatal when absent: for the generators the world cannot play without.
ClDNAGenerator* generatorFindOrDie(u32 category, const char* name);

// The boss table: index boss x 3 + sub-boss. An empty entry means that pair does not exist.
void setBossGenerator(u32 boss, u32 subBoss, ClDNAGenerator* generator);
ClDNAGenerator* getBossGenerator(u32 boss, u32 subBoss);
void clearBossGenerators();
