// The service's side of the leaderboard protocol (online/leaderboard_request.h), for the tests
// that stand in for the service: a request body read back into its line, and the line's fields.
#pragma once

#include <string>

namespace test_support {

// The line a request body carries; empty when the body is not one.
std::string decodeLeaderboardBody(const std::string& body);
// The value of a field of the line, percent-decoded; "(absent)" without the field.
std::string leaderboardField(const std::string& line, const std::string& name);
// The check the service makes: crc32Text of what stands before "&check=", as the check field
// writes it.
std::string expectedLeaderboardCheck(const std::string& line);

}  // namespace test_support
