// The sound layer on the manual null clock: streams and memory sounds come out sample-exact at
// unity, positions follow the mixed frames, and volume, pan, frequency, groups, loops and stale
// handles behave as the engine relies on. One case opens the SDL output on its dummy driver.
#include "platform/os/os.h"
#include "platform/sound/sound_internal.h"
#include "platform/sound/sound_system.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using test_support::pcm16Bytes;
using test_support::wavImage;
using Floats = std::vector<f32>;

// A stream source of known 16-bit samples; the set-position callback rewinds it.
struct SStreamSource {
    std::vector<s16> samples;
    size_t next = 0;
};

// A release racing the stream thread makes the handle stale: no user data then.
template <typename T>
T* userOf(ClSound sound) {
    void* user = nullptr;
    return sound.getUserData(&user) == E_SOUND_OK ? static_cast<T*>(user) : nullptr;
}

ESoundResult readSource(ClSound sound, void* data, u32 bytes) {
    SStreamSource* source = userOf<SStreamSource>(sound);
    if (source == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    if (source->next >= source->samples.size()) return E_SOUND_ERR_FILE_EOF;
    for (u32 i = 0; i < bytes / 2; ++i, ++source->next)
        static_cast<s16*>(data)[i] = source->next < source->samples.size() ? source->samples[source->next] : 0;
    return E_SOUND_OK;
}

ESoundResult rewindSource(ClSound sound, s32, u32, ESoundTimeUnit) {
    SStreamSource* source = userOf<SStreamSource>(sound);
    if (source == nullptr) return E_SOUND_ERR_INVALID_PARAM;
    source->next = 0;
    return E_SOUND_OK;
}

// A 48 kHz 16-bit stereo user stream; a length of 0 plays until the source ends.
SCreateSoundInfo userStreamInfo(SoundPcmReadCallback read, void* user, u32 lengthBytes, u32 bufferFrames) {
    SCreateSoundInfo info = {};
    info.length = lengthBytes;
    info.numChannels = 2;
    info.defaultFrequency = 48000;
    info.format = E_SOUNDFORMAT_PCM16;
    info.decodeBufferSize = bufferFrames;
    info.pcmReadCallback = read;
    info.userData = user;
    return info;
}

ClSound memorySound(ClSoundSystem& system, const std::vector<u8>& image, u32 mode = E_SOUNDMODE_LOOP_OFF) {
    SCreateSoundInfo info = {};
    info.length = u32(image.size());
    ClSound sound;
    EXPECT_EQ(system.createSound(image.data(), E_SOUNDMODE_OPENMEMORY | E_SOUNDMODE_2D | mode, &info, &sound), E_SOUND_OK);
    return sound;
}

std::vector<s16> sine(u32 frames, f64 hz, u32 rate, f64 amplitude) {
    std::vector<s16> out(frames);
    for (u32 i = 0; i < frames; ++i) out[i] = s16(amplitude * 32767.0 * std::sin(2.0 * M_PI * hz * i / rate));
    return out;
}

// Rising zero crossings of the left channel, per second of output.
f64 measuredPitch(const Floats& stereo) {
    u32 crossings = 0;
    const size_t frames = stereo.size() / 2;
    for (size_t i = 1; i < frames; ++i) crossings += stereo[2 * (i - 1)] < 0.0f && stereo[2 * i] >= 0.0f;
    return crossings * 48000.0 / f64(frames);
}

class SoundMixer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_system.setOutput(E_SOUNDOUTPUT_NOSOUND_MANUAL), E_SOUND_OK);
        ASSERT_EQ(m_system.init(SOUND_MAX_CHANNELS, 0, nullptr), E_SOUND_OK);
    }

    ClSound monoSound(const std::vector<s16>& samples, u32 rate = 48000, u32 mode = E_SOUNDMODE_LOOP_OFF) {
        return memorySound(m_system, wavImage({.channels = 1, .rate = rate}, pcm16Bytes(samples)), mode);
    }
    // 100 ms of one level on every channel.
    ClSound steadySound(u32 channels, s16 level) {
        return memorySound(m_system, wavImage({.channels = u16(channels), .rate = 48000}, pcm16Bytes(std::vector<s16>(channels * 4800, level))));
    }
    ClSound userStream(SStreamSource* source, u32 lengthBytes, u32 bufferFrames) {
        SCreateSoundInfo info = userStreamInfo(&readSource, source, lengthBytes, bufferFrames);
        info.pcmSetPosCallback = &rewindSource;
        ClSound sound;
        EXPECT_EQ(m_system.createStream(nullptr, 0x4C8, &info, &sound), E_SOUND_OK);
        return sound;
    }
    // Played, and panned when `pan` is given (hard left: the left channel is the source).
    ClChannel play(ClSound sound, f32 pan = NAN) {
        ClChannel channel;
        EXPECT_EQ(m_system.playSound(sound, false, &channel), E_SOUND_OK);
        if (!std::isnan(pan)) channel.setPan(pan);
        return channel;
    }
    Floats mix(u32 frames) {
        Floats out(2 * frames);
        EXPECT_EQ(m_system.advanceNullOutput(frames, out.data()), E_SOUND_OK);
        return out;
    }
    static bool playing(const ClChannel& channel) {
        bool result = true;
        channel.isPlaying(&result);
        return result;
    }
    static u32 position(const ClChannel& channel, ESoundTimeUnit unit) {
        u32 value = 0;
        EXPECT_EQ(channel.getPosition(&value, unit), E_SOUND_OK);
        return value;
    }

    ClSoundSystem m_system;
};

