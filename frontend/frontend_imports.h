// What the front end asks of the program above it: how many enemies the play offered, for the
// results' kill percentage. The program fills the record once at start-up
// (app/layer_imports.cpp) and clears it at shutdown; without it (or when it answers 0 or less)
// the percentage is shown as unknown. Main thread only.
#pragma once

#include "core/types.h"

struct SFrontendImports {
    // Every member of the play's waves (app).
    s32 (*enemiesOffered)() = nullptr;
};

// Copies the record; null clears every member.
void setFrontendImports(const SFrontendImports* imports);
const SFrontendImports& frontendImports();
