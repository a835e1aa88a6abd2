#include "online/http_transport.h"

#include "platform/http/http_client.h"

bool ClHttpLeaderboardTransport::exchange(const char* address, const char* page, const char* body, u32 timeoutMs,
                                          ClHttpCancel* cancel, char* reply, u32 capacity) {
    return httpExchange(address, page, body, timeoutMs, reply, capacity, cancel) == E_HTTP_OK;
}

ILeaderboardTransport* httpLeaderboardTransport() {
    static ClHttpLeaderboardTransport transport;
    return &transport;
}
