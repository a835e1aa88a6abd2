#include "online/leaderboard_request.h"

#include "core/cipher.h"
#include "core/encoders.h"
#include "core/name_hash.h"
#include "online/medal_queue.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char BASE64_CHAR_62 = '@';
constexpr char BASE64_CHAR_63 = '_';
constexpr char BASE64_PAD = '=';

std::string urlEncoded(const void* bytes, size_t n) {
    char* text = nullptr;
    encodeUrl(static_cast<const u8*>(bytes), u32(n), &text);
    std::string encoded(text);
    std::free(text);
    return encoded;
}

std::string urlEncoded(const std::string& text) { return urlEncoded(text.data(), text.size()); }

void addField(std::string& line, const char* name, const std::string& value) {
    if (!line.empty()) line += '&';
    line += name;
    line += '=';
    line += urlEncoded(value);
}

std::string hexOf(const u8* bytes, u32 n) {
    static const char DIGITS[] = "0123456789abcdef";
    std::string hex;
    for (u32 i = 0; i < n; ++i) {
        hex += DIGITS[bytes[i] >> 4];
        hex += DIGITS[bytes[i] & 15];
    }
    return hex;
}

}  // namespace

bool writeLeaderboardRequest(ELeaderboardAction action, const SLeaderboardCredentials& credentials, s32 medalId,
                             char* out, u32 capacity) {
    if (!isValidLoginName(credentials.loginName)) return false;
    const bool medal = action == E_LEADERBOARD_MEDAL;
    if (medal && (medalId < 0 || medalId >= MEDAL_ID_LIMIT)) return false;
    std::string line;
    addField(line, "action", medal ? "medal" : "login");
    addField(line, "user", credentials.loginName);
    addField(line, "digest", hexOf(credentials.passwordDigest, sizeof credentials.passwordDigest));
    if (medal) addField(line, "medal", std::to_string(medalId));
    char check[9];
    std::snprintf(check, sizeof check, "%08X", crc32Text(line.c_str()));
    addField(line, "check", check);
    if (line.size() >= capacity) return false;
    std::memcpy(out, line.c_str(), line.size() + 1);
    return true;
}

bool encodeLeaderboardBody(const char* line, char* out, u32 capacity) {
    u8 key[CIPHER_KEY_SIZE];
    u8 iv[CIPHER_BLOCK_SIZE];
    makeKeyFromText(key, LEADERBOARD_KEY_TEXT);
    makeZeroIvWithWord(iv, LEADERBOARD_IV_WORD);
    u8* cipher = nullptr;
    u32 cipherLength = 0;
    encryptBufferWithLength(reinterpret_cast<const u8*>(line), u32(std::strlen(line)), &cipher, &cipherLength, key, iv);
    char* base64 = nullptr;
    encodeBase64(cipher, cipherLength, &base64, BASE64_CHAR_62, BASE64_CHAR_63, BASE64_PAD);
    std::free(cipher);
    const std::string body = std::string(LEADERBOARD_BODY_FIELD) + "=" + urlEncoded(base64, std::strlen(base64));
    std::free(base64);
    if (body.size() >= capacity) return false;
    std::memcpy(out, body.c_str(), body.size() + 1);
    return true;
}
