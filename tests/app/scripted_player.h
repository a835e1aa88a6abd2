// The scripted game (tests/scripted_game/scripted_input.h) and a player at it: the lines the test
// appends to its script become the player's mouse, keys and pad in SDL's own event queue, and the
// front end's switch log tells which pages were reached.
#pragma once

#include "core/types.h"
#include "platform/gfx/image_decode.h"
#include "tests/app/game_process.h"
#include "tests/support/offscreen_picture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

constexpr auto ROAD_TIME_LIMIT = std::chrono::minutes(5);
constexpr auto HOLD = std::chrono::milliseconds(150);

// The mouse's quick click: its press and release in one write, so in one read of the events.
inline std::string quickClick(const std::string& widget, const std::string& region = "") {
    return "point " + widget + " " + region + "\npress left\nrelease left\n";
}

// The scripted game and its player: lines appended to the script file, the switch log read.
class ClPlayer {
public:
    ClPlayer(const std::filesystem::path& data, const std::filesystem::path& home)
        : m_home(home), m_script(emptyScript(home)),
          m_game(data.string(), home.string(), "offscreen", "", VELODRIX_SCRIPTED_GAME_BINARY,
                 {{"VELODRIX_SCRIPTED_INPUT", m_script}}) {}

    // Lines written at once arrive in one read of the events.
    void send(const std::string& lines) {
        std::ofstream(m_script, std::ios::app) << lines << std::flush;
        for (char c : lines) m_sent += c == '\n' ? 1 : 0;
    }
    // Whether the game has run every command sent.
    bool idle() const {
        if (m_sent == 0) return true;
        const std::string done = test_support::readFileText(m_script + ".done");
        return !done.empty() && std::stoull(done) == m_sent;
    }
    // The press lines, then 150 ms later the release lines.
    void hold(const std::string& press, const std::string& release) {
        send(press);
        std::this_thread::sleep_for(HOLD);
        send(release);
    }
    // Sends the lines and two frames after them, and waits (at most a minute) until the game has
    // run them all; whether it did.
    bool play(const std::string& lines) {
        send(lines + "frames 2\n");
        const auto start = std::chrono::steady_clock::now();
        while (!idle()) {
            if (m_game.ended || std::chrono::steady_clock::now() - start > std::chrono::minutes(1)) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    // Runs the commands, then writes the frame presented next as PNG at the path and reads it
    // back; an empty picture, and a failure with the reason, when none came.
    SPicture shot(const std::string& commands, const std::string& path) {
        send(commands + "shot " + path + "\n");
        if (!m_game.waitForLog([&](const std::string&) { return std::filesystem::exists(path); },
                               std::chrono::seconds(60))) {
            ADD_FAILURE() << "no picture: " << trail();
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const std::vector<u8> png = test_support::readFileBytes(path);
        SDecodedImage image;
        std::string error;
        EXPECT_TRUE(decodeImage(png.data(), png.size(), &image, &error)) << error;
        return {image.width, image.height, image.rgba};
    }

    // A quick click on the widget, run, then the page it leads to; whether that came.
    bool clickTo(const std::string& widget, const std::string& page) {
        return play(quickClick(widget)) && waitForPage(page);
    }

    // Whether the log has gained a line "page <name>" since the last page waited for.
    bool waitForPage(const std::string& name, std::chrono::seconds limit = std::chrono::seconds(120)) {
        const std::string line = "page " + name;
        const bool found = m_game.waitForLog(
            [&](const std::string& log) {
                const size_t at = log.find(line, m_seen);
                return at != std::string::npos && (log.size() == at + line.size() || log[at + line.size()] == '\n' ||
                                                   log[at + line.size()] == ' ');
            },
            limit);
        if (found) m_seen = m_game.log.find(line, m_seen) + line.size();
        return found;
    }

    // Repeats the action, once the game has run the last one, until the page comes: a song still
    // being analysed takes no click, and a song not yet found has no row to point at.
    template <class FAction>
    bool repeatUntilPage(const std::string& name, FAction action) {
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < ROAD_TIME_LIMIT) {
            if (idle()) action();
            if (waitForPage(name, std::chrono::seconds(3))) return true;
            if (m_game.ended) return false;
        }
        return false;
    }

    // Whether the demo song's beats have been analysed (their cache written) within the limit: its
    // row is then in the song list.
    bool waitForSongAnalysed() {
        const std::filesystem::path caches = m_home / ".local/share/Orlenvane/Velodrix/SAVEDATA";
        return m_game.waitForLog(
            [&](const std::string&) {
                std::error_code error;
                for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(caches, error)) {
                    if (entry.path().extension() == ".sbc") return true;
                }
                return false;
            },
            std::chrono::duration_cast<std::chrono::seconds>(ROAD_TIME_LIMIT));
    }

    // The switch log, the game's standard error so far and how it ended.
    std::string trail() const { return m_game.log + "\n" + m_game.whatHappened(); }
    ClGameProcess& game() { return m_game; }

private:
    static std::string emptyScript(const std::filesystem::path& home) {
        std::filesystem::create_directories(home);
        const std::filesystem::path script = home / "input.txt";
        std::ofstream(script).close();
        return script.string();
    }

    std::filesystem::path m_home;
    std::string m_script;
    u64 m_sent = 0;
    ClGameProcess m_game;
    size_t m_seen = 0;
};

inline void heldClick(ClPlayer& player, const std::string& widget, const std::string& region = "") {
    player.hold("point " + widget + " " + region + "\npress left\n", "release left\n");
}

// A key held 150 ms and at least two frames.
inline void heldKey(ClPlayer& player, const std::string& name) {
    player.hold("key-down " + name + "\n", "frames 2\nkey-up " + name + "\n");
}

// A pad button held 150 ms and at least two frames, and pressed two frames after anything before
// it: a pad is read once a frame, so its button must be down, and up, for a whole frame to count.
inline void heldPadButton(ClPlayer& player, const std::string& name) {
    player.hold("frames 2\npad-button " + name + " 1\n", "frames 2\npad-button " + name + " 0\n");
}
