// An entity: one pooled record of play or of a menu preview that owns a tree of nodes built from
// a DNA program, with its lifecycle state, its place in the world's lists and its transforms.
#pragma once

#include "core/array.h"
#include "core/colour_animator.h"
#include "core/matrix44.h"
#include "core/types.h"
#include "core/vec.h"
#include "render/camera_blend.h"
#include "render/tween.h"
#include "world/entity/enemy_beam_set.h"
#include "world/entity/frame_parity.h"

class ClAtom;
class ClDNAProgram;
class ClEntityNode;
struct SWaveSlot;

enum EEntityState : u32 {
    E_ENTITY_BUILT = 0,
    E_ENTITY_SPAWNED = 1,
    E_ENTITY_ACTIVE = 2,  // or shown in a preview
    E_ENTITY_DESTROYED = 3,
};

// The world's entity lists; an entity keeps its position in each (or ENTITY_NOT_LISTED).
enum EEntityList : u32 {
    E_LIST_LIVE = 0,
    E_LIST_ACTIVATED = 1,
    E_LIST_PREVIEW = 2,
    E_LIST_FREE_QUEUE = 3,
    E_LIST_DESTROYED = 4,
    E_LIST_COUNT = 5,
};
constexpr u32 ENTITY_NOT_LISTED = 0xFFFFFFFFu;

// The owner tag of the live game; 0 to 7 are the menu previews' render-target slots.
constexpr s32 OWNER_LIVE_GAME = -1;

// Each record starts a cache line, so the fields the walks read of every entity (root to the
// tween's running flag) share one line.
class alignas(64) ClEntity {
public:
    ClEntityNode* root = nullptr;
    ClDNAProgram* program = nullptr;
    // What the per-frame update and collision walks read of every entity, kept together at the
    // start of the record so that they share as few cache lines as they can.
    u32 state = E_ENTITY_BUILT;
    u32 noBrokenAtom = 0;
    s32 focusAtomIndex = 0;
    u32 incoming = 0;
    f32 timer = 0.0f;  // seconds; blinks while drawn and is the collision grace
    // g_uFrameFlips when the update made this frame's bounds of the root and nothing that goes
    // into them has changed since; 0 when they must be made again. Moving a node or an atom,
    // switching an atom on or off, and adding or removing an atom or a node clear it.
    u32 boundsFrame = 0;
    s32 ownerTag = OWNER_LIVE_GAME;  // read by the draw of every shot and body
    SFloatTween tween;  // its value is the entity's fade
    ClArray<ClAtom*> registeredAtoms;  // the main atoms; the first is the entity's main atom
    ClArray<ClAtom*> atoms;            // every atom of the tree in creation order
    SWaveSlot* waveSlot = nullptr;
    u32 memberIndex = 0;
    u32 planSlot = 0;
    f32 spawnTime = 0.0f;
    ClArray<u32> thirdList;
    u32 killed = 0;
    ClVec4 focusPosition;
    u32 nextAtomIndex = 0;
    u32 faceAlongBlend = 0;
    ClVectorBlend facingBlend;
    SColourAnimator colour;
    ClArray<u32> fourthList;
    u32 poolIndex = 0;
    // Which use of the record this is: a fresh number when the world hands it out, 0 while it is
    // free. Stays readable while the record is free (see SEntityRef).
    u32 serial = 0;
    u32 listSlot[E_LIST_COUNT] = {ENTITY_NOT_LISTED, ENTITY_NOT_LISTED, ENTITY_NOT_LISTED, ENTITY_NOT_LISTED,
                                  ENTITY_NOT_LISTED};
    // Motion state of the processors that move the whole entity.
    ClVec3 velocity;
    ClVec3 angularVelocity;
    SEnemyBeamSet beams{};  // enemies' beams on the beat

    // Re-initialises the record for the program and runs the whole program: state 0.
    void buildFromDNA(ClDNAProgram* dna);
    // Runs instructions from `first` with `startNode` current (null: the first opcode 1 makes the
    // root); ends after the last instruction or at the opcode 6 that makes the start node current
    // again. Every opcode 1 stores its node in *resultSlot when given.
    void runDNA(u32 first, ClEntityNode* startNode, ClEntityNode** resultSlot);

    void spawn();
    void spawnForPreview();
    void activate();
    // Only an entity in the live and the activated list may be destroyed.
    void destroy();
    void kill();
    void setWaveMember(u32 flag) { incoming = flag; }
    u32 isIncoming() const { return incoming; }
    void setState(u32 newState) { state = newState; }

    void update();
    void updatePreview();
    void draw();

    // Root transforms; each refreshes the world frames of the whole tree afterwards.
    void setRootPosition(const ClVec3& position);
    void setRootTransform(const ClMatrix44& matrix);
    void setFacing(const ClVec3& direction, const ClVec3& up);
    void refreshWorldFrames();
    ClVec4 getWorldPosition() const;
    ClVec4 getPreviousWorldPosition() const;
    ClVec4 getWorldAxisX() const;
    ClVec4 getPreviousWorldAxisX() const;
    ClVec4 getMainAtomWorldPosition() const;

    void broadcastPathSignal();
    void broadcastFirePressed();
    void broadcastFireReleased();
    void broadcastRefresh();

    struct SParamValue* findOrAddParam(const char* name);
    struct SParamValue* findOrAddParam(const struct SParamName& name);
    void findFirstBrokenAtom();
    void repairAtoms();
    void propagateVisit();
    void rebuildAtomList();
    // Releases the tree and the record's lists; the record stays in the pool.
    void releaseTree();

    bool isListed(EEntityList list) const { return listSlot[list] != ENTITY_NOT_LISTED; }
    bool boundsMadeThisFrame() const { return boundsFrame == g_uFrameFlips; }
};

// The rotation rows (direction, up, side) of a facing; up need not be unit length. Returns false,
// writing nothing, for a direction too short to normalise. An up along the direction gives way to
// (0, 0, 1), and that to (1, 0, 0).
bool buildFrameFromDirection(const ClVec3& direction, const ClVec3& up, ClVec3 rows[3]);
