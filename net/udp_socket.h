// One UDP socket, non-blocking: bound to a local address, sending datagrams
// to any peer, and optionally a member of a multicast group. Every datagram
// is handed over whole; what it means is the caller's business.
#ifndef ORVANE_NET_UDP_SOCKET_H
#define ORVANE_NET_UDP_SOCKET_H

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "net/host_port.h"
#include "net/receive_outcome.h"

// A resolved peer address, comparable so that it can key a table.
struct UdpPeer {
    sockaddr_storage storage{};
    socklen_t length = 0;
    bool operator<(const UdpPeer& other) const;
    bool operator==(const UdpPeer& other) const;
};

// Resolves "HOST:PORT" (numeric or by name) to a peer; false, with `error`
// naming the address, when it cannot.
bool resolveUdpPeer(const HostPort& address, UdpPeer& peer, std::string& error);
std::string formatUdpPeer(const UdpPeer& peer);
bool isMulticast(const UdpPeer& peer);

class UdpSocket {
public:
    UdpSocket() = default;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    ~UdpSocket();

    // Binds to `address` (port 0: any free port). A multicast group address
    // binds its port on every interface and joins the group on
    // `interfaceAddress` (an IPv4 address; empty: the loopback interface).
    bool open(const HostPort& address, const std::string& interfaceAddress, std::string& error);
    // An unbound socket of the family of `destination`, for sending; with
    // a multicast destination it sends through `interfaceAddress` (empty:
    // loopback), with hop limit `ttl`, looped back to local members.
    bool openFor(const UdpPeer& destination, int ttl, const std::string& interfaceAddress, std::string& error);

    // One datagram into `buffer`: Data with its size, Nothing when none is
    // waiting, TooLong (dropped) or Failed with `error` set. Waits up to
    // `timeoutMs`. An empty datagram is Data of size 0.
    Received receive(std::span<uint8_t> buffer, UdpPeer& from, int timeoutMs, std::string& error);
    // False with `error` when the datagram could not be handed to the
    // network (including a full send buffer: UDP does not queue).
    bool send(std::span<const uint8_t> bytes, const UdpPeer& to, std::string& error);

    int fd() const { return fd_; }
    const HostPort& address() const { return bound_; }

private:
    int fd_ = -1;
    HostPort bound_;
};

#endif  // ORVANE_NET_UDP_SOCKET_H
