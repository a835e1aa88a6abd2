#include "world/processors/path_follower.h"

#include "audio/play/song_clock.h"
#include "audio/sound/sound_engine.h"
#include "core/directions.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "render/fx_particles.h"
#include "world/effects/backdrop.h"
#include "world/effects/edge_sparks.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/processors/path_steering.h"
#include "world/services/positioned_sound.h"
#include "world/state/wave_record.h"

#include <algorithm>

f32 g_fGameStep = 1.0f / 60.0f;
ClFXParticleSystem* g_pPathFxParticles = nullptr;

static const ClVec3 UP(0.0f, 1.0f, 0.0f);
// A plan may loop back through a jump; past this many segment steps (per segment of the plan,
// plus a margin) in one frame the path goes on in the next frame, so a jump of 0 cannot hold the
// game step.
constexpr u32 PATH_STEPS_PER_SEGMENT = 4;
constexpr u32 PATH_STEPS_MARGIN = 16;

static ClVec3 xyz(const ClVec4& v) { return ClVec3(v.x, v.y, v.z); }

bool pathSongHasEnded() {
    const SCueHandle cue = getSongCue();
    return cue && isCueFinished(cue);
}

SWaveRecord* ClProcessor_FollowPath::slot() const { return waveRecordOf(entity); }

u32 ClProcessor_FollowPath::speedClass() const {
    if (!member->wave) fatalError("ClProcessor_FollowPath: wave member without its wave plan");
    return member->wave->speedClass;
}

void ClProcessor_FollowPath::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    typeId = E_PROC_FOLLOW_PATH;
    entity = owner;
    node = hangingOn;
    SWaveRecord* record = slot();
    member = record ? record->plan : nullptr;
    speed = 0.0f;
    heading = ClVec3();
    finished = 0;
    started = 0;
    steering = 0;
    bouncing = 0;
    stopped = 0;
}

void ClProcessor_FollowPath::onSpawn() {
    // The wave code may hand the entity its slot after the build.
    if (!member && slot()) member = slot()->plan;
    if (!member || member->segments.count == 0) return;
    ClMatrix44 start;
    start.setTranslation(member->segments[0].a.getVector());
    entity->setRootTransform(start);
    cursor = 1;
    lastStartedSegment = -1;
    started = 1;
    steering = 0;
    bouncing = 0;
}

void ClProcessor_FollowPath::update() {
    if (entity->tween.current == 0.0f && entity->state == E_ENTITY_ACTIVE) {
        entity->destroy();
        return;
    }
    if (!member) return;
    const u32 stepLimit = member->segments.count * PATH_STEPS_PER_SEGMENT + PATH_STEPS_MARGIN;
    for (u32 steps = 0; steps < stepLimit; ++steps) {
        if (cursor < 0) fatalErrorf("ClProcessor_FollowPath: path cursor %d below the first segment", cursor);
        if (u32(cursor) >= member->segments.count) return;
        const EStep step = runSegment();
        if (step == E_NEXT) ++cursor;
        if (step == E_STAY || entity->state == E_ENTITY_DESTROYED) return;
    }
}

ClProcessor_FollowPath::EStep ClProcessor_FollowPath::jumpBy(s32 segments) {
    cursor += segments;
    if (cursor < 0) fatalErrorf("ClProcessor_FollowPath: a jump of %d leaves the path at %d", segments, cursor);
    return E_CONTINUE;
}

ClProcessor_FollowPath::EStep ClProcessor_FollowPath::runSegment() {
    const SMotionSegment& segment = member->segments[u32(cursor)];
    switch (segment.kind) {
        case E_SEG_STEER: return steerToPoint();
        case E_SEG_BOUNCE: return bounce();
        case E_SEG_TIMED_MOVE: return timedMoveSegment();
        case E_SEG_END: return endOfPath();
        case E_SEG_JUMP:
            lastStartedSegment = cursor;
            return jumpBy(segment.a.integer);
        case E_SEG_DESTROY:
            // Only an activated entity may be destroyed: one still flying in enters play first.
            entity->activate();
            entity->destroy();
            return E_NEXT;
        default:
            fatalErrorf("ClProcessor_FollowPath: path segment kind %u at %d", segment.kind, cursor);
    }
}

