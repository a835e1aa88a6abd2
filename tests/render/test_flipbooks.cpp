#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/game_clock.h"
#include "render/canvases.h"
#include "render/flipbook.h"
#include "render/flipbook_player.h"
#include "render/flipbook_table.h"
#include "tests/support/file_bytes.h"
#include "tests/support/package_test.h"

namespace {

// Frame files on disk under the data directory; without a device the textures stay empty, which
// the frame count does not mind.
class Flipbooks : public test_support::PackageTest {
protected:
    void SetUp() override {
        PackageTest::SetUp();
        initFlipbookTable();
    }
    void TearDown() override {
        releaseAllFlipbooks();
        PackageTest::TearDown();
    }
    void frames(const char* name, std::initializer_list<const char*> numbers, const char* suffix) {
        for (const char* number : numbers)
            test_support::writeFileText(m_root.path() / "Animations" / (std::string(name) + "-" + number + suffix), "x");
    }
    static u32 frameCount(const char* name) { return loadFlipbook(name, 15.0f)->textures.count; }
};

TEST_F(Flipbooks, SequencesEndAtTheirFirstGapAndTakeTheFullCanvasHeightFirst) {
    frames("a", {"000", "001", "002", "003", "004"}, "_720.png");
    frames("b", {"0001", "0002", "0003", "0004"}, "_480.bmp");
    frames("c", {"000", "001", "002", "004"}, "_1080.png");
    frames("d", {"000", "001"}, ".png");  // unsuffixed names are never found
    EXPECT_EQ(5u, frameCount("Animations/a"));
    EXPECT_EQ(4u, frameCount("Animations/b"));
    EXPECT_EQ(3u, frameCount("Animations/c"));
    EXPECT_EQ(0u, frameCount("Animations/d"));
    EXPECT_EQ(4u, findFlipbook("animations/B")->sizes.count);
    EXPECT_EQ(nullptr, findFlipbook("Animations/none"));

    // Frames take the full canvas's height first.
    frames("e", {"000", "001"}, "_900.png");
    frames("e", {"000", "001", "002"}, "_720.png");
    const u32 startUp = frameCount("Animations/e");  // no canvases yet: the start-up variants only
    createCanvases(1600.0f, 900.0f);
    defineStartupCanvases(1600.0f, 900.0f);
    EXPECT_EQ(3u, startUp);
    EXPECT_EQ(2u, frameCount("Animations/e"));
    releaseCanvases();
}

SFlipbook* sequence(u32 frameCount, f32 rate) {
    auto* flipbook = new SFlipbook();
    flipbook->frameRate = rate;
    for (u32 i = 0; i < frameCount; ++i) flipbook->textures.push(nullptr);
    return flipbook;
}

TEST(FlipbookPlayer, FrameChoiceInEachMode) {
    std::unique_ptr<SFlipbook> five(sequence(5, 15.0f)), four(sequence(4, 10.0f)), thirty(sequence(5, 30.0f)),
        one(sequence(1, 30.0f));
    const struct {
        const char* name;
        SFlipbook* book;
        u32 mode, stopAtEnd;
        std::initializer_list<f32> steps;
        s32 frame;
        u32 playing, forward;
    } cases[] = {
        {"looping", five.get(), E_FLIPBOOK_LOOP, 0, {0.21f}, 3, 1, 1},
        {"looping six frames on rounds to frame 1", five.get(), E_FLIPBOOK_LOOP, 0, {0.21f, 0.21f}, 1, 1, 1},
        {"once, past the end", four.get(), E_FLIPBOOK_ONCE, 0, {1.0f}, 3, 0, 1},
        {"ping-pong goes 1 2 3 2", four.get(), E_FLIPBOOK_PING_PONG, 0, {0.45f}, 2, 1, 0},
        {"a loop stopped at its end", thirty.get(), E_FLIPBOOK_LOOP, 1, {0.5f}, 4, 0, 1},
        {"a loop of one frame", one.get(), E_FLIPBOOK_LOOP, 0, {1.0f}, 0, 1, 1},
    };
    // One player throughout: each start begins afresh.
    ClFlipbookPlayer player;
    for (const auto& c : cases) {
        player.start(c.book, c.mode, true);
        player.stopAtEnd = c.stopAtEnd;
        for (f32 step : c.steps) player.advance(step);
        EXPECT_EQ(player.frame, c.frame) << c.name;
        EXPECT_EQ(player.playing, c.playing) << c.name;
        EXPECT_EQ(player.forward, c.forward) << c.name;
    }
}

TEST_F(Flipbooks, QueuedPlaysWaitForTheirDelayAndForTheEnd) {
    frames("f", {"000", "001", "002", "003"}, "_720.png");
    SFlipbook* four = loadFlipbook("Animations/f", 8.0f);
    ClFlipbookPlayer player;
    player.play("Animations/f", E_FLIPBOOK_LOOP, 0.0f, true);
    EXPECT_EQ(four, player.sequence);
    EXPECT_EQ(1u, player.playing);
    player.queue(four, E_FLIPBOOK_HOLD, true, 0.125f, false);
    player.colour.fadeFromCurrent(0xFFFFFFFFu, 1.0f, E_COLOURANIM_EASE_LINEAR, 0.0f);
    setClockDelta(GAME_CLOCK_SYSTEM, 0.1875f);  // a frame and a half
    player.update(GAME_CLOCK_SYSTEM);  // the delay is over while the loop plays: it finishes its pass
    EXPECT_EQ(1u, player.stopAtEnd);
    EXPECT_EQ(1u, player.pending.getCount());
    EXPECT_NE(player.colour.current, 0);
    player.update(GAME_CLOCK_SYSTEM);
    EXPECT_EQ(E_FLIPBOOK_LOOP, player.mode);
    player.update(GAME_CLOCK_SYSTEM);  // the pass ends at frame 3; the held play starts there, backwards
    EXPECT_EQ(E_FLIPBOOK_HOLD, player.mode);
    EXPECT_EQ(3, player.frame);
    EXPECT_EQ(0u, player.forward);
    EXPECT_EQ(0u, player.pending.getCount());

    player.play("Animations/f", E_FLIPBOOK_ONCE, 0.5f, true);
    player.update(GAME_CLOCK_SYSTEM);
    const u32 waiting = player.mode;
    setClockDelta(GAME_CLOCK_SYSTEM, 0.3125f);  // the delay is used up exactly
    player.update(GAME_CLOCK_SYSTEM);
    EXPECT_EQ(u32(E_FLIPBOOK_HOLD), waiting);
    EXPECT_EQ(u32(E_FLIPBOOK_ONCE), u32(player.mode));
    EXPECT_EQ(0, player.frame);
    EXPECT_DEATH(player.play("Animations/none", E_FLIPBOOK_ONCE, 0.0f, true), "no image sequence \"Animations/none\"");
    setClockDelta(GAME_CLOCK_SYSTEM, 0.0f);
}

}  // namespace
