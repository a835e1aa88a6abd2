#include "world/world_step.h"

#include "render/camera_inputs.h"
#include "render/particle_world_inputs.h"
#include "world/collision/kill_queue.h"
#include "world/collision/world_collision.h"
#include "world/effects/backdrop.h"
#include "world/effects/flying_notes.h"
#include "world/entity/entity.h"
#include "world/entity/world.h"
#include "world/play/inspiration_pickups.h"
#include "world/play/player_state.h"
#include "world/services/bar_colour_scheme.h"

namespace {

// Entries of the colour scheme the FX system draws its explosions and two flash kinds in. The
// first flash widens for two seconds and is added onto the scene, so it takes the faint entry
// (alpha 16): dozens of them at once still leave the arena visible. The second lasts one frame
// and takes the opaque entry.
constexpr u32 SCHEME_FX_EXPLOSION = 25;
constexpr u32 SCHEME_FX_FIRST_FLASH = 27;
constexpr u32 SCHEME_FX_SECOND_FLASH = 32;

}  // namespace

void worldStep() {
    updateLiveEntities();
    updateFlyingNotes();
    updateWorldCollisions();
    processKillQueue();
    flushDestroyedEntities();
    sweepInspirationPickups();
    flushFreedEntities();
    publishWorldFrameInputs();
}

void publishWorldFrameInputs() {
    const ClEntity* ship = playerShip(0);
    const bool shipInPlay = ship && (ship->state == E_ENTITY_SPAWNED || ship->state == E_ENTITY_ACTIVE);
    // Without a ship in play the camera keeps the last position it was given.
    ClVec3 position = cameraWorldInputs().playerPosition;
    if (shipInPlay) {
        const ClVec4 at = ship->getWorldPosition();
        position = ClVec3(at.x, at.y, at.z);
    }
    setCameraWorldView(ClVec3(ARENA_FOCUS_X, 0.0f, ARENA_FOCUS_Z), shipInPlay ? 1 : 0, position);

    SParticleFxColours colours;
    colours.explosion = g_BarColourScheme.colour(SCHEME_FX_EXPLOSION).current;
    colours.firstFlash = g_BarColourScheme.colour(SCHEME_FX_FIRST_FLASH).current;
    colours.secondFlash = g_BarColourScheme.colour(SCHEME_FX_SECOND_FLASH).current;
    setParticleFxColours(colours);
    setParticleMusicLevel(getBackdropSpeed());
}
