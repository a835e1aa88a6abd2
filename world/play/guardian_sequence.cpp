#include "world/play/guardian_sequence.h"

#include "core/config.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/random.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "core/string_helpers.h"
#include "core/string_table.h"
#include "render/canvases.h"
#include "render/flipbook.h"
#include "render/materials.h"
#include "render/sprite_queue.h"
#include "ui/text_draw.h"
#include "world/effects/guardian_backdrop.h"
#include "world/play/hud_widgets.h"
#include "world/state/boss_encounter.h"
#include "world/state/play_record.h"

SGuardianSequence g_GuardianSequence;

namespace {

constexpr f32 FADE_IN_SECONDS = 2.0f;
constexpr f32 FADE_OUT_SECONDS = 0.5f;
constexpr f32 STATIC_FADE_OUT_SECONDS = 0.5f;
constexpr f32 FLICKER_MIN_SECONDS = 0.05f;
constexpr f32 FLICKER_RANGE_SECONDS = 0.15f;
constexpr f32 STATIC_SQUINT_FRACTION = 0.4f;
constexpr f32 STATIC_STOP_SECONDS = 0.5f;
constexpr u32 BACKDROP_LAYER = 2000;
constexpr u32 EYE_LAYER = 2001;
constexpr u32 SUBTITLE_LAYER = 2001;
constexpr f32 TIMED_BACKDROP_OPACITY = 0.65f;
constexpr f32 STATIC_BACKDROP_OPACITY = 0.7f;
constexpr u32 TIMED_ADDER = 0xB2FF9000u;
constexpr u32 STATIC_ADDER = 0x00FF9000u;
constexpr u32 WHITE = 0xFFFFFFFFu;
constexpr u32 SHADOW = 0xFF000000u;
constexpr f32 SUBTITLE_Y = 40.0f;
constexpr f32 SUBTITLE_BOX_WIDTH = 1280.0f;
constexpr f32 SUBTITLE_BOX_HEIGHT = 256.0f;
// The eye's frames run from squinted (first) to open (last).
constexpr u32 EYE_FORWARD_TO_OPEN = 1;
constexpr u32 EYE_BACK_TO_SQUINT = 0;

void holdFade(f32 value) {
    const SFloatTweenDesc desc = {0, E_TWEEN_HOLD, E_TWEEN_CURVE_LINEAR, value, value, 0.0f, 0.0f, 0.0f, 0};
    g_GuardianSequence.fade.start(desc);
    g_GuardianSequence.fade.evaluate();
}

void stopHeldCues(f32 staticFade) {
    SGuardianSequence& g = g_GuardianSequence;
    if (g.staticCue) stopCue(g.staticCue, staticFade);
    if (g.voiceCue) stopCue(g.voiceCue, 0.0f);
    g.staticCue = {};
    g.voiceCue = {};
}

void endSequence() {
    SGuardianSequence& g = g_GuardianSequence;
    if (g.endPending && g.tag != 0) g.lastEndedTag = g.tag;
    g.endPending = 0;
}

// The sequence replaced by a new one ends as if stopped at once, so a chain that waits for it
// goes on and its cues do not keep sounding.
void stopRunningForReplacement() {
    if (g_GuardianSequence.active || g_GuardianSequence.endPending || g_GuardianSequence.voiceCue ||
        g_GuardianSequence.staticCue)
        stopGuardianSequence(0);
}

const ClScriptNode* findSequenceOrDie(const char* sequence, const char* speakerSet) {
    const char* set = speakerSet ? speakerSet : g_BossEncounter.bossName;
    const ClScriptNode* speakers = ClScriptNode::getChildOrDie(getScript(GUARDIAN_SCRIPT, 0), set);
    return ClScriptNode::getChildOrDie(speakers, sequence);
}

const char* soundFileOf(const ClScriptNode* sequence) {
    const ClScriptNode* sound = sequence->findChild("sound_file");
    return sound && sound->kind == E_SCRIPTNODE_TEXT ? sound->getValueString().getText() : "";
}

// The text argument of a state action: "squint" or "normal"; anything else is fatal.
bool isSquint(const ClScriptNode* action, bool normalAllowed) {
    const char* state = action->kind == E_SCRIPTNODE_TEXT ? action->getValueString().getText() : "";
    if (strCompareNoCase(state, "squint") == 0) return true;
    if (normalAllowed && strCompareNoCase(state, "normal") == 0) return false;
    fatalErrorf("\"%s\": eye state \"%s\" of \"%s\" is not known", GUARDIAN_SCRIPT, state, action->name.text);
    return false;
}

void playSequenceSound() {
    SGuardianSequence& g = g_GuardianSequence;
    if (!g.soundFile.getText()[0]) return;
    stopHeldCues(0.0f);
    g.voiceCue = playCueHeld(g.soundFile.getText());
    if (g.voiceCue) g.staticCue = playCueHeld("GS_Static");
}

void runEvent(const ClScriptNode* event) {
    SGuardianSequence& g = g_GuardianSequence;
    const ClScriptNode* action = event->getChild(1);
    const u32 hash = action->name.hash;
    if (hash == crc32TextNoCase("set_visible")) {
        g.visible = action->getInt();
    } else if (hash == crc32TextNoCase("exit")) {
        stopGuardianSequence(1);
    } else if (hash == crc32TextNoCase("set_state")) {
        isSquint(action, false);
        g.eye.play(GUARDIAN_EYE_FLIPBOOK, E_FLIPBOOK_HOLD, 0.0f, EYE_FORWARD_TO_OPEN);
    } else if (hash == crc32TextNoCase("anim_to_state")) {
        const bool squint = isSquint(action, true);
        g.eye.play(GUARDIAN_EYE_FLIPBOOK, E_FLIPBOOK_ONCE, 0.0f, squint ? EYE_BACK_TO_SQUINT : EYE_FORWARD_TO_OPEN);
    } else if (hash == crc32TextNoCase("play_sound")) {
        playSequenceSound();
    } else if (hash == crc32TextNoCase("show_subtitle")) {
        g.subtitleKey = action->getValueString().getText();
        g.subtitleTime = event->getChild(2)->getFloat();
    } else if (hash == crc32TextNoCase("hide_subtitle")) {
        g.subtitleTime = 0.0f;
    } else {
        fatalErrorf("\"%s\": unknown guardian action \"%s\"", GUARDIAN_SCRIPT, action->name.text);
    }
}

// Every event whose time has come runs, in list order; "exit" ends the run.
void runDueEvents() {
    SGuardianSequence& g = g_GuardianSequence;
    if (!g.events || g.eventIndex >= s32(g.events->childCount())) return;
    g.eventClock += frameTime();
    while (g.active && g.events && g.eventIndex < s32(g.events->childCount())) {
        const ClScriptNode* event = g.events->getChild(u32(g.eventIndex));
        if (event->getChild(0)->getFloat() > g.eventClock) break;
        ++g.eventIndex;
        runEvent(event);
    }
}

void drawEye() {
    SGuardianSequence& g = g_GuardianSequence;
    const SFlipbook* book = g.eye.sequence;
    if (!spriteQueueInitialised() || !book || g.eye.frame < 0 || u32(g.eye.frame) >= book->textures.count) return;
    const SCanvas* canvas = findCanvas("43CORE");
    ClTexture* texture = book->textures[u32(g.eye.frame)];
    const SFlipbookFrameSize& size = book->sizes[u32(g.eye.frame)];
    if (!canvas || !texture || size.width == 0) return;
    const f32 width = canvas->rect.right - canvas->rect.left;
    const f32 height = width * f32(size.height) / f32(size.width);
    const u32 centred = E_ALIGN_CENTRE | E_ALIGN_MIDDLE;
    pushCanvasRect(canvas->rect);
    addSpriteQuadAligned(EYE_LAYER, getMaterialForEffectAndTexture("system_add", texture), WHITE, 0.0f, 0.0f, width,
                         height, centred, centred, true);
    popCanvasRect();
}

void drawLayer(f32 opacity, u32 adder) {
    const f32 alpha = g_GuardianSequence.fade.current * opacity * 255.0f;
    drawGuardianNoiseQuad(BACKDROP_LAYER, alpha <= 0.0f ? 0u : (alpha >= 255.0f ? 255u : u32(alpha)), adder);
    if (g_GuardianSequence.visible) drawEye();
}

void drawGuardianSubtitle() {
    const char16_t* text = getLocalisedString(g_GuardianSequence.subtitleKey);
    if (!text) return;
    STextStyle style;
    style.canvas = "43CORE";
    style.effect = "system_font";
    style.face = getLanguageIndex() == LANGUAGE_INDEX_JAPANESE ? "NiceCapsBoldFont-JAP" : "NiceCapsBoldFont";
    style.boxWidth = SUBTITLE_BOX_WIDTH;
    style.boxHeight = SUBTITLE_BOX_HEIGHT;
    drawText(style, SUBTITLE_LAYER, E_ALIGN_CENTRE | E_ALIGN_TOP, 0.0f, SUBTITLE_Y, 1.0f, WHITE, text, SHADOW);
}

f32 countDown(f32 value) {
    const f32 left = value - frameTime();
    return left < 0.0f ? 0.0f : left;
}

f32 randomFlicker() { return randomUnitFloat() * FLICKER_RANGE_SECONDS + FLICKER_MIN_SECONDS; }

void updateTimed() {
    SGuardianSequence& g = g_GuardianSequence;
    runDueEvents();
    drawLayer(TIMED_BACKDROP_OPACITY, TIMED_ADDER);
    if (!g.subtitleKey) return;
    drawGuardianSubtitle();
    g.subtitleTime = countDown(g.subtitleTime);
    if (g.subtitleTime <= 0.0f) {
        g.subtitleKey = nullptr;
        g.subtitleTime = 0.0f;
    }
}

void updateStatic() {
    SGuardianSequence& g = g_GuardianSequence;
    if (!g.active) return;
    g.staticTime = countDown(g.staticTime);
    g.flickerTime = countDown(g.flickerTime);
    if (g.flickerTime <= 0.0f) {
        g.visible = !g.visible;
        g.flickerTime = randomFlicker();
    }
    if (g.staticTime <= STATIC_SQUINT_FRACTION * g.staticTotal && !g.squinted) {
        g.eye.play(GUARDIAN_EYE_FLIPBOOK, E_FLIPBOOK_ONCE, 0.0f, EYE_BACK_TO_SQUINT);
        g.squinted = 1;
    }
    drawLayer(STATIC_BACKDROP_OPACITY, STATIC_ADDER);
    if (g.staticTime <= STATIC_STOP_SECONDS) stopGuardianSequence(1);
}

void beginCommon(u32 tag) {
    SGuardianSequence& g = g_GuardianSequence;
    g.fade.startFromTo(0.0f, 1.0f, FADE_IN_SECONDS, E_TWEEN_CURVE_LINEAR, 0.0f);
    g.uiGlow = 0;
    g.tag = tag;
    g.endPending = 1;
    g.paused = 0;
    g.active = 1;
}

}  // namespace

