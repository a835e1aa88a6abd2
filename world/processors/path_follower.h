// The wave member's path: runs the motion plan the wave generator wrote for its slot, segment
// after segment, several of them timed by the song clock or its beats, and lets the member enter
// play at the end.
#pragma once

#include "audio/play/beat_events.h"
#include "core/types.h"
#include "core/vec.h"
#include "render/tween.h"
#include "render/spline.h"
#include "world/entity/processor.h"

class ClFXParticleSystem;
struct SWaveMember;
struct SWaveRecord;

// The step of steering, crossing and bouncing movement (seconds): 1/60 in the game step's fixed
// steps, longer in the catch-up at the start of a song. Beat hops, bounce time and timed moves
// use the frame time instead.
// The in-game mode sets it through setGameStep.
extern f32 g_fGameStep;
inline void setGameStep(f32 seconds) { g_fGameStep = seconds; }
// Where arriving members put their explosion; null puts none. The in-game mode installs it
// through setPathFxParticles.
extern ClFXParticleSystem* g_pPathFxParticles;
inline void setPathFxParticles(ClFXParticleSystem* system) { g_pPathFxParticles = system; }

// Within this distance (units) a steered member has reached its point.
constexpr f32 PATH_STEER_ARRIVAL = 5.0f;
// Half-angle (degrees) of the cone round the bounce direction a bounce leaves in.
constexpr f32 PATH_BOUNCE_CONE_DEGREES = 45.0f;
// A timed move that is not the first of its plan starts one frame back on the song clock.
constexpr f32 PATH_TIMED_START_LEAD = 1.0f / 60.0f;

class ClProcessor_FollowPath : public ClProcessor {
public:
    s32 beatWaitMode = 0;  // of the kind 8 wait: 0 any beat, 1 members leave in turn
    u32 beatWaitDone = 0;
    SBeatSubscriptionHandle subscription;
    u32 stopped = 0;  // the free spline ride holds still while set
    SWaveMember* member = nullptr;
    s32 cursor = 0;
    u32 finished = 0;
    u32 started = 0;  // set at spawn and by a hold, cleared by the heading and timed segments
    ClVec3 heading;
    f32 speed = 0.0f;
    u32 faceTarget = 0;
    ClVec3 targetDirection;
    u32 steering = 0;              // 1 while a steering segment runs: its first frame has passed
    f32 crossing = 0.0f;           // 1.0 while a crossing segment runs
    f32 crossingTowardsPlus = 0.0f;  // 1.0 when it crosses towards +x
    u32 bouncing = 0;
    f32 bounceTimeLeft = 0.0f;
    u32 hopping = 0;
    SVectorTween hop;
    SSplineCursor splineCursor;
    const ClSplineHermite* spline = nullptr;
    s32 lastStartedSegment = -1;
    ClVec3 timedStart;
    f32 timedStartTime = 0.0f;  // song seconds
    SVectorTween timedMove;
    SFloatTween splineDistance;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void update() override;
    void onDestroy() override;

    static void onPathBeat(const SBeat& beat, s32 index, void* user);

private:
    enum EStep { E_NEXT, E_STAY, E_CONTINUE };

    EStep runSegment();
    EStep steerToPoint();
    EStep crossX();
    EStep bounce();
    EStep timedMoveSegment();
    EStep hopSegment();
    EStep waitForBeat();
    EStep endOfPath();
    EStep timedSpline();
    EStep freeSpline();
    EStep jumpBy(s32 segments);
    void takeTurn(s32 beatIndex);
    void enterSpline(u32 nameHash);
    void placeOnSpline(bool faceAlong);
    u32 speedClass() const;
    SWaveRecord* slot() const;
};

// True once the song's cue has been handed to the clock and has stopped playing. Before the cue
// exists (the run-up, headless steps) the song counts as still playing.
bool pathSongHasEnded();
