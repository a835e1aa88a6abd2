#include "waves/generators/item_generators.h"

#include "core/matrix44.h"
#include "core/string_helpers.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"
#include "world/state/item_description.h"
#include "world/processors/missile_launcher.h"

#include <cstdio>
#include <cstring>

namespace {

struct SShipItemText {
    const char* key;
    const char* name;
    const char16_t* lines[2];
};

const SShipItemText ITEM_TEXTS[E_SHIP_ITEM_KIND_COUNT] = {
    {"gun_cannon", "Burst Cannon", {u"Heavy shells from the gun,", u"harder hitting than blasts."}},
    {"gun_shotgun", "Shotgun", {u"Five pellets a barrel that", u"spread and fall short."}},
    {"gun_seeker", "Seeker Gun", {u"Shots turn toward the enemy", u"best in front of them."}},
    {"weapon_charging_gun", "Charging Gun", {u"Hold fire to charge a bolt,", u"release it to let it fly."}},
    {"weapon_missile_launcher", "Missile Launcher", {u"Loads a missile in each bay", u"and fires while held."}},
    {"weapon_sonic_subwoofer", "Sonic Subwoofer", {u"Fires on every beat, by", u"itself, with a deep boom."}},
    {"weapon_sonic_tweeter", "Sonic Tweeter", {u"Fires on every beat, by", u"itself, with a high chirp."}},
};

s32 clampLevel(s32 level) { return level < 0 ? 0 : level > SHIP_ITEM_TOP_LEVEL ? SHIP_ITEM_TOP_LEVEL : level; }

void rate(SRatingLine* line, const char* value, const char16_t* label, const char16_t* unit) {
    line->set(value, label);
    wstrCopyN(line->unit, unit, RATING_TEXT_LENGTH);
}

}  // namespace

SShipItemStats shipItemStats(EShipItemKind kind, s32 level) {
    const f32 grade = f32(clampLevel(level));
    SShipItemStats stats{};
    switch (kind) {
        case E_SHIP_ITEM_CANNON:
            return {true, CANNON_LOOK, 1, 1.5f, 0.0f, 0.0f, 0, 0.0f};
        case E_SHIP_ITEM_SHOTGUN:
            return {true, SHOTGUN_LOOK, 5, 0.5f, 0.0f, 0.0f, 0, 0.0f};
        case E_SHIP_ITEM_SEEKER:
            return {true, SEEKER_LOOK, 1, 1.0f, 0.0f, 0.0f, 0, 0.0f};
        case E_SHIP_ITEM_CHARGING_GUN:
            return {false, BOLT_LOOK, 1, 0.0f, 60.0f + 15.0f * grade, 1.5f - 0.1f * grade, 0, 0.0f};
        case E_SHIP_ITEM_MISSILE_LAUNCHER:
            // Two bays, four from level 3.
            return {false, MISSILE_LOOK, 1, 0.0f, 25.0f + 5.0f * grade, 0.0f, grade >= 3.0f ? 4 : 2, 1.0f};
        case E_SHIP_ITEM_SONIC_SUBWOOFER:
        case E_SHIP_ITEM_SONIC_TWEETER:
            return {false, NOTE_LOOK, 1, 0.0f, 20.0f + 5.0f * grade, 0.0f, 0, 0.0f};
        case E_SHIP_ITEM_KIND_COUNT:
            break;
    }
    return stats;
}

f32 shipGunRate(bool hull, s32 level) {
    const f32 grade = f32(clampLevel(level));
    return hull ? HULL_GUN_RATE_BASE + HULL_GUN_RATE_PER_LEVEL * grade
                : WING_GUN_RATE_BASE + WING_GUN_RATE_PER_LEVEL * grade;
}


bool shipItemKindForKey(const char* key, EShipItemKind* out) {
    if (!key) return false;
    for (u32 i = 0; i < E_SHIP_ITEM_KIND_COUNT; ++i) {
        if (std::strncmp(key, ITEM_TEXTS[i].key, std::strlen(ITEM_TEXTS[i].key)) == 0) {
            *out = EShipItemKind(i);
            return true;
        }
    }
    return false;
}

ClDNAGen_ShipItem::ClDNAGen_ShipItem(EShipItemKind kind)
    : ClDNAGenerator(E_GENCAT_SHIP_ITEM, ITEM_TEXTS[kind].key), m_kind(kind) {}

ClDNAProgram* ClDNAGen_ShipItem::generate(ClRandObjSFMT*, const SGeneratorParams*) {
    auto* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_PLAYER;
    program->generator = this;
    program->emitNewNode(ClMatrix44());
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitCloseNode();
    return program;
}

void ClDNAGen_ShipItem::describe(SItemDescription* out, s32 level) const {
    const SShipItemText& text = ITEM_TEXTS[m_kind];
    const SShipItemStats stats = shipItemStats(m_kind, level);
    out->reset();
    strCopyN(out->name, text.name, ITEM_NAME_LENGTH);
    out->setKindText(stats.isGun ? "Gun" : "Weapon");
    out->setLine(0, text.lines[0]);
    out->setLine(1, text.lines[1]);

    char value[RATING_TEXT_LENGTH];
    SRatingLine* lines = out->ratings[0];
    u32 n = 0;
    std::snprintf(value, sizeof value, "%d", clampLevel(level) + 1);
    rate(&lines[n++], value, u"Level", u"");
    if (stats.isGun) {
        std::snprintf(value, sizeof value, "%.1f", f64(stats.damageFactor));
        rate(&lines[n++], value, u"Damage", u"x");
        std::snprintf(value, sizeof value, "%d", stats.pellets);
        rate(&lines[n++], value, u"Pellets", u"");
        std::snprintf(value, sizeof value, "%.0f", f64(shipGunRate(true, level)));
        rate(&lines[n++], value, u"Hull rate", u"/s");
        std::snprintf(value, sizeof value, "%.0f", f64(shipGunRate(false, level)));
        rate(&lines[n++], value, u"Wing rate", u"/s");
        return;
    }
    std::snprintf(value, sizeof value, "%.0f", f64(stats.damage));
    rate(&lines[n++], value, u"Damage", u"");
    if (m_kind == E_SHIP_ITEM_CHARGING_GUN) {
        std::snprintf(value, sizeof value, "%.1f", f64(stats.chargeSeconds));
        rate(&lines[n++], value, u"Full charge", u"s");
    } else if (m_kind == E_SHIP_ITEM_MISSILE_LAUNCHER) {
        std::snprintf(value, sizeof value, "%d", stats.bays);
        rate(&lines[n++], value, u"Bays", u"");
        std::snprintf(value, sizeof value, "%.1f", f64(MISSILE_FULL_RELOAD_SECONDS));
        rate(&lines[n++], value, u"Full reload", u"s");
    } else {
        rate(&lines[n++], "1", u"Shots", u"/beat");
    }
}
