#include "tests/scripted_game/scripted_input.h"

#include "core/name_hash.h"
#include "platform/gfx/gfx_device.h"
#include "platform/gfx/image_decode.h"
#include "platform/window/window.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/canvases.h"
#include "render/render_worker.h"
#include "ui/hit_regions.h"
#include "ui/ui_draw.h"
#include "ui/widget.h"
#include "waves/generators/pickup_generators.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/play/player_state.h"
#include "world/play/score_popups.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct SScript {
    std::string path;
    std::streamoff readTo = 0;
    std::string partLine;
    std::deque<std::string> commands;
    s32 mouseX = 0, mouseY = 0;
    SDL_Joystick* pad = nullptr;
    u64 framesUntil = 0;  // a "frames" command waits for this count of drawn frames; 0 none
    u64 done = 0;         // commands run, written to "<script>.done" for the test
};

SScript g_script;

void push(SDL_Event& e) {
    if (SDL_PushEvent(&e) != 1) std::fprintf(stderr, "scripted input: %s\n", SDL_GetError());
}

void moveMouse(s32 x, s32 y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.xrel = x - g_script.mouseX;
    e.motion.yrel = y - g_script.mouseY;
    g_script.mouseX = x;
    g_script.mouseY = y;
    push(e);
}

void mouseButton(const std::string& name, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = name == "right" ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    e.button.x = g_script.mouseX;
    e.button.y = g_script.mouseY;
    push(e);
}

void key(const std::string& name, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = SDL_GetScancodeFromName(name.c_str());
    e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
    push(e);
}

void attachPad() {
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                SDL_CONTROLLER_BUTTON_MAX, 0);
    g_script.pad = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    if (!g_script.pad) std::fprintf(stderr, "scripted input: no virtual pad: %s\n", SDL_GetError());
}

void padButton(const std::string& name, int down) {
    const SDL_GameControllerButton button = SDL_GameControllerGetButtonFromString(name.c_str());
    if (g_script.pad && button != SDL_CONTROLLER_BUTTON_INVALID)
        SDL_JoystickSetVirtualButton(g_script.pad, button, Uint8(down != 0));
}

// The centre of the widget's hit region in window coordinates; false while it has none.
bool regionCentre(const std::string& widget, s32 region, s32* x, s32* y) {
    const SCanvas* full = findCanvas("FULL");
    u32 clientW = 0, clientH = 0;
    windowClientSize(&clientW, &clientH);
    if (!full || full->rect.right <= 0.0f || full->rect.bottom <= 0.0f) return false;
    for (u32 i = 0; i < uiHitRegionCount(); ++i) {
        const SUiHitRegion& hit = uiHitRegion(i);
        if (!hit.widget->name() || widget != hit.widget->name() || hit.region != region) continue;
        *x = s32((hit.rect.left + hit.rect.right) * 0.5f * f32(clientW) / full->rect.right);
        *y = s32((hit.rect.top + hit.rect.bottom) * 0.5f * f32(clientH) / full->rect.bottom);
        return true;
    }
    return false;
}

void shot(const std::string& path) {
    const u32 w = gfxBackBufferWidth(), h = gfxBackBufferHeight();
    std::vector<u8> rgba(size_t(w) * h * 4);
    if (!gfxReadPixels(nullptr, rgba.data(), u32(rgba.size())) || !writePngFile(path.c_str(), w, h, rgba.data()))
        std::fprintf(stderr, "scripted input: no picture to %s\n", path.c_str());
}

// The text the widget shows, narrowed, as a line.
void widgetText(const std::string& widget, const std::string& path) {
    std::string text;
    if (const ClWidget* w = findWidgetByName(widget.c_str()))
        if (const char16_t* shown = widgetDisplayText(*w))
            for (; *shown; ++shown) text += char(*shown);
    std::ofstream(path, std::ios::app) << text << "\n";
}

// The look of each of the player's live shots clear of the ship, a line each.
void shotLooks(const std::string& path) {
    const ClEntity* ship = playerShip(0);
    if (!ship) return;
    std::ofstream out(path, std::ios::app);
    const ClVec4 at = ship->getWorldPosition();
    for (u32 i = 0; i < entityListCount(E_LIST_LIVE); ++i) {
        const ClEntity* entity = entityListAt(E_LIST_LIVE, i);
        if (entity->ownerTag != OWNER_LIVE_GAME || !entity->program || !entity->root) continue;
        if (entity->program->kind != E_PROGRAM_PLAYER_SHOT) continue;
        const SParamValue* look = entity->root->params.get("BullType");
        const ClVec4 shot = entity->getWorldPosition();
        const f32 dx = shot.x - at.x, dz = shot.z - at.z;
        if (look && dx * dx + dz * dz >= 30.0f * 30.0f) out << look->integer << "\n";
    }
}