// ---------------------------------------------------------------------------------------------
// Worked values

TEST_F(SoundMixer, UserStreamAtUnityEqualsItsInputAndEndsAtItsLengthAndOtherRatesKeepTheirOwnPositions) {
    SStreamSource source;
    const u32 frames = 10007;  // not a multiple of the ring's chunks or the mixer's blocks
    for (u32 i = 0; i < 2 * frames; ++i) source.samples.push_back(s16((i * 7919) % 65536 - 32768));
    Floats expected(source.samples.begin(), source.samples.end());
    for (f32& level : expected) level /= 32768.0f;
    ClSound sound = userStream(&source, frames * 4, 1000);
    ClChannel channel = play(sound);
    EXPECT_EQ(mix(frames - 1), Floats(expected.begin(), expected.end() - 2));
    EXPECT_EQ(playing(channel), true);
    EXPECT_EQ(mix(1), Floats(expected.end() - 2, expected.end()));
    EXPECT_EQ(playing(channel), false);
    EXPECT_EQ(mix(256), Floats(512, 0.0f));
    sound.release();  // before its source goes

    // A stream of unknown length ends with its source; the last chunk read past it is silence.
    source.samples.assign(2 * 3000, 1000);
    source.next = 0;
    channel = play(sound = userStream(&source, 0, 512));
    const Floats out = mix(4096);
    EXPECT_EQ(playing(channel), false);
    EXPECT_NE(out[2 * 2999], 0.0f);
    EXPECT_EQ(out[2 * 4095], 0.0f);
    sound.release();
    source.samples.clear();
    source.next = 0;
    channel = play(sound = userStream(&source, 0, 512));
    mix(256);
    EXPECT_EQ(playing(channel), false) << "an empty source ends at once";
    sound.release();

    // A 44.1 kHz source runs through its own frames at its own rate.
    ClChannel other = play(monoSound(sine(44100, 440.0, 44100, 0.5), 44100));
    mix(24000);
    EXPECT_NEAR(f64(position(other, E_SOUNDTIMEUNIT_MS)), 500.0, 1.0);
    EXPECT_NEAR(f64(position(other, E_SOUNDTIMEUNIT_PCM)), 22050.0, 1.0);
}

