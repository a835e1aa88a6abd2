#include "core/crit_section_pool.h"
#include "render/batcher.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// Materials are only compared and handed on here: distinct addresses stand in for them.
const SMaterial* material(u32 i) {
    static char storage[8];
    return reinterpret_cast<const SMaterial*>(storage + i);
}

// One object of three vertices whose staged indices are its own vertices.
void addObject(u32 layerMask, const SMaterial* mat, f32 depth, BatchKey key, u32 indexCount = 3) {
    const SBatchReservation r = reserveBatchGeometry(1, 3, indexCount);
    ASSERT_NE(nullptr, r.vertices);
    for (u32 i = 0; i < indexCount; ++i) r.stagedIndices[i] = r.vertexBase + i % 3;
    std::tie(r.layerMasks[0], r.indexRanges[0], r.depths[0], r.materials[0], r.keys[0]) =
        std::tuple(layerMask, SBatchIndexRange{r.firstStagedIndex, indexCount}, depth, mat, key);
}

struct SRunView {
    const SMaterial* material;
    u32 firstIndex, indexCount;
};

// The layer's runs of the key, one field of one run per assertion.
void expectRuns(u32 layer, BatchKey key, std::initializer_list<SRunView> expected) {
    ASSERT_EQ(batchRunCount(layer, key), expected.size()) << "layer " << layer << ", key " << key;
    const SBatchRun* run = batchRuns(layer, key);
    u32 i = 0;
    for (const SRunView& e : expected) {
        EXPECT_EQ(run[i].material, e.material) << "layer " << layer << ", key " << key << ", run " << i;
        EXPECT_EQ(run[i].firstIndex, e.firstIndex) << "layer " << layer << ", key " << key << ", run " << i;
        EXPECT_EQ(run[i].indexCount, e.indexCount) << "layer " << layer << ", key " << key << ", run " << i;
        ++i;
    }
}

class Batcher : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        createBatchBuffers(true);
        beginBatchFrame();
    }
    void TearDown() override { releaseBatchBuffers(); }
};

TEST_F(Batcher, ReservationsStopBelowTheVertexCapacityAndWithinObjectsAndIndices) {
    const u32 worldVertices = BATCH_VERTEX_CAPACITY - BATCH_QUAD_SHARE_VERTICES;
    const SBatchReservation first = reserveBatchGeometry(1, worldVertices - 2, 3);
    ASSERT_NE(nullptr, first.vertices);
    const SBatchReservation second = reserveBatchGeometry(1, 1, 3);
    EXPECT_EQ(worldVertices - 2, second.vertexBase);
    EXPECT_EQ(3u, second.firstStagedIndex);
    EXPECT_EQ(first.layerMasks + 1, second.layerMasks);
    const SBatchReservation full = reserveBatchGeometry(1, 1, 3);
    EXPECT_EQ(nullptr, full.vertices);
    EXPECT_EQ(nullptr, full.stagedIndices);
    EXPECT_EQ(nullptr, full.keys);
    EXPECT_EQ(worldVertices - 1, batchVertexCount());
    // The 2D quad batch's share is left for it, up to the whole capacity.
    EXPECT_NE(nullptr, reserveBatchQuadGeometry(1, BATCH_QUAD_SHARE_VERTICES, 6).vertices);
    EXPECT_EQ(nullptr, reserveBatchQuadGeometry(1, 1, 6).vertices);
    EXPECT_EQ(nullptr, reserveBatchGeometry(1, 0, 0).vertices);
    EXPECT_EQ(BATCH_VERTEX_CAPACITY - 1, batchVertexCount());

    beginBatchFrame();
    EXPECT_EQ(0u, batchVertexCount());
    EXPECT_EQ(nullptr, reserveBatchGeometry(1, 3, BATCH_INDEX_CAPACITY - BATCH_QUAD_SHARE_INDICES + 1).vertices);
    EXPECT_EQ(nullptr, reserveBatchGeometry(BATCH_OBJECT_CAPACITY - BATCH_QUAD_SHARE + 1, 3, 3).vertices);
    EXPECT_NE(nullptr,
              reserveBatchGeometry(BATCH_OBJECT_CAPACITY - BATCH_QUAD_SHARE, 3, BATCH_INDEX_CAPACITY - BATCH_QUAD_SHARE_INDICES)
                  .vertices);
    EXPECT_EQ(nullptr, reserveBatchGeometry(1, 3, 0).vertices);
    EXPECT_EQ(nullptr, reserveBatchQuadGeometry(1, 4, BATCH_QUAD_SHARE_INDICES + 1).vertices);
    EXPECT_EQ(nullptr, reserveBatchQuadGeometry(BATCH_QUAD_SHARE + 1, 4, 6).vertices);
    EXPECT_NE(nullptr, reserveBatchQuadGeometry(BATCH_QUAD_SHARE, 4, BATCH_QUAD_SHARE_INDICES).vertices);
}

