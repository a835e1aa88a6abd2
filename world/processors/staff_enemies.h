// The enemies that carry staff weapons. The round-staff gun keeps one ring of notes on its node;
// the ring's own processor counts beats and, once the ring is full, has the gun let it fly at the
// player and grow the next. The staff star grows a beam on each of its "SSGN" nodes and fires one
// of them on every beat, calming the one fired before. Two more classes only tag nodes.
#pragma once

#include "world/processors/beat_subscribers.h"
#include "core/array.h"
#include "core/types.h"
#include "world/entity/entity_ref.h"
#include "world/entity/processor.h"

class ClAtom_Bullet_RoundStaff;
class ClAtom_Bullet_Staff;

// A star whose z lies at or beyond the player's area's far edge fires nothing.
constexpr f32 STAFF_STAR_FAR_EDGE_Z = 269.75f;

class ClProcessor_Enemy_AI_RoundStaffGun : public ClProcessor {
public:
    SEntityRef heldBullet;  // empty once the ring's record is released
    ClAtom_Bullet_RoundStaff* ringAtom = nullptr;  // read only while heldBullet is live

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onActivate() override;
    void updateWorldFrames() override;
    // Launches the held ring at the player and grows the next at once.
    void onFirePressed() override;
    void onDestroy() override;
    // The held ring ended by itself (its gun's parts are gone): both fields cleared.
    void forgetBullet();

private:
    void growBullet();
    // The held ring's processor no longer points here.
    void letGo();
};

struct SStaffRecord {
    ClEntityNode* node;
    ClAtom* nozzle;  // the node subtree's first "NozzleAtom", or null
    SEntityRef staffEntity;  // empty once the beam's record is released
    ClAtom_Bullet_Staff* staffAtom;
};

class ClProcessor_Enemy_AI_StaffStar : public ClProcessor {
public:
    ClArray<SStaffRecord> staffRecords;
    s32 activeStaff = 0;
    SBeatSubscriptionHandle beatSubscription;

    ~ClProcessor_Enemy_AI_StaffStar() override { staffRecords.release(); }
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onActivate() override;
    void updateWorldFrames() override;
    void onDestroy() override;
    // A staff whose nozzle went: its record leaves the list (order kept). A staff no record
    // holds is ignored.
    void onStaffEnded(ClAtom_Bullet_Staff* staff);
    void onBeat(s32 beatIndex);

private:
    void growStaffs();
    // Every staff forgets the star (and, with destroy, is destroyed).
    void dropStaffs(bool destroy);
};

class ClProcessor_Enemy_AI_StaffStarGun : public ClProcessor {
public:
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override { storeAttachment(owner, hangingOn, E_PROC_ENEMY_STAFF_STAR_GUN); }
};

class ClProcessor_Enemy_AI_Hover : public ClProcessor {
public:
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override { storeAttachment(owner, hangingOn, E_PROC_ENEMY_HOVER); }
};