TEST_F(SoundMixer, VolumeAndGroupVolumesMultiplyAndPansKeepThePower) {
    ClChannel channel = play(steadySound(2, 16384));
    channel.setVolume(0.5f);
    ClChannelGroup master, dry, wet;
    ASSERT_EQ(m_system.getMasterChannelGroup(&master) | m_system.createChannelGroup("voice_dry_0", &dry) |
                  m_system.createChannelGroup("voice_wet_0", &wet) | master.addGroup(dry),
              E_SOUND_OK);
    dry.setVolume(0.5f);
    master.setVolume(0.5f);
    ASSERT_EQ(channel.setChannelGroup(dry), E_SOUND_OK);
    EXPECT_FLOAT_EQ(mix(16)[1], 0.0625f);

    // A group never connected under the master is silent, whatever its volume.
    ASSERT_EQ(channel.setChannelGroup(wet), E_SOUND_OK);
    EXPECT_EQ(mix(16)[0], 0.0f);
    EXPECT_EQ(dry.addGroup(master), E_SOUND_ERR_INVALID_PARAM);

    // Releasing the group puts its channels back on the master.
    ASSERT_EQ(wet.release(), E_SOUND_OK);
    EXPECT_FLOAT_EQ(mix(16)[0], 0.125f);
    EXPECT_EQ(wet.setVolume(1.0f), E_SOUND_ERR_INVALID_HANDLE);
    channel.stop();
    master.setVolume(1.0f);

    // Mono pans with equal power and stereo balances: every input channel at 0.5; a pan past the
    // edge is clamped to it.
    const f32 centre = 0.5f * 0.70710678f;
    const struct { u32 channels; f32 pan, left, right; } cases[] = {
        {1, 0.0f, centre, centre}, {1, -1.0f, 0.5f, 0.0f}, {1, 5.0f, 0.0f, 0.5f}, {2, 0.5f, 0.25f, 0.5f}};
    for (const auto& c : cases) {
        ClChannel channel = play(steadySound(c.channels, 16384));
        mix(8);  // the pan moves a channel that is already playing
        channel.setPan(c.pan);
        SCOPED_TRACE(testing::Message() << c.channels << " channels at pan " << c.pan);
        const Floats out = mix(8);
        EXPECT_NEAR(out[0], c.left, 1e-6f);
        EXPECT_NEAR(out[1], c.right, 1e-6f);
        channel.stop();
    }
    // The input-channel mix weighs the source's channels before the balance.
    ClChannel mixed = play(steadySound(2, 16384), -0.25f);
    const f32 levels[2] = {0.0f, 1.0f};
    ASSERT_EQ(mixed.setInputChannelMix(levels, 2), E_SOUND_OK);
    const Floats out = mix(1);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.375f);
}

TEST_F(SoundMixer, FrequencyResamplesASineToItsNewPitch) {
    ClChannel channel = play(monoSound(sine(48000, 440.0, 48000, 0.5)));
    for (auto [frequency, pitch] : {std::pair{48000.0f, 440.0}, std::pair{72000.0f, 660.0}, std::pair{24000.0f, 220.0}}) {
        ASSERT_EQ(channel.setFrequency(frequency), E_SOUND_OK);
        EXPECT_NEAR(measuredPitch(mix(12000)), pitch, 8.0) << frequency;
    }
    EXPECT_EQ(channel.setFrequency(-1.0f), E_SOUND_ERR_INVALID_PARAM);
}

TEST_F(SoundMixer, LoopCountsPlayExtraPassesAndPositionsWrap) {
    std::vector<s16> ramp(1000);
    for (u32 i = 0; i < 1000; ++i) ramp[i] = s16(i * 30);
    ClSound sound = monoSound(ramp, 48000, E_SOUNDMODE_LOOP_NORMAL);
    ASSERT_EQ(sound.setLoopCount(2), E_SOUND_OK);
    ClChannel channel = play(sound, -1.0f);
    const Floats out = mix(1500);
    EXPECT_EQ(position(channel, E_SOUNDTIMEUNIT_PCM), 500u);
    EXPECT_EQ(out[2 * 1200], out[2 * 200]);
    mix(1499);
    EXPECT_TRUE(playing(channel));
    mix(1);
    EXPECT_FALSE(playing(channel));

    // A stream loops by rewinding its source.
    SStreamSource source;
    source.samples.assign(2 * 700, 500);
    ClSound stream = userStream(&source, 700 * 4, 256);
    ASSERT_EQ(stream.setLoopCount(1), E_SOUND_OK);
    channel = play(stream);
    mix(1399);
    EXPECT_TRUE(playing(channel));
    mix(1);
    EXPECT_FALSE(playing(channel));
    stream.release();
}

