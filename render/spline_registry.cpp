#include "render/spline_registry.h"

#include "core/fatal_error.h"
#include "core/hash_map.h"
#include "render/spline.h"

namespace {

ClHashSlotTable g_splineRegistry;

ClSplineHermite** slotArray() { return static_cast<ClSplineHermite**>(g_splineRegistry.slots); }

}  // namespace

void initSplineRegistry() {
    g_splineRegistry.slotsUsed = 0;
    g_splineRegistry.map.init(SPLINE_REGISTRY_CAPACITY);
    if (!g_splineRegistry.slots) g_splineRegistry.slots = new ClSplineHermite*[SPLINE_REGISTRY_CAPACITY]();
}

void clearSplineRegistry() {
    ClSplineHermite** slots = slotArray();
    for (u32 i = 0; slots && i < g_splineRegistry.slotsUsed; ++i) {
        slots[i]->release();
        delete slots[i];
        slots[i] = nullptr;
    }
    g_splineRegistry.slotsUsed = 0;
    if (g_splineRegistry.map.isInUse()) g_splineRegistry.map.clear();
}

void shutdownSplineRegistry() {
    clearSplineRegistry();
    g_splineRegistry.map.release();
    delete[] slotArray();
    g_splineRegistry.slots = nullptr;
}

void registerSpline(u32 nameHash, ClSplineHermite* spline, const char* name) {
    if (!g_splineRegistry.slots) fatalErrorf("registerSpline: the spline registry is not set up (\"%s\")", name);
    if (g_splineRegistry.slotsUsed >= SPLINE_REGISTRY_CAPACITY) {
        fatalErrorf("registerSpline: the spline registry is full (%u splines) at \"%s\"", SPLINE_REGISTRY_CAPACITY, name);
    }
    g_splineRegistry.map.remove(nameHash);
    if (!g_splineRegistry.map.insert(nameHash, reinterpret_cast<uintptr_t>(spline))) {
        fatalErrorf("registerSpline: the spline registry refused \"%s\"", name);
    }
    slotArray()[g_splineRegistry.slotsUsed++] = spline;
}

ClSplineHermite* findSpline(u32 nameHash) {
    return reinterpret_cast<ClSplineHermite*>(g_splineRegistry.map.find(nameHash));
}

ClSplineHermite* getSplineOrDie(u32 nameHash) {
    return reinterpret_cast<ClSplineHermite*>(g_splineRegistry.getOrDie(nameHash));
}

u32 getSplineCount() { return g_splineRegistry.slotsUsed; }
