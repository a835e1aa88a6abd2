// The ship's missile launcher and its missiles. The launcher keeps one missile entity loaded on
// each of its node's "MislBay" atoms, reloading one at a time, and launches the most recently
// loaded one while its trigger is held. A loaded missile rides its bay and blinks with the ship;
// a launched one flies along its own x axis with a smoke trail and a glow until it is 1200 units
// from the world origin. Losing a loaded missile wrecks the launcher.
#pragma once

#include "core/array.h"
#include "core/types.h"
#include "core/vec.h"
#include "world/atoms/gun_params.h"
#include "world/entity/entity_ref.h"
#include "world/entity/processor.h"

struct SFxParticle;
class ClProcessor_Missile;

constexpr u32 MISSILE_BAY_INITIAL_CAPACITY = 8;
constexpr u32 MISSILE_SLOT_COUNT = 12;  // bays beyond these carry no missile
constexpr f32 MISSILE_FULL_RELOAD_SECONDS = 2.0f;  // every bay loaded again in this time
constexpr f32 MISSILE_LAUNCH_INTERVAL = 1.0f / 15.0f;
constexpr f32 MISSILE_PREVIEW_RELOAD = 0.5f;
constexpr f32 MISSILE_PREVIEW_SALVO_WAIT = 4.0f;
constexpr f32 MISSILE_RANGE = 1200.0f;  // from the world origin

struct SLoadedMissile {
    SEntityRef entity;
    ClProcessor_Missile* missile;  // read only while entity is live
};

class ClProcessor_PlayerMissileLauncher : public ClProcessor {
public:
    ClArray<ClAtom*> bays;  // at most MISSILE_SLOT_COUNT of them take missiles
    SGunParams params = {};
    s32 ctrl = 0;
    SLoadedMissile loaded[MISSILE_SLOT_COUNT] = {};
    u32 loadedCount = 0;
    u32 salvo = 0;  // preview: emptying a full load
    f32 reloadTimer = 0.0f;
    f32 launchTimer = 0.0f;
    f32 reloadPeriod = 1.0f;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onPreviewSpawn() override;
    void update() override;
    void updatePreview() override;
    void updateWorldFrames() override;
    void onFirePressed() override;
    // Finds the node's own "MislBay" atoms and rereads the parameters.
    void reloadParameters() override;
    void onDestroy() override;

    // The bays that can hold a missile.
    u32 usableBays() const;
    void loadMissile();
    // Removes the missile from the slots; one not loaded here stops the program.
    void detachMissile(ClProcessor_Missile* missile);
    // Every loaded missile destroyed, the launcher's Body atoms deactivated.
    void wreck();

private:
    void launchLast();
    void destroyLoaded();
    // Slots whose missile's record went without word are emptied.
    void forgetReleased();
};

class ClProcessor_Missile : public ClProcessor {
public:
    u32 attached = 0;
    ClProcessor_PlayerMissileLauncher* launcher = nullptr;
    SFxParticle* trail = nullptr;
    u32 trailGeneration = 0;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void update() override;
    // The launch.
    void onFirePressed() override;
    void onDestroy() override;

private:
    void drawFlight(const ClVec3& at);
};
