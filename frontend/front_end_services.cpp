#include "frontend/front_end_services.h"

#include "audio/sound/sound_engine.h"
#include "core/directories.h"
#include "core/saved_options.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "input/ambient/ambient_light.h"
#include "library/song_library.h"
#include "platform/shell/shell.h"
#include "ui/ui_system.h"

#include <algorithm>
#include <cstdio>

namespace {

std::vector<SSosZone> g_sosZones;
SCueHandle g_menuMusic;
std::vector<SFeaturedArtist> g_artists;
std::string g_queuedDocument;

bool isWebAddress(const std::string& address) { return address.find("://") != std::string::npos; }

}  // namespace

void loadSosZones() {
    g_sosZones.clear();
    const ClScriptNode* root = getScript("sos.txt", 0);
    if (!root) return;
    for (u32 i = 0; i < root->childCount(); ++i) {
        const ClScriptNode* zone = root->getChild(i);
        const bool complete = zone->childCount() >= 3 && zone->getChild(2)->kind == E_SCRIPTNODE_INT;
        const f32 top = complete ? zone->getChild(0)->getFloat() : -1.0f;
        const f32 bottom = complete ? zone->getChild(1)->getFloat() : -1.0f;
        if (!complete || top < 0.0f || bottom > 1.0f || top >= bottom) {
            std::fprintf(stderr, "sos.txt: zone %u is not { top; bottom; colour } within 0..1; skipped\n", i);
            continue;
        }
        g_sosZones.push_back({top, bottom, zone->getChild(2)->number});
    }
}

void releaseSosZones() { g_sosZones.clear(); }

const std::vector<SSosZone>& sosZones() { return g_sosZones; }

void systemStartMainMenuMusic() {
    if (!isAudioEngineRunning() || (g_menuMusic && !isCueFinished(g_menuMusic))) return;
    g_menuMusic = playCueHeld(MAIN_MENU_MUSIC_CUE);
}

void systemStopMainMenuMusic() {
    if (g_menuMusic && isAudioEngineRunning()) stopCue(g_menuMusic, MAIN_MENU_MUSIC_FADE_SECONDS);
    g_menuMusic = SCueHandle{};
}

void loadFeaturedArtists() {
    g_artists.clear();
    const ClScriptNode* root = getScript("artists.txt", 0);
    if (!root) return;
    for (u32 i = 0; i < root->childCount(); ++i) {
        const ClScriptNode* entry = root->getChild(i);
        if (entry->childCount() < 2 || entry->getChild(0)->kind != E_SCRIPTNODE_TEXT ||
            entry->getChild(1)->kind != E_SCRIPTNODE_TEXT) {
            std::fprintf(stderr, "artists.txt: entry %u is not { \"name\"; \"address\" }; skipped\n", i);
            continue;
        }
        SFeaturedArtist artist{entry->getChild(0)->getValueString().getText(),
                               entry->getChild(1)->getValueString().getText(), false};
        artist.hasLogo = loadUiImage((artist.name + "-Logo").c_str(), 0);
        g_artists.push_back(std::move(artist));
    }
}

const std::vector<SFeaturedArtist>& featuredArtists() { return g_artists; }

bool queueArtistDocument(u32 index) {
    if (index >= g_artists.size()) return false;
    const std::string& address = g_artists[index].address;
    if (isWebAddress(address)) {
        g_queuedDocument = address;
        return true;
    }
    g_queuedDocument = std::string(getDataDir()) + address;
    std::replace(g_queuedDocument.begin(), g_queuedDocument.end(), '\\', '/');
    return true;
}

void clearQueuedDocument() { g_queuedDocument.clear(); }

bool openQueuedDocument() {
    if (g_queuedDocument.empty()) return false;
    const bool opened = shellOpenDocument(g_queuedDocument.c_str());
    g_queuedDocument.clear();
    return opened;
}

void systemTermMedalsScreen() {}

void systemTermArtistsScreen() { g_artists.clear(); }

f32 bossScoreMeterLevel() {
    s32 beaten = 0;
    for (const auto& row : songLibrary().boss.beaten)
        for (s32 flag : row) beaten += flag ? 1 : 0;
    return f32(beaten) / f32(BOSS_PAIR_COUNT);
}

void systemInitSOSMenu() {
    setAmbientMode(AMBIENT_MODE_BOSS_SCORE);
    postAmbientMeterLevel(bossScoreMeterLevel());
}

void systemTickSOSMenu() { postAmbientMeterLevel(bossScoreMeterLevel()); }

void systemTerminateSOSMenu() { setAmbientMode(0); }

void systemToggleWater() { setWaterReflection(savedOptions().waterReflection == 0); }
