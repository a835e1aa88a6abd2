#include "tests/support/leaderboard_decode.h"

#include "core/cipher.h"
#include "tests/support/cipher_read.h"
#include "core/name_hash.h"
#include "online/leaderboard_request.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace test_support {

namespace {

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += char(std::strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Base64 with '@' and '_' as characters 62 and 63; '=' ends it.
std::vector<u8> base64Decoded(const std::string& text) {
    static const std::string ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789@_";
    std::vector<u8> out;
    u32 bits = 0, count = 0;
    for (char c : text) {
        const size_t value = ALPHABET.find(c);
        if (value == std::string::npos) break;
        bits = (bits << 6) | u32(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(u8(bits >> count));
        }
    }
    return out;
}

}  // namespace

std::string decodeLeaderboardBody(const std::string& body) {
    const std::string prefix = std::string(LEADERBOARD_BODY_FIELD) + "=";
    if (body.rfind(prefix, 0) != 0) return {};
    const std::vector<u8> cipher = base64Decoded(percentDecoded(body.substr(prefix.size())));
    u8 key[CIPHER_KEY_SIZE], iv[CIPHER_BLOCK_SIZE];
    makeKeyFromText(key, LEADERBOARD_KEY_TEXT);
    makeZeroIvWithWord(iv, LEADERBOARD_IV_WORD);
    std::string line;
    decipherWithLength(cipher.data(), u32(cipher.size()), key, iv, &line);
    return line;
}

std::string leaderboardField(const std::string& line, const std::string& name) {
    const std::string wanted = name + "=";
    size_t at = 0;
    while (at < line.size()) {
        const size_t end = std::min(line.find('&', at), line.size());
        if (line.compare(at, wanted.size(), wanted) == 0)
            return percentDecoded(line.substr(at + wanted.size(), end - at - wanted.size()));
        at = end + 1;
    }
    return "(absent)";
}

std::string expectedLeaderboardCheck(const std::string& line) {
    char check[9];
    std::snprintf(check, sizeof check, "%08X", crc32Text(line.substr(0, line.find("&check=")).c_str()));
    return check;
}

}  // namespace test_support
