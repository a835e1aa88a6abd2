#include "core/sweep_segment.h"

#include "core/float_helpers.h"
#include "core/game_clock.h"
#include "core/random.h"

void ClSweepSegment::init(f32 trackLength, f32 pieceSpan, f32 pieceSpeed) {
    length = trackLength;
    span = pieceSpan;
    speed = pieceSpeed;
    const f32 start = pieceSpeed > 0.0f ? 0.0f : trackLength;
    low = start;
    high = start;
    lead = start;
}

void ClSweepSegment::initAtOffset(f32 trackLength, f32 offset, f32 pieceSpan, f32 pieceSpeed) {
    length = trackLength;
    span = pieceSpan;
    speed = pieceSpeed;
    lead = offset;
    // The trailing end sits span behind the lead, as update keeps it; a piece begun mid-track
    // is never longer than span.
    if (pieceSpeed > 0.0f) {
        low = maxFloat(offset - pieceSpan, 0.0f);
        high = maxFloat(offset, 0.0f);
    } else {
        low = minFloat(offset, trackLength);
        high = minFloat(offset + pieceSpan, trackLength);
    }
}

void ClSweepSegment::initAtRandomOffset(f32 trackLength, f32 pieceSpan, f32 pieceSpeed) {
    initAtOffset(trackLength, randomFloatInRange(0.0f, trackLength), pieceSpan, pieceSpeed);
}

u32 ClSweepSegment::hasStarted() const {
    const f32 start = speed > 0.0f ? 0.0f : length;
    return (low == start && high == start) ? 0u : 1u;
}
