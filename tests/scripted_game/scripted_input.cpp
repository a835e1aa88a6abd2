#include "tests/scripted_game/scripted_input.h"

#include "platform/gfx/gfx_device.h"
#include "platform/gfx/image_decode.h"
#include "platform/window/window.h"
#include "render/canvases.h"
#include "render/render_worker.h"
#include "ui/hit_regions.h"
#include "ui/widget.h"
#include "world/entity/world.h"

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
