// The sound engine over the sound layer's manual null output: cues by name from a bank in a
// package, handles and voice limits, looping, fades on the game clock, volume scales, pauses and
// music voices through a stream player. The SDL output is the sound layer's to test; the whole
// engine on SDL's dummy driver is the beat-clock check's.
#include "audio/sound/sound_engine.h"

#include "audio/decode/codec_registry.h"
#include "audio/sound/sound_bank.h"
#include "audio/sound/sound_timeline.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "tests/support/audio_songs.h"
#include "tests/support/file_bytes.h"

#include <chrono>
#include <thread>

using namespace test_support;

namespace {

constexpr u32 RATE = 48000;
constexpr f32 HEARD_TOLERANCE = 0.002f;

class SoundEngine : public SoundPackageTest {
protected:
    void SetUp() override {
        critSectionPoolInit();
        SoundPackageTest::SetUp();
        writeAudio("blip.wav", sineWav(RATE / 10, RATE));  // 0.1 s
        writeAudio("long.wav", sineWav(RATE / 5, RATE));   // 0.2 s
        writeAudio("timed.wav", sineWav(RATE, RATE));
        writeAudio("timed.iAudioTD", timelineBuild({{5, {0.0f, 0.5f}}}));
        // Its one definition runs a byte past the end of the file.
        std::vector<u8> damaged = soundBankBuild(1, 0.0f, {bankCue("Bad", {"blip.wav"})});
        damaged.pop_back();
        writeAudio("DAMAGED.iAudioSB", damaged);

        std::vector<SSoundBankInput> cues = {bankCue("Blip", {"blip.wav"}), bankCue("Other", {"blip.wav"}),
                                             bankCue("Three", {"blip.wav", "blip.wav", "long.wav"}, {0, 0, 1}),
                                             bankCue("Weighted", {"blip.wav", "long.wav"}, {0.25f, 0.75f}),
                                             bankCue("Missing", {"nothere.wav"}), bankCue("Loop", {"blip.wav"}),
                                             bankCue("Streamed", {"long.wav"}), bankCue("Timed", {"timed.wav"})};
        cues[5].definition.loop = cues[6].definition.stream = cues[7].definition.timelineFlags[0] = 1;
        cues[2].definition.lengths[2] = cues[3].definition.lengths[1] = 0.2f;
        cues[3].definition.lengths[0] = 0.1f;
        packBank(cues);
        configClear();
        setClockDelta(GAME_CLOCK_SYSTEM, 0.0f);
        setClockDelta(GAME_CLOCK_GAMEPLAY, 0.0f);
        m_locksBefore = critSectionPoolUseCount();
        startEngine();
    }
    void TearDown() override {
        shutdownAudioEngine();
        setVolumeScaleBase(E_SOUNDSCALE_EFFECTS, 1.0f);  // the scales outlive the engine
        EXPECT_EQ(critSectionPoolUseCount(), m_locksBefore);
        configFree();
        SoundPackageTest::TearDown();
    }

