#include "world/services/note_list.h"

SNoteList g_NoteList;

void resetNoteList() {
    g_NoteList.entries.init(ARRAY_INITIAL_CAPACITY);
    g_NoteList.cursor = 0;
}

void appendNoteListEntry(const SNoteListEntry& entry) {
    if (!g_NoteList.entries.inUse) resetNoteList();
    g_NoteList.entries.push(entry);
}

void releaseNoteList() {
    g_NoteList.entries.release();
    g_NoteList.cursor = 0;
}
