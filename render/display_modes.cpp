#include "render/display_modes.h"

#include "core/config.h"
#include "core/name_hash.h"
#include "core/global_objects.h"
#include "core/saved_options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

s32 computeAspectClass(SDisplayMode* mode) {
    const f32 r = static_cast<f32>(mode->width) / static_cast<f32>(mode->height);
    s32 aspect = 6;
    if (r > 1.82f) aspect = 0;
    else if (r > 1.70f) aspect = 1;
    else if (r > 1.58f) aspect = 2;
    else if (r > 1.40f) aspect = 3;
    else if (r > 1.29f) aspect = 4;
    mode->aspectClass = aspect;
    return aspect;
}

void addDisplayMode(SDisplayModeSet& set, u32 width, u32 height, u32 refreshHz, u32 bitsPerPixel) {
    if (height == 0 || static_cast<f32>(width) / static_cast<f32>(height) < 1.0f) return;
    SDisplayMode mode;
    mode.width = width;
    mode.height = height;
    mode.refreshHz = refreshHz;
    mode.bitsPerPixel = bitsPerPixel == 16 ? 16 : 32;
    computeAspectClass(&mode);
    set.all.push_back(mode);
}

void chooseBestModes(SDisplayModeSet& set) {
    std::erase_if(set.all, [&](const SDisplayMode& m) {
        return m.width > set.screenWidth || m.height > set.screenHeight || m.width < m.height;
    });
    set.best32 = SDisplayMode{};
    for (const SDisplayMode& m : set.all) {
        if (m.bitsPerPixel == 32 && m.height >= set.best32.height) set.best32 = m;
    }
}

bool findDisplayMode(SDisplayModeSet& set, u32 width, u32 height) {
    bool found = false, found32 = false;
    for (const SDisplayMode& m : set.all) {
        if (m.width != width || m.height != height) continue;
        found = true;
        if (m.bitsPerPixel == 32 && (!found32 || m.refreshHz > set.selected32.refreshHz)) {
            set.selected32 = m;
            found32 = true;
        }
    }
    return found;
}

void chooseWindowedResolution(const SDisplayModeSet& set, u32* width, u32* height) {
    const u32 low = static_cast<u32>(0.55 * *height);
    const u32 high = static_cast<u32>(0.9 * *height);
    const SDisplayMode* best = nullptr;
    for (const SDisplayMode& m : set.all) {
        if (m.bitsPerPixel != 32 || m.height < low || m.height > high) continue;
        if (std::fabs(static_cast<f32>(m.width) / static_cast<f32>(m.height) - 16.0f / 9.0f) > 0.03f) continue;
        if (!best || m.height > best->height || (m.height == best->height && m.refreshHz > best->refreshHz)) best = &m;
    }
    if (best) {
        *width = best->width;
        *height = best->height;
    }
}

void buildUniqueModes(SDisplayModeSet& set) {
    set.unique.clear();
    for (const SDisplayMode& m : set.all) {
        if (m.bitsPerPixel != 32) continue;
        const bool listed = std::any_of(set.unique.begin(), set.unique.end(), [&](const SDisplayMode& u) {
            return u.width == m.width && u.height == m.height;
        });
        if (listed) continue;
        const SDisplayMode* at60 = nullptr;
        const SDisplayMode* at59 = nullptr;
        const SDisplayMode* last = nullptr;
        for (const SDisplayMode& other : set.all) {
            if (other.bitsPerPixel != 32 || other.width != m.width || other.height != m.height) continue;
            if (other.refreshHz == 60 && !at60) at60 = &other;
            if (other.refreshHz == 59 && !at59) at59 = &other;
            last = &other;
        }
        set.unique.push_back(at60 ? *at60 : at59 ? *at59 : *last);
    }
}

u32 sortUniqueModes(SDisplayModeSet& set) {
    std::stable_sort(set.unique.begin(), set.unique.end(), [](const SDisplayMode& a, const SDisplayMode& b) {
        if (a.aspectClass != b.aspectClass) return a.aspectClass < b.aspectClass;
        return a.height > b.height;
    });
    u32 start = 0;
    for (u32 i = 0; i < set.unique.size(); ++i) {
        if (set.unique[i].width == set.selected32.width && set.unique[i].height == set.selected32.height) start = i;
    }
    return start;
}

