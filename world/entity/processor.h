// The behaviours hung on entity nodes by DNA opcode 4: one base class reached only through its
// sixteen virtual operations, and one factory by type id.
#pragma once

#include "core/owner_blocks.h"
#include "core/types.h"

class ClAtom;
class ClEntity;
class ClEntityNode;

enum EProcessorType : u32 {
    E_PROC_UPDATE_WORLD_FRAMES = 0,
    E_PROC_UPDATE_WORLD_FRAMES_ABS_ROT = 1,
    E_PROC_BULLET = 2,
    E_PROC_BULLET_SEEK = 3,
    E_PROC_BULLET_ROUND_STAFF = 4,
    E_PROC_MISSILE = 5,
    E_PROC_PLAYER_CTRL = 6,
    E_PROC_PLAYER_GUN = 7,
    E_PROC_PLAYER_SONIC = 8,
    E_PROC_PLAYER_MISSILE_LAUNCHER = 9,
    E_PROC_PLAYER_CHARGING_GUN = 10,
    E_PROC_PLAYER_LIGHTNING = 11,
    E_PROC_ENEMY_GUN = 12,
    E_PROC_ENEMY_GUN_PHYSICAL = 13,
    E_PROC_FOLLOW_PATH = 14,
    E_PROC_GO_STRAIGHT = 15,
    E_PROC_ROTATOR = 16,
    E_PROC_ROTATOR_ON_BEAT = 17,
    E_PROC_ENEMY_FLOWER = 18,
    E_PROC_ENEMY_STAFF_STAR = 19,
    E_PROC_ENEMY_STAFF_STAR_GUN = 20,
    E_PROC_ENEMY_ROUND_STAFF_GUN = 21,
    E_PROC_ENEMY_CRAWLER = 22,
    E_PROC_ENEMY_HOVER = 23,
    E_PROC_ENEMY_STATIC_SPARK = 24,
    E_PROC_ENEMY_BEAT_SHIELD = 25,
    E_PROC_BOSS_1 = 26,
    E_PROC_BOSS_THE_WAVE = 27,
    E_PROC_BOSS_WHIP_IT = 28,
    E_PROC_BOSS_OPPS = 29,
    E_PROC_BOSS_DANCER = 30,
    E_PROC_BRIDGE_TO_CORE = 31,
    E_PROC_CONDITIONAL_DESTROY = 32,
    E_PROC_ENABLE_BASED_ON_WAVE_FLAGS = 33,
    E_PROC_FLICKER_WHEN_DAMAGED = 34,
    E_PROC_EXPLODE_WHEN_I_DIE = 35,
    E_PROC_ENEMY_HEAD_GUN = 36,
    E_PROC_ENEMY_HEAD_SHIELD = 37,
    E_PROC_ENEMY_CUBE_STATION = 38,
    E_PROC_ENEMY_ARM_GROUP = 39,
    E_PROC_ENEMY_ARM = 40,
};
constexpr u32 PROCESSOR_TYPE_COUNT = 41;

// Every operation of the base does nothing, attach included. Constructors leave the class's
// lists and tweens unused; each class's attach stores the entity, the node and its type id
// (storeAttachment) and then reads its parameters from its node and sets up its state.
class alignas(16) ClProcessor : public SOwnerBlockObject {
public:
    virtual ~ClProcessor() = default;

    u32 typeId = 0;
    ClEntity* entity = nullptr;
    ClEntityNode* node = nullptr;
    u32 builderIndex = 0;  // the DNA instruction that created it, written before attach

    // What every class's attach does first.
    void storeAttachment(ClEntity* owner, ClEntityNode* hangingOn, u32 classTypeId) {
        entity = owner;
        node = hangingOn;
        typeId = classTypeId;
    }

    virtual void attach(ClEntity* owner, ClEntityNode* hangingOn) {
        (void)owner;
        (void)hangingOn;
    }
    // Before the storage is freed: what the processor owns, including subscriptions.
    virtual void release() {}
    virtual void onSpawn() {}
    virtual void onPreviewSpawn() {}
    virtual void onActivate() {}
    virtual void onPathSignal() {}
    virtual void update() {}
    virtual void updatePreview() {}
    // A class that overrides this holds an SOverlayMark named overlayMark (below); the class table
    // refuses to build without it.
    virtual void drawOverlay() {}
    virtual void updateWorldFrames() {}
    virtual void onFirePressed() {}
    virtual void onFireReleased() {}
    virtual void reloadParameters() {}
    virtual void onDestroy() {}
    virtual void onDamaged(ClAtom* hitAtom) { (void)hitAtom; }
    virtual void onBulletEnded(ClEntity* bullet) { (void)bullet; }
};

using ProcessorConstructor = ClProcessor* (*)();

struct SProcessorClassEntry {
    const char* name;
    ProcessorConstructor construct;  // null while the class is not built
};

// Every class by type id. The behaviours fill the table (world/processors/processor_classes.cpp),
// so this layer names none of their classes.
extern const SProcessorClassEntry g_aProcessorClasses[PROCESSOR_TYPE_COUNT];

// The class name of the type id, or null outside 0 to 40.
const char* processorClassName(u32 typeId);
// A new processor of the class (16-byte aligned storage, constructed; freed with
// processorFree). A type id outside 0 to 40, one whose class is not built, or no memory, is fatal.
ClProcessor* processorCreate(u32 typeId);
// Runs the destructor and frees the storage; null is ignored. Release the processor first.
void processorFree(ClProcessor* processor);

// Counts the live processors that draw an overlay, one per mark, so that the draw walk passes over
// the processor lists while there are none.
struct SOverlayMark {
    SOverlayMark();
    SOverlayMark(const SOverlayMark&) = delete;
    SOverlayMark& operator=(const SOverlayMark&) = delete;
    ~SOverlayMark();
};
u32 overlayProcessorCount();
