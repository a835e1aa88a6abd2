#include "tests/support/fatal_catch.h"
#include "world/entity/processor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using test_support::fatalReasonOf;

namespace {

class ProcessorFactory : public test_support::FatalThrowingTest {};

TEST_F(ProcessorFactory, EveryTypeIdMakesItsClassOrNamesTheIdItLacksAndOthersAreFatal) {
    for (u32 typeId = 0; typeId < PROCESSOR_TYPE_COUNT; ++typeId) {
        ClProcessor* processor = nullptr;
        const std::string reason = fatalReasonOf([&] { processor = processorCreate(typeId); });
        if (processor) {
            EXPECT_EQ(reason, "");
            EXPECT_EQ(reinterpret_cast<uintptr_t>(processor) % 16, 0u) << typeId;
            processorFree(processor);
        } else {
            EXPECT_EQ(reason, "processor type " + std::to_string(typeId) + " (" + processorClassName(typeId) +
                                  ") has no class in this build");
        }
    }
    EXPECT_STREQ(processorClassName(E_PROC_FOLLOW_PATH), "ClProcessor_FollowPath");
    EXPECT_STREQ(processorClassName(E_PROC_ENEMY_ARM), "ClProcessor_Enemy_AI_Arm");
    EXPECT_EQ(fatalReasonOf([] { processorCreate(41); }), "processor type 41 does not exist");
    EXPECT_EQ(fatalReasonOf([] { processorCreate(0xFFFFFFFFu); }), "processor type 4294967295 does not exist");
    EXPECT_EQ(processorClassName(41), nullptr);
}

TEST(ProcessorBase, EveryOperationLeftAloneDoesNothing) {
    // The bridge overrides nothing, so it shows the base's behaviour, attach included.
    ClProcessor* processor = processorCreate(E_PROC_BRIDGE_TO_CORE);
    processor->builderIndex = 12;
    auto* const someEntity = reinterpret_cast<ClEntity*>(uintptr_t(0x1000));
    auto* const someNode = reinterpret_cast<ClEntityNode*>(uintptr_t(0x2000));
    processor->attach(someEntity, someNode);
    for (void (ClProcessor::*operation)() :
         {&ClProcessor::onSpawn, &ClProcessor::onPreviewSpawn, &ClProcessor::onActivate, &ClProcessor::onPathSignal,
          &ClProcessor::update, &ClProcessor::updatePreview, &ClProcessor::drawOverlay, &ClProcessor::updateWorldFrames,
          &ClProcessor::onFirePressed, &ClProcessor::onFireReleased, &ClProcessor::reloadParameters,
          &ClProcessor::onDestroy})
        (processor->*operation)();
    processor->onDamaged(reinterpret_cast<ClAtom*>(uintptr_t(0x3000)));
    processor->onBulletEnded(someEntity);
    processor->release();
    EXPECT_EQ(std::make_tuple(processor->typeId, processor->entity, processor->node, processor->builderIndex),
              std::make_tuple(0u, nullptr, nullptr, 12u));
    processorFree(processor);
}

}  // namespace
