#include "tests/support/local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace test_support {

namespace {

// A socket listening on 127.0.0.1 at a port the system picks; -1 on failure.
int listenOnLoopback(int* port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return -1;
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    where.sin_port = 0;
    socklen_t length = sizeof where;
    if (::bind(s, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || ::listen(s, 8) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&where), &length) != 0) {
        ::close(s);
        return -1;
    }
    *port = ntohs(where.sin_port);
    return s;
}

// Reads the request head and, with a Content-Length, its body.
std::string readRequest(int client, std::string* body) {
    std::string text;
    char buffer[1024];
    size_t headEnd = std::string::npos;
    size_t wanted = 0;
    for (;;) {
        pollfd poller{client, POLLIN, 0};
        if (::poll(&poller, 1, 2000) <= 0) break;
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        text.append(buffer, size_t(got));
        if (headEnd == std::string::npos) {
            headEnd = text.find("\r\n\r\n");
            if (headEnd == std::string::npos) continue;
            const size_t field = text.find("Content-Length:");
            if (field != std::string::npos && field < headEnd) wanted = std::strtoul(text.c_str() + field + 15, nullptr, 10);
        }
        if (text.size() >= headEnd + 4 + wanted) break;
    }
    if (headEnd != std::string::npos) *body = text.substr(headEnd + 4);
    return text.substr(0, text.find("\r\n"));
}

}  // namespace

ClLocalHttpServer::ClLocalHttpServer(std::string body, int status, bool answers)
    : m_body(std::move(body)), m_status(status), m_answers(answers) {
    m_socket = listenOnLoopback(&m_port);
    if (m_socket >= 0) m_thread = std::thread([this] { serve(); });
}

ClLocalHttpServer::~ClLocalHttpServer() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    for (int client : m_held) ::close(client);
    if (m_socket >= 0) ::close(m_socket);
}

std::string ClLocalHttpServer::address() const { return "127.0.0.1:" + std::to_string(m_port); }

std::vector<std::string> ClLocalHttpServer::requestLines() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_lines;
}

std::string ClLocalHttpServer::lastBody() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_lastBody;
}

void ClLocalHttpServer::serve() {
    while (!m_stop) {
        pollfd poller{m_socket, POLLIN, 0};
        if (::poll(&poller, 1, 20) <= 0) continue;
        const int client = ::accept(m_socket, nullptr, nullptr);
        if (client < 0) continue;
        std::string body;
        const std::string line = readRequest(client, &body);
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_lines.push_back(line);
            if (line.rfind("POST", 0) == 0) m_lastBody = body;
        }
        if (!m_answers) {
            m_held.push_back(client);
            continue;
        }
        const std::string answer = "HTTP/1.1 " + std::to_string(m_status) + " X\r\nContent-Type: text/plain\r\n" +
                                   "Content-Length: " + std::to_string(m_body.size()) + "\r\nConnection: close\r\n\r\n" +
                                   m_body;
        size_t sent = 0;
        while (sent < answer.size()) {
            const ssize_t n = ::send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += size_t(n);
        }
        ::close(client);
    }
}

}  // namespace test_support
