// The wave member's path: runs the motion plan the wave generator wrote for its slot, segment
// after segment (the timed moves by the song clock), and lets the member enter play at the end.
#pragma once

#include "core/types.h"
#include "core/vec.h"
#include "render/tween.h"
#include "world/entity/processor.h"

class ClFXParticleSystem;
struct SWaveMember;
struct SWaveRecord;

// The step of steering and bouncing movement (seconds): 1/60 in the game step's fixed steps,
// longer in the catch-up at the start of a song. Bounce time and timed moves use the frame time
// and the song clock instead.
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
    u32 stopped = 0;  // while set (the whip boss charging and lashing) steering holds still
    SWaveMember* member = nullptr;
    s32 cursor = 0;
    u32 finished = 0;
    u32 started = 0;  // set at spawn, cleared by the timed moves
    ClVec3 heading;
    f32 speed = 0.0f;
    u32 steering = 0;              // 1 while a steering segment runs: its first frame has passed
    u32 bouncing = 0;
    f32 bounceTimeLeft = 0.0f;
    s32 lastStartedSegment = -1;
    ClVec3 timedStart;
    f32 timedStartTime = 0.0f;  // song seconds
    SVectorTween timedMove;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void onSpawn() override;
    void update() override;

private:
    enum EStep { E_NEXT, E_STAY, E_CONTINUE };

    EStep runSegment();
    EStep steerToPoint();
    EStep bounce();
    EStep timedMoveSegment();
    EStep endOfPath();
    EStep jumpBy(s32 segments);
    u32 speedClass() const;
    SWaveRecord* slot() const;
};

// True once the song's cue has been handed to the clock and has stopped playing. Before the cue
// exists (the run-up, headless steps) the song counts as still playing.
bool pathSongHasEnded();
