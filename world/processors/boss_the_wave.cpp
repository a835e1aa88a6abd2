#include "world/processors/boss_the_wave.h"

#include "audio/play/beat_events.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "core/timers.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_effect.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/processors/boss_support.h"

#include <cmath>

namespace {

constexpr u32 BLOCK_RETURN_RANGE = 15;
constexpr u32 BLOCK_BAR_RUN = 16;
constexpr u32 BLOCK_SHORTEST_TRAVEL = 17;
constexpr u32 BLOCK_LONGEST_TRAVEL = 18;
constexpr u32 BLOCK_PATTERNS = 20;
constexpr u32 BLOCK_BAR_SPEED = 21;
constexpr u32 BAR_EFFECT_KIND = 0;

f32 blockFloat(const ClScriptNode* block, u32 index) { return block->getChild(index)->getFloat(); }

f32 rootFloat(ClEntity* entity, const char* name) { return entity->root->params.get(name)->real; }

void holdTween(SFloatTween* tween, f32 value) {
    *tween = SFloatTween{};
    tween->mode = E_TWEEN_HOLD;
    tween->from = tween->to = tween->current = value;
}

void addFlash(ClEntityNode* node) {
    for (u32 i = 0; i < node->atoms.count; ++i)
        node->atoms[i]->addEffect(SAtomEffectDesc{BAR_EFFECT_KIND, WAVE_REBUILD_FLASH_SECONDS, 0, 0});
    for (u32 i = 0; i < node->children.count; ++i) addFlash(node->children[i]);
}

void placeNode(ClEntityNode* node, f32 x, f32 z) {
    node->localMatrix.setTranslationXYZ(x, 0.0f, z);
    node->localMatrix.m[15] = 1.0f;
}

}  // namespace

void ClProcessor_Enemy_Boss_TheWave::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_BOSS_THE_WAVE);
    params = nullptr;
    stage = returnSweeps = returnSweepCountdown = returnSweepPending = 0;
    subscription = {};
    stepCount = waveCounter = 0;
    stepInterval = 0.0f;
}

void ClProcessor_Enemy_Boss_TheWave::release() { dropBeatSubscription(subscription); }

f32 ClProcessor_Enemy_Boss_TheWave::startZ() const { return bossTuningRow(params, BLOCK_BAR_RUN, 2)->getChild(0)->getFloat(); }

f32 ClProcessor_Enemy_Boss_TheWave::endZ() const {
    return bossTuningRow(params, BLOCK_BAR_RUN, 2)->getChild(1)->getFloat() + WAVE_FAR_EDGE;
}

f32 ClProcessor_Enemy_Boss_TheWave::sweepSeconds() const { return entity->root->params.get("TW_hmp")->real; }

// Everything the launches index or divide by, checked once so a bad block stops at spawn.
void ClProcessor_Enemy_Boss_TheWave::validateBlock() const {
    bossTuningRow(params, BLOCK_RETURN_RANGE, 2);
    bossTuningRow(params, BLOCK_BAR_RUN, 2);
    if (!(blockFloat(params, BLOCK_BAR_SPEED) > 0.0f)) fatalError("the wave's bar speed must be above 0");
    if (!(blockFloat(params, BLOCK_LONGEST_TRAVEL) > 0.0f)) fatalError("the wave's longest travel time must be above 0");
    const ClScriptNode* stages = bossTuningRow(params, BLOCK_PATTERNS, WAVE_PATTERN_STAGES);
    for (u32 s = 0; s < WAVE_PATTERN_STAGES; ++s) {
        const ClScriptNode* patterns = stages->getChild(s);
        if (patterns->childCount() == 0) fatalErrorf("the wave's stage %u has no pattern", s);
        for (u32 p = 0; p < patterns->childCount(); ++p) {
            const ClScriptNode* pattern = patterns->getChild(p);
            for (u32 i = 0; i < pattern->childCount(); ++i) {
                const s32 segment = pattern->getChild(i)->getInt();
                if (segment < 0 || segment >= s32(WAVE_BAR_SEGMENTS))
                    fatalErrorf("the wave's pattern %u of stage %u names segment %d", p, s, segment);
            }
        }
    }
    if (node->children.count < WAVE_BAR_COUNT + 1) fatalErrorf("the wave has %u of its 11 parts", node->children.count);
    for (u32 bar = 1; bar <= WAVE_BAR_COUNT; ++bar)
        if (node->children[bar]->atoms.count < WAVE_BAR_SEGMENTS) fatalErrorf("the wave's bar %u has too few segments", bar);
}

