#include "core/login_name.h"

bool isLoginNameCharacter(u32 c) {
    const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    return letterOrDigit || c == '_' || c == '-' || c == '.';
}
