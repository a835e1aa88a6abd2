// A visible piece [low, high] of a track [0, length] that travels along it with its leading
// point: it grows from the start end to at most span, slides along, and shrinks into the far
// end. Glints running along mesh edges and the background beams are made of these.
#pragma once

#include "core/float_helpers.h"
#include "core/game_clock.h"
#include "core/types.h"

// Six floats in this order; the owners' records embed it as it stands.
struct ClSweepSegment {
    f32 length = 0.0f;
    f32 span = 0.0f;
    // Signed, units per second: positive runs from 0 towards length, zero or negative back.
    f32 speed = 0.0f;
    f32 low = 0.0f;
    f32 high = 0.0f;
    // The leading point; it may lie outside the track (ahead of the start, or past the end).
    f32 lead = 0.0f;

    // Everything at the start end: 0 for a positive speed, else length.
    void init(f32 trackLength, f32 pieceSpan, f32 pieceSpeed);
    // The lead at offset, the piece the part of [offset - span, offset] (or, running backwards,
    // [offset, offset + span]) that lies on the track.
    void initAtOffset(f32 trackLength, f32 offset, f32 pieceSpan, f32 pieceSpeed);
    // initAtOffset with the offset uniform in [0, length) from the global generator.
    void initAtRandomOffset(f32 trackLength, f32 pieceSpan, f32 pieceSpeed);

    // 0 while the piece is still empty at its start end, else 1.
    u32 hasStarted() const;
    // Advances by the gameplay clock's frame step (0 while paused). Returns 1 while running and
    // 0 once the piece has left the track, after which low = high = the far end. Inline: every
    // glint of every mesh edge takes a step each frame.
    u32 update();
};

inline u32 ClSweepSegment::update() {
    // The step works in locals and stores the three fields once, as it returns.
    const f32 step = frameTime() * speed;
    const f32 at = lead + step;
    f32 from = low + step;
    f32 to = high + step;
    const auto settle = [this, at](f32 newLow, f32 newHigh, u32 running) {
        lead = at;
        low = newLow;
        high = newHigh;
        return running;
    };
    if (speed > 0.0f) {
        if (at < 0.0f) return settle(0.0f, 0.0f, 1);
        if (at - from < span) from = maxFloat(at - span, 0.0f);
        if (to > length) return from > length ? settle(length, length, 0) : settle(from, length, 1);
        return settle(from, to, 1);
    }
    if (at > length) return settle(length, length, 1);
    if (to - at < span) to = minFloat(at + span, length);
    if (from < 0.0f) return to < 0.0f ? settle(0.0f, 0.0f, 0) : settle(0.0f, to, 1);
    return settle(from, to, 1);
}
