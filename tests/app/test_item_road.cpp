// A player's item road through the whole program: a seeded play of the demo song wins its item,
// the collectible screen identifies it, the ship screen fits it to the hull, and in the next play
// the ship fires the item's shots, which the first play, with the ship's own gun, never did; in
// that play the player steers the ship onto the level-up pickup, which raises the hull's item a
// level for the rest of the ship's life.
//
// The game runs whole (start-up, its frame loop, shutdown) in a child process of the test's own,
// over the offscreen video driver, driven only by SDL mouse events pushed into the window's queue
// at the places of the widgets a player would click. The child writes what it saw as lines to a
// report file; the save it leaves behind is read afterwards. Each play ends after 12 s.
#include "app/frame.h"
#include "app/startup.h"
#include "core/crit_section_pool.h"
#include "core/memory_allocator.h"
#include "core/name_hash.h"
#include "input/input_channels.h"
#include "input/input_devices.h"
#include "library/song_items.h"
#include "library/song_library.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/message_pump.h"
#include "render/render_imports.h"
#include "tests/app/road_data.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"
#include "ui/switcher.h"
#include "ui/widget.h"
#include "waves/generators/item_generators.h"
#include "waves/generators/pickup_generators.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/play/player_state.h"
#include "world/play/score_popups.h"
#include "input/input_records.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using test_support::readFileText;

constexpr auto ROAD_TIME_LIMIT = std::chrono::minutes(10);
// Frames a screen is left to settle before a click, and frames between a click and a retry.
constexpr int SETTLE_FRAMES = 20;
constexpr int RETRY_FRAMES = 90;
// A shot counts once it is this far from the ship.
constexpr f32 SHOT_CLEAR_DISTANCE = 30.0f;

// The built data with the road's settings: a seed, the window at 480 x 270, no splash, plays that end after 12 s and a ship that cannot die.
fs::path packItemRoadData(const fs::path& root) {
    return packRoadData(root,
                        {{"RANDOM_SEED 0\n", "RANDOM_SEED 7\n"},
                         {"END_GAME_EARLY_TIME 0\n", "END_GAME_EARLY_TIME 12\n"},
                         {"DEBUG_SKIP_SPLASH 0\n", "DEBUG_SKIP_SPLASH 1\n"},
                         {"HARD_FORCED_WIDTH 0\n", "HARD_FORCED_WIDTH 480\n"},
                         {"HARD_FORCED_HEIGHT 0\n", "HARD_FORCED_HEIGHT 270\n"}},
                        "FIXED_DT 0.016666\nPLAYER_INVINCIBLE 1\n");
}

// The player in the child: one step a frame, before the frame runs.
class ClItemRoadPlayer {
public:
    explicit ClItemRoadPlayer(const std::string& reportPath) : m_report(reportPath) {}

    // False once the road is over (the loop then ends the run).
    bool step() {
        ++m_frame;
        releaseIfDue();
        const char* shownName = shownChildName("TopLevelSwitcher");
        const std::string shown = shownName ? shownName : "";
        if (shown != m_shown) {
            m_shown = shown;
            m_shownAt = m_frame;
            m_clickedAt = -RETRY_FRAMES;
            m_report << "screen " << shown << " frame " << m_frame << std::endl;
        }
        if (shown == "InGame") {
            playFrame();
            return true;
        }
        if (m_buttonDown && !m_holdingFire) return true;
        if (m_holdingFire) release();
        if (m_frame - m_shownAt < SETTLE_FRAMES || !isWidgetSettledByName("TopLevelSwitcher")) return true;
        if (m_frame - m_clickedAt < RETRY_FRAMES) return true;
        return onScreen(shown);
    }

private:
    bool onScreen(const std::string& shown) {
        if (shown == "TitleMenu") {
            click(m_plays == 1 && !m_fitted ? "TitleShip" : "TitlePlay");
        } else if (shown == "SongList") {
            if (m_plays == 1 && !m_fitted) {
                click("SongListBack");
            } else if (const SSongRecord* song = getSongRecord(0); song && song->state == E_SONGSTATE_READY) {
                const ClWidget* rows = findWidgetByName("SongListRows");
                const SCanvasRect& r = rows->screenRect();
                clickAt((r.left + r.right) / 2, r.top + (r.bottom - r.top) / 16);
            }
        } else if (shown == "Difficulty") {
            click("DifficultyLevel0");
        } else if (shown == "SongCollectibleIdentified") {
            if (const ClWidget* name = findWidgetByName("CollectibleName"); name && m_wonName.empty()) {
                const char* text = name->getText("dynamicText");
                m_wonName = text ? text : "";
                m_report << "identified " << m_wonName << std::endl;
            }
            click("CollectibleContinue");
        } else if (shown == "Results") {
            if (m_plays >= 2) return finish();
            click("ResultsContinue");
        } else if (shown == "ShipEdit") {
            fitWonItem();
        } else {
            m_report << "stuck on " << shown << std::endl;
            return finish();
        }
        return true;
    }

