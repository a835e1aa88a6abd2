// The desktop's special folders and opening a document with the user's chosen program.
#pragma once

#include <string>

enum EShellFolder {
    E_SHELLFOLDER_DESKTOP,
    E_SHELLFOLDER_MY_MUSIC,
    E_SHELLFOLDER_APPLICATION_DATA,
    E_SHELLFOLDER_HOME,  // the user's home folder
};

// The folder's path as the game writes paths ('\' separators, UTF-16, no trailing
// separator). False when the user's home cannot be found.
bool shellGetSpecialFolder(EShellFolder folder, std::u16string* out);

// Opens a document or web address with the desktop's handler, without waiting for it.
// False when no handler program can be started (a headless machine, for instance).
bool shellOpenDocument(const char* pathOrAddress);
