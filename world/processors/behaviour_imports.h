// What the behaviour layer (processors/ and effects/) calls in the play layer above it, all in one
// record. The record is filled once, when the program is linked, by world/inner_imports.cpp.
#pragma once

#include "core/types.h"

struct ClVec3;

struct SBehaviourImports {
    // play/boss_choice.h
    void (*playBossNote)(const ClVec3& position);
    // play/play_time.h
    void (*formatPlayTime)(f32 seconds, char16_t* out, u32 capacity);
};

extern const SBehaviourImports g_BehaviourImports;
