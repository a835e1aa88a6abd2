// The note list: the schedule of notes that fly from the equaliser display to the entity they
// mend, in spectral-frame order, with the read cursor of the notes already sent. Emptied on
// entering play.
#pragma once

#include "core/array.h"
#include "core/types.h"

class ClEntity;

struct SNoteListEntry {
    s32 frame;          // spectral frame index of the note's music
    ClEntity* target;   // the entity the note mends; null: no note is sent
    u8 row;             // equaliser cell of its start (getEqCellPosition)
    u8 column;
    u8 spare[2];
};

struct SNoteList {
    ClArray<SNoteListEntry> entries;
    s32 cursor;  // next entry to send
};

extern SNoteList g_NoteList;

// Frees what the last song left and starts an empty list with the cursor at 0.
void resetNoteList();
// Appends an entry (the list is set up first when it is not).
void appendNoteListEntry(const SNoteListEntry& entry);
// Frees the list (shutdown); nothing when it is not in use.
void releaseNoteList();
