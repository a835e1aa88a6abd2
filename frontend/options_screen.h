// The options screen "OptionsMenu": the water reflection, the buttons to the options' pages
// (frontend/options_pages.h) and the leaderboard log-in with its
// log-in, password and verify-password fields typed through text entry. A log-in whose two
// passwords agree becomes the credentials record of the library and of the leaderboard client,
// kept in the user save with the options.
#pragma once

#include "core/types.h"

class ClWidget;

// Log-in field: 16 characters; the password fields: 20 (capacity = characters + 1).
constexpr u32 LOGIN_FIELD_CAPACITY = 17;
constexpr u32 PASSWORD_FIELD_CAPACITY = 21;
constexpr u16 LOGIN_FIELD_WORD = 63;
constexpr u16 PASSWORD_FIELD_WORD = 42;
constexpr f32 TEXT_FIELD_FIRST_TIMING = 0.5f;
constexpr f32 TEXT_FIELD_SECOND_TIMING = 0.1f;

enum ETextField : u32 {
    E_TEXT_FIELD_LOGIN = 0,
    E_TEXT_FIELD_PASSWORD,
    E_TEXT_FIELD_VERIFY_PASSWORD,
    E_TEXT_FIELD_COUNT,
};

// The screen and its callbacks; the account kept in the save becomes the leaderboard client's
// when the client has none yet.
void buildOptionsScreen(ClWidget* topLevel);
// Once a frame: the field being typed in shows its text; an entry ended by Enter or Tab keeps
// it, one left by Esc gives the field its text from before.
void tickOptionsScreen();

// The fields' captures: the text-entry flag set and an entry begun with the field's allowed
// list and capacity, and no initial text.
void systemSetLoginButtonForTextCapture();
void systemSetPasswordButtonForTextCapture();
void systemSetVerifyPasswordButtonForTextCapture();
// Makes the credentials from the fields, stores them and sends the log-in to the leaderboard
// service, whose reply the screen's notice then tells; false (with the notice saying why) when
// the name is empty or the passwords differ.
bool systemAttemptLogin();
