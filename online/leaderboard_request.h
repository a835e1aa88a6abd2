// The leaderboard protocol: what a request says and how it travels.
//
// A request is one line of form fields, each value percent-encoded:
//     action=login&user=<name>&digest=<digest>&check=<check>
//     action=medal&user=<name>&digest=<digest>&medal=<id>&check=<check>
// <name> is the log-in name (1 to LOGIN_NAME_MAX_CHARACTERS letters, digits, '_', '-' or '.');
// <digest> is the 32 bytes of the password digest as 64 lower-case hex digits; <id> is the medal
// id in decimal, 0 to MEDAL_ID_LIMIT - 1; <check> is crc32Text of everything before "&check=",
// as 8 upper-case hex digits.
//
// On its way the line is enciphered with AES-128-CBC and its length block (the key made from the
// text LEADERBOARD_KEY_TEXT, the initialisation vector from the word LEADERBOARD_IV_WORD),
// written as base64 with '@' and '_' as characters 62 and 63 and '=' as padding,
// percent-encoded, and sent by HTTP POST as the one form field LEADERBOARD_BODY_FIELD: the body
// is "r=<that text>".
//
// A reply starts with a status digit: '0' accepted, any other digit refused. What follows the
// digit is not read.
#pragma once

#include "online/credentials.h"
#include "online/leaderboard.h"

constexpr const char* LEADERBOARD_KEY_TEXT = "Velodrix LB 1";
constexpr u32 LEADERBOARD_IV_WORD = 0x3142564Cu;  // "LVB1"
constexpr const char* LEADERBOARD_BODY_FIELD = "r";
// The longest body a request line of LEADERBOARD_TEXT_LENGTH - 1 characters gives, terminator
// included: the cipher's padded blocks and length block, four base64 characters for every three
// bytes, three characters for each of those, and the field's name.
constexpr u32 LEADERBOARD_BODY_LENGTH =
    2 + 3 * 4 * (((LEADERBOARD_TEXT_LENGTH - 1 + 15) / 16 * 16 + 16 + 2) / 3) + 1;

enum ELeaderboardAction : u32 {
    E_LEADERBOARD_LOGIN = 0,
    E_LEADERBOARD_MEDAL,
};

// The request line of the action for the account (the medal id is read for medals only). False,
// writing nothing, when the log-in name is out of its range, the medal id out of 0 to
// MEDAL_ID_LIMIT - 1, or the line longer than capacity - 1.
bool writeLeaderboardRequest(ELeaderboardAction action, const SLeaderboardCredentials& credentials, s32 medalId,
                             char* out, u32 capacity);

// The body that carries a request line. False when it does not fit in capacity bytes.
bool encodeLeaderboardBody(const char* line, char* out, u32 capacity);
