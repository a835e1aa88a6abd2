// The boss with a ring of rotating arms round its core. The arms spin faster as they are shot
// away; once none stands, its two head guns open fire. In the fight it rides a figure-eight of two
// circles that touch at FIRST_BOSS_CENTRE, and it draws a bright line to every standing arm.
#pragma once

#include "core/types.h"
#include "core/vec.h"
#include "world/entity/processor.h"

constexpr f32 FIRST_BOSS_SPIN = 3.5f;   // rad/s of the arms at full count
constexpr f32 FIRST_BOSS_ORBIT = 1.5f;  // rad/s along the figure-eight
constexpr f32 FIRST_BOSS_RADIUS = 40.0f;
constexpr f32 FIRST_BOSS_ARM_LINE_WIDTH = 50.0f;
extern const ClVec3 FIRST_BOSS_CENTRE;

class ClProcessor_Enemy_Boss_1 : public ClProcessor {
public:
    f32 orbitAngle = 0.0f;  // 0 to 4 pi
    s32 armCount = 0;       // "HHNHS"
    s32 armScale = 0;       // "HHMNHS"
    f32 gunInterval = 0.0f; // "HHGFR"

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void onSpawn() override;
    void update() override;
    void drawOverlay() override;
    SOverlayMark overlayMark;

    u32 standingArms() const;
    // (armCount / armScale) / standing arms, or armCount / armScale with none standing.
    f32 spinFactor() const;

private:
    u32 armNodeCount() const;
};