// The hull's anchor: its upgrade value, whether it is levelled up, its item's level and the
// level-up messages shown, as a line; nothing while there is no ship with its anchors.
void hullState(const std::string& path) {
    // The anchors are the ship's: once play has ended they are gone with it.
    const SPlayerState& player = g_aPlayerState[0];
    if (!playerShip(0) || player.anchorCount == 0) return;
    const ClEntityNode* anchor = player.anchors[0].node;
    const SParamValue* level = anchor->children.count ? anchor->children[0]->params.find("BullLev") : nullptr;
    u32 messages = 0;
    for (u32 i = 0; i < scorePopupCount(); ++i)
        messages += scorePopupAt(i)->textId == crc32TextNoCase("pickup_level_up") ? 1u : 0u;
    std::ofstream(path, std::ios::app) << player.anchors[0].upgradeValue << " " << player.anchors[0].levelledUp << " "
                                       << (level ? level->integer : -1) << " " << messages << "\n";
}

// The mouse to the level-up pickup, while one lies in the arena.
void pointAtPickup() {
    const u32 levelUp = crc32TextNoCase(LEVEL_UP_PICKUP_GENERATOR);
    u32 clientW = 0, clientH = 0;
    windowClientSize(&clientW, &clientH);
    for (u32 i = 0; i < entityListCount(E_LIST_LIVE) && viewCamera(); ++i) {
        const ClEntity* entity = entityListAt(E_LIST_LIVE, i);
        if (!entity->program || entity->program->kind != E_PROGRAM_PICKUP || !entity->program->generator) continue;
        if (entity->program->generator->getNameHash() != levelUp) continue;
        const ClVec4 at = entity->getWorldPosition();
        const ClVec2 screen = viewCamera()->projectToScreen(ClVec3(at.x, 0.0f, at.z));
        moveMouse(s32(screen.x * f32(clientW)), s32(screen.y * f32(clientH)));
        return;
    }
}

// Runs one command; false when it must wait for a later frame.
bool run(const std::string& line) {
    std::istringstream words(line);
    std::string verb, a, b;
    words >> verb >> a >> b;
    if (verb == "point") {
        s32 x = 0, y = 0;
        if (!regionCentre(a, b.empty() ? 0 : std::atoi(b.c_str()), &x, &y)) return false;
        moveMouse(x, y);
    } else if (verb == "move") {
        moveMouse(std::atoi(a.c_str()), std::atoi(b.c_str()));
    } else if (verb == "press" || verb == "release") {
        mouseButton(a, verb == "press");
    } else if (verb == "key-down" || verb == "key-up") {
        key(a, verb == "key-down");
    } else if (verb == "pad-attach") {
        attachPad();
    } else if (verb == "pad-button") {
        padButton(a, std::atoi(b.c_str()));
    } else if (verb == "frames") {
        if (g_script.framesUntil == 0) g_script.framesUntil = renderWorkerFramesDrawn() + u64(std::atoll(a.c_str()));
        if (renderWorkerFramesDrawn() < g_script.framesUntil) return false;
        g_script.framesUntil = 0;
    } else if (verb == "shot") {
        shot(a);
    } else if (verb == "text") {
        widgetText(a, b);
    } else if (verb == "shots") {
        shotLooks(a);
    } else if (verb == "hull") {
        hullState(a);
    } else if (verb == "point-pickup") {
        pointAtPickup();
    } else if (verb == "entities") {
        std::ofstream(a, std::ios::app) << usedEntityCount() << "\n";
    } else if (!verb.empty()) {
        std::fprintf(stderr, "scripted input: unknown command \"%s\"\n", line.c_str());
    }
    return true;
}

void readNewLines() {
    std::ifstream file(g_script.path, std::ios::binary);
    if (!file) return;
    file.seekg(g_script.readTo);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    g_script.readTo += std::streamoff(text.size());
    g_script.partLine += text;
    size_t at;
    while ((at = g_script.partLine.find('\n')) != std::string::npos) {
        g_script.commands.push_back(g_script.partLine.substr(0, at));
        g_script.partLine.erase(0, at + 1);
    }
}

void scriptedEvents() {
    readNewLines();
    const u64 before = g_script.done;
    while (!g_script.commands.empty() && run(g_script.commands.front())) {
        g_script.commands.pop_front();
        ++g_script.done;
    }
    if (g_script.done != before) std::ofstream(g_script.path + ".done", std::ios::trunc) << g_script.done << "\n";
}

}  // namespace

void installScriptedInput() {
    const char* path = std::getenv("VELODRIX_SCRIPTED_INPUT");
    if (!path || !*path) return;
    g_script.path = path;
    windowSetEventSource(scriptedEvents);
}
