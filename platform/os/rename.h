// Replacing a file by another in one step, so that a reader never meets a half-written file.
#pragma once

// Renames the file at from (a game path, '\' separators) to to, replacing any file already
// there. Both paths must lie on the same file system; the replacement is atomic there. False on
// failure, with osLastError() saying why; the file at to is then left as it was.
bool osRenameFileW(const char16_t* from, const char16_t* to);

// Renames the file at from to to only when nothing (file, folder or link) is at to: false with
// E_OSERR_ALREADY_EXISTS then, and the file stays at from. Other failures as osRenameFileW.
bool osRenameFileNoReplaceW(const char16_t* from, const char16_t* to);
