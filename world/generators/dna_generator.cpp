#include "world/generators/dna_generator.h"

#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "core/string_helpers.h"
#include "world/entity/dna_program.h"
#include "world/state/item_description.h"
#include "world/state/play_record.h"

#include <vector>

namespace {

std::vector<ClDNAGenerator*> g_apCategory[GENERATOR_CATEGORY_COUNT];
ClDNAGenerator* g_apBossGenerators[BOSS_PAIR_COUNT];

u32 bossIndex(u32 boss, u32 subBoss) {
    if (boss >= BOSS_COUNT || subBoss >= SUBBOSS_COUNT) fatalErrorf("boss %u sub-boss %u out of range", boss, subBoss);
    return boss * SUBBOSS_COUNT + subBoss;
}

}  // namespace

ClDNAGenerator::ClDNAGenerator(u32 category, const char* name)
    : m_category(category), m_nameHash(crc32TextNoCase(name)) {
    strCopyN(m_name, name ? name : "", GENERATOR_NAME_LENGTH);
}

ClDNAGenerator::~ClDNAGenerator() { releaseSharedProgram(); }

s32 ClDNAGenerator::onCollect(ClEntity*, const SContact*) { return 0; }

void ClDNAGenerator::describe(SItemDescription* out, s32) const {
    out->reset();
    strCopyN(out->name, getName(), ITEM_NAME_LENGTH);
}

ClDNAProgram* ClDNAGenerator::getSharedProgram() {
    if (!m_pSharedProgram) {
        m_pSharedProgram = generate(nullptr, nullptr);
        if (!m_pSharedProgram) fatalErrorf("generator \"%s\" wrote no program", m_name);
        m_pSharedProgram->generator = this;
    }
    return m_pSharedProgram;
}

void ClDNAGenerator::releaseSharedProgram() {
    if (!m_pSharedProgram) return;
    m_pSharedProgram->release();
    delete m_pSharedProgram;
    m_pSharedProgram = nullptr;
}

void generatorRegister(ClDNAGenerator* generator) {
    const u32 category = generator->getCategory();
    if (category >= GENERATOR_CATEGORY_COUNT) fatalErrorf("generator \"%s\": category %u out of range", generator->getName(), category);
    if (generatorFind(category, generator->getNameHash()))
        fatalErrorf("generator \"%s\" registered twice in category %u", generator->getName(), category);
    g_apCategory[category].push_back(generator);
}

void generatorUnregister(ClDNAGenerator* generator) {
    if (generator->getCategory() >= GENERATOR_CATEGORY_COUNT) return;
    std::vector<ClDNAGenerator*>& list = g_apCategory[generator->getCategory()];
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == generator) {
            list.erase(list.begin() + ptrdiff_t(i));
            break;
        }
    }
    for (ClDNAGenerator*& entry : g_apBossGenerators) {
        if (entry == generator) entry = nullptr;
    }
}

void generatorUnregisterAll() {
    for (std::vector<ClDNAGenerator*>& list : g_apCategory) list.clear();
    clearBossGenerators();
}

ClDNAGenerator* generatorFind(u32 category, u32 nameHash) {
    if (category >= GENERATOR_CATEGORY_COUNT) return nullptr;
    for (ClDNAGenerator* generator : g_apCategory[category]) {
        if (generator->getNameHash() == nameHash) return generator;
    }
    return nullptr;
}

ClDNAGenerator* generatorFindOrDie(u32 category, const char* name) {
    ClDNAGenerator* generator = generatorFind(category, crc32TextNoCase(name));
    if (!generator) fatalErrorf("no generator \"%s\" in category %u", name, category);
    return generator;
}

void setBossGenerator(u32 boss, u32 subBoss, ClDNAGenerator* generator) {
    g_apBossGenerators[bossIndex(boss, subBoss)] = generator;
}

ClDNAGenerator* getBossGenerator(u32 boss, u32 subBoss) { return g_apBossGenerators[bossIndex(boss, subBoss)]; }

void clearBossGenerators() {
    for (ClDNAGenerator*& entry : g_apBossGenerators) entry = nullptr;
}
