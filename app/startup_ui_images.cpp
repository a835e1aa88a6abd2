#include "app/startup_ui_images.h"

#include <string>

namespace {

const char* const LEAD[] = {"bg-linepack", "bg-linepack-mask", "LineTex", "tutorial-rating"};
const char* const NOTE_VALUES[] = {"thirty", "sixteenth", "eighth", "quarter", "half"};
const char* const NOTE_SIZES[] = {"-dot-small", "-dot-large", "-small", "-large"};
const char* const MIDDLE[] = {
    "whole-small", "whole-large", "solkey-small", "solkey-large", "PointerDefault",
    "shipedit-ctrl-1", "shipedit-ctrl-2", "shipedit-ctrl-1-autofire", "shipedit-ctrl-2-autofire", "shipedit-rot-l",
    "shipedit-rot-r", "shipedit-ctrl-music", "shipedit-ctrl-always-auto", "shipedit-renderzone-mask",
    "shipedit-layout-new-weapon-mask", "shipedit-layout-changing-weapon", "shipedit-layout-new-weapon-red",
    "solkey-upgrades", "emptystar-upgrades", "hud-power", "boss-power", "hud-boss-bar", "hud-boss-bar-hit",
    "songselect-icon-x", "songselect-icon-question", "songselect-icon-lock", "songselect-icon-disc",
    "bossScoreMenu-staff", "bossScoreMenu-notes", "bossScoreMenu-cloud", "bossScoreMenu-note",
    "bossScoreMenu-gradient", "songselect-layout-error", "songselect-layout-identify-yellow",
    "songselect-layout-unlocked", "songselect-layout-song", "songselect-layout-locked-strokes-only",
    "songselect-layout-upgrade", "songselect-checkbox", "songselect-checkbox-checked", "difficulty-layout-locked",
    "difficulty-layout-selectable", "difficulty-layout-selectable-LB", "difficulty-layout-select-rollover-LB",
    "difficulty-layout-select-rollover", "amBX-N-Icon", "amBX-S-Icon", "amBX-E-Icon", "amBX-W-Icon",
    "amBX-NE-Icon", "amBX-NW-Icon", "amBX-SE-Icon", "amBX-SW-Icon", "amBX-C-Icon",
};
const char* const BOSS_NOTE_NAMES[] = {"ruvo", "dravelin", "kelvath", "quelloritz", "morvasenko"};
const char* const TAIL[] = {
    "bossScoreMenu-signature-ruvo", "bossScoreMenu-signature-dravellin", "bossScoreMenu-signature-kelvath",
    "bossScoreMenu-signature-quelloritz", "bossScoreMenu-signature-morvasenko", "bossScoreMenu-gradient",
    "bossScoreMenu-staff", "bossScoreMenu-stafftrash",
};

}  // namespace

void forEachStartupUiImage(void (*load)(const char* name)) {
    for (const char* name : LEAD) load(name);
    for (const char* value : NOTE_VALUES) {
        for (const char* size : NOTE_SIZES) load((std::string(value) + size).c_str());
    }
    for (const char* name : MIDDLE) load(name);
    for (const char* boss : BOSS_NOTE_NAMES) {
        for (int i = 1; i <= 4; ++i) load(("bossScoreMenu-note-" + std::string(boss) + std::to_string(i)).c_str());
    }
    for (const char* name : TAIL) load(name);
}