void startGuardianSequence(const char* sequence, const char* speakerSet, u32 tag) {
    // Looked up before anything changes: a missing sequence stops the program with the old one
    // untouched.
    const ClScriptNode* node = findSequenceOrDie(sequence, speakerSet);
    const ClScriptNode* events = ClScriptNode::getChildOrDie(node, "events");
    stopRunningForReplacement();
    SGuardianSequence& g = g_GuardianSequence;
    g.events = events;
    g.eventClock = 0.0f;
    g.eventIndex = 0;
    g.visible = 0;
    g.soundFile = soundFileOf(node);
    beginCommon(tag);
    g.mode = E_GUARDIAN_TIMED;
}

void startGuardianStatic(f32 seconds, u32 tag) {
    stopRunningForReplacement();
    SGuardianSequence& g = g_GuardianSequence;
    g.events = nullptr;
    g.staticTime = g.staticTotal = seconds;
    g.visible = 1;
    beginCommon(tag);
    g.eye.play(GUARDIAN_EYE_FLIPBOOK, E_FLIPBOOK_ONCE, 0.0f, EYE_FORWARD_TO_OPEN);
    g.mode = E_GUARDIAN_STATIC;
    g.flickerTime = randomFlicker();
}

void stopGuardianSequence(u32 fade) {
    SGuardianSequence& g = g_GuardianSequence;
    g.subtitleTime = 0.0f;
    if (fade)
        g.fade.startFromTo(g.fade.current, 0.0f, FADE_OUT_SECONDS, E_TWEEN_CURVE_LINEAR, 0.0f);
    else
        holdFade(0.0f);
    g.visible = 0;
    if (!g_PlayRecord.interviewChainRunning && configGetInt("DO_SG_VO_INTERVIEW_CHAIN") == 0) g.uiGlow = 1;
    stopHeldCues(fade ? STATIC_FADE_OUT_SECONDS : 0.0f);
    g.active = 0;
    if (!fade) g.subtitleKey = nullptr;
    endSequence();
}

