// A decoder family of the tests: "decodes" a counting byte pattern of a chosen length into a
// ring, with switches to fail at each slot, so the job, the registry and the pull can be
// exercised without any real file format.
#pragma once

#include "audio/decode/codec_registry.h"
#include "audio/decode/codec_stream_instance.h"
#include "audio/decode/sample_pull.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <vector>

struct SFakeCodecConfig {
    u32 totalBytes = 1000;  // decoded into a ring of three buffers of 100 bytes
    bool failInitializeMembers = false;
    bool failPreOpen = false;
    bool failOpen = false;
    bool failStart = false;
    // The fill (counted from 0) that reports a decoding error; -1 for none.
    s32 failAtFill = -1;
    // Runs inside each fill's decode, before the bytes are produced.
    std::function<void(u32 fill)> onDecode = nullptr;
};

// A ring buffer's states, short, for the tests that compare them.
constexpr u32 FREE = E_CODECBS_FREE, PENDING = E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE;

// The byte at position i of every fake stream.
inline u8 fakeStreamByte(u32 i) { return u8((i * 7u + (i >> 8)) & 0xFF); }

// The stream from byte `first` for `count` bytes, then `zeros` zero bytes.
inline std::vector<u8> fakeStreamBytes(u32 first, u32 count, u32 zeros = 0) {
    std::vector<u8> bytes(count + zeros, 0);
    for (u32 i = 0; i < count; ++i) bytes[i] = fakeStreamByte(first + i);
    return bytes;
}

inline std::atomic<int> g_fakeCodecLiveObjects{0};

inline const SCodecRingMessages g_fakeRingMessages = {"fake ring: buffer [%d] not pending",
                                                      "fake ring: wrapped around to buffer [%d]"};

class ClFakeCodec : public ClCodecStreamInstance {
public:
    explicit ClFakeCodec(const SFakeCodecConfig& config, s32 familyTag = 0) : m_config(config), m_familyTag(familyTag) {
        ++g_fakeCodecLiveObjects;
    }
    ~ClFakeCodec() override { --g_fakeCodecLiveObjects; }

    s32 initializeMembers() override {
        std::memset(&m_ring, 0, sizeof(m_ring));
        m_produced = 0;
        m_fills = 0;
        return m_config.failInitializeMembers ? 0 : 1;
    }
    s32 preOpenCheck() override { return m_config.failPreOpen ? 0 : 1; }
    s32 initializeFullStream() override {
        return m_config.failOpen ? 0 : allocateCodecRing(&m_ring, 3, 100, this);
    }
    s32 startDecoding() override { return m_config.failStart ? 0 : fill(); }
    s32 canDecodeMoreData() override { return codecRingHasFreeBuffer(this, &m_ring); }
    s32 isDecodingFinished() override { return s32(m_ring.finished); }
    s32 continueDecoding() override { return fill(); }
    void releaseAll() override { releaseCodecRing(&m_ring); }
    s32 getCommonCodecInfo(SCommonCodecInfo* info) override {
        *info = {m_config.totalBytes / 4, m_config.totalBytes, 2, 1, 2, 1000.0f, E_CODECSAMPLEFORMAT_INTEGER};
        return 1;
    }
    s32 fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) override {
        *info = {m_config.totalBytes, 2, 1000, E_CODECSOUNDFORMAT_PCM16, 0, nullptr};
        bindCodecRingToStream(this, &m_ring, info, "ClFakeCodec::fillCreateSoundExInfo");
        return 1;
    }
    s32 handleFMODReadCallback(void* data, u32 bytes) override {
        return readCodecRingForStream(this, &m_ring, data, bytes, g_fakeRingMessages);
    }
    s32 gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination, u32 bytes,
                                       u32* outBytes) override {
        return pullCodecRingForAnalysis(this, &m_ring, info, destination, bytes, outBytes);
    }

    SCodecRing m_ring{};
    SFakeCodecConfig m_config;
    s32 m_familyTag;
    u32 m_produced = 0;
    u32 m_fills = 0;

private:
    s32 fill() {
        return fillCodecRing(this, &m_ring, [this](u8* destination, u32 capacity, u32* outBytes, u32*) -> s32 {
            const u32 fillIndex = m_fills++;
            if (m_config.onDecode) m_config.onDecode(fillIndex);
            if (m_config.failAtFill >= 0 && fillIndex == u32(m_config.failAtFill)) return 0;
            const u32 count = std::min(capacity, m_config.totalBytes - m_produced);
            for (u32 i = 0; i < count; ++i) destination[i] = fakeStreamByte(m_produced + i);
            m_produced += count;
            *outBytes = count;
            return 1;
        });
    }
};
