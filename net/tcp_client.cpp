#include "net/tcp_client.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Connects one candidate address within the timeout; the socket comes back
// in blocking mode.
int tryConnect(const addrinfo& a, int timeoutMs, std::string& reason) {
    const int fd = socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a.ai_protocol);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    if (connect(fd, a.ai_addr, a.ai_addrlen) != 0 && errno != EINPROGRESS) {
        reason = std::strerror(errno);
        close(fd);
        return -1;
    }
    pollfd p{fd, POLLOUT, 0};
    const int ready = poll(&p, 1, timeoutMs);
    int socketError = 0;
    socklen_t length = sizeof socketError;
    if (ready <= 0) {
        reason = ready == 0 ? "timed out" : std::strerror(errno);
        close(fd);
        return -1;
    }
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &socketError, &length);
    if (socketError != 0) {
        reason = std::strerror(socketError);
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) & ~O_NONBLOCK);
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return fd;
}

}  // namespace

int connectTcp(const HostPort& address, int timeoutMs, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    const int status = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found);
    if (status != 0) {
        error = "cannot connect to " + formatHostPort(address) + ": " + gai_strerror(status);
        return -1;
    }
    std::string reason = "no address";
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) fd = tryConnect(*a, timeoutMs, reason);
    freeaddrinfo(found);
    if (fd < 0) error = "cannot connect to " + formatHostPort(address) + ": " + reason;
    return fd;
}

bool sendAllTcp(int fd, std::span<const uint8_t> bytes, std::string& error) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = std::strerror(errno);
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

Received receiveTcp(int fd, std::span<uint8_t> buffer, int timeoutMs, std::string& error) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return {};
    const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
    if (n < 0 && errno == EINTR) return {};
    if (n == 0) return {ReceiveOutcome::Closed, 0};
    if (n < 0) {
        error = std::strerror(errno);
        return {ReceiveOutcome::Failed, 0};
    }
    return {ReceiveOutcome::Data, static_cast<size_t>(n)};
}
