// The leaderboard account: the 64-byte credentials record (login name and password digest) the
// client signs in with, and the online user name that medal awards need.
#pragma once

#include "core/types.h"

constexpr u32 LOGIN_NAME_LENGTH = 32;  // terminator included

// Kept byte for byte in the user's save.
struct SLeaderboardCredentials {
    char loginName[LOGIN_NAME_LENGTH];  // NUL-padded
    u8 passwordDigest[32];
};
static_assert(sizeof(SLeaderboardCredentials) == 64);

// The name (at most 31 characters kept) and SHA-256 of the password's characters followed by
// the little-endian word LOGIN_DIGEST_VALUE. Null texts read as "".
void makeCredentials(const char* name, const char* password, SLeaderboardCredentials* out);

void setLeaderboardCredentials(const SLeaderboardCredentials& credentials);
const SLeaderboardCredentials& leaderboardCredentials();
// The login name while the client is active, else "" (offline there is no online user).
const char* onlineUserName();

// With USE_PAD_MONKEY_LOGIN above 0 the account becomes the fixed test account "MONKEY";
// true when it did.
bool applyPadMonkeyLogin();