TEST_F(SoundMixer, StaleHandlesAnswerAnErrorAndTouchNothing) {
    ClSound sound = steadySound(1, 8000);
    ClChannel first = play(sound);
    ASSERT_EQ(first.stop(), E_SOUND_OK);
    // Fill every channel, so the stopped one's slot is certainly reused.
    std::vector<ClChannel> all(SOUND_MAX_CHANNELS);
    for (ClChannel& channel : all) ASSERT_EQ(m_system.playSound(sound, false, &channel), E_SOUND_OK);
    ClChannel extra;
    EXPECT_EQ(m_system.playSound(sound, false, &extra), E_SOUND_ERR_CHANNEL_ALLOC);
    EXPECT_EQ(first.setVolume(0.0f), E_SOUND_ERR_INVALID_HANDLE);
    u32 where = 1;
    EXPECT_EQ(first.getPosition(&where, E_SOUNDTIMEUNIT_MS), E_SOUND_ERR_INVALID_HANDLE);
    EXPECT_EQ(where, 0u);
    // Every channel is heard at full volume: the stale handle's volume reached none of them.
    EXPECT_NEAR(mix(1)[0], f32(all.size()) * 8000.0f / 32768.0f * std::sqrt(0.5f), 1e-4f);
    // An ended channel's handle is stale too; so are a released sound's and a null one.
    mix(4800);
    EXPECT_EQ(all[5].setPaused(true), E_SOUND_ERR_INVALID_HANDLE);
    ASSERT_EQ(sound.release(), E_SOUND_OK);
    EXPECT_EQ(sound.release(), E_SOUND_ERR_INVALID_HANDLE);
    EXPECT_EQ(m_system.playSound(sound, false, &extra), E_SOUND_ERR_INVALID_HANDLE);
    EXPECT_EQ(ClChannel().stop(), E_SOUND_ERR_INVALID_HANDLE);
}

// ---------------------------------------------------------------------------------------------
// Sound data

TEST_F(SoundMixer, EveryPcmFormatConvertsToTheSameLevels) {
    // -0.5, 0 and +0.5 in each format (8-bit unsigned), played hard left.
    const f32 floats[] = {-0.5f, 0.0f, 0.5f};  // the host is little-endian, as the file
    const std::vector<u8> pcmFloat(reinterpret_cast<const u8*>(floats), reinterpret_cast<const u8*>(floats + 3));
    for (const std::vector<u8>& image : {wavImage({.channels = 1, .rate = 48000, .bits = 8}, {64, 128, 192}),
                                         wavImage({.channels = 1, .rate = 48000, .bits = 24}, {0, 0, 0xC0, 0, 0, 0, 0, 0, 0x40}),
                                         wavImage({.channels = 1, .rate = 48000, .bits = 32, .tag = 3}, pcmFloat),
                                         wavImage({.channels = 1, .rate = 48000}, pcm16Bytes({-16384, 0, 16384}))}) {
        ClSound sound = memorySound(m_system, image);
        play(sound, -1.0f);
        const Floats out = mix(4);
        EXPECT_EQ(out[0], -0.5f);
        EXPECT_EQ(out[2], 0.0f);
        EXPECT_EQ(out[4], 0.5f);
        EXPECT_EQ(out[6], 0.0f) << "past the end";
        sound.release();
    }
}

