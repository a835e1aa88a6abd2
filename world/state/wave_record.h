// The wave plans the wave layer writes for the path followers, and the wave slot a member
// entity points to. The wave layer fills them; the path followers read and update them.
#pragma once

#include "core/array.h"
#include "core/types.h"
#include "world/entity/param_value.h"
#include "world/entity/wave_slot.h"

class ClEntity;
class ClWaveDNA;
struct SWave;  // the wave layer's own wave record

constexpr u32 WAVE_MEMBER_SLOT_COUNT = 16;
constexpr u32 PATH_SPEED_CLASS_COUNT = 5;

// units/s, units/s per s and rad/s by speed class.
extern const f32 PATH_SPEED[PATH_SPEED_CLASS_COUNT];
extern const f32 PATH_ACCELERATION[PATH_SPEED_CLASS_COUNT];
constexpr f32 PATH_TURN_RATE = 4.0f;

// The class speed x 0.75, 0.5 or 0.25 for fraction codes 1, 2 and 3; the full speed otherwise.
// A class outside 0..4 is fatal.
f32 getPathSpeed(u32 speedClass, s32 fractionCode);

// The kinds the wave layer writes (the numbers of the plan format; any other kind is fatal to the
// path follower).
enum EMotionSegmentKind : u32 {
    E_SEG_START = 0,       // A point
    E_SEG_STEER = 3,       // A point, B fraction code
    E_SEG_BOUNCE = 5,      // A direction, B fraction code, C seconds
    E_SEG_TIMED_MOVE = 6,  // A point, B facing, C fraction code
    E_SEG_END = 9,
    E_SEG_JUMP = 14,  // A segments to move by
    E_SEG_DESTROY = 17,
};

struct SMotionSegment {
    u32 kind;
    SParamValue a;
    SParamValue b;
    SParamValue c;
};

struct SWaveMember {
    ClWaveDNA* wave;  // the plan this member slot belongs to
    ClArray<SMotionSegment> segments;

    // The seconds of the plan's timed moves at the wave's speed class. Only start points, timed
    // moves and the end may appear.
    f32 computeDuration() const;
};

class ClWaveDNA {
public:
    u32 speedClass = 0;  // 0 fastest to 4 slowest
    u32 memberCount = 0;
    SWaveMember members[WAVE_MEMBER_SLOT_COUNT] = {};
    u32 memberFlags[WAVE_MEMBER_SLOT_COUNT] = {};  // read by the wave-flag parts

    // Frees every member slot's segment list.
    void release();
};

// What the members of one wave share, held by the wave layer's record of the wave: its member
// entities and whose turn it is among its flowers. A flower acts only on beats from
// flowerNextBeat on, when flowerTurn names it.
struct SWaveTurns {
    // The wave pool's entities: it frees them only together with this record, so plain pointers.
    ClEntity* members[WAVE_MEMBER_SLOT_COUNT];
    u32 memberCount;
    s32 flowerNextBeat;
    s32 flowerTurn;
};

// The slot of one wave in play; every member entity points to it.
struct SWaveRecord : SWaveSlot {
    SWave* wave;
    u32 memberIndex;
    SWaveMember* plan;  // the member slot of the plan this record's entities fly
    ClEntity* memberEntities[WAVE_MEMBER_SLOT_COUNT];  // freed only together with this record
    u32 memberCount;
    SWaveTurns* turns;  // the wave's shared turns; null for a member that flies alone
};

// The entity's wave slot as the full record, or null.
SWaveRecord* waveRecordOf(const ClEntity* entity);
