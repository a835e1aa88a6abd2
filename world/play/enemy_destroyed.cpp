#include "world/play/enemy_destroyed.h"

#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/generators/dna_generator.h"
#include "world/play/inspiration_pickups.h"
#include "world/services/positioned_sound.h"
#include "world/play/player_state.h"

void onEnemyDestroyed(ClAtom* atom, u32 dropPickups) {
    ClEntity* entity = atom->entity;
    const ClDNAGenerator* generator = entity->program ? entity->program->generator : nullptr;
    const u32 category = generator ? generator->getCategory() : 0;
    if (category == E_GENCAT_BOSS) return;
    const ClVec4 at = entity->getWorldPosition();
    switch (category) {
        case E_GENCAT_ENEMY_SMALL: playSoundCueAt("EnemyDestroyedSmall", ClVec3(at.x, at.y, at.z)); break;
        case E_GENCAT_ENEMY_MEDIUM: playSoundCueAt("EnemyDestroyedMedium", ClVec3(at.x, at.y, at.z)); break;
        case E_GENCAT_ENEMY_LARGE: playSoundCueAt("EnemyDestroyedLarge", ClVec3(at.x, at.y, at.z)); break;
        default: break;
    }
    ++g_aPlayerState[0].kills;
    if (dropPickups == 1) {
        spawnInspirationPickups(atom->currentWorldMatrix().getTranslation(), getKillPoints(entity),
                                category == E_GENCAT_ENEMY_SMALL ? 0u : 1u, 1u);
    }
}