    // Clicks the hull's slot until it holds the item the play won, then leaves.
    void fitWonItem() {
        const SCollectibleRecord* won = songCollectibleAt(0);
        if (!won || std::strcmp(equippedItemKey(0), won->key) == 0 || m_slotClicks >= 10) {
            if (!m_fitted) {
                m_fitted = true;
                const ClWidget* slot = findWidgetByName("ShipEditSlot0");
                const char16_t* text = slot ? slot->getWideText("dynamicUnicodeText") : nullptr;
                std::string narrow;
                for (const char16_t* c = text; c && *c; ++c) narrow += char(*c);
                m_report << "hull " << narrow << std::endl;
                m_report << "fitted " << equippedItemKey(0) << std::endl;
            }
            click("ShipEditBack");
            return;
        }
        ++m_slotClicks;
        click("ShipEditSlot0");
        m_clickedAt = m_frame - RETRY_FRAMES + SETTLE_FRAMES;
    }

    // Fire held for a second, then let go for a sixth of one (the charging gun fires on release).
    void playFrame() {
        if (m_playStartedAt < m_shownAt) {
            m_playStartedAt = m_shownAt;
            ++m_plays;
            m_look = -1;
            if (const SCollectibleRecord* won = songCollectibleAt(0)) {
                EShipItemKind kind;
                if (shipItemKindForKey(won->key, &kind)) m_look = shipItemStats(kind, won->currentLevel).look;
            }
            m_report << "play " << m_plays << " look " << m_look << std::endl;
            moveTo(m_width / 2, m_height * 3 / 4);
        }
        if (m_plays == 2) seekLevelUp();
        const int inCycle = (m_frame - m_playStartedAt) % 70;
        if (inCycle == 0) press();
        if (inCycle == 60) release();
        countShots();
    }

    // The pointer goes over the level-up pickup while one lies in the arena (the ship follows the
    // pointer), and back once the hull is levelled up; then the hull's weapon level and the
    // player's message are told.
    void seekLevelUp() {
        const SPlayerState& player = g_aPlayerState[0];
        if (m_levelledTold || player.anchorCount == 0) return;
        if (player.anchors[0].levelledUp) {
            m_levelledTold = true;
            const ClEntityNode* anchor = player.anchors[0].node;
            const SParamValue* level = anchor->children.count ? anchor->children[0]->params.find("BullLev") : nullptr;
            m_report << "levelled " << (level ? level->integer : -1) << std::endl;
            u32 messages = 0;
            for (u32 i = 0; i < scorePopupCount(); ++i)
                messages += scorePopupAt(i)->textId == crc32TextNoCase("pickup_level_up") ? 1u : 0u;
            m_report << "message " << messages << std::endl;
            moveTo(m_width / 2, m_height * 3 / 4);
            return;
        }
        const u32 levelUp = crc32TextNoCase(LEVEL_UP_PICKUP_GENERATOR);
        for (u32 i = 0; i < entityListCount(E_LIST_LIVE); ++i) {
            const ClEntity* entity = entityListAt(E_LIST_LIVE, i);
            if (!entity->program || entity->program->kind != E_PROGRAM_PICKUP || !entity->program->generator) continue;
            if (entity->program->generator->getNameHash() != levelUp || !viewCamera()) continue;
            const ClVec4 at = entity->getWorldPosition();
            const ClVec2 screen = viewCamera()->projectToScreen(ClVec3(at.x, 0.0f, at.z));
            moveTo(s32(screen.x * f32(m_width)), s32(screen.y * f32(m_height)));
            return;
        }
    }

