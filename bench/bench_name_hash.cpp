// The name hash and the table look-up sit under every look-up by name: settings, script nodes,
// widgets, sound cues, packaged files.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/hash_map.h"
#include "core/name_hash.h"

namespace {

const char* const kTypicalNames[] = {
    "FULLSCREEN", "RANDOM_SEED", "Speed", "TopLevelSwitcher", "_showOnlyIdentifiedSongs",
    "Scripts\\playbalance.txt", "Lang\\eng\\Strings\\Win32.lang", "systemInitOptionsOverlay",
    "[UNNAMED]", "Audio\\Velodrix.iAudioSB",
};
constexpr size_t kNameCount = sizeof(kTypicalNames) / sizeof(kTypicalNames[0]);

void BM_NameHash(benchmark::State& state) {
    size_t bytes = 0;
    for (const char* name : kTypicalNames) bytes += std::char_traits<char>::length(name);
    for (auto _ : state) {
        for (const char* name : kTypicalNames) benchmark::DoNotOptimize(crc32TextNoCase(name));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kNameCount));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_NameHash);

void BM_CaseSensitiveHash(benchmark::State& state) {
    for (auto _ : state) {
        for (const char* name : kTypicalNames) benchmark::DoNotOptimize(crc32Text(name));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kNameCount));
}
BENCHMARK(BM_CaseSensitiveHash);

// A table filled to the given share, as the start-up sizes them: 2,048 slots, the largest one.
struct SFilledMap {
    explicit SFilledMap(u32 entries) {
        map.init(2048);
        for (u32 i = 0; i < entries; ++i) {
            const std::string name = "Spline_" + std::to_string(i);
            const u32 key = crc32TextNoCase(name.c_str());
            map.insert(key, uintptr_t(i + 1));
            keys.push_back(key);
            absent.push_back(crc32TextNoCase(("Missing_" + std::to_string(i)).c_str()));
        }
    }
    ClHashMap map;
    std::vector<u32> keys;
    std::vector<u32> absent;
};

void BM_HashMapFindHit(benchmark::State& state) {
    SFilledMap filled(u32(state.range(0)));
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(filled.map.find(filled.keys[next]));
        if (++next == filled.keys.size()) next = 0;
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_HashMapFindHit)->Arg(128)->Arg(1024)->Arg(1800);

void BM_HashMapFindMiss(benchmark::State& state) {
    SFilledMap filled(u32(state.range(0)));
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(filled.map.find(filled.absent[next]));
        if (++next == filled.absent.size()) next = 0;
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_HashMapFindMiss)->Arg(128)->Arg(1024)->Arg(1800);

// The whole look-up by name: hash, then find.
void BM_HashMapFindByName(benchmark::State& state) {
    ClHashMap map;
    map.init(128);
    for (size_t i = 0; i < kNameCount; ++i) map.insertByName(kTypicalNames[i], uintptr_t(i + 1));
    for (auto _ : state) {
        for (const char* name : kTypicalNames) benchmark::DoNotOptimize(map.findByName(name));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kNameCount));
}
BENCHMARK(BM_HashMapFindByName);


}  // namespace

BENCHMARK_MAIN();
