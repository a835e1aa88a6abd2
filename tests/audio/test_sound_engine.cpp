// The sound engine over the sound layer's manual null output: cues by name from a bank in a
// package, handles and voice limits, looping, fades on the game clock, volume scales, pauses,
// music voices through a stream player, and the whole engine on SDL's dummy driver.
#include "audio/sound/sound_engine.h"

#include "audio/decode/codec_registry.h"
#include "audio/sound/sound_bank.h"
#include "audio/sound/sound_bank_format.h"
#include "audio/sound/sound_timeline.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/file_layer.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/package_format.h"
#include "core/package_writer.h"
#include "core/packages.h"
#include "core/random.h"
#include "tests/audio/decoder_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using decoder_test::writeFileBytes;

constexpr u32 RATE = 48000;

// A 16-bit mono sine at the mixer's rate.
std::vector<u8> wavBytes(u32 frames) {
    using namespace decoder_test;
    return makeWav({.channels = 1, .rate = RATE}, packPcm(makeSignal(frames, 1, RATE, 16), 16));
}

SSoundBankInput cue(const char* name, std::vector<const char*> samples, std::vector<f32> weights = {}) {
    SSoundBankInput input;
    input.nameHash = crc32TextNoCase(name);
    SSoundDefinition& d = input.definition;
    d.nameHash = input.nameHash;
    d.sampleCount = u32(samples.size());
    for (u32 i = 0; i < d.sampleCount; ++i) {
        std::snprintf(d.fileNames[i], SOUND_SAMPLE_NAME_SIZE, "%s", samples[i]);
        d.weights[i] = weights.empty() ? 1.0f / f32(samples.size()) : weights[i];
        d.lengths[i] = -1.0f;
        d.defaultFrequencies[i] = -1.0f;
    }
    d.volume = {0.5f, 0, 0.5f, 0.5f};
    d.scaleCount = 1;
    d.scaleSlots[0] = E_SOUNDSCALE_EFFECTS;
    return input;
}

// A stand-in music player whose states the test sets; its stream is a memory sound.
class ClFakeMusicStream final : public IMusicStream {
public:
    static inline ClFakeMusicStream* s_last = nullptr;
    static inline s32 s_codecStateAtRelease = -100;
    s32 m_state = E_MUSICSTREAM_CREATED;
    ClSound m_sound;
    ClChannel m_channel;

    void makeReady() {
        const std::vector<u8> wav = wavBytes(RATE);
        SCreateSoundInfo info{};
        info.length = u32(wav.size());
        getSoundEngineSystem()->createSound(wav.data(), E_SOUNDMODE_OPENMEMORY, &info, &m_sound);
        m_state = E_MUSICSTREAM_READY;
    }
    void step() override {
        if (m_state == E_MUSICSTREAM_PLAYING) {
            bool playing = false;
            m_channel.isPlaying(&playing);
            if (!playing) m_state = E_MUSICSTREAM_STOPPED;
        }
    }
    s32 state() const override { return m_state; }
    s32 play(bool paused) override {
        if (m_state != E_MUSICSTREAM_READY) return 0;
        getSoundEngineSystem()->playSound(m_sound, paused, &m_channel);
        m_state = E_MUSICSTREAM_PLAYING;
        return 1;
    }
    s32 unpause() override { return m_channel.setPaused(false) == E_SOUND_OK; }
    s32 pause() override { return m_channel.setPaused(true) == E_SOUND_OK; }
    s32 resume() override { return unpause(); }
    s32 stop() override {
        m_channel.stop();
        m_state = E_MUSICSTREAM_STOPPED;
        return 1;
    }
    ClSound sound() const override { return m_sound; }
    ClChannel channel() const override { return m_channel; }
    void release() override {
        s_codecStateAtRelease = getCodecManagerState();
        m_sound.release();
        if (s_last == this) s_last = nullptr;
    }
};

// Counts a timeline's starts and keeps its event times.
struct STimelineEvents : ITimelineListener {
    u32 starts = 0;
    std::vector<f32> times;
    void started(u32) override { ++starts; }
    void event(u32, f32 eventTime, f32, u32) override { times.push_back(eventTime); }
};

IMusicStream* makeFakeMusicStream(s32, const char16_t*) {
    ClFakeMusicStream::s_last = new ClFakeMusicStream;
    return ClFakeMusicStream::s_last;
}

class SoundEngine : public ::testing::Test {
protected:
    fs::path m_root;