ClProcessor_FollowPath::EStep ClProcessor_FollowPath::steerToPoint() {
    const SMotionSegment& segment = member->segments[u32(cursor)];
    const u32 cls = speedClass();
    const f32 targetSpeed = getPathSpeed(cls, segment.b.integer);
    const ClVec3 p = xyz(entity->getPreviousWorldPosition());
    if (stopped) {
        entity->setRootPosition(p);
        return E_STAY;
    }
    const ClVec3 d = segment.a.getVector() - p;
    // Every steering segment sets off at its own speed, aimed straight at its point.
    if (!steering) {
        steering = 1;
        speed = targetSpeed;
        if (d.dot(d) > 0.0f) heading = d.normalized();
    }
    if (d.length() <= PATH_STEER_ARRIVAL) {
        steering = 0;
        return E_NEXT;
    }

    const f32 step = g_fGameStep;
    const f32 change = PATH_ACCELERATION[cls] * step;
    speed = speed < targetSpeed ? std::min(speed + change, targetSpeed) : std::max(speed - change, targetSpeed);
    heading = turnHeadingTowards(heading, d.normalized(), PATH_TURN_RATE * step);
    entity->setRootPosition(p + scaleVec3(heading, speed * step));

    ClVec3 facing = heading;
    if (entity->faceAlongBlend) facing = entity->facingBlend.value();
    // A direction of no length gives no frame: the member then faces +z.
    if (facing.dot(facing) == 0.0f) facing = ClVec3(0.0f, 0.0f, 1.0f);
    entity->setFacing(facing, UP);
    return E_STAY;
}

ClProcessor_FollowPath::EStep ClProcessor_FollowPath::bounce() {
    const SMotionSegment& segment = member->segments[u32(cursor)];
    if (!bouncing) {
        bouncing = 1;
        speed = getPathSpeed(speedClass(), segment.b.integer);
        ClVec3 direction = randomDirectionInCone(segment.a.getVector().normalized(), PATH_BOUNCE_CONE_DEGREES);
        direction.y = 0.0f;
        direction.normalize();
        heading = direction;
        bounceTimeLeft = segment.c.real;
    }
    if (!(bounceTimeLeft > 0.0f)) return E_NEXT;
    ClVec3 position = xyz(entity->getPreviousWorldPosition()) + scaleVec3(heading, speed * g_fGameStep);
    bounceInArena(&position, &heading);
    entity->setRootPosition(position);
    bounceTimeLeft -= frameTime();
    return E_STAY;
}

ClProcessor_FollowPath::EStep ClProcessor_FollowPath::timedMoveSegment() {
    const SMotionSegment& segment = member->segments[u32(cursor)];
    const ClVec3 to = segment.a.getVector();
    if (lastStartedSegment != cursor) {
        if (lastStartedSegment == -1) timedStart = xyz(entity->getPreviousWorldPosition());
        lastStartedSegment = cursor;
        // Measured from where the tween starts, as the plan's total time was: a move that starts in
        // the frame the previous one ended would otherwise measure from last frame's position.
        const f32 duration = (to - timedStart).length() / getPathSpeed(speedClass(), segment.c.integer);
        timedStartTime = cursor == 1 ? entity->spawnTime : currentSongTime() - PATH_TIMED_START_LEAD;
        timedMove.startFromTo(timedStart, to, duration, E_TWEEN_CURVE_LINEAR, 0.0f);
        timedStart = to;
        heading = segment.b.getVector().normalized();
        started = 0;
        entity->setFacing(heading, UP);
        entity->setRootPosition(timedMove.getValue());
        if (!pathSongHasEnded()) return E_STAY;
    }
    if (!pathSongHasEnded()) {
        // The song clock alone drives the move, so a long frame does not leave it behind.
        timedMove.time = std::max(currentSongTime() - timedStartTime, 0.0f);
        timedMove.evaluate();
        entity->setFacing(heading, UP);
        entity->setRootPosition(timedMove.getValue());
        return timedMove.running ? E_STAY : E_NEXT;
    }
    timedMove.setValue(to);
    heading = segment.b.getVector().normalized();
    entity->setFacing(heading, UP);
    entity->setRootPosition(timedMove.getValue());
    return E_NEXT;
}

ClProcessor_FollowPath::EStep ClProcessor_FollowPath::endOfPath() {
    ClEntityNode* root = entity->root;
    if (entity->tween.current == 0.0f) {
        root->resetAtoms();
        entity->noBrokenAtom = 1;
        entity->activate();
        entity->destroy();
        cursor = s32(member->segments.count);
        return E_CONTINUE;
    }
    const ClVec3 position = xyz(entity->getWorldPosition());
    spawnBackdropRing(position, 1);
    spawnEdgeSparks(position);
    playSoundCueAt("EnemySpawnSmall", position);
    if (g_pPathFxParticles) g_pPathFxParticles->addExplosion(position);
    SWaveRecord* record = slot();
    root->resetAtoms();
    entity->noBrokenAtom = 1;
    entity->activate();
    entity->setWaveMember(0);
    ++cursor;
    if (!record) return E_CONTINUE;
    if (entity->memberIndex == 0) {
        const u32 members = std::min(record->memberCount, WAVE_MEMBER_SLOT_COUNT);
        for (u32 i = 0; i < members; ++i) {
            ClEntity* other = record->memberEntities[i];
            // A record freed and handed to another entity no longer points back at this slot.
            if (other && other->waveSlot == record && other->state != E_ENTITY_DESTROYED) other->broadcastPathSignal();
        }
    }
    return E_CONTINUE;
}
