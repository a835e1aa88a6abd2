// The bullet atom of every ordinary bullet, the player's and the enemies': no mesh, its world
// position places it, a sphere of the bullet radius bounds it and a sphere swept from last frame's
// position to this frame's collides. Its look follows the bullet's type and level.
#pragma once

#include "core/array.h"
#include "render/tween.h"
#include "world/atoms/atom.h"
#include "world/atoms/gun_params.h"

struct SFxParticle;
struct SMaterial;

constexpr s32 BULLET_TYPE_COUNT = 20;
constexpr s32 BULLET_LEVEL_COUNT = 6;
constexpr u32 BULLET_SATELLITE_COUNT = 20;
// The converging ray of the small enemies' guns: the one look that raises the ready flag those
// guns wait for.
constexpr s32 ENEMY_GUN_BULLET_TYPE = 18;

// One satellite of the converging look: it moves from `from` to the bullet as its tween runs.
struct SBulletSatellite {
    ClVec3 from;
    SFloatTween closing;  // 1 down to 0 over 0.2 s: the share of `from` still to go
};

class ClAtom_Bullet final : public ClAtom {
public:
    // The first line of the bullet's own fields holds all a shot whose tails are dropped reads
    // (the flags, its first material and its type) and the radius the bounds read every frame.
    u32 paramsRead = 0;
    u32 glowsMade = 0;  // the first draw made its glows and ambient request
    const SMaterial* mainMaterial = nullptr;  // null: not chosen yet
    SBulletParams params = {};
    SFxParticle* glow = nullptr;  // FX particles, steered only while still the records they were
    SFxParticle* glow2 = nullptr;
    u32 glowGeneration = 0;
    u32 glow2Generation = 0;
    ClArray<SBulletSatellite> trail;  // the converging look's satellites
    f32 sparkTimer = 0.0f;
    u32 satellitesDone = 1;  // 0 while a satellite of the converging look still moves
    const SMaterial* mainSubMaterial = nullptr;
    const SMaterial* secondMaterial = nullptr;
    const SMaterial* secondSubMaterial = nullptr;
    const SMaterial* thirdMaterial = nullptr;
    const SMaterial* thirdSubMaterial = nullptr;
    const SMaterial* glowMaterial = nullptr;
    const SMaterial* glowSubMaterial = nullptr;

    ~ClAtom_Bullet() override { trail.release(); }
    void init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    // A type outside 0 to 19 is fatal.
    void draw() override;
    void computeWorldBounds() override;
    void rebuildCollisionShape() override;
    // The block the gun copied into the atom's node, taken as it is: the atom reads no names.
    // Without it the atom reads the ten names from its node once, on its first bounds or draw.
    void takeParams(const SBulletParams& block);

private:
    void readParams();
    // The first box, with the radius from the parameters, and the same box for the frame before.
    void makeFirstWorldBounds();
    void chooseMaterials();
    // The look of the type, into draw lists with room for it. Apart from draw, so that a shot
    // whose lines would all be dropped returns without the look's stack frame.
    void drawLook(s32 type, bool tailOnly);
};

// The packed colour generators and player weapons give a bullet of the type and level.
u32 getBulletColour(const SBulletParams& params);