u32 lastEndedGuardianTag() { return g_GuardianSequence.lastEndedTag; }

void abortGuardianSequence() { stopGuardianSequence(0); }
void pauseGuardianSequence() { g_GuardianSequence.paused = 1; }
void resumeGuardianSequence() { g_GuardianSequence.paused = 0; }

void showBossEscaped() {
    g_GuardianSequence.escapedTime = BOSS_ESCAPED_NOTICE_SECONDS;
    g_GuardianSequence.escapedNotice = 1;
    setHudWidgetVisible("boss_escaped", true);
}

f32 getGuardianSoundLength(const char* sequence, const char* speakerSet) {
    const char* name = soundFileOf(findSequenceOrDie(sequence, speakerSet));
    if (!name[0]) return 0.0f;
    const SCueHandle cue = playCueHeld(name);
    if (!cue) return 0.0f;
    const f32 seconds = getCueDuration(cue);
    stopCue(cue, 0.0f);
    return seconds;
}

bool guardianSequencePlaying() { return g_GuardianSequence.active != 0; }

bool guardianSequenceExists(const char* sequence, const char* speakerSet) {
    const ClScriptNode* root = getScript(GUARDIAN_SCRIPT, 0);
    const ClScriptNode* speakers = root ? root->findChild(speakerSet ? speakerSet : g_BossEncounter.bossName) : nullptr;
    const ClScriptNode* node = speakers ? speakers->findChild(sequence) : nullptr;
    return node && node->findChild("events");
}