void ClProcessor_Enemy_Boss_TheWave::onSpawn() {
    sectionIndex = entity->root->params.get("TW_si")->integer;
    const ClScriptNode* section = ClScriptNode::getChildOrDie(getScript("playbalance.txt", 0), "boss_the_wave_params");
    if (sectionIndex < 0 || u32(sectionIndex) >= section->childCount())
        fatalErrorf("\"TW_si\" %d is past the %u blocks of boss_the_wave_params", sectionIndex, section->childCount());
    params = section->getChild(u32(sectionIndex));
    validateBlock();
    placeBossAt(entity, ClVec3(0.0f, 0.0f, 0.0f));
    publishBossStrength(entity, 1.0f);
    for (SFloatTween& tween : barTweens) holdTween(&tween, endZ());
    nextBar = 0;
    holdTween(&sweepTween, WAVE_SWEEP_LEFT);
    sweepSide = 1;
    minSweepWait = rootFloat(entity, "TW_mint");
    maxSweepWait = rootFloat(entity, "TW_maxt");
    sweepWait = bossRandomFloat(minSweepWait, maxSweepWait);
    for (u32 bar = 0; bar < WAVE_BAR_COUNT; ++bar) placeNode(node->children[bar + 1], 0.0f, barTweens[bar].current);
    gunsStarted = 0;
    gunInterval = rootFloat(entity, "TW_gfr");
    const ClScriptNode* range = params->getChild(BLOCK_RETURN_RANGE);
    returnSweeps = range->getChild(0)->getInt() > 0;
    returnSweepCountdown = returnSweeps ? bossRandomInRange(range->getChild(0)->getInt(), range->getChild(1)->getInt()) : 0;
    stepInterval = 0.0f;
    stepCount = 0;
}

void ClProcessor_Enemy_Boss_TheWave::onActivate() {
    if (!subscription) subscription = subscribeBeat(&ClProcessor_Enemy_Boss_TheWave::onBeat, this, 0);
}

void ClProcessor_Enemy_Boss_TheWave::onDestroy() { dropBeatSubscription(subscription); }

void ClProcessor_Enemy_Boss_TheWave::onBeat(const SBeat& beat, s32 index, void* user) {
    (void)beat;
    (void)index;
    auto* self = static_cast<ClProcessor_Enemy_Boss_TheWave*>(user);
    if (!self->entity || self->entity->state != E_ENTITY_ACTIVE) return;
    const f32 t = getTimeToNextBeat(0.0f, nullptr);
    if (t > 0.0f) self->launchBar(t);
}

void ClProcessor_Enemy_Boss_TheWave::splitTravel(f32 value, f32* travel) {
    const s32 n = s32(value / blockFloat(params, BLOCK_LONGEST_TRAVEL)) + 1;
    stepCount = n;
    stepInterval = stepTimer = WAVE_SPLIT_SHARE * value / f32(n);
    *travel = stepInterval;
}

