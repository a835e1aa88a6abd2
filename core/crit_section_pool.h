// The fixed pool of re-entrant locks from which almost every lock of the game is taken.
//
// The pool holds CRIT_SECTION_POOL_CAPACITY records. A lock handle is the address of its record,
// which is also the address of its critical section. The real main sets the pool up before
// anything else and shuts it down last; every owner creates and destroys its locks in between.
#pragma once

#include "core/types.h"

constexpr u32 CRIT_SECTION_POOL_CAPACITY = 32;

// A pooled lock; owners hold only the pointer.
struct SCritSection;

// Sets the pool up once; a second call does nothing. Returns 1.
s32 critSectionPoolInit();

// Takes a free record and initialises its critical section. Returns 1 with the lock stored
// through outLock, or 0 with nothing stored when every record is in use; each such exhaustion
// is reported on standard error. Callers that can go on without a lock (a decode job ends at
// its first step) use this form; its enter, leave and try-enter are then skipped.
s32 critSectionCreate(SCritSection** outLock);

// For owners whose lock guards state shared between threads, where running unlocked would be a
// data race: exhaustion stops the program with a line naming the owner.
SCritSection* critSectionCreateOrDie(const char* ownerName);

// Deletes the critical section and gives its record back. Null is ignored, and so is a lock
// whose pool has already been shut down (its section was deleted then). Destroying a lock that
// is not in use stops the program: it would corrupt the pool.
void critSectionDestroy(SCritSection* lock);

// A null lock is ignored, so code whose lock was never created runs unlocked.
void critSectionEnter(SCritSection* lock);
void critSectionLeave(SCritSection* lock);
// 1 when entered; a null lock returns 0.
s32 critSectionTryEnter(SCritSection* lock);

// Deletes every critical section still in use and returns all records. The handles their owners
// still hold must not be entered again. Returns 0.
s32 critSectionPoolShutdown();

// Records in use now: what the tests of every lock owner count to see their locks given back.
u32 critSectionPoolUseCount();