    void SetUp() override {
        critSectionPoolInit();
        m_root = fs::temp_directory_path() / ("velodrix_sound_engine_" + std::to_string(getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "src" / "Audio");
        fs::create_directories(m_root / "data");
        writeFileBytes(m_root / "src" / "Audio" / "blip.wav", wavBytes(RATE / 10));   // 0.1 s
        writeFileBytes(m_root / "src" / "Audio" / "long.wav", wavBytes(RATE / 5));    // 0.2 s
        writeFileBytes(m_root / "src" / "Audio" / "timed.wav", wavBytes(RATE));
        writeFileBytes(m_root / "src" / "Audio" / "timed.iAudioTD", timelineBuild({{5, {0.0f, 0.5f}}}));

        std::vector<SSoundBankInput> cues = {cue("Blip", {"blip.wav"}), cue("Other", {"blip.wav"}),
                                             cue("Three", {"blip.wav", "blip.wav", "long.wav"}, {0, 0, 1}),
                                             cue("Weighted", {"blip.wav", "long.wav"}, {0.25f, 0.75f}),
                                             cue("Missing", {"nothere.wav"}), cue("Loop", {"blip.wav"}),
                                             cue("Streamed", {"long.wav"}), cue("Timed", {"timed.wav"})};
        cues[5].definition.loop = 1;
        cues[6].definition.stream = 1;
        cues[7].definition.timelineFlags[0] = 1;
        cues[2].definition.lengths[2] = 0.2f;
        cues[3].definition.lengths[0] = 0.1f;
        cues[3].definition.lengths[1] = 0.2f;
        writeFileBytes(m_root / "src" / "Audio" / "ZUNO_SFX.iAudioSB", soundBankBuild(crc32TextNoCase("ZUNO_SFX"), 0.0f, cues));
        // Eight entries share the file's one definition.
        std::vector<u8> damaged = soundBankBuild(1, 0.0f, {cue("Bad", {"blip.wav"})});
        const u32 definition = loadLe32(&damaged[SOUND_BANK_HEADER_SIZE + 8]);
        storeLe32(&damaged[20], 8);
        damaged.insert(damaged.begin() + SOUND_BANK_HEADER_SIZE, 7 * SOUND_BANK_ENTRY_SIZE, 0);
        for (u32 i = 0; i < 8; ++i) {
            storeLe32(&damaged[SOUND_BANK_HEADER_SIZE + i * SOUND_BANK_ENTRY_SIZE], crc32TextNoCase("Bad"));
            storeLe32(&damaged[SOUND_BANK_HEADER_SIZE + i * SOUND_BANK_ENTRY_SIZE + 8], definition + 7 * SOUND_BANK_ENTRY_SIZE);
        }
        writeFileBytes(m_root / "src" / "Audio" / "DAMAGED.iAudioSB", damaged);

        std::string error;
        ASSERT_TRUE(packageWriterPackFolder((m_root / "src").c_str(), (m_root / "data").c_str(), "TEST", {}, &error))
            << error;
        setDataDir((m_root / "data").string().append("/").c_str());
        fileLayerInit();
        packagesInit();
        ASSERT_EQ(archiveMount("TEST", 4, nullptr), 1u);
        configClear();
        setClockDelta(GAME_CLOCK_SYSTEM, 0.0f);
        setClockDelta(GAME_CLOCK_GAMEPLAY, 0.0f);
        m_locksBefore = critSectionPoolUseCount();
    }

    void TearDown() override {
        shutdownAudioEngine();
        EXPECT_EQ(critSectionPoolUseCount(), m_locksBefore);
        setMusicStreamFactory(nullptr);
        setAudioEngineOutput(E_SOUNDOUTPUT_AUTODETECT);
        packagesShutdown();
        fileLayerShutdown();
        configFree();
        setDataDir("");
        fs::remove_all(m_root);
    }

    void start() {
        setAudioEngineOutput(E_SOUNDOUTPUT_NOSOUND_MANUAL);
        ASSERT_EQ(initAudioEngine(0), 1);
        ASSERT_EQ(loadSoundBank("ZUNO_SFX", 0), 1);
    }

    // One frame: the clocks step, the engine updates, the mixer mixes the frame's output.
    void frame(f32 seconds, f32 gameSeconds = -1.0f) {
        setClockDelta(GAME_CLOCK_SYSTEM, seconds);
        setClockDelta(GAME_CLOCK_GAMEPLAY, gameSeconds < 0.0f ? seconds : gameSeconds);
        updateAudioEngine(seconds);
        getSoundEngineSystem()->advanceNullOutput(u32(seconds * RATE), nullptr);
    }

    // start(), then waits for the codec registry that the engine starts.
    void startWithCodecs() {
        start();
        for (int i = 0; i < 200 && !isCodecRegistryReady(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_TRUE(isCodecRegistryReady());
    }
    // Updates until every delayed start has been made, for at most two seconds.
    static void updateUntilStarted() {
        for (int i = 0; i < 400 && getDelayedStartCount() != 0; ++i) {
            updateAudioEngine(0.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // The code-built "UserMusic" definition: one streamed sample of `seconds`.
    static SSoundDefinition* songDefinition(f32 seconds) {
        static SSoundDefinition song;
        song = SSoundDefinition{};
        song.nameHash = crc32TextNoCase("UserMusic");
        song.sampleCount = 1;
        song.weights[0] = 1.0f;
        song.lengths[0] = seconds;
        song.defaultFrequencies[0] = f32(RATE);
        song.stream = 1;
        return &song;
    }

    static f32 channelVolume(SCueHandle handle) {
        f32 volume = -1.0f;
        getCueChannel(handle).getVolume(&volume);
        return volume;
    }

    u32 m_locksBefore = 0;
};

}  // namespace

TEST_F(SoundEngine, MissingCuePlaysNothingAndReturnsNoHandle) {
    start();
    EXPECT_FALSE(playCueHeld("NoSuchCue"));
    playCue("NoSuchCue");
    EXPECT_EQ(getCueHandlesInUse(), 0u);
    EXPECT_TRUE(isCueFinished({}));
    EXPECT_EQ(getCuePosition({}) + getCueDuration({}), 0.0f);
}

TEST_F(SoundEngine, OneShotStartsAtTheNextUpdateAndIsFreedWhenItEnds) {
    start();
    playCue("Blip");
    EXPECT_EQ(getDelayedStartCount(), 1u);
    s32 playing = 0;
    frame(0.02f);
    EXPECT_EQ(getDelayedStartCount(), 0u);
    getSoundEngineSystem()->getChannelsPlaying(&playing);
    EXPECT_EQ(playing, 1);
    for (int i = 0; i < 10; ++i) frame(0.02f);
    EXPECT_EQ(getCueHandlesInUse(), 0u);
}

TEST_F(SoundEngine, CuesAreFoundByNameAndChooseTheirSampleByWeight) {
    start();
    // Weights 0, 0, 1: always the third sample, whose group is named after it.
    const SCueHandle three = playCueHeld("three");  // names ignore case
    frame(0.01f);
    EXPECT_EQ(getCueDuration(three), 0.2f);
    ClChannelGroup group;
    getCueChannel(three).getChannelGroup(&group);
    f32 groupVolume = 0.0f;
    group.getVolume(&groupVolume);
    EXPECT_EQ(groupVolume, 1.0f);  // the voice's volume is on its channel only
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

TEST_F(SoundEngine, HandlesAndVoicesRunOut) {
    start();
    std::vector<SCueHandle> held;
    for (int i = 0; i < 64; ++i) held.push_back(playCueHeld("Blip"));
    // 64 voices per definition: the next one gives its handle back.
    EXPECT_FALSE(playCueHeld("Blip"));
    EXPECT_EQ(getCueHandlesInUse(), 64u);
    for (int i = 0; i < 64; ++i) held.push_back(playCueHeld("Other"));
    EXPECT_FALSE(playCueHeld("Loop"));
    playCue("Loop");
    EXPECT_EQ(getCueHandlesInUse(), 128u);
}

TEST_F(SoundEngine, StaleHandlesTouchNothing) {
    start();
    const SCueHandle first = playCueHeld("Blip");
    frame(0.01f);
    stopCue(first, -1.0f);  // negative: at once
    EXPECT_EQ(getCueHandlesInUse(), 0u);
    EXPECT_TRUE(isCueFinished(first));

    const SCueHandle second = playCueHeld("Loop");
    ASSERT_EQ(second.record, first.record);  // the same record, handed out again
    frame(0.01f);
    releaseCueWhenFinished(first);
    setCueVolume(first, 0.0f);
    stopCue(first, 0.0f);
    EXPECT_FALSE(isCueFinished(second));
    EXPECT_EQ(getCueVolume(second), 0.5f);
    EXPECT_EQ(getCuePosition(first), 0.0f);
    for (int i = 0; i < 20; ++i) frame(0.02f);
    EXPECT_EQ(getCueHandlesInUse(), 1u);  // still held by its holder
}

TEST_F(SoundEngine, HeldCuesStayUntilReleasedAndLoopingCuesKeepPlaying) {
    start();
    const SCueHandle blip = playCueHeld("Blip");
    const SCueHandle loop = playCueHeld("Loop");
    const SCueHandle missing = playCueHeld("Missing");  // its sample is not in the packages
    for (int i = 0; i < 25; ++i) frame(0.02f);  // five lengths of the loop
    EXPECT_TRUE(isCueFinished(blip));
    EXPECT_TRUE(isCueFinished(missing));
    EXPECT_FALSE(isCueFinished(loop));
    EXPECT_EQ(getCueHandlesInUse(), 3u);

    releaseCueWhenFinished(blip);
    releaseCueWhenFinished(missing);
    frame(0.02f);
    EXPECT_EQ(getCueHandlesInUse(), 1u);
}

TEST_F(SoundEngine, FadesRunOnTheGameClock) {
    start();
    const SCueHandle loop = playCueHeld("Loop");
    frame(0.01f);
    EXPECT_EQ(channelVolume(loop), 0.5f);
    stopCue(loop, 1.0f);
    frame(0.25f);
    EXPECT_NEAR(channelVolume(loop), 0.375f, 1e-6f);
    frame(0.25f, 0.0f);  // paused game: the fade stands still
    EXPECT_NEAR(channelVolume(loop), 0.375f, 1e-6f);
    frame(0.5f);
    EXPECT_NEAR(channelVolume(loop), 0.125f, 1e-6f);
    EXPECT_EQ(getCueHandlesInUse(), 1u);
    frame(0.25f);
    EXPECT_EQ(getCueHandlesInUse(), 0u);
    EXPECT_TRUE(isCueFinished(loop));
}

TEST_F(SoundEngine, ValuesAreClampedAndVolumeScalesLastOneUpdate) {
    start();
    const SCueHandle loop = playCueHeld("Loop");
    setCueVolume(loop, 1.5f);
    setCuePan(loop, -3.0f);
    EXPECT_EQ(getCueVolume(loop), 1.0f);
    EXPECT_EQ(getCuePan(loop), -1.0f);

    lowerVolumeScale(E_SOUNDSCALE_EFFECTS, 0.5f);
    lowerVolumeScale(E_SOUNDSCALE_EFFECTS, 0.8f);
    EXPECT_EQ(getVolumeScaleLevel(E_SOUNDSCALE_EFFECTS), 0.5f);
    setVolumeScaleBase(E_SOUNDSCALE_EFFECTS, 0.5f);
    frame(0.01f);
    EXPECT_EQ(getVolumeScaleLevel(E_SOUNDSCALE_EFFECTS), 1.0f);
    EXPECT_EQ(channelVolume(loop), 0.25f);
    frame(0.01f);
    EXPECT_EQ(channelVolume(loop), 0.5f);
    setVolumeScaleBase(E_SOUNDSCALE_EFFECTS, 1.0f);

    startVolumeScaleRamp(0.5f, E_SOUNDSCALE_EFFECTS, 1.0f);
    frame(0.5f);
    EXPECT_EQ(channelVolume(loop), 0.5f);  // the ramp starts at its level
    frame(0.5f);
    EXPECT_EQ(channelVolume(loop), 0.75f);
}

TEST_F(SoundEngine, MuteAllSilencesEverything) {
    configSetValue("AUDIO_MUTE_ALL", "1");
    start();
    const SCueHandle loop = playCueHeld("Loop");
    frame(0.01f);
    EXPECT_EQ(channelVolume(loop), 0.0f);
}

TEST_F(SoundEngine, PositionFollowsTheMixedFramesAndHoldsWhilePaused) {
    start();
    u32 pauses = 0;
    SSoundPauseListener* listener = addSoundPauseListener(
        [](void* user, u32 paused) { *static_cast<u32*>(user) += paused ? 1 : 100; }, nullptr, &pauses);
    const SCueHandle streamed = playCueHeld("Streamed");  // raw in the package: streamed from it
    updateAudioEngine(0.0f);
    getSoundEngineSystem()->advanceNullOutput(4800, nullptr);
    EXPECT_NEAR(getCuePosition(streamed), 0.1f, 0.001f);

    pauseAllCues();
    EXPECT_EQ(pauses, 1u);
    getSoundEngineSystem()->advanceNullOutput(2400, nullptr);
    EXPECT_NEAR(getCuePosition(streamed), 0.1f, 0.001f);
    resumeAllCues();
    EXPECT_EQ(pauses, 101u);
    getSoundEngineSystem()->advanceNullOutput(2400, nullptr);
    EXPECT_NEAR(getCuePosition(streamed), 0.15f, 0.001f);
    removeSoundPauseListener(listener);
}

TEST_F(SoundEngine, BanksLoadOnceAndDamagedOrMissingBanksAreRefused) {
    start();
    EXPECT_EQ(loadSoundBank("ZUNO_SFX", 0), 0);
    EXPECT_EQ(getLoadedSoundBankCount(), 1u);
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadSoundBank("DAMAGED", 0), 0);
    const std::string refusal = testing::internal::GetCapturedStderr();
    EXPECT_NE(refusal.find("Audio/DAMAGED.iAudioSB"), std::string::npos) << refusal;
    EXPECT_EQ(loadSoundBank("NOSUCHBANK", 0), 0);
    EXPECT_EQ(getLoadedSoundBankCount(), 1u);
    EXPECT_FALSE(playCueHeld("Bad"));

    const SCueHandle held = playCueHeld("Blip");
    EXPECT_EQ(unloadSoundBank(crc32TextNoCase("ZUNO_SFX")), 1);
    EXPECT_TRUE(isCueFinished(held));
    EXPECT_EQ(getCueHandlesInUse(), 0u);
    EXPECT_FALSE(playCueHeld("Blip"));
}

TEST(SoundBankLoad, AFlagOtherThanZeroIsFatal) {
    EXPECT_EXIT(loadSoundBank("ZUNO_SFX", 1), ::testing::ExitedWithCode(3), "flag 1");
}

TEST_F(SoundEngine, TimelineEventsFireFromTheSampleTime) {
    start();
    STimelineEvents events;
    STimelineListenerRecord* registration = addTimelineListener(5, &events);
    const SCueHandle timed = playCueHeld("Timed");
    frame(0.25f);
    EXPECT_EQ(events.starts, 1u);
    frame(0.3f);
    ASSERT_EQ(events.times.size(), 1u);  // the event at 0 fires at the first advance
    frame(0.3f);
    EXPECT_EQ(events.times.size(), 2u);
    stopCue(timed, 0.0f);
    removeTimelineListener(registration);

    std::vector<STimelinePlayerRef> players;
    for (u32 i = 0; i < TIMELINE_PLAYER_POOL_SIZE; ++i) players.push_back(startTimelinePlayer(crc32TextNoCase("timed")));
    EXPECT_TRUE(players.back());
    EXPECT_FALSE(startTimelinePlayer(crc32TextNoCase("timed")));
    stopTimelinePlayer(players[0]);
    stopTimelinePlayer(players[0]);  // stale: the second stop is ignored
    EXPECT_EQ(getRunningTimelinePlayerCount(), TIMELINE_PLAYER_POOL_SIZE - 1);
}

TEST_F(SoundEngine, FixedStepTimesVoicesOnTheGameClock) {
    configSetValue("FIXED_DT", "0.016");
    start();
    STimelineEvents events;
    STimelineListenerRecord* registration = addTimelineListener(5, &events);
    playCueHeld("Timed");
    frame(0.25f);
    frame(0.6f, 0.0f);  // real time runs, game time does not
    EXPECT_EQ(events.times.size(), 1u);
    frame(0.6f);
    EXPECT_EQ(events.times.size(), 2u);
    removeTimelineListener(registration);
}

TEST_F(SoundEngine, MusicVoiceWaitsForItsPlayerAndEndsWithIt) {
    setMusicStreamFactory(makeFakeMusicStream);
    startWithCodecs();
    SSoundDefinition& song = *songDefinition(1.0f);
    song.wideNames = 1;
    song.wideFileNames[0] = new char16_t[10]{u's', u'o', u'n', u'g', u'.', u'w', u'a', u'v', 0};
    song.scaleCount = 2;
    song.scaleSlots[1] = E_SOUNDSCALE_SONG_VOLUME;
    ASSERT_EQ(createMusicFileSound(nullptr, &song, u"/music/", 1), 1);
    ClFakeMusicStream* player = ClFakeMusicStream::s_last;
    ASSERT_NE(player, nullptr);

    const SCueHandle music = playCueHeld("UserMusic");
    ASSERT_TRUE(music);
    frame(0.02f);
    EXPECT_FALSE(isCueFinished(music));  // waiting for the player is not the end
    EXPECT_EQ(getDelayedStartCount(), 1u);
    player->makeReady();
    updateAudioEngine(0.0f);
    EXPECT_EQ(player->state(), E_MUSICSTREAM_PLAYING);
    EXPECT_FALSE(isCueFinished(music));
    getSoundEngineSystem()->advanceNullOutput(RATE / 2, nullptr);
    EXPECT_NEAR(getCuePosition(music), 0.5f, 0.001f);
    getSoundEngineSystem()->advanceNullOutput(RATE / 2 + 10, nullptr);
    frame(0.02f);
    EXPECT_TRUE(isCueFinished(music));

    // Shutdown releases the player while the codec registry still runs.
    shutdownAudioEngine();
    EXPECT_EQ(ClFakeMusicStream::s_codecStateAtRelease, 1);
    EXPECT_EQ(song.wideFileNames[0], nullptr);  // owned names go with the sound
}

TEST_F(SoundEngine, SongPlaysThroughTheCodecStreamPlayerUntilItsEnd) {
    startWithCodecs();
    fs::create_directories(m_root / "music");
    writeFileBytes(m_root / "music" / "song.wav", wavBytes(RATE / 2));
    const std::string folder = (m_root / "music").string() + "/";
    const std::u16string wideFolder(folder.begin(), folder.end());
    SSoundDefinition* song = songDefinition(0.5f);
    std::snprintf(song->fileNames[0], SOUND_SAMPLE_NAME_SIZE, "song.wav");
    ASSERT_EQ(createMusicFileSound(nullptr, song, wideFolder.c_str(), 1), 1);

    const SCueHandle music = playCueHeld("UserMusic");
    updateUntilStarted();
    ASSERT_EQ(getDelayedStartCount(), 0u);
    EXPECT_FALSE(isCueFinished(music));
    getSoundEngineSystem()->advanceNullOutput(RATE / 4, nullptr);
    EXPECT_NEAR(getCuePosition(music), 0.25f, 0.001f);
    EXPECT_EQ(getCueDuration(music), 0.5f);
    getSoundEngineSystem()->advanceNullOutput(RATE / 4 + 100, nullptr);
    for (int i = 0; i < 3; ++i) updateAudioEngine(0.0f);
    EXPECT_TRUE(isCueFinished(music));

    // A second song replaces the first; quitting while it plays releases it before the jobs go.
    ASSERT_EQ(createMusicFileSound(nullptr, song, wideFolder.c_str(), 1), 1);
    EXPECT_TRUE(isCueFinished(music));
    const SCueHandle again = playCueHeld("UserMusic");
    updateUntilStarted();
    getSoundEngineSystem()->advanceNullOutput(RATE / 10, nullptr);
    EXPECT_FALSE(isCueFinished(again));
}

TEST(SoundEngineDevice, StartsPlaysAndShutsDownOnTheDummyDriver) {
    critSectionPoolInit();
    const u32 locksBefore = critSectionPoolUseCount();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setAudioEngineOutput(E_SOUNDOUTPUT_AUTODETECT);
    ASSERT_EQ(initAudioEngine(0), 1);
    EXPECT_EQ(loadSoundBank("ZUNO_SFX", 0), 0);  // no packages mounted: nothing, and no failure
    static const std::vector<u8> wav = wavBytes(RATE / 10);
    SCreateSoundInfo info{};
    info.length = u32(wav.size());
    ClSound sound;
    ASSERT_EQ(getSoundEngineSystem()->createSound(wav.data(), E_SOUNDMODE_OPENMEMORY, &info, &sound), E_SOUND_OK);
    ClChannel channel;
    EXPECT_EQ(getSoundEngineSystem()->playSound(sound, false, &channel), E_SOUND_OK);
    for (int i = 0; i < 5; ++i) {
        updateAudioEngine(0.016f);
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    shutdownAudioEngine();
    EXPECT_FALSE(isAudioEngineRunning());
    EXPECT_EQ(critSectionPoolUseCount(), locksBefore);
}