const char* guardianSequenceName(const char* speakerSet, u32 index) {
    const ClScriptNode* root = getScript(GUARDIAN_SCRIPT, 0);
    const ClScriptNode* speakers = root ? root->findChild(speakerSet) : nullptr;
    return speakers && index < speakers->childCount() ? speakers->getChild(index)->name.text : nullptr;
}

void resetGuardianSequence() {
    SGuardianSequence& g = g_GuardianSequence;
    g.eye.clearQueue();
    g.eye.mode = E_FLIPBOOK_NONE;
    g.eye.sequence = nullptr;
    g.eye.playing = 0;
    g.eye.frame = 0;
    g.mode = E_GUARDIAN_TIMED;
    g.staticTime = g.staticTotal = 0.0f;
    g.squinted = 0;
    g.flickerTime = 0.0f;
    g.eventClock = 0.0f;
    g.visible = 0;
    g.voiceCue = {};
    g.staticCue = {};
    g.subtitleKey = nullptr;
    g.subtitleTime = 0.0f;
    g.tag = 0;
    g.endPending = 0;
    g.lastEndedTag = 0;
    g.events = nullptr;
    g.eventIndex = 0;
    g.paused = 0;
    g.active = 0;
    g.escapedNotice = 0;
    g.escapedTime = 0.0f;
    g.uiGlow = 1;
    g.soundFile = "";
    holdFade(0.0f);
}

void releaseGuardianSequence() {
    SGuardianSequence& g = g_GuardianSequence;
    endSequence();
    g.eye.clearQueue();
    stopHeldCues(0.0f);
    g.soundFile = "";
    g.events = nullptr;
    g.subtitleKey = nullptr;
    g.active = 0;
}

void updateGuardianEvents() {
    SGuardianSequence& g = g_GuardianSequence;
    if (g.paused) return;
    g.fade.advance(frameTime());
    g.eye.update(GAME_CLOCK_GAMEPLAY);
    if (g.escapedNotice) {
        g.escapedTime = countDown(g.escapedTime);
        if (g.escapedTime <= 0.0f) {
            setHudWidgetVisible("boss_escaped", false);
            g.escapedNotice = 0;
        }
    }
    if (g.fade.current <= 0.0f) return;
    if (g.mode == E_GUARDIAN_TIMED)
        updateTimed();
    else
        updateStatic();
}
