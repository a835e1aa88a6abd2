// The splines that paths and camera moves follow, held by name hash. The registry owns them.
#pragma once

#include "core/types.h"

class ClSplineHermite;

constexpr u32 SPLINE_REGISTRY_CAPACITY = 2048;

void initSplineRegistry();
// Releases and destroys every spline; the registry stays usable, empty.
void clearSplineRegistry();
void shutdownSplineRegistry();
// Takes ownership. A name registered again finds the new spline; the old one stays owned (path
// followers may still hold it) until the registry is cleared. A registry that was not set up,
// or one that is full, is fatal (the name is for the message).
void registerSpline(u32 nameHash, ClSplineHermite* spline, const char* name);
// The spline, or null.
ClSplineHermite* findSpline(u32 nameHash);
// Fatal when absent.
ClSplineHermite* getSplineOrDie(u32 nameHash);
u32 getSplineCount();