TEST_F(Batcher, NothingIsLockedReservedOrBuiltWhileTheBatcherIsNotReadyOrUnlocked) {
    unlockBatchBuffers();
    EXPECT_EQ(nullptr, batchLockedVertices());
    EXPECT_EQ(nullptr, reserveBatchGeometry(1, 3, 3).vertices);
    buildLayerDrawList(0, 0, false, false);
    EXPECT_EQ(0u, batchRunCount(0, BATCH_KEY_MAIN_SCENE));

    // Device loss releases the buffers and the lock; the frame calls must not use either.
    releaseBatchBuffers();
    beginBatchFrame();
    unlockBatchBuffers();
    EXPECT_EQ(nullptr, batchLockedVertices());
    EXPECT_EQ(nullptr, reserveBatchGeometry(1, 3, 3).vertices);

    // A device reset keeps the registered keys.
    createBatchBuffers(true);
    ASSERT_EQ(1, registerBatchTarget(0x1000));
    releaseBatchBuffers();
    createBatchBuffers(false);
    EXPECT_EQ(2u, batchTargetCount());
    createBatchBuffers(false);
}

TEST_F(Batcher, KeysAreLimitedToSixteenAndRemovedByValue) {
    for (BatchKey key = 1; key < BATCH_TARGET_KEY_CAPACITY; ++key) ASSERT_EQ(1, registerBatchTarget(key * 0x100));
    EXPECT_EQ(0, registerBatchTarget(0x5000));
    EXPECT_EQ(1, unregisterBatchTarget(0x300));
    EXPECT_EQ(0, unregisterBatchTarget(0x300));
    EXPECT_EQ(1, registerBatchTarget(0x5000));
    EXPECT_EQ(16u, batchTargetCount());

    // The gap is closed: the key after the removed one still has its own runs.
    addObject(1, material(0), 0.0f, 0x400);
    buildLayerDrawList(0, 1, false, false);
    EXPECT_EQ(1u, batchRunCount(0, 0x400));
    EXPECT_EQ(0u, batchRunCount(0, 0x500));
}

TEST_F(Batcher, WithoutSortFlagsObjectsKeepTheirOrderWithinEachKeyAndRunsShareAMaterial) {
    ASSERT_EQ(1, registerBatchTarget(0x2000));
    // Objects 0 .. 5 (vertices 0, 3, 6 ...) as {layer mask, material, key}; the fourth is not in the layer.
    for (auto [mask, mat, key] : {std::tuple{0x23u, 1u, 0x2000u}, {0x21u, 0u, 0u}, {0x20u, 0u, 0u}, {0x02u, 0u, 0u}, {0x30u, 1u, 0u}, {0x20u, 0u, 0x2000u}})
        addObject(mask, material(mat), 0.0f, key);
    buildLayerDrawList(3, 0x20, false, false);

    expectRuns(3, 0, {{material(0), 0, 6}, {material(1), 6, 3}});
    expectRuns(3, 0x2000, {{material(1), 9, 3}, {material(0), 12, 3}});
    const u32* indices = batchLockedIndices();
    // Each object's indices start at its first vertex: main key 1, 2, 4, then key 0x2000 0, 5.
    EXPECT_EQ(indices[0], 3u) << "object 1";
    EXPECT_EQ(indices[3], 6u) << "object 2";
    EXPECT_EQ(indices[6], 12u) << "object 4";
    EXPECT_EQ(indices[9], 0u) << "object 0";
    EXPECT_EQ(indices[12], 15u) << "object 5";
    EXPECT_EQ(15u, batchIndexWritePosition());
}

