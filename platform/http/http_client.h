// One HTTP exchange with a web service through libcurl: a GET (or a POST with a body) of a page
// at "http://<address>/<page>", waited for at most a given time. Blocking; any thread, one
// exchange per call. Nothing here logs: the result says what happened.
#pragma once

#include "platform/types.h"

enum EHttpResult : u32 {
    E_HTTP_OK = 0,          // an answer came; its body is in the reply
    E_HTTP_BAD_ADDRESS,     // the address or page holds characters a host, port or page never has
    E_HTTP_TIMED_OUT,       // no whole answer within the time allowed
    E_HTTP_NO_CONNECTION,   // the host could not be found or reached, or the exchange broke off
    E_HTTP_ERROR_STATUS,    // the server answered with a status of 400 or above
};

// Address: a host name or an IPv4 address, optionally followed by ":port". Page: a path below
// the root, without its leading '/'. An empty body sends a GET, any other a POST of the body as
// a form. The reply's body goes into reply (capacity bytes, terminator included; a longer body
// is cut); reply may be null when the answer is not wanted. timeoutMs bounds the whole exchange,
// name look-up and connection included.
EHttpResult httpExchange(const char* address, const char* page, const char* body, u32 timeoutMs, char* reply,
                         u32 capacity);

// True when the text is a host (letters, digits, '.', '-') with an optional ":port" of 1 to 5
// digits.
bool isValidHttpAddress(const char* address);
