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
#include <sstream>
#include <thread>

using namespace test_support;

namespace {

constexpr u32 RATE = 48000;

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
    }
    void TearDown() override {
        shutdownAudioEngine();
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
    // startEngine(), then waits (at most twenty seconds) for the codec registry that the engine starts.
    void startWithCodecs() {
        startEngine();
        for (int i = 0; i < 4000 && !isCodecRegistryReady(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(isCodecRegistryReady());
    }
    // Updates until every delayed start has been made, for at most twenty seconds (a busy machine).
    static void updateUntilStarted() {
        for (int i = 0; i < 4000 && getDelayedStartCount() != 0; ++i) {
            updateAudioEngine(0.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // The code-built "UserMusic" definition: one streamed sample of `seconds`.
    static SSoundDefinition* songDefinition(f32 seconds) {
        static SSoundDefinition song;
        song = SSoundDefinition{};
        song.nameHash = crc32TextNoCase("UserMusic");
        song.sampleCount = song.stream = 1;
        song.weights[0] = 1.0f;
        song.lengths[0] = seconds;
        song.defaultFrequencies[0] = f32(RATE);
        return &song;
    }
    static f32 channelVolume(SCueHandle handle) {
        f32 volume = -1.0f;
        getCueChannel(handle).getVolume(&volume);
        return volume;
    }
    // The handles in use, then for each cue "done" once it has finished, else its channel's volume.
    static std::string status(std::initializer_list<SCueHandle> cues) {
        std::ostringstream text;
        text << getCueHandlesInUse();
        for (SCueHandle cue : cues) {
            if (isCueFinished(cue)) text << " done";
            else text << ' ' << channelVolume(cue);
        }
        return text.str();
    }

    u32 m_locksBefore = 0;
};

}  // namespace

TEST_F(SoundEngine, MissingCuePlaysNothingAOneShotIsFreedWhenItEndsAndHandlesAndVoicesRunOut) {
    startEngine();
    EXPECT_FALSE(playCueHeld("NoSuchCue"));
    playCue("NoSuchCue");
    EXPECT_EQ(status({{}}), "0 done");
    EXPECT_EQ(getCuePosition({}), 0.0f);
    EXPECT_EQ(getCueDuration({}), 0.0f);

    playCue("Blip");
    EXPECT_EQ(getDelayedStartCount(), 1u);
    frame(0.02f);
    EXPECT_EQ(getDelayedStartCount(), 0u);
    EXPECT_EQ(getCueHandlesInUse(), 1u);
    for (int i = 0; i < 10; ++i) frame(0.02f);
    EXPECT_EQ(getCueHandlesInUse(), 0u);

    for (int i = 0; i < 64; ++i) playCueHeld("Blip");
    // 64 voices per definition: the next one gives its handle back.
    EXPECT_FALSE(bool(playCueHeld("Blip")));
    EXPECT_EQ(getCueHandlesInUse(), 64u);
    for (int i = 0; i < 64; ++i) playCueHeld("Other");
    EXPECT_FALSE(playCueHeld("Loop"));
    playCue("Loop");
    EXPECT_EQ(getCueHandlesInUse(), 128u);
}

TEST_F(SoundEngine, CuesAreFoundByNameAndChooseTheirSampleByWeight) {
    startEngine();
    // Weights 0, 0, 1: always the third sample, whose group is named after it.
    const SCueHandle three = playCueHeld("three");  // names ignore case
    frame(0.01f);
    EXPECT_EQ(getCueDuration(three), 0.2f);
    ClChannelGroup group;
    getCueChannel(three).getChannelGroup(&group);
    f32 groupVolume = 0.0f;
    group.getVolume(&groupVolume);
    // Volume on the channel only.
    EXPECT_EQ(groupVolume, 1.0f);
    EXPECT_EQ(channelVolume(three), 0.5f);

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
    startEngine();
    const SCueHandle first = playCueHeld("Blip");
    frame(0.01f);
    stopCue(first, -1.0f);  // negative: at once
    EXPECT_EQ(status({first}), "0 done");

    const SCueHandle second = playCueHeld("Loop");
    ASSERT_EQ(second.record, first.record);  // the same record, handed out again
    frame(0.01f);
    releaseCueWhenFinished(first);
    setCueVolume(first, 0.0f);
    stopCue(first, 0.0f);
    EXPECT_FALSE(isCueFinished(second));
    EXPECT_EQ(getCuePosition(first), 0.0f);
    for (int i = 0; i < 20; ++i) frame(0.02f);
    EXPECT_EQ(status({second}), "1 0.5");  // still held by its holder
}

TEST_F(SoundEngine, HeldCuesStayUntilReleasedAndLoopingCuesKeepPlaying) {
    startEngine();
    const SCueHandle blip = playCueHeld("Blip");
    const SCueHandle loop = playCueHeld("Loop");
    const SCueHandle missing = playCueHeld("Missing");  // its sample is not in the packages
    for (int i = 0; i < 25; ++i) frame(0.02f);  // five lengths of the loop
    EXPECT_EQ(status({blip, loop, missing}), "3 done 0.5 done");
    releaseCueWhenFinished(blip);
    releaseCueWhenFinished(missing);
    frame(0.02f);
    EXPECT_EQ(status({loop}), "1 0.5");
}

TEST_F(SoundEngine, FadesRunOnTheGameClockAndVolumesAreClampedAndScaled) {
    startEngine();
    const SCueHandle loop = playCueHeld("Loop");
    frame(0.01f);
    EXPECT_EQ(status({loop}), "1 0.5");
    stopCue(loop, 1.0f);
    frame(0.25f, 0.25f);
    EXPECT_EQ(status({loop}), "1 0.375");
    frame(0.25f, 0.0f);
    EXPECT_EQ(status({loop}), "1 0.375") << "a paused game (no game time) holds the fade";
    frame(0.5f, 0.5f);
    EXPECT_EQ(status({loop}), "1 0.125");
    frame(0.25f, 0.25f);
    EXPECT_EQ(status({loop}), "0 done");

    // Volumes are clamped (the mixer clamps pans) and the options factor scales the voice.
    const SCueHandle clamped = playCueHeld("Loop");
    setCueVolume(clamped, 1.5f);
    frame(0.01f);
    EXPECT_EQ(status({clamped}), "1 1");
    setVolumeScaleBase(E_SOUNDSCALE_EFFECTS, 0.5f);
    frame(0.01f);
    EXPECT_EQ(status({clamped}), "1 0.5");
}

TEST_F(SoundEngine, MuteAllSilencesEverything) {
    configSetValue("AUDIO_MUTE_ALL", "1");
    startEngine();
    const SCueHandle loop = playCueHeld("Loop");
    frame(0.01f);
    EXPECT_EQ(status({loop}), "1 0");
}

TEST_F(SoundEngine, BanksLoadOnceAndDamagedOrMissingBanksAreRefused) {
    startEngine();
    EXPECT_EQ(loadSoundBank("ZUNO_SFX", 0), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadSoundBank("DAMAGED", 0), 0);
    const std::string refusal = testing::internal::GetCapturedStderr();
    EXPECT_NE(refusal.find("Audio/DAMAGED.iAudioSB"), std::string::npos) << refusal;
    EXPECT_EQ(loadSoundBank("NOSUCHBANK", 0), 0);
    EXPECT_FALSE(playCueHeld("Bad"));

    const SCueHandle held = playCueHeld("Blip");
    EXPECT_EQ(unloadSoundBank(crc32TextNoCase("ZUNO_SFX")), 1);
    EXPECT_EQ(status({held}), "0 done");
    EXPECT_FALSE(playCueHeld("Blip"));
}

TEST(SoundBankLoad, AFlagOtherThanZeroIsFatal) {
    EXPECT_EXIT(loadSoundBank("ZUNO_SFX", 1), ::testing::ExitedWithCode(3), "flag 1");
}

TEST_F(SoundEngine, TimelinePlayersRunOutAndAStaleStopFreesNothing) {
    startEngine();
    std::vector<STimelinePlayerRef> players;
    for (u32 i = 0; i < TIMELINE_PLAYER_POOL_SIZE; ++i) players.push_back(startTimelinePlayer(crc32TextNoCase("timed")));
    EXPECT_NE(players.back().player, nullptr);
    EXPECT_EQ(startTimelinePlayer(crc32TextNoCase("timed")).player, nullptr);
    stopTimelinePlayer(players[0]);
    EXPECT_NE(startTimelinePlayer(crc32TextNoCase("timed")).player, nullptr);
    stopTimelinePlayer(players[0]);  // stale: its record went to the player just started
    EXPECT_EQ(startTimelinePlayer(crc32TextNoCase("timed")).player, nullptr);
}

TEST_F(SoundEngine, SongPlaysThroughTheCodecStreamPlayerUntilItsEnd) {
    startWithCodecs();
    m_root.write("music/song.wav", sineWav(RATE / 2, RATE));
    const std::u16string wideFolder = widePath(m_root.file("music/"));
    SSoundDefinition* song = songDefinition(0.5f);
    std::snprintf(song->fileNames[0], SOUND_SAMPLE_NAME_SIZE, "song.wav");
    ASSERT_EQ(createMusicFileSound(nullptr, song, wideFolder.c_str(), 1), 1);

    const SCueHandle music = playCueHeld("UserMusic");
    EXPECT_FALSE(isCueFinished(music)) << "waiting for its player is not the end";
    updateUntilStarted();
    ASSERT_EQ(getDelayedStartCount(), 0u);
    ASSERT_FALSE(isCueFinished(music));
    mix(RATE / 4);
    EXPECT_NEAR(getCuePosition(music), 0.25f, 0.001f);
    EXPECT_EQ(getCueDuration(music), 0.5f);
    mix(RATE / 4 + 100);
    for (int i = 0; i < 3; ++i) updateAudioEngine(0.0f);
    EXPECT_TRUE(isCueFinished(music));

    // A second song replaces the first; quitting while it plays releases it before the jobs go.
    ASSERT_EQ(createMusicFileSound(nullptr, song, wideFolder.c_str(), 1), 1);
    EXPECT_TRUE(isCueFinished(music));
    const SCueHandle again = playCueHeld("UserMusic");
    updateUntilStarted();
    mix(RATE / 10);
    EXPECT_FALSE(isCueFinished(again));
}