TEST_F(Batcher, DepthSortDrawsFarFirstThenByMaterialAndMaterialSortGroups) {
    // {material, depth}: the NaN depth is ordered somewhere, never a broken sort.
    for (auto [mat, depth] : {std::pair{2u, 1.0f}, {1u, 5.0f}, {0u, 1.0f}, {3u, std::numeric_limits<f32>::quiet_NaN()}, {2u, 5.0f}})
        addObject(1, material(mat), depth, 0);
    buildLayerDrawList(0, 1, true, false);
    ASSERT_EQ(5u, batchRunCount(0, 0));
    // Wherever the NaN object (vertex 9) went, the others are far first, then by material.
    std::vector<const SMaterial*> order;
    for (u32 i = 0; i < 5; ++i)
        if (batchLockedIndices()[batchRuns(0, 0)[i].firstIndex] != 9) order.push_back(batchRuns(0, 0)[i].material);
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0], material(1)) << "depth 5, material 1";
    EXPECT_EQ(order[1], material(2)) << "depth 5, material 2";
    EXPECT_EQ(order[2], material(0)) << "depth 1, material 0";
    EXPECT_EQ(order[3], material(2)) << "depth 1, material 2";

    buildLayerDrawList(1, 1, false, true);
    expectRuns(1, 0, {{material(0), 15, 3}, {material(1), 18, 3}, {material(2), 21, 6}, {material(3), 27, 3}});
}

TEST_F(Batcher, ObjectsOfUnregisteredKeysAreSkippedAndTheirRunsCannotBeAsked) {
    addObject(1, material(0), 0.0f, 0x7000);
    addObject(1, material(0), 0.0f, 0);
    buildLayerDrawList(0, 1, false, false);
    expectRuns(0, 0, {{material(0), 0, 3}});
    EXPECT_EQ(3u, batchIndexWritePosition()) << "nothing of the skipped object is copied";
    EXPECT_EXIT(batchRunCount(0, 0x7000), ::testing::ExitedWithCode(3), "no such layer or key");
}

TEST_F(Batcher, LayersThatOverfillTheIndexBufferOrARunListDropObjects) {
    // Two layers selecting the same 490,310 staged indices need nearly twice what the buffer holds.
    constexpr u32 perObject = 49001;
    for (u32 i = 0; i < 10; ++i) addObject(1, material(0), 0.0f, 0, perObject);
    addObject(1, material(0), 0.0f, 0, 300);
    buildLayerDrawList(0, 1, false, false);
    expectRuns(0, 0, {{material(0), 0, 10 * perObject + 300}});
    buildLayerDrawList(1, 1, false, false);
    EXPECT_EQ(10 * perObject + 600, batchIndexWritePosition());
    expectRuns(1, 0, {{material(0), 10 * perObject + 300, 300}});

    beginBatchFrame();
    for (u32 i = 0; i <= BATCH_RUN_CAPACITY; ++i) addObject(2, material(i % 2), 0.0f, 0);
    buildLayerDrawList(0, 2, false, false);
    EXPECT_EQ(BATCH_RUN_CAPACITY, batchRunCount(0, 0));
}

TEST_F(Batcher, ConcurrentReservationsGetDisjointRanges) {
    constexpr u32 threads = 4, perThread = 2000;
    std::vector<std::thread> producers;
    for (u32 t = 0; t < threads; ++t)
        producers.emplace_back([t] {
            for (u32 i = 0; i < perThread; ++i) addObject(1u << t, material(0), 0.0f, 0);
        });
    for (std::thread& producer : producers) producer.join();
    EXPECT_EQ(threads * perThread * 3, batchVertexCount());
    buildLayerDrawList(0, 0, false, false);
    EXPECT_EQ(threads * perThread * 3, std::set<u32>(batchLockedIndices(), batchLockedIndices() + batchIndexWritePosition()).size());
}

}  // namespace
