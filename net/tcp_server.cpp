#include "net/tcp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

bool setNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

TcpServer::~TcpServer() {
    for (auto& [id, client] : clients_) close(client.fd);
    if (listenFd_ >= 0) close(listenFd_);
}

bool TcpServer::listen(const HostPort& address, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    const int status = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found);
    if (status != 0) {
        error = "cannot listen on " + formatHostPort(address) + ": " + gai_strerror(status);
        return false;
    }
    std::string lastError = "no address";
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = std::strerror(errno);
            continue;
        }
        const int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd, 16) != 0 || !setNonBlocking(fd)) {
            lastError = std::strerror(errno);
            close(fd);
            continue;
        }
        listenFd_ = fd;
        break;
    }
    freeaddrinfo(found);
    if (listenFd_ < 0) {
        error = "cannot listen on " + formatHostPort(address) + ": " + lastError;
        return false;
    }
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&storage), &length);
    bound_ = hostPortOf(storage);
    return true;
}

void TcpServer::poll(int timeoutMs, Handler& handler) {
    std::vector<pollfd> fds;
    std::vector<ClientId> ids;
    fds.push_back({listenFd_, POLLIN, 0});
    for (auto& [id, client] : clients_) {
        short events = POLLIN;
        if (client.queue.size() > client.queueStart) events |= POLLOUT;
        fds.push_back({client.fd, events, 0});
        ids.push_back(id);
    }
    for (int fd : watched_) fds.push_back({fd, POLLIN, 0});
    if (wakeFd_ >= 0) fds.push_back({wakeFd_, POLLIN, 0});
    const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
    if (wakeFd_ >= 0) {
        if ((fds.back().revents & POLLIN) != 0) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = read(wakeFd_, &count, sizeof count);
        }
        fds.pop_back();
    }
    if (ready > 0) {
        for (size_t i = 1 + ids.size(); i < fds.size(); ++i) {
            if ((fds[i].revents & POLLIN) != 0) handler.readable(fds[i].fd);
        }
        if ((fds[0].revents & POLLIN) != 0) accept(handler);
        for (size_t i = 1; i < 1 + ids.size(); ++i) {
            auto found = clients_.find(ids[i - 1]);
            if (found == clients_.end()) continue;
            Client& client = found->second;
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) readFrom(found->first, client, handler);
            if (client.dropReason.empty() && (fds[i].revents & POLLOUT) != 0) flush(client);
        }
    }
    const auto now = std::chrono::steady_clock::now();
    for (auto& [id, client] : clients_) {
        if (client.queue.size() > client.queueStart && client.dropReason.empty() &&
            now - client.stalledSince > std::chrono::milliseconds(maxStallMs_)) {
            client.dropReason = "stopped reading: frames unsent for more than " + std::to_string(maxStallMs_ / 1000) + " s";
        }
    }
    reap(handler);
}

void TcpServer::accept(Handler& handler) {
    while (true) {
        sockaddr_storage storage{};
        socklen_t length = sizeof storage;
        const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&storage), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;  // EAGAIN: none left; other errors: the peer gave up
        const int yes = 1;
        // Frames are small and latency matters more than packet count.
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        const int sendBuffer = 32 << 10;
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        const ClientId id = nextId_++;
        Client& client = clients_[id];
        client.fd = fd;
        client.peer = formatHostPort(hostPortOf(storage));
        handler.connected(id, client.peer);
    }
}

void TcpServer::readFrom(ClientId id, Client& client, Handler& handler) {
    uint8_t buffer[4096];
    while (client.dropReason.empty()) {
        const ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            handler.received(id, std::span<const uint8_t>(buffer, static_cast<size_t>(n)));
            continue;
        }
        if (n == 0) {
            client.dropReason = "closed the connection";
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            client.dropReason = std::string("connection failed: ") + std::strerror(errno);
        }
        return;
    }
}

void TcpServer::flush(Client& client) {
    const size_t before = client.queueStart;
    const bool wasEmpty = client.queue.size() == client.queueStart;
    while (client.queue.size() > client.queueStart) {
        const ssize_t n = ::send(client.fd, client.queue.data() + client.queueStart,
                                 client.queue.size() - client.queueStart, MSG_NOSIGNAL);
        if (n > 0) {
            client.queueStart += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
        client.dropReason = std::string("connection failed: ") + std::strerror(errno);
        return;
    }
    if (wasEmpty || client.queueStart != before) client.stalledSince = std::chrono::steady_clock::now();
    if (client.queueStart == client.queue.size()) {
        client.queue.clear();
        client.queueStart = 0;
    }
}

void TcpServer::send(ClientId id, std::span<const uint8_t> bytes) {
    auto found = clients_.find(id);
    if (found == clients_.end() || !found->second.dropReason.empty()) return;
    Client& client = found->second;
    if (client.queue.size() - client.queueStart + bytes.size() > maxQueued_) {
        client.dropReason = "does not keep up: more than " + std::to_string(maxQueued_) + " bytes waiting for it";
        return;
    }
    client.queue.insert(client.queue.end(), bytes.begin(), bytes.end());
    flush(client);
}

void TcpServer::drop(ClientId id, const std::string& reason) {
    auto found = clients_.find(id);
    if (found != clients_.end() && found->second.dropReason.empty()) found->second.dropReason = reason;
}

size_t TcpServer::queued(ClientId id) const {
    auto found = clients_.find(id);
    return found == clients_.end() ? 0 : found->second.queue.size() - found->second.queueStart;
}

std::string TcpServer::peerOf(ClientId id) const {
    auto found = clients_.find(id);
    return found == clients_.end() ? "" : found->second.peer;
}

void TcpServer::reap(Handler& handler) {
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (it->second.dropReason.empty()) {
            ++it;
            continue;
        }
        close(it->second.fd);
        const ClientId id = it->first;
        const std::string reason = it->second.dropReason;
        it = clients_.erase(it);
        handler.disconnected(id, reason);
    }
}

void TcpServer::closeAll(int timeoutMs, Handler& handler) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        bool waiting = false;
        for (auto& [id, client] : clients_) waiting = waiting || client.queue.size() > client.queueStart;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!waiting || left.count() <= 0) break;
        poll(static_cast<int>(left.count() < 50 ? left.count() : 50), handler);
    }
    for (auto& [id, client] : clients_) {
        if (client.dropReason.empty()) client.dropReason = "the server closed the connection";
    }
    reap(handler);
}