void ClProcessor_Enemy_Boss_TheWave::launchBar(f32 seconds) {
    ClEntityNode* bar = node->children[u32(nextBar) + 1];
    bar->resetAtoms();
    bar->updateAliveFlags();
    bar->computeBounds();
    const ClScriptNode* patterns = params->getChild(BLOCK_PATTERNS)->getChild(u32(stage));
    const ClScriptNode* pattern = patterns->getChild(u32(waveCounter) % patterns->childCount());
    for (u32 segment = 0; segment < bar->atoms.count; ++segment) {
        bool solid = false;
        for (u32 i = 0; i < pattern->childCount(); ++i) solid = solid || pattern->getChild(i)->getInt() == s32(segment);
        if (!solid) bar->atoms[segment]->deactivate(1);
    }
    addFlash(bar);
    const f32 shortest = blockFloat(params, BLOCK_SHORTEST_TRAVEL);
    const f32 longest = blockFloat(params, BLOCK_LONGEST_TRAVEL);
    f32 travel = (std::fabs(startZ()) + endZ()) / blockFloat(params, BLOCK_BAR_SPEED);
    if (travel <= shortest) {
        ++waveCounter;
        return;
    }
    if (travel > longest) {
        if (travel <= seconds) {
            splitTravel(travel, &travel);
        } else if (seconds <= shortest) {
            // too little time to the beat: the bar keeps its own pace
        } else if (seconds <= longest) {
            travel = seconds;
        } else {
            splitTravel(seconds, &travel);
        }
    }
    if (bossFightRunning()) {
        barTweens[nextBar].startFromTo(startZ(), endZ(), travel, E_TWEEN_CURVE_LINEAR, 0.0f);
        nextBar = (nextBar + 1) % s32(WAVE_BAR_COUNT);
    }
    ++waveCounter;
}

void ClProcessor_Enemy_Boss_TheWave::startSweep() {
    const f32 from = sweepSide ? WAVE_SWEEP_LEFT : WAVE_SWEEP_RIGHT;
    const f32 to = sweepSide ? WAVE_SWEEP_RIGHT : WAVE_SWEEP_LEFT;
    sweepSide = !sweepSide;
    sweepTween.startFromTo(from, to, sweepSeconds(), E_TWEEN_CURVE_COSINE, 0.0f);
    sweepWait = bossRandomFloat(minSweepWait, maxSweepWait);
    if (!returnSweeps) return;
    if (returnSweepCountdown > 0) --returnSweepCountdown;
    if (returnSweepCountdown == 0) {
        returnSweepPending = 1;
        const ClScriptNode* range = params->getChild(BLOCK_RETURN_RANGE);
        returnSweepCountdown = bossRandomInRange(range->getChild(0)->getInt(), range->getChild(1)->getInt());
    }
}

void ClProcessor_Enemy_Boss_TheWave::update() {
    const bool fight = bossFightRunning();
    if (fight) {
        startBossHeadGunsOnce(node->children[0], gunInterval, &gunsStarted);
        stage = publishBossStage(entity);
        if (stepCount > 0 && countDownTimer(&stepTimer, frameTime()) == 0.0f) {
            launchBar(stepInterval);
            --stepCount;
            stepTimer = stepInterval;
        }
    }
    for (u32 slot = 0; slot < WAVE_BAR_COUNT; ++slot) {
        SFloatTween& tween = barTweens[slot];
        tween.advance(frameTime());
        if (!tween.running) {
            holdTween(&tween, startZ());
            continue;
        }
        placeNode(node->children[slot + 1], 0.0f, tween.current);
    }
    if (fight) {
        if (!sweepTween.running) {
            sweepWait -= frameTime();
            bool barInPlay = false;
            for (const SFloatTween& tween : barTweens) barInPlay = barInPlay || tween.current > 0.0f;
            if (sweepWait <= 0.0f && barInPlay) startSweep();
        }
    }
    if (sweepTween.running) sweepTween.advance(frameTime());
    if (fight && returnSweepPending && (sweepTween.mode == E_TWEEN_HOLD || sweepTween.time * sweepTween.step > 0.5f)) {
        const f32 to = sweepSide ? WAVE_SWEEP_RIGHT : WAVE_SWEEP_LEFT;
        sweepSide = !sweepSide;
        sweepTween.startFromTo(sweepTween.current, to, 0.5f * sweepSeconds(), E_TWEEN_CURVE_LINEAR, 0.0f);
        returnSweepPending = 0;
    }
    placeNode(node->children[0], sweepTween.current, WAVE_SWEEPER_Z);
    entity->setRootPosition(ClVec3(0.0f, 0.0f, 0.0f));
}
