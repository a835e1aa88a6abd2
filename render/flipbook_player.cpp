#include "render/flipbook_player.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "render/flipbook.h"
#include "render/flipbook_table.h"

void ClFlipbookPlayer::start(const SFlipbook* flipbook, u32 playMode, bool forwards) {
    if (!flipbook) fatalError("ClFlipbookPlayer::start: no image sequence");
    sequence = flipbook;
    mode = playMode;
    period = flipbook->frameRate > 0.0f ? 1.0f / flipbook->frameRate : 0.0f;
    timeLeft = period;
    forward = forwards ? 1u : 0u;
    frame = forwards ? 0 : s32(flipbook->textures.count) - 1;
    if (frame < 0) frame = 0;
    playing = 1;
    stopAtEnd = 0;
}

void ClFlipbookPlayer::play(const char* name, u32 playMode, f32 delay, bool forwards) {
    const SFlipbook* flipbook = findFlipbook(name);
    if (!flipbook) fatalErrorf("ClFlipbookPlayer::play: no image sequence \"%s\" was loaded", name);
    clearQueue();
    queue(flipbook, playMode, false, delay, forwards);
}

void ClFlipbookPlayer::queue(const SFlipbook* flipbook, u32 playMode, bool waitForEnd, f32 delay, bool forwards) {
    if (pending.getCount() == 0 && delay == 0.0f) {
        start(flipbook, playMode, forwards);
        return;
    }
    auto* entry = new SFlipbookQueued();
    entry->delay = delay;
    entry->sequence = flipbook;
    entry->mode = playMode;
    entry->waitForEnd = waitForEnd ? 1u : 0u;
    entry->forward = forwards ? 1u : 0u;
    pending.pushBack(entry);
}

void ClFlipbookPlayer::update(int clock) {
    if (clock < 0 || clock >= GAME_CLOCK_COUNT) fatalErrorf("ClFlipbookPlayer::update: no game clock %d", clock);
    const f32 dt = gameClock(clock).frameTime;
    advance(dt);
    colour.advance(dt);
    auto* first = static_cast<SFlipbookQueued*>(pending.getHead());
    if (!first) return;
    first->delay -= dt;
    if (first->delay > 0.0f) return;
    if (first->waitForEnd && playing) {
        stopAtEnd = 1;
        return;
    }
    start(first->sequence, first->mode, first->forward != 0);
    pending.unlink(first);
    delete first;
}

void ClFlipbookPlayer::clearQueue() {
    pending.clear([](ClListNode* node) { delete static_cast<SFlipbookQueued*>(node); });
}

void ClFlipbookPlayer::advance(f32 dt) {
    if (mode == E_FLIPBOOK_NONE || !playing || !sequence || sequence->textures.count < 2) return;
    if (mode > E_FLIPBOOK_PING_PONG) fatalErrorf("ClFlipbookPlayer::advance: mode %u", mode);
    const s32 count = s32(sequence->textures.count);
    if (mode == E_FLIPBOOK_HOLD) {
        playing = 0;
        return;
    }
    // A period of 0 would never catch up: one step per update.
    timeLeft -= dt;
    while (timeLeft < 0.0f && playing) {
        if (mode == E_FLIPBOOK_ONCE) {
            frame += forward ? 1 : -1;
            if (frame >= count || frame < 0) {
                frame = frame < 0 ? 0 : count - 1;
                playing = 0;
                break;
            }
        } else if (mode == E_FLIPBOOK_LOOP) {
            ++frame;
            if (frame >= count && stopAtEnd) {
                frame = count - 1;
                playing = 0;
                break;
            }
            frame %= count;
        } else if (forward) {
            if (++frame >= count) {
                frame = count - 2 < 0 ? 0 : count - 2;
                forward = 0;
            }
        } else if (--frame < 0) {
            frame = 1;
            forward = 1;
        }
        timeLeft += period;
        if (period <= 0.0f) break;
    }
}
