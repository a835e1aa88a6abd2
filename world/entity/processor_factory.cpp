#include "core/fatal_error.h"
#include "world/entity/processor.h"

const char* processorClassName(u32 typeId) {
    return typeId < PROCESSOR_TYPE_COUNT ? g_aProcessorClasses[typeId].name : nullptr;
}

ClProcessor* processorCreate(u32 typeId) {
    const char* name = processorClassName(typeId);
    if (!name) fatalErrorf("processor type %u does not exist", typeId);
    const ProcessorConstructor construct = g_aProcessorClasses[typeId].construct;
    if (!construct) fatalErrorf("processor type %u (%s) has no class in this build", typeId, name);
    ClProcessor* processor = construct();
    if (!processor) fatalErrorf("no memory for a processor of type %u (%s)", typeId, name);
    return processor;
}

void processorFree(ClProcessor* processor) { delete processor; }

namespace {
u32 g_uOverlayProcessors = 0;
}

SOverlayMark::SOverlayMark() { ++g_uOverlayProcessors; }
SOverlayMark::~SOverlayMark() { --g_uOverlayProcessors; }
u32 overlayProcessorCount() { return g_uOverlayProcessors; }
