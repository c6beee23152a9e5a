// A small TCP server on one thread: a listening socket and its clients,
// all non-blocking, driven by poll(). Bytes a client sends are handed to the
// caller; bytes for a client are queued and written as its socket takes
// them, so one slow or dead client never holds up the others.
#ifndef ORVANE_NET_TCP_SERVER_H
#define ORVANE_NET_TCP_SERVER_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "net/host_port.h"

class TcpServer {
public:
    using ClientId = uint64_t;

    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void connected(ClientId client, const std::string& peer) = 0;
        virtual void received(ClientId client, std::span<const uint8_t> bytes) = 0;
        // The client is gone: it closed, its socket failed, or it was dropped.
        virtual void disconnected(ClientId client, const std::string& reason) = 0;
        // A socket given to watch() has something to read.
        virtual void readable(int /*fd*/) {}
    };

    TcpServer() = default;
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;
    ~TcpServer();

    // Binds and listens; port 0 takes a free port (see address()).
    bool listen(const HostPort& address, std::string& error);
    // The address actually bound.
    const HostPort& address() const { return bound_; }

    // Waits up to `timeoutMs` (0: not at all) for the sockets, then accepts
    // new clients, reads what clients sent and writes queued bytes. Returns
    // early when a signal arrives.
    void poll(int timeoutMs, Handler& handler);

    // Queues bytes for a client. A client whose queue would exceed
    // `maxQueued` is dropped (it does not keep up).
    void send(ClientId client, std::span<const uint8_t> bytes);
    void drop(ClientId client, const std::string& reason);
    size_t queued(ClientId client) const;
    bool hasClient(ClientId client) const { return clients_.count(client) != 0; }
    size_t clientCount() const { return clients_.size(); }
    std::string peerOf(ClientId client) const;

    // Writes what is queued for every client, waiting up to `timeoutMs`,
    // then closes every connection.
    void closeAll(int timeoutMs, Handler& handler);

    void setMaxQueued(size_t bytes) { maxQueued_ = bytes; }
    // Also wake poll() when `fd` (an eventfd, -1: none) becomes readable;
    // its count is read back so that it can signal again.
    void setWakeFd(int fd) { wakeFd_ = fd; }
    // A client whose unsent bytes made no progress for this long is dropped:
    // it stopped reading. The kernel's send buffer of each connection is kept
    // small so that such a client shows within seconds, not hours.
    void setMaxStallMs(int ms) { maxStallMs_ = ms; }
    // Another socket (UDP) for poll() to wait on beside the connections.
    void watch(int fd) { watched_.push_back(fd); }

private:
    struct Client {
        int fd = -1;
        std::string peer;
        std::vector<uint8_t> queue;
        size_t queueStart = 0;
        std::string dropReason;  // set: close at the next poll
        std::chrono::steady_clock::time_point stalledSince{};
    };

    void accept(Handler& handler);
    void readFrom(ClientId id, Client& client, Handler& handler);
    void flush(Client& client);
    void reap(Handler& handler);

    int listenFd_ = -1;
    HostPort bound_;
    std::map<ClientId, Client> clients_;
    ClientId nextId_ = 1;
    size_t maxQueued_ = 8u << 20;
    int wakeFd_ = -1;
    int maxStallMs_ = 5000;
    std::vector<int> watched_;
};

#endif  // ORVANE_NET_TCP_SERVER_H