    // One frame: the clocks step, the engine updates, the mixer mixes the frame's output.
    void frame(f32 seconds, f32 gameSeconds = -1.0f) {
        setClockDelta(GAME_CLOCK_SYSTEM, seconds);
        setClockDelta(GAME_CLOCK_GAMEPLAY, gameSeconds < 0.0f ? seconds : gameSeconds);
        updateAudioEngine(seconds);
        mix(u32(seconds * RATE));
    }
    static void mix(u32 frames) { getSoundEngineSystem()->advanceNullOutput(frames, nullptr); }
    // Updates until the cue's voice has its channel, for at most twenty seconds (a busy machine).
    static void updateUntilStarted(SCueHandle cue) {
        for (int i = 0; i < 4000 && !getCueChannel(cue); ++i) {
            updateAudioEngine(0.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // The level the output is heard at: the peak of its next 10 ms on the left over that of the
    // test sine at full volume from the centre (0.7071 of it per side); HEARD_TOLERANCE covers the
    // sine's samples missing its crest.
    static f32 heardLevel() { return heardPeaks(RATE / 100).left / SINE_CENTRE_PEAK; }
    // How many more cues can be held: "Blip" then "Other" taken until refused (64 voices each),
    // then stopped at once, which gives their handles back.
    static u32 handlesLeft() {
        std::vector<SCueHandle> taken;
        for (const char* name : {"Blip", "Other"})
            for (SCueHandle cue = playCueHeld(name); cue; cue = playCueHeld(name)) taken.push_back(cue);
        for (SCueHandle cue : taken) stopCue(cue, -1.0f);
        return u32(taken.size());
    }

    u32 m_locksBefore = 0;
};

}  // namespace

TEST_F(SoundEngine, MissingCuePlaysNothingAOneShotIsFreedWhenItEndsAndHandlesAndVoicesRunOut) {
    EXPECT_FALSE(playCueHeld("NoSuchCue"));
    playCue("NoSuchCue");
    EXPECT_EQ(getCueDuration({}), 0.0f);

    playCue("Blip");
    EXPECT_EQ(heardLevel(), 0.0f) << "a cue starts at the next update";
    frame(0.02f);
    EXPECT_NEAR(heardLevel(), 0.5f, HEARD_TOLERANCE);
    for (int i = 0; i < 10; ++i) frame(0.02f);
    EXPECT_EQ(heardLevel(), 0.0f);

    // 64 voices per definition: the next one gives its handle back, and the one-shot's voice and
    // handle are free again: the other 64 of the 128 handles are still there.
    u32 blips = 0;
    for (int i = 0; i < 64; ++i) blips += bool(playCueHeld("Blip"));
    EXPECT_EQ(blips, 64u);
    EXPECT_FALSE(bool(playCueHeld("Blip")));
    u32 others = 0;
    for (int i = 0; i < 64; ++i) others += bool(playCueHeld("Other"));
    EXPECT_EQ(others, 64u);
    EXPECT_FALSE(playCueHeld("Loop"));
}

TEST_F(SoundEngine, CuesAreFoundByNameAndChooseTheirSampleByWeight) {
    // Weights 0, 0, 1: always the third sample, whose group is named after it.
    const SCueHandle three = playCueHeld("three");  // names ignore case
    frame(0.01f);
    EXPECT_EQ(getCueDuration(three), 0.2f);
    EXPECT_NEAR(heardLevel(), 0.5f, HEARD_TOLERANCE) << "its volume once, not on its group as well";

    for (u32 seed : {1u, 2u, 3u, 4u}) {
        sfmtInitGenRand(seed);
        const f32 draw = f32(f64(sfmtGenRand32()) * (1.0 / 4294967296.0));
        sfmtInitGenRand(seed);
        const SCueHandle weighted = playCueHeld("Weighted");
        EXPECT_EQ(getCueDuration(weighted), draw <= 0.25f ? 0.1f : 0.2f) << seed;
        stopCue(weighted, 0.0f);
    }
}

TEST_F(SoundEngine, StaleHandlesTouchNothing) {
    const SCueHandle first = playCueHeld("Blip");
    frame(0.01f);
    stopCue(first, -1.0f);  // negative: at once
    EXPECT_TRUE(isCueFinished(first));

    const SCueHandle second = playCueHeld("Loop");
    ASSERT_EQ(second.record, first.record);  // the same record, handed out again
    frame(0.01f);
    releaseCueWhenFinished(first);
    setCueVolume(first, 0.0f);
    stopCue(first, 0.0f);
    EXPECT_EQ(getCuePosition(first), 0.0f);
    for (int i = 0; i < 20; ++i) frame(0.02f);
    EXPECT_FALSE(isCueFinished(second));
    EXPECT_NEAR(heardLevel(), 0.5f, HEARD_TOLERANCE) << "still held by its holder";
}

TEST_F(SoundEngine, HeldCuesStayUntilReleasedAndLoopingCuesKeepPlaying) {
    const SCueHandle blip = playCueHeld("Blip");
    const SCueHandle loop = playCueHeld("Loop");
    const SCueHandle missing = playCueHeld("Missing");  // its sample is not in the packages
    for (int i = 0; i < 25; ++i) frame(0.02f);  // five lengths of the loop
    EXPECT_TRUE(isCueFinished(blip));
    EXPECT_TRUE(isCueFinished(missing));
    EXPECT_FALSE(isCueFinished(loop));
    EXPECT_NEAR(heardLevel(), 0.5f, HEARD_TOLERANCE);
    EXPECT_EQ(handlesLeft(), CUE_HANDLE_POOL_SIZE - 3) << "the finished ones are held";
    releaseCueWhenFinished(blip);
    releaseCueWhenFinished(missing);
    frame(0.02f);
    EXPECT_EQ(handlesLeft(), CUE_HANDLE_POOL_SIZE - 1) << "released, they are given back";
}

TEST_F(SoundEngine, FadesRunOnTheGameClockAndVolumesAreClampedAndScaled) {
    const SCueHandle loop = playCueHeld("Loop");
    frame(0.01f);
    EXPECT_NEAR(heardLevel(), 0.5f, HEARD_TOLERANCE);
    stopCue(loop, 1.0f);
    frame(0.25f, 0.25f);
    EXPECT_NEAR(heardLevel(), 0.375f, HEARD_TOLERANCE);
    frame(0.25f, 0.0f);
    EXPECT_NEAR(heardLevel(), 0.375f, HEARD_TOLERANCE) << "a paused game (no game time) holds the fade";
    frame(0.5f, 0.5f);
    EXPECT_NEAR(heardLevel(), 0.125f, HEARD_TOLERANCE);
    frame(0.25f, 0.25f);
    EXPECT_TRUE(isCueFinished(loop));
    EXPECT_EQ(handlesLeft(), CUE_HANDLE_POOL_SIZE) << "a held cue is given back when its fade ends";

    // Volumes are clamped (the mixer clamps pans) and the options factor scales the voice.
    const SCueHandle clamped = playCueHeld("Loop");
    setCueVolume(clamped, 1.5f);
    frame(0.01f);
    EXPECT_NEAR(heardLevel(), 1.0f, HEARD_TOLERANCE);
    setVolumeScaleBase(E_SOUNDSCALE_EFFECTS, 0.5f);
    frame(0.01f);
    EXPECT_NEAR(heardLevel(), 0.5f, HEARD_TOLERANCE);
}

TEST_F(SoundEngine, MuteAllSilencesEverything) {
    shutdownAudioEngine();
    configSetValue("AUDIO_MUTE_ALL", "1");
    startEngine();
    EXPECT_TRUE(playCueHeld("Loop"));
    frame(0.01f);
    EXPECT_EQ(heardLevel(), 0.0f);
}

TEST_F(SoundEngine, BanksLoadOnceAndDamagedOrMissingBanksAreRefused) {
    EXPECT_EQ(loadSoundBank("ZUNO_SFX", 0), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadSoundBank("DAMAGED", 0), 0);
    const std::string refusal = testing::internal::GetCapturedStderr();
    EXPECT_NE(refusal.find("Audio/DAMAGED.iAudioSB"), std::string::npos) << refusal;
    EXPECT_EQ(loadSoundBank("NOSUCHBANK", 0), 0);
    EXPECT_FALSE(playCueHeld("Bad"));

    const SCueHandle held = playCueHeld("Blip");
    EXPECT_EQ(unloadSoundBank(crc32TextNoCase("ZUNO_SFX")), 1);
    EXPECT_TRUE(isCueFinished(held));
    EXPECT_FALSE(playCueHeld("Blip"));
}

TEST(SoundBankLoad, AFlagOtherThanZeroIsFatal) {
    EXPECT_EXIT(loadSoundBank("ZUNO_SFX", 1), ::testing::ExitedWithCode(3), "flag 1");
}

TEST_F(SoundEngine, TimelinePlayersRunOutFinishAfterTheirLastEventAndAStaleStopFreesNothing) {
    std::vector<STimelinePlayerRef> players;
    for (u32 i = 0; i < TIMELINE_PLAYER_POOL_SIZE; ++i) players.push_back(startTimelinePlayer(crc32TextNoCase("timed")));
    EXPECT_NE(players.back().player, nullptr);
    EXPECT_EQ(startTimelinePlayer(crc32TextNoCase("timed")).player, nullptr);
    stopTimelinePlayer(players[0]);
    EXPECT_NE(startTimelinePlayer(crc32TextNoCase("timed")).player, nullptr);
    stopTimelinePlayer(players[0]);  // stale: its record went to the player just started
    EXPECT_EQ(startTimelinePlayer(crc32TextNoCase("timed")).player, nullptr);
    // Past the last event (0.5 s) the players finish, and the next frame takes their records back.
    advanceTimelinePlayers(0.6f);
    advanceTimelinePlayers(0.0f);
    EXPECT_NE(startTimelinePlayer(crc32TextNoCase("timed")).player, nullptr);
}

TEST_F(SoundEngine, SongPlaysThroughTheCodecStreamPlayerUntilItsEnd) {
    // The codec registry that the engine starts, waited for at most twenty seconds.
    for (int i = 0; i < 4000 && !isCodecRegistryReady(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(isCodecRegistryReady());
    m_root.write("music/song.wav", sineWav(RATE / 2, RATE));
    const std::u16string wideFolder = widePath(m_root.file("music/"));
    // The code-built "UserMusic" definition: one streamed sample of 0.5 s. The engine keeps it.
    static SSoundDefinition song;
    song = SSoundDefinition{};
    song.nameHash = crc32TextNoCase("UserMusic");
    song.sampleCount = song.stream = 1;
    song.weights[0] = 1.0f;
    song.lengths[0] = 0.5f;
    song.defaultFrequencies[0] = f32(RATE);
    std::snprintf(song.fileNames[0], SOUND_SAMPLE_NAME_SIZE, "song.wav");
    ASSERT_EQ(createMusicFileSound(nullptr, &song, wideFolder.c_str(), 1), 1);

    const SCueHandle music = playCueHeld("UserMusic");
    EXPECT_FALSE(isCueFinished(music)) << "waiting for its player is not the end";
    updateUntilStarted(music);
    ASSERT_TRUE(getCueChannel(music));
    ASSERT_FALSE(isCueFinished(music));
    mix(RATE / 4);
    EXPECT_NEAR(getCuePosition(music), 0.25f, 0.001f);
    EXPECT_EQ(getCueDuration(music), 0.5f);
    mix(RATE / 4 + 100);
    for (int i = 0; i < 3; ++i) updateAudioEngine(0.0f);
    EXPECT_TRUE(isCueFinished(music));

    // A second song replaces the first; quitting while it plays releases it before the jobs go.
    ASSERT_EQ(createMusicFileSound(nullptr, &song, wideFolder.c_str(), 1), 1);
    EXPECT_TRUE(isCueFinished(music));
    const SCueHandle again = playCueHeld("UserMusic");
    updateUntilStarted(again);
    mix(RATE / 10);
    EXPECT_FALSE(isCueFinished(again));
}
