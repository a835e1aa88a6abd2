// Two beat-driven enemies whose parts move or leave the body: the crawler slides its farthest
// block next to its nearest one on every beat, and the flowers of a wave take turns lighting,
// throwing and regrowing their petals.
#pragma once

#include "world/processors/beat_subscribers.h"
#include "core/array.h"
#include "core/types.h"
#include "core/vec.h"
#include "render/tween.h"
#include "world/entity/processor.h"

class ClAtom;

// The grid a crawler's blocks sit on (units), and the share of the beat gap a slide takes.
constexpr f32 CRAWLER_CELL = 15.0f;
constexpr f32 CRAWLER_SLIDE_SHARE = 0.8f;
// A flower at or beyond this z (the arena's far edge) keeps its petal.
constexpr f32 FLOWER_THROW_LIMIT_Z = 269.75f;
constexpr f32 FLOWER_OPEN_SECONDS = 1.0f;

class ClProcessor_Enemy_Crawler : public ClProcessor {
public:
    SBeatSubscriptionHandle subscription;
    SVectorTween slideTween;
    ClAtom* movingAtom = nullptr;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onActivate() override;
    void update() override;
    void onDestroy() override;

    static void onBeat(const SBeat& beat, s32 index, void* user);
};

struct SPetalRecord {
    ClEntityNode* petal;   // null while the petal is away
    ClEntityNode* parent;
    s32 dnaInstruction;    // the instruction that opens the petal node
};

enum EPetalStep : s32 {
    E_PETAL_CHOOSE = 0,
    E_PETAL_THROW = 1,
    E_PETAL_REGROW = 2,
    E_PETAL_RESET = 3,
};

class ClProcessor_Enemy_Flower : public ClProcessor {
public:
    ClArray<SPetalRecord> petals;
    s32 chosenPetal = 0;
    s32 openOnActivate = 0;
    s32 firePattern = 0;
    s32 petalStep = E_PETAL_CHOOSE;
    SBeatSubscriptionHandle subscription;
    SFloatTween openTween;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onActivate() override;
    void update() override;
    void onDestroy() override;

    static void onBeat(const SBeat& beat, s32 index, void* user);
    // The index of the petal whose x axis points most nearly at the ship; -1 with no ship or
    // no petal at home.
    s32 petalFacingShip() const;

private:
    void act(s32 beatIndex);
    void throwPetal();
    void regrowPetal();
    void setPetalAngles(f32 angle);
    void flash();
};
