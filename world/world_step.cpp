#include "world/world_step.h"

#include "render/camera_inputs.h"
#include "render/particle_world_inputs.h"
#include "world/collision/kill_queue.h"
#include "world/collision/world_collision.h"
#include "world/effects/backdrop.h"
#include "world/effects/flying_notes.h"
#include "world/entity/entity.h"
#include "world/entity/frame_parity.h"
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

void worldStep(const SWorldStepHooks* hooks) {
    flipFrameBuffers();
    if (hooks && hooks->afterFlip) hooks->afterFlip(hooks->user);
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
    SCameraWorldInputs& camera = g_CameraWorldInputs;
    camera.arenaFocus = ClVec3(ARENA_FOCUS_X, 0.0f, ARENA_FOCUS_Z);
    const ClEntity* ship = playerShip(0);
    const bool shipInPlay = ship && (ship->state == E_ENTITY_SPAWNED || ship->state == E_ENTITY_ACTIVE);
    camera.playerExists = shipInPlay ? 1 : 0;
    if (shipInPlay) {
        const ClVec4 at = ship->getWorldPosition();
        camera.playerPosition = ClVec3(at.x, at.y, at.z);
    }

    g_particleFxColours.explosion = g_BarColourScheme.colour(SCHEME_FX_EXPLOSION).current;
    g_particleFxColours.firstFlash = g_BarColourScheme.colour(SCHEME_FX_FIRST_FLASH).current;
    g_particleFxColours.secondFlash = g_BarColourScheme.colour(SCHEME_FX_SECOND_FLASH).current;
    g_particleMusicLevel = getBackdropSpeed();
}
