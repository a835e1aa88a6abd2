// One HTTP exchange with a web service through libcurl: a GET (or a POST with a body) of a page
// at "http://<address>/<page>", waited for at most a given time. Blocking; any thread, one
// exchange per call; another thread may break it off at once through a ClHttpCancel. Nothing
// here logs: the result says what happened.
#pragma once

#include "platform/types.h"

#include <mutex>

enum EHttpResult : u32 {
    E_HTTP_OK = 0,          // a 2xx answer came; its body is in the reply
    E_HTTP_BAD_ADDRESS,     // the address or page holds characters a host, port or page never has
    E_HTTP_TIMED_OUT,       // no whole answer within the time allowed
    E_HTTP_NO_CONNECTION,   // the host could not be found or reached, or the exchange broke off
    E_HTTP_ERROR_STATUS,    // the server answered with a status outside 200-299 (redirects are not followed)
    E_HTTP_CANCELLED,       // broken off by its ClHttpCancel
};

// Breaks off exchanges from another thread. Once cancelled, the exchange under way ends at once
// and every later one that is given this object ends before anything is sent, until reset.
class ClHttpCancel {
public:
    void cancel();
    void reset();
    // Whether cancel was called since the last reset.
    bool cancelled();

    // For httpExchange: the exchange registers its transfer, so that a cancel wakes it (false,
    // registering nothing, when already cancelled), and detaches before the transfer is freed
    // (true when cancelled meanwhile).
    bool attach(void* transfer);
    bool detach();

private:
    std::mutex m_lock;
    bool m_cancelled = false;
    void* m_transfer = nullptr;
};

// Address: a host name or an IPv4 address, optionally followed by ":port". Page: a path below
// the root, without its leading '/'. An empty body sends a GET, any other a POST of the body as
// a form. The reply's body goes into reply (capacity bytes, terminator included; a longer body
// is cut); reply may be null when the answer is not wanted. Only a 2xx answer fills the reply; on
// any other result it is empty. timeoutMs bounds the whole exchange, name look-up and connection
// included; cancel, when given, can end it sooner.
EHttpResult httpExchange(const char* address, const char* page, const char* body, u32 timeoutMs, char* reply,
                         u32 capacity, ClHttpCancel* cancel = nullptr);

// True when the text is a host (letters, digits, '.', '-') with an optional ":port" of 1 to 5
// digits.
bool isValidHttpAddress(const char* address);