    void countShots() {
        const ClEntity* ship = playerShip(0);
        if (!ship) return;
        if (m_upgradeTold < m_plays && g_aPlayerState[0].anchorCount > 0) {
            m_upgradeTold = m_plays;
            m_report << "upgrade " << m_plays << " " << g_aPlayerState[0].anchors[0].upgradeValue << std::endl;
        }
        const ClVec4 at = ship->getWorldPosition();
        for (u32 i = 0; i < entityListCount(E_LIST_LIVE); ++i) {
            const ClEntity* entity = entityListAt(E_LIST_LIVE, i);
            if (!entity || entity->ownerTag != OWNER_LIVE_GAME || !entity->program || !entity->root) continue;
            if (entity->program->kind != E_PROGRAM_PLAYER_SHOT) continue;
            const SParamValue* look = entity->root->params.get("BullType");
            if (!look) continue;
            const ClVec4 shot = entity->getWorldPosition();
            const f32 dx = shot.x - at.x, dz = shot.z - at.z;
            if (dx * dx + dz * dz < SHOT_CLEAR_DISTANCE * SHOT_CLEAR_DISTANCE) continue;
            if (look->integer == m_look) ++m_itemShots[m_plays];
            else if (look->integer == BLASTER_LOOK) ++m_blasterShots[m_plays];
        }
    }

    bool finish() {
        for (int play = 1; play <= 2; ++play)
            m_report << "shots " << play << " item " << m_itemShots[play] << " blaster " << m_blasterShots[play] << "\n";
        m_report << "done road" << std::endl;
        return false;
    }

    void click(const char* widget) {
        if (!*widget) return;
        const ClWidget* w = findWidgetByName(widget);
        if (!w) {
            m_report << "no widget " << widget << std::endl;
            return;
        }
        const SCanvasRect& r = w->screenRect();
        clickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        m_report << "click " << widget << " at " << m_x << "," << m_y << " pointer " << g_aRawPadRecords[0][E_RAW_POINTER_X]
                 << "," << g_aRawPadRecords[0][E_RAW_POINTER_Y] << " settled " << isWidgetSettledByName("TopLevelSwitcher") << std::endl;
    }
    void clickAt(f32 x, f32 y) {
        moveTo(s32(x), s32(y));
        press();
        m_releaseAt = m_frame + 4;
        m_clickedAt = m_frame;
    }
    void releaseIfDue() {
        if (m_buttonDown && !m_holdingFire && m_frame >= m_releaseAt) button(false);
    }
    void press() {
        m_holdingFire = m_shown == "InGame";
        button(true);
    }
    void release() {
        m_holdingFire = false;
        button(false);
    }

    void moveTo(s32 x, s32 y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = windowId();
        // The pointer moves by the motion's steps times the sensitivity, from where it is.
        const f32 sensitivity = g_fInputSensitivity > 0.0f ? g_fInputSensitivity : 1.0f;
        const f32 atX = g_aRawPadRecords[0][E_RAW_POINTER_X] * f32(m_width);
        const f32 atY = g_aRawPadRecords[0][E_RAW_POINTER_Y] * f32(m_height);
        e.motion.x = x;
        e.motion.y = y;
        e.motion.xrel = s32(std::lround((f32(x) - atX) / sensitivity));
        e.motion.yrel = s32(std::lround((f32(y) - atY) / sensitivity));
        SDL_PushEvent(&e);
        m_x = x;
        m_y = y;
    }
    void button(bool down) {
        if (down == m_buttonDown) return;
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = windowId();
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        e.button.x = m_x;
        e.button.y = m_y;
        SDL_PushEvent(&e);
        m_buttonDown = down;
    }
    Uint32 windowId() {
        SDL_Window* window = SDL_GetMouseFocus();
        if (!window) window = SDL_GetKeyboardFocus();
        if (window) SDL_GetWindowSize(window, &m_width, &m_height);
        return window ? SDL_GetWindowID(window) : 0;
    }