TEST_F(SoundMixer, DamagedOrForeignDataIsRefused) {
    const std::vector<u8> good = wavImage({.channels = 1, .rate = 48000}, pcm16Bytes(std::vector<s16>(100, 1)));
    std::vector<u8> badAlign = good, text(64, 'x');
    badAlign[32] = 7;  // block align
    ClSound sound;
    auto create = [&](const std::vector<u8>& bytes, u32 length) {
        SCreateSoundInfo info = {};
        info.length = length;
        return m_system.createSound(bytes.data(), E_SOUNDMODE_OPENMEMORY, &info, &sound);
    };
    EXPECT_EQ(create(badAlign, u32(badAlign.size())), E_SOUND_ERR_FILE_BAD) << "a bad block align";
    EXPECT_EQ(create(text, 64), E_SOUND_ERR_FORMAT) << "text";
    EXPECT_EQ(m_system.createSound("/nonexistent/velodrix.wav", 0, nullptr, &sound), E_SOUND_ERR_FILE_NOTFOUND);
    EXPECT_EQ(create(good, 20), E_SOUND_ERR_FILE_BAD) << "a length that cuts the data";
    EXPECT_TRUE(sound.isNull());
    SCreateSoundInfo user = userStreamInfo(&readSource, nullptr, 0, 0);
    user.format = E_SOUNDFORMAT_NONE;
    EXPECT_EQ(m_system.createStream(nullptr, 0x4C8, &user, &sound), E_SOUND_ERR_INVALID_PARAM);
    const auto atRate = [&](u32 rate) {
        const std::vector<u8> wav = wavImage({.channels = 1, .rate = rate}, pcm16Bytes({1, 2}));
        return create(wav, u32(wav.size()));
    };
    EXPECT_EQ(atRate(384001), E_SOUND_ERR_FORMAT) << "past the highest rate";
    EXPECT_EQ(atRate(384000), E_SOUND_OK) << "the highest rate";
    sound.release();
}

TEST_F(SoundMixer, FileStreamFromARangeAndOggFromMemoryPlay) {
    test_support::ClTempDir folder;
    // A WAV inside a larger file, streamed by offset and length as from a package.
    const std::vector<s16> samples = sine(20000, 300.0, 48000, 0.25);
    const std::vector<u8> wav = wavImage({.channels = 1, .rate = 48000}, pcm16Bytes(samples));
    const std::string pack = std::string(777, '\xAB') + std::string(wav.begin(), wav.end()) + std::string(333, '\xCD');
    SCreateSoundInfo info = {};
    info.fileOffset = 777;
    info.length = u32(wav.size());
    ClSound stream;
    ASSERT_EQ(m_system.createStream(folder.write("pack.dat", pack).c_str(), 0x4A, &info, &stream), E_SOUND_OK);
    stream.setLoopCount(0);
    ClChannel channel = play(stream, -1.0f);
    const Floats out = mix(20000);
    for (u32 i = 0; i < 20000; i += 997) ASSERT_EQ(out[2 * i], samples[i] / 32768.0f) << "frame " << i;
    EXPECT_FALSE(playing(channel));

    const std::string ogg = folder.file("tone.ogg");
    if (std::system(("ffmpeg -hide_banner -loglevel error -f lavfi -i sine=frequency=600:duration=0.5 "
                     "-ar 48000 -c:a libvorbis -y '" + ogg + "' 2>/dev/null").c_str()) == 0) {
        play(memorySound(m_system, test_support::readFileBytes(ogg)));
        EXPECT_NEAR(measuredPitch(mix(12000)), 600.0, 10.0);
    }
}

// ---------------------------------------------------------------------------------------------
// Outputs and threads

TEST(SoundOutput, SdlDummyDriverOpensPlaysAndCloses) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ClSoundSystem system;
    ASSERT_EQ(system.init(SOUND_MAX_CHANNELS, 0, nullptr), E_SOUND_OK);
    // The device's output keeps SDL's audio open; the null clock that takes its place does not.
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0) GTEST_SKIP() << "SDL audio cannot start here";
    ClSound sound = memorySound(system, wavImage({.channels = 1, .rate = 48000}, pcm16Bytes(sine(48000 * 4, 440.0, 48000, 0.3))));
    ClChannel channel;
    const u64 playedAt = osPerformanceCounter();
    ASSERT_EQ(system.playSound(sound, false, &channel), E_SOUND_OK);
    u32 position = 0;
    for (u32 wait = 0; wait < 4000 && position == 0; ++wait) {
        osSleep(5);
        ASSERT_EQ(channel.getPosition(&position, E_SOUNDTIMEUNIT_MS), E_SOUND_OK);
    }
    // What is heard never runs ahead of the time since the start.
    EXPECT_GT(position, 0u);
    EXPECT_LE(position, (osPerformanceCounter() - playedAt) / 1000000ull + 1);
    EXPECT_EQ(system.close(), E_SOUND_OK);
    bool isPlaying = true;
    EXPECT_EQ(channel.isPlaying(&isPlaying), E_SOUND_ERR_INVALID_HANDLE);
}

