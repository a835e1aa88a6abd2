// A tiny HTTP server on 127.0.0.1 for the tests of the HTTP client: it answers every request
// with a fixed body (or reads each request and never answers it) and keeps the request lines it
// saw. It picks a free port.
#pragma once

#include "platform/types.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

class ClLocalHttpServer {
public:
    // Starts answering at once; status is the HTTP status sent (200, 404...). A server that does
    // not answer keeps each connection open, unanswered, until it is destroyed.
    explicit ClLocalHttpServer(std::string body, int status = 200, bool answers = true);
    ~ClLocalHttpServer();
    ClLocalHttpServer(const ClLocalHttpServer&) = delete;
    ClLocalHttpServer& operator=(const ClLocalHttpServer&) = delete;

    // "127.0.0.1:<port>"
    std::string address() const;
    // The first line of each request answered so far ("GET /page HTTP/1.1").
    std::vector<std::string> requestLines() const;
    // The body of the last POST, empty without one.
    std::string lastBody() const;

private:
    void serve();

    int m_socket = -1;
    int m_port = 0;
    std::string m_body;
    int m_status;
    bool m_answers;
    std::vector<int> m_held;  // the serving thread's unanswered connections
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::vector<std::string> m_lines;
    std::string m_lastBody;
    std::thread m_thread;
};

}  // namespace test_support
