// The leaderboard account: the 64-byte credentials record (login name and password digest) the
// client signs in with, and the online user name that medal awards need.
#pragma once

#include "online/leaderboard.h"

constexpr u32 LOGIN_NAME_LENGTH = 32;  // terminator included
// The longest log-in name the service takes.
constexpr u32 LOGIN_NAME_MAX_CHARACTERS = 16;

// Kept byte for byte in the user's save.
struct SLeaderboardCredentials {
    char loginName[LOGIN_NAME_LENGTH];  // NUL-padded
    u8 passwordDigest[32];
};
static_assert(sizeof(SLeaderboardCredentials) == 64);

// The name (at most 31 characters kept) and SHA-256 of the password's characters followed by
// the little-endian word LOGIN_DIGEST_VALUE. Null texts read as "".
void makeCredentials(const char* name, const char* password, SLeaderboardCredentials* out);

// 1 to LOGIN_NAME_MAX_CHARACTERS log-in name characters (isLoginNameCharacter, core/login_name.h).
// Null is not valid.
bool isValidLoginName(const char* name);

void setLeaderboardCredentials(const SLeaderboardCredentials& credentials);
const SLeaderboardCredentials& leaderboardCredentials();
// The login name while the client is active and the name is valid, else "" (offline, or with a
// name the service would not take, there is no online user).
const char* onlineUserName();

// Sends the account's log-in to the service; done runs on the main thread with the reply's
// status. False, with done never run, without an online user name or when the client's queue is
// full.
bool leaderboardLogIn(LeaderboardDoneRoutine done, void* user);

// With USE_PAD_MONKEY_LOGIN above 0 the account becomes the fixed test account "MONKEY";
// true when it did.
bool applyPadMonkeyLogin();
