#include "render/spline.h"

#include "core/fatal_error.h"

namespace {

ClVec3 hermitePoint(const SSplineKey& a, const SSplineKey& b, f32 t) {
    const f32 t2 = t * t;
    const f32 t3 = t2 * t;
    return scaleVec3(a.position, 2.0f * t3 - 3.0f * t2 + 1.0f) + scaleVec3(a.tangent, t3 - 2.0f * t2 + t) +
           scaleVec3(b.position, 3.0f * t2 - 2.0f * t3) + scaleVec3(b.tangent, t3 - t2);
}

ClVec3 lerp(const ClVec3& start, const ClVec3& delta, f32 t) { return start + scaleVec3(delta, t); }

// Closes the last segment on the sample and gives the one before it its direction delta.
void closeLastSegment(ClArray<SSplineSegment>& segments, const ClVec3& sample, const ClVec3& sampleUp,
                      f32* runningDistance) {
    if (segments.count == 0) return;
    SSplineSegment& last = segments[segments.count - 1];
    last.positionDelta = sample - last.positionStart;
    last.directionStart = last.positionDelta.normalized();
    last.length = last.positionDelta.length();
    *runningDistance += last.length;
    last.upDelta = sampleUp - last.upStart;
    last.directionDelta = ClVec3();
    if (segments.count >= 2) {
        SSplineSegment& before = segments[segments.count - 2];
        before.directionDelta = last.directionStart - before.directionStart;
    }
}

}  // namespace

void ClSplineHermite::init(f32 step) {
    keys.init();
    segments.init();
    sampleStep = step;
    totalLength = 0.0f;
}

void ClSplineHermite::release() {
    keys.release();
    segments.release();
}

void ClSplineHermite::addKey(const ClVec3& position, const ClVec3& tangent, const ClVec3& up) {
    keys.push(SSplineKey{position, tangent, up});
}

void ClSplineHermite::buildSegments(s32 first, s32 last) {
    if (first == -1) first = 0;
    if (last == -1) last = s32(keys.count) - 1;
    segments.count = 0;
    totalLength = 0.0f;
    if (first < 0 || first >= last || last >= s32(keys.count)) return;
    f32 running = 0.0f;
    for (s32 i = first; i < last; ++i) {
        const SSplineKey& a = keys[u32(i)];
        const SSplineKey& b = keys[u32(i) + 1];
        const f32 span = (b.position - a.position).length();
        s32 n = sampleStep > 0.0f ? s32(span / sampleStep) : 1;
        if (n < 1) n = 1;
        for (s32 j = 0; j < n; ++j) {
            const f32 t = f32(j) / f32(n);
            const ClVec3 sample = hermitePoint(a, b, t);
            const ClVec3 sampleUp = lerp(a.up, b.up - a.up, t);
            closeLastSegment(segments, sample, sampleUp, &running);
            SSplineSegment segment{};
            segment.positionStart = sample;
            segment.upStart = sampleUp;
            segment.startDistance = running;
            segments.push(segment);
        }
    }
    const SSplineKey& end = keys[u32(last)];
    closeLastSegment(segments, end.position, end.up, &running);
    totalLength = running;
}

void ClSplineCatmullRom::init(f32 step) {
    ClSplineHermite::init(step);
    tangentsReady = 0;
}

void ClSplineCatmullRom::addPoint(const ClVec3& position, const ClVec3& up) { addKey(position, ClVec3(), up); }

