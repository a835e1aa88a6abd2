#include "platform/http/http_client.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr size_t MAX_ADDRESS_LENGTH = 255;
constexpr size_t MAX_PAGE_LENGTH = 255;
constexpr long FIRST_OK_STATUS = 200;
constexpr long FIRST_NOT_OK_STATUS = 300;
// The longest wait for the socket before the transfer is looked at again.
constexpr int MAX_WAIT_MS = 1000;

std::once_flag g_curlInitOnce;
bool g_curlReady = false;

void initCurl() { g_curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }

bool isHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// Letters, digits and the unreserved and path characters of a URL; no query, fragment or
// escape, and no way to climb above the root.
bool isValidPage(const char* page) {
    const size_t length = std::strlen(page);
    if (length == 0 || length > MAX_PAGE_LENGTH || page[0] == '/') return false;
    if (std::strstr(page, "..")) return false;
    for (const char* p = page; *p; ++p) {
        const char c = *p;
        if (!isHostChar(c) && c != '_' && c != '/' && c != '~') return false;
    }
    return true;
}

struct SReplyBuffer {
    char* text;
    u32 capacity;
    u32 length;
};

size_t takeReply(char* data, size_t size, size_t count, void* user) {
    auto* reply = static_cast<SReplyBuffer*>(user);
    const size_t bytes = size * count;
    if (reply->text && reply->capacity > 0) {
        const size_t room = reply->capacity - 1 - reply->length;
        const size_t kept = bytes < room ? bytes : room;
        std::memcpy(reply->text + reply->length, data, kept);
        reply->length += u32(kept);
        reply->text[reply->length] = '\0';
    }
    return bytes;
}

EHttpResult resultOf(CURLcode code) {
    switch (code) {
    case CURLE_OK: return E_HTTP_OK;
    case CURLE_OPERATION_TIMEDOUT: return E_HTTP_TIMED_OUT;
    case CURLE_URL_MALFORMAT: return E_HTTP_BAD_ADDRESS;
    default: return E_HTTP_NO_CONNECTION;
    }
}

// Runs the transfer to its end, waking at least once a second and at once when cancelled. The
// result of a finished transfer is its status class: only 2xx counts as an answer.
EHttpResult runTransfer(CURLM* multi, CURL* curl, ClHttpCancel* cancel) {
    if (cancel && !cancel->attach(multi)) return E_HTTP_CANCELLED;
    int running = 1;
    CURLMcode step = curl_multi_perform(multi, &running);
    while (step == CURLM_OK && running > 0) {
        step = curl_multi_poll(multi, nullptr, 0, MAX_WAIT_MS, nullptr);
        if (step == CURLM_OK) step = curl_multi_perform(multi, &running);
        if (cancel && cancel->cancelled()) break;
    }
    if (cancel && cancel->detach()) return E_HTTP_CANCELLED;
    if (step != CURLM_OK) return E_HTTP_NO_CONNECTION;
    CURLcode done = CURLE_RECV_ERROR;
    int left = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE) done = message->data.result;
    }
    if (done != CURLE_OK) return resultOf(done);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return status >= FIRST_OK_STATUS && status < FIRST_NOT_OK_STATUS ? E_HTTP_OK : E_HTTP_ERROR_STATUS;
}

}  // namespace

bool isValidHttpAddress(const char* address) {
    if (!address) return false;
    const size_t length = std::strlen(address);
    if (length == 0 || length > MAX_ADDRESS_LENGTH) return false;
    const char* colon = std::strchr(address, ':');
    const size_t hostLength = colon ? size_t(colon - address) : length;
    if (hostLength == 0) return false;
    for (size_t i = 0; i < hostLength; ++i)
        if (!isHostChar(address[i])) return false;
    if (!colon) return true;
    const char* port = colon + 1;
    const size_t portLength = std::strlen(port);
    if (portLength == 0 || portLength > 5) return false;
    u32 value = 0;
    for (const char* p = port; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + u32(*p - '0');
    }
    return value >= 1 && value <= 65535;
}

void ClHttpCancel::cancel() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_cancelled = true;
    if (m_transfer) curl_multi_wakeup(static_cast<CURLM*>(m_transfer));
}

void ClHttpCancel::reset() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_cancelled = false;
}

bool ClHttpCancel::attach(void* transfer) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_cancelled) return false;
    m_transfer = transfer;
    return true;
}

bool ClHttpCancel::cancelled() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_cancelled;
}

bool ClHttpCancel::detach() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_transfer = nullptr;
    return m_cancelled;
}

EHttpResult httpExchange(const char* address, const char* page, const char* body, u32 timeoutMs, char* reply,
                         u32 capacity, ClHttpCancel* cancel) {
    if (reply && capacity > 0) reply[0] = '\0';
    if (!isValidHttpAddress(address) || !page || !isValidPage(page)) return E_HTTP_BAD_ADDRESS;
    std::call_once(g_curlInitOnce, initCurl);
    if (!g_curlReady) return E_HTTP_NO_CONNECTION;
    CURL* curl = curl_easy_init();
    if (!curl) return E_HTTP_NO_CONNECTION;
    CURLM* multi = curl_multi_init();
    if (!multi) {
        curl_easy_cleanup(curl);
        return E_HTTP_NO_CONNECTION;
    }

    const std::string url = std::string("http://") + address + "/" + page;
    SReplyBuffer buffer{reply, capacity, 0};
    const long timeout = long(timeoutMs > 0 ? timeoutMs : 1);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeout);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeout);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, takeReply);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &buffer);
    if (body && body[0]) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body);
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    EHttpResult result = E_HTTP_NO_CONNECTION;
    if (curl_multi_add_handle(multi, curl) == CURLM_OK) {
        result = runTransfer(multi, curl, cancel);
        curl_multi_remove_handle(multi, curl);
    }
    curl_multi_cleanup(multi);
    curl_easy_cleanup(curl);
    if (result != E_HTTP_OK && reply && capacity > 0) reply[0] = '\0';
    return result;
}
