#include "world/state/wave_record.h"

#include "core/fatal_error.h"
#include "core/vec.h"
#include "world/entity/entity.h"

const f32 PATH_SPEED[PATH_SPEED_CLASS_COUNT] = {120.0f, 100.0f, 80.0f, 40.0f, 25.0f};
const f32 PATH_ACCELERATION[PATH_SPEED_CLASS_COUNT] = {70.0f, 60.0f, 50.0f, 50.0f, 50.0f};

f32 getPathSpeed(u32 speedClass, s32 fractionCode) {
    if (speedClass >= PATH_SPEED_CLASS_COUNT) fatalErrorf("path speed class %u out of range", speedClass);
    const f32 speed = PATH_SPEED[speedClass];
    switch (fractionCode) {
        case 1: return speed * 0.75f;
        case 2: return speed * 0.5f;
        case 3: return speed * 0.25f;
        default: return speed;
    }
}

namespace {

u32 speedClassOf(const SWaveMember& member) {
    if (!member.wave) fatalError("wave member without its wave plan");
    return member.wave->speedClass;
}

}  // namespace

f32 SWaveMember::computeDuration() const {
    const u32 speedClass = speedClassOf(*this);
    ClVec3 previous;
    f32 total = 0.0f;
    for (u32 i = 0; i < segments.count; ++i) {
        const SMotionSegment& segment = segments.data[i];
        if (segment.kind == E_SEG_END) break;
        switch (segment.kind) {
            case E_SEG_START:
                previous = segment.a.getVector();
                break;
            case E_SEG_TIMED_MOVE: {
                const ClVec3 to = segment.a.getVector();
                total += (to - previous).length() / getPathSpeed(speedClass, segment.c.integer);
                previous = to;
                break;
            }
            default:
                fatalErrorf("segment kind %u in a timed wave plan", segment.kind);
        }
    }
    return total;
}

void ClWaveDNA::release() {
    for (SWaveMember& member : members) member.segments.release();
    memberCount = 0;
}

SWaveRecord* waveRecordOf(const ClEntity* entity) { return static_cast<SWaveRecord*>(entity->waveSlot); }