void ClSplineCatmullRom::computeTangents() {
    if (keys.count < 2) fatalErrorf("ClSplineCatmullRom::computeTangents: %u keys, at least 2 needed", keys.count);
    const SSplineKey first = keys[0];
    const SSplineKey second = keys[1];
    const SSplineKey lastKey = keys[keys.count - 1];
    const SSplineKey beforeLast = keys[keys.count - 2];
    keys.push(SSplineKey{scaleVec3(lastKey.position, 2.0f) - beforeLast.position, ClVec3(), lastKey.up});
    // The phantom first key: everything moves up one place.
    keys.push(SSplineKey{});
    std::memmove(static_cast<void*>(keys.data + 1), keys.data, sizeof(SSplineKey) * (keys.count - 1));
    keys[0] = SSplineKey{scaleVec3(first.position, 2.0f) - second.position, ClVec3(), first.up};
    for (u32 i = 1; i + 1 < keys.count; ++i) {
        keys[i].tangent = scaleVec3(keys[i + 1].position - keys[i - 1].position, 0.5f);
    }
    keys[0].tangent = keys[1].tangent;
    keys[keys.count - 1].tangent = keys[keys.count - 2].tangent;
    tangentsReady = 1;
}

void ClSplineCatmullRom::buildSegments(s32 first, s32 last) {
    if (first == -1 && last == -1) {
        ClSplineHermite::buildSegments(1, s32(keys.count) - 2);
        return;
    }
    ClSplineHermite::buildSegments(first, last);
}

void ClSplineCatmullRom::join(ClSplineCatmullRom& other) {
    if (keys.count < 3 || other.keys.count < 3) {
        fatalErrorf("ClSplineCatmullRom::join: %u and %u keys, at least 3 each needed", keys.count, other.keys.count);
    }
    const SSplineKey ownThirdFromLast = keys[keys.count - 3];
    keys[keys.count - 1] = other.keys[2];
    other.keys[0] = ownThirdFromLast;
}

void splineCursorEvaluate(const ClSplineHermite& spline, SSplineCursor* cursor) {
    const SSplineSegment& segment = spline.segments[u32(cursor->segment)];
    cursor->position = lerp(segment.positionStart, segment.positionDelta, cursor->t);
    cursor->direction = lerp(segment.directionStart, segment.directionDelta, cursor->t);
    cursor->up = lerp(segment.upStart, segment.upDelta, cursor->t);
}

void splineCursorReset(const ClSplineHermite& spline, SSplineCursor* cursor) {
    if (spline.segments.count == 0) fatalError("splineCursorReset: the spline has no segments");
    const SSplineSegment& first = spline.segments[0];
    cursor->position = first.positionStart;
    cursor->direction = first.directionStart.normalized();
    cursor->up = first.upStart;
    cursor->segment = 0;
    cursor->t = 0.0f;
    cursor->finished = 0;
}

void splineCursorAdvance(const ClSplineHermite& spline, SSplineCursor* cursor, f32 distance) {
    const s32 lastIndex = s32(spline.segments.count) - 1;
    while (distance > 0.0f && !cursor->finished) {
        const SSplineSegment& segment = spline.segments[u32(cursor->segment)];
        const f32 remaining = segment.length - cursor->t * segment.length;
        if (distance <= remaining && segment.length > 0.0f) {
            cursor->t += distance / segment.length;
            break;
        }
        distance -= remaining;
        if (cursor->segment >= lastIndex) {
            cursor->segment = lastIndex;
            cursor->t = 1.0f;
            cursor->finished = 1;
        } else {
            ++cursor->segment;
            cursor->t = 0.0f;
        }
    }
    splineCursorEvaluate(spline, cursor);
}

void splineCursorSeek(const ClSplineHermite& spline, SSplineCursor* cursor, f32 distance) {
    const s32 lastIndex = s32(spline.segments.count) - 1;
    if (distance < spline.segments[u32(cursor->segment)].startDistance) {
        cursor->segment = 0;
        cursor->finished = 0;
    }
    while (cursor->segment < lastIndex && spline.segments[u32(cursor->segment) + 1].startDistance < distance) {
        ++cursor->segment;
    }
    const SSplineSegment& segment = spline.segments[u32(cursor->segment)];
    if (cursor->segment == lastIndex) {
        cursor->t = 1.0f;
        cursor->finished = 1;
    } else {
        const f32 into = distance - segment.startDistance;
        cursor->t = into > 0.0f && segment.length > 0.0f ? into / segment.length : 0.0f;
        cursor->finished = 0;
    }
    splineCursorEvaluate(spline, cursor);
}