// The audible cursor between device callbacks, on a clock the test sets: callbacks come late,
// early, in halves, and readers ask at every point between them, one with a clock reading taken
// before the callback that it waited behind.
TEST(SoundOutput, AudibleFrameNeverStepsBackAndStaysWithinOneCallbackOfTheMixedFramesLessTheLatency) {
    constexpr u32 PERIOD = 1024, LATENCY = 2 * PERIOD;
    auto state = std::make_unique<SSoundSystemState>();
    state->initialised = state->outputInterpolates = true;
    state->outputLatency = LATENCY;
    state->outputPeriod = PERIOD;
    auto clockAt = [](f64 periods) { return u64(1e9 + periods * PERIOD * 1e9 / SOUND_OUTPUT_RATE); };

    // Start times in periods, and frames asked for.
    const struct { f64 at; u32 frames; } callbacks[] = {{0.0, PERIOD}, {1.6, PERIOD}, {2.2, PERIOD}, {3.05, PERIOD},
        {3.9, PERIOD / 2}, {4.0, PERIOD / 2}, {5.3, PERIOD}, {5.8, PERIOD}, {7.0, PERIOD}, {8.0, PERIOD}};
    Floats out(SOUND_OUTPUT_CHANNELS * PERIOD);
    u64 previous = 0;
    auto check = [&](f64 at) {
        SCOPED_TRACE(testing::Message() << "at " << at << " periods");
        const u64 heard = audibleOutputFrame(state.get(), clockAt(at));
        EXPECT_GE(heard, previous);
        EXPECT_GE(heard + LATENCY, state->mixedFrames);
        EXPECT_LE(heard + LATENCY, state->mixedFrames + PERIOD);
        previous = heard;
    };
    for (size_t i = 0; i < std::size(callbacks); ++i) {
        mixSoundOutput(state.get(), out.data(), callbacks[i].frames, clockAt(callbacks[i].at));
        check(callbacks[i].at - 0.05);
        const f64 next = i + 1 < std::size(callbacks) ? callbacks[i + 1].at : callbacks[i].at + 2.0;
        for (f64 at = callbacks[i].at; at < next; at += 0.1) check(at);
    }
}

TEST(SoundOutput, ReleaseWaitsOutAReadAndNoCallbackFollows) {
    struct SSlowSource {
        std::atomic<u32> calls{0};
        std::atomic<bool> released{false}, calledAfterRelease{false};
    } slow;
    auto slowRead = [](ClSound sound, void* data, u32 bytes) -> ESoundResult {
        auto* source = userOf<SSlowSource>(sound);
        if (source == nullptr) return E_SOUND_ERR_INVALID_PARAM;
        if (source->released) source->calledAfterRelease = true;
        ++source->calls;
        osSleep(2);
        std::memset(data, 0, bytes);
        return E_SOUND_OK;
    };
    ClSoundSystem system;
    system.setOutput(E_SOUNDOUTPUT_NOSOUND);
    ASSERT_EQ(system.init(32, 0, nullptr), E_SOUND_OK);
    SCreateSoundInfo info = userStreamInfo(slowRead, &slow, 0, 64);
    ClSound sound;
    ASSERT_EQ(system.createStream(nullptr, 0x4C8, &info, &sound), E_SOUND_OK);
    ClChannel channel;
    ASSERT_EQ(system.playSound(sound, false, &channel), E_SOUND_OK);
    for (u32 start = osTickCount(); slow.calls < 10 && osTickCount() - start < 3000;) osSleep(1);
    ASSERT_EQ(sound.release(), E_SOUND_OK);
    slow.released = true;
    osSleep(30);
    EXPECT_FALSE(slow.calledAfterRelease);
    EXPECT_EQ(system.close(), E_SOUND_OK);
}

}  // namespace