bool resolutionForCode(s32 code, bool emulateWideScreen, u32* width, u32* height) {
    struct SCode {
        s32 code;
        u32 width, height;
    };
    static const SCode codes[] = {
        {69, 320, 480},    {70, 480, 320},    {192, 256, 192},   {272, 480, 272},   {320, 480, 320},
        {480, 640, 480},   {481, 720, 480},   {482, 800, 480},   {483, 854, 480},   {576, 720, 576},
        {600, 800, 600},   {601, 1024, 600},  {640, 960, 640},   {720, 1280, 720},  {768, 1024, 768},
        {800, 1280, 800},  {900, 1600, 900},  {901, 1200, 900},  {9001, 1440, 900}, {960, 640, 960},
        {961, 1280, 960},  {1024, 1280, 1024}, {1025, 768, 1024}, {1050, 1680, 1050}, {1080, 1920, 1080},
        {1136, 640, 1136}, {1152, 2048, 1152}, {1200, 1920, 1200}, {2048, 1536, 2048},
    };
    if (code == 456) {
        *width = emulateWideScreen ? 832 : 608;
        *height = 456;
        return true;
    }
    for (const SCode& c : codes) {
        if (c.code == code) {
            *width = c.width;
            *height = c.height;
            return true;
        }
    }
    return false;
}

SResolutionChoice chooseResolution(SDisplayModeSet& set, const SResolutionSettings& settings) {
    SResolutionChoice choice;
    chooseBestModes(set);
    u32 width = set.best32.width, height = set.best32.height;
    if ((set.screenWidth != width || set.screenHeight != height) &&
        findDisplayMode(set, set.screenWidth, set.screenHeight)) {
        width = set.screenWidth;
        height = set.screenHeight;
    }
    bool savedTaken = false;
    // A zero slot means that no resolution was saved.
    if (settings.savedWidth != 0 && settings.savedHeight != 0 &&
        findDisplayMode(set, settings.savedWidth, settings.savedHeight)) {
        width = settings.savedWidth;
        height = settings.savedHeight;
        savedTaken = true;
    }
    buildUniqueModes(set);
    if (!settings.fullScreen && !savedTaken) chooseWindowedResolution(set, &width, &height);
    if (!findDisplayMode(set, width, height)) {
        set.selected32 = set.best32;
        if (set.selected32.height != 0) computeAspectClass(&set.selected32);
    }
    if (settings.resolutionCode != 0 &&
        resolutionForCode(settings.resolutionCode, settings.emulateWideScreen, &width, &height)) {
        choice.resolutionCodeGiven = true;
        findDisplayMode(set, width, height);
    }
    const u32 start = sortUniqueModes(set);
    choice.width = width;
    choice.height = height;
    if (set.unique.empty()) return choice;
    choice.haveMode = true;
    choice.mode = set.unique[start];
    if (settings.hardForcedWidth > 0) choice.width = choice.mode.width = static_cast<u32>(settings.hardForcedWidth);
    if (settings.hardForcedHeight > 0) choice.height = choice.mode.height = static_cast<u32>(settings.hardForcedHeight);
    return choice;
}

s32 readDisplaySetting(const char* name) {
    if (configHasKey(name)) return configGetInt(name);
    const ClHashSlotTable& table = displayOptionTable();
    if (!table.slots) return 0;
    const uintptr_t slot = table.map.find(crc32TextNoCase(name));
    return slot ? *reinterpret_cast<const s32*>(slot) : 0;
}

bool displayFullScreen() { return readDisplaySetting("FULLSCREEN") > 0; }

bool vsyncWanted() {
    if (configHasKey("NOVSYNC")) return configGetInt("NOVSYNC") == 0;
    return readDisplaySetting("VSYNC") != 0;
}

SResolutionSettings readResolutionSettings() {
    SResolutionSettings s;
    s.fullScreen = displayFullScreen();
    s.savedWidth = static_cast<u32>(std::max(0, readDisplaySetting("RES_X")));
    s.savedHeight = static_cast<u32>(std::max(0, readDisplaySetting("RES_Y")));
    s.resolutionCode = configGetInt("RESOLUTION");
    s.emulateWideScreen = configGetInt("EMULATE_WIDE_SCREEN") != 0;
    s.hardForcedWidth = configGetInt("HARD_FORCED_WIDTH");
    s.hardForcedHeight = configGetInt("HARD_FORCED_HEIGHT");
    return s;
}

void copySavedDisplayOptions() {
    ClHashSlotTable& table = displayOptionTable();
    *getOrAdd(table, "FULLSCREEN") = static_cast<s32>(savedOptions().fullScreen);
    *getOrAdd(table, "VSYNC") = static_cast<s32>(savedOptions().verticalSync);
    *getOrAdd(table, "RES_X") = static_cast<s32>(savedOptions().resolutionWidth);
    *getOrAdd(table, "RES_Y") = static_cast<s32>(savedOptions().resolutionHeight);
}
