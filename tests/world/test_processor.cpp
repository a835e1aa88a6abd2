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
            EXPECT_EQ(reinterpret_cast<uintptr_t>(processor) % 16, 0u) << typeId;
            processorFree(processor);
        } else {
            EXPECT_EQ(reason, "processor type " + std::to_string(typeId) + " (" + processorClassName(typeId) +
                                  ") has no class in this build");
        }
    }
    EXPECT_EQ(fatalReasonOf([] { processorCreate(41); }), "processor type 41 does not exist");
    EXPECT_EQ(fatalReasonOf([] { processorCreate(0xFFFFFFFFu); }), "processor type 4294967295 does not exist");
    EXPECT_EQ(processorClassName(41), nullptr);
}

}  // namespace
