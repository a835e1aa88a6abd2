#include "online/credentials.h"

#include "core/config.h"
#include "core/digest.h"
#include "core/login_name.h"
#include "online/leaderboard_request.h"

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

bool isValidLoginName(const char* name) {
    if (!name) return false;
    u32 length = 0;
    for (; name[length]; ++length) {
        if (length == LOGIN_NAME_MAX_CHARACTERS || !isLoginNameCharacter(u8(name[length]))) return false;
    }
    return length > 0;
}

const char* onlineUserName() {
    return leaderboardIsActive() && isValidLoginName(g_credentials.loginName) ? g_credentials.loginName : "";
}

bool leaderboardLogIn(LeaderboardDoneRoutine done, void* user) {
    if (!onlineUserName()[0]) return false;
    char line[LEADERBOARD_TEXT_LENGTH];
    if (!writeLeaderboardRequest(E_LEADERBOARD_LOGIN, g_credentials, 0, line, sizeof line)) return false;
    return leaderboardSubmit(line, done, user);
}

bool applyPadMonkeyLogin() {
    if (configGetInt("USE_PAD_MONKEY_LOGIN") <= 0) return false;
    SLeaderboardCredentials credentials;
    makeCredentials(PAD_MONKEY_LOGIN_NAME, PAD_MONKEY_PASSWORD, &credentials);
    setLeaderboardCredentials(credentials);
    return true;
}