    std::ofstream m_report;
    std::string m_shown, m_wonName;
    int m_frame = 0, m_shownAt = 0, m_clickedAt = 0, m_releaseAt = 0, m_playStartedAt = -1;
    int m_plays = 0, m_slotClicks = 0, m_look = -1, m_upgradeTold = 0;
    bool m_levelledTold = false;
    int m_width = 480, m_height = 270;
    s32 m_x = 0, m_y = 0;
    bool m_buttonDown = false, m_holdingFire = false, m_fitted = false;
    std::map<int, int> m_itemShots{{1, 0}, {2, 0}}, m_blasterShots{{1, 0}, {2, 0}};
};

ClItemRoadPlayer* g_player = nullptr;

s32 playerFrame() { return g_player->step() ? runFrame() : 0; }

// The child: the program's own run with the player stepping before each frame.
[[noreturn]] void runGame(const fs::path& data, const fs::path& home, const std::string& report) {
    if (!freopen((home / "stderr.txt").c_str(), "w", stderr)) _exit(69);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    if (chdir(data.c_str()) != 0) _exit(70);
    ClItemRoadPlayer player(report);
    g_player = &player;
    critSectionPoolInit();
    setAllocatorReady();
    gameStartup("", "./", 38);
    SRenderImports imports = renderImports();
    imports.runFrame = playerFrame;
    setRenderImports(&imports);
    while (pumpMessages()) continue;
    gameShutdown();
    critSectionPoolShutdown();
    _exit(0);
}

std::map<std::string, std::string> reportLines(const std::string& text) {
    std::map<std::string, std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        const std::string key = line.substr(0, space);
        // "shots", "play" and "upgrade" lines are told apart by their number.
        const size_t second = line.find(' ', space + 1);
        if ((key == "shots" || key == "play" || key == "upgrade") && second != std::string::npos)
            lines[line.substr(0, second)] = line.substr(second + 1);
        else
            lines[key] = line.substr(space + 1);
    }
    return lines;
}

TEST(ItemRoad, APlayWinsTheSongsItemTheShipScreenFitsItTheNextPlayFiresItAndALevelUpRaisesIt) {
    test_support::ClTempDir root;
    const fs::path data = packItemRoadData(root.path());
    const fs::path home = root.path() / "home";
    fs::create_directories(home);
    const std::string report = (root.path() / "report.txt").string();

    const pid_t child = fork();
    if (child == 0) runGame(data, home, report);
    int status = 0;
    const auto start = std::chrono::steady_clock::now();
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - start > ROAD_TIME_LIMIT) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::string errors = readFileText(home / "stderr.txt");
    const std::string text = readFileText(report);
    ASSERT_TRUE(WIFEXITED(status)) << "the game did not end by itself\n" << text << errors;
    EXPECT_EQ(WEXITSTATUS(status), 0) << errors;
    ASSERT_NE(text.find("done road"), std::string::npos) << "the road was not finished\n" << text << errors;

    std::map<std::string, std::string> lines = reportLines(text);
    EXPECT_FALSE(lines["identified"].empty()) << text;
    const std::string key = lines["fitted"];
    EShipItemKind kind;
    ASSERT_TRUE(shipItemKindForKey(key.c_str(), &kind)) << text;
    EXPECT_EQ(lines["hull"], "Hull: " + lines["identified"]) << text;
    EXPECT_EQ(lines["play 1"], "look " + std::to_string(shipItemStats(kind, 0).look)) << text;
    const std::string firstPlay = lines["shots 1"], secondPlay = lines["shots 2"];
    EXPECT_EQ(firstPlay.rfind("item 0 blaster ", 0), 0u) << "the first play fires the ship's own gun only\n" << text;
    EXPECT_NE(firstPlay, "item 0 blaster 0") << "the first play fired\n" << text;
    EXPECT_NE(secondPlay.rfind("item 0 ", 0), 0u) << "the second play fires the item\n" << text;
    EXPECT_EQ(lines.count("stuck"), 0u) << text;
    // The hull's upgrade value: none without an item, then the value of the item's next level.
    EXPECT_EQ(lines["upgrade 1"], "0") << text;
    EXPECT_EQ(lines["upgrade 2"], "2") << text;
    // The level-up pickup collected: the hull's item at level 1 (the value 2), and the message.
    EXPECT_EQ(lines["levelled"], "1") << text;
    EXPECT_EQ(lines["message"], "1") << text;
}

}  // namespace
