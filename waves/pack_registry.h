// Packs of generators. A pack registers its generators into the world's registry (the one route
// by which the wave layer's generators reach the world) and keeps them listed by category; the registry holds the packs from start-up to shutdown. The built-in pack
// brings everything a play needs by name: the four bullet generators, the enemies of the three
// sizes, the pickups, and the five bosses in their three variants behind the 15 entries of the
// boss table.
#pragma once

#include "core/array.h"
#include "core/types.h"
#include "world/generators/dna_generator.h"

constexpr u32 PACK_REGISTRY_INITIAL_CAPACITY = 8;

class ClPack {
public:
    ClPack() = default;
    virtual ~ClPack();
    ClPack(const ClPack&) = delete;
    ClPack& operator=(const ClPack&) = delete;

    virtual const char* getName() const = 0;
    // Registers the pack's generators (each category and name once over all packs, or fatal).
    virtual void registerGenerators() = 0;
    // Takes them out of the registry again and frees their shared programs; every entity built
    // from those must be released first.
    virtual void unregisterGenerators();

    u32 generatorCount(u32 category) const;
    ClDNAGenerator* generatorAt(u32 category, u32 index) const;

protected:
    // Registers one generator and lists it under its category.
    void add(ClDNAGenerator* generator);
    // Registers one generator that the category lists leave out (it is chosen otherwise).
    void addUnlisted(ClDNAGenerator* generator);

private:
    ClArray<ClDNAGenerator*> m_categories[GENERATOR_CATEGORY_COUNT];
    ClArray<ClDNAGenerator*> m_unlisted;
};

// Creates the registry with the built-in pack registered. A second call does nothing.
void packRegistryInit();
// Unregisters every pack's generators, clears the boss table and frees the packs.
void packRegistryRelease();
u32 packCount();
ClPack* packAt(u32 index);
// Registers a further pack (owned by the caller) after the built-in one.
void packRegistryAdd(ClPack* pack);
