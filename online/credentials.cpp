#include "online/credentials.h"

#include "core/config.h"
#include "core/digest.h"
#include "online/leaderboard.h"

#include <cstring>

namespace {

// Mixed into every password digest, so the record never holds a plain SHA-256 of a password.
constexpr u32 LOGIN_DIGEST_VALUE = 0x564C4442u;  // "BDLV"
constexpr const char* PAD_MONKEY_LOGIN_NAME = "MONKEY";
constexpr const char* PAD_MONKEY_PASSWORD = "m";

SLeaderboardCredentials g_credentials{};

}  // namespace

void makeCredentials(const char* name, const char* password, SLeaderboardCredentials* out) {
    *out = SLeaderboardCredentials{};
    if (name) std::strncpy(out->loginName, name, LOGIN_NAME_LENGTH - 1);
    if (!password) password = "";
    computeDigestWithValue(out->passwordDigest, password, u32(std::strlen(password)), LOGIN_DIGEST_VALUE);
}

void setLeaderboardCredentials(const SLeaderboardCredentials& credentials) {
    g_credentials = credentials;
    g_credentials.loginName[LOGIN_NAME_LENGTH - 1] = 0;
}

const SLeaderboardCredentials& leaderboardCredentials() { return g_credentials; }

const char* onlineUserName() { return leaderboardIsActive() ? g_credentials.loginName : ""; }

bool applyPadMonkeyLogin() {
    if (configGetInt("USE_PAD_MONKEY_LOGIN") <= 0) return false;
    SLeaderboardCredentials credentials;
    makeCredentials(PAD_MONKEY_LOGIN_NAME, PAD_MONKEY_PASSWORD, &credentials);
    setLeaderboardCredentials(credentials);
    return true;
}
