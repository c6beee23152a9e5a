#include "net/udp_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool interfaceOf(const std::string& text, in_addr& out, std::string& error) {
    const std::string name = text.empty() ? "127.0.0.1" : text;
    if (inet_pton(AF_INET, name.c_str(), &out) != 1) {
        error = "multicast interface '" + name + "' is not an IPv4 address";
        return false;
    }
    return true;
}

std::string failure(const std::string& what, const std::string& where) {
    return what + " " + where + ": " + std::strerror(errno);
}

}  // namespace

bool UdpPeer::operator<(const UdpPeer& other) const {
    if (length != other.length) return length < other.length;
    return std::memcmp(&storage, &other.storage, length) < 0;
}

bool UdpPeer::operator==(const UdpPeer& other) const {
    return length == other.length && std::memcmp(&storage, &other.storage, length) == 0;
}

bool resolveUdpPeer(const HostPort& address, UdpPeer& peer, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    const int status = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found);
    if (status != 0 || found == nullptr) {
        error = "cannot resolve " + formatHostPort(address) + ": " + gai_strerror(status);
        return false;
    }
    peer = UdpPeer{};
    std::memcpy(&peer.storage, found->ai_addr, found->ai_addrlen);
    peer.length = found->ai_addrlen;
    freeaddrinfo(found);
    return true;
}

std::string formatUdpPeer(const UdpPeer& peer) { return formatHostPort(hostPortOf(peer.storage)); }

bool isMulticast(const UdpPeer& peer) {
    if (peer.storage.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&peer.storage);
        return IN_MULTICAST(ntohl(v4->sin_addr.s_addr));
    }
    if (peer.storage.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&peer.storage);
        return IN6_IS_ADDR_MULTICAST(&v6->sin6_addr);
    }
    return false;
}

UdpSocket::~UdpSocket() {
    if (fd_ >= 0) close(fd_);
}

bool UdpSocket::open(const HostPort& address, const std::string& interfaceAddress, std::string& error) {
    UdpPeer local;
    if (!resolveUdpPeer(address, local, error)) return false;
    const std::string where = "UDP " + formatHostPort(address);
    fd_ = socket(local.storage.ss_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
        error = failure("cannot open", where);
        return false;
    }
    const int yes = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const bool group = isMulticast(local);
    if (group && local.storage.ss_family != AF_INET) {
        error = "cannot join " + where + ": multicast groups are IPv4 only here";
        return false;
    }
    UdpPeer bindTo = local;
    if (group) {
        // Members of a group bind the group's port on every interface; the
        // membership decides which datagrams arrive.
        auto* v4 = reinterpret_cast<sockaddr_in*>(&bindTo.storage);
        v4->sin_addr.s_addr = htonl(INADDR_ANY);
    }
    if (bind(fd_, reinterpret_cast<const sockaddr*>(&bindTo.storage), bindTo.length) != 0) {
        error = failure("cannot bind", where);
        return false;
    }
    if (group) {
        ip_mreq membership{};
        membership.imr_multiaddr = reinterpret_cast<const sockaddr_in*>(&local.storage)->sin_addr;
        if (!interfaceOf(interfaceAddress, membership.imr_interface, error)) return false;
        if (setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
            error = failure("cannot join", where);
            return false;
        }
    }
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&storage), &length);
    bound_ = hostPortOf(storage);
    if (group) bound_.host = address.host;
    return true;
}

bool UdpSocket::openFor(const UdpPeer& destination, int ttl, const std::string& interfaceAddress,
                        std::string& error) {
    const std::string where = "UDP to " + formatUdpPeer(destination);
    fd_ = socket(destination.storage.ss_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
        error = failure("cannot open", where);
        return false;
    }
    if (isMulticast(destination)) {
        if (destination.storage.ss_family != AF_INET) {
            error = "cannot send " + where + ": multicast groups are IPv4 only here";
            return false;
        }
        in_addr through{};
        if (!interfaceOf(interfaceAddress, through, error)) return false;
        const unsigned char hops = static_cast<unsigned char>(ttl);
        const unsigned char loop = 1;
        if (setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &through, sizeof through) != 0 ||
            setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops) != 0 ||
            setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0) {
            error = failure("cannot set up multicast", where);
            return false;
        }
    } else if (destination.storage.ss_family == AF_INET) {
        setsockopt(fd_, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
    }
    return true;
}

Received UdpSocket::receive(std::span<uint8_t> buffer, UdpPeer& from, int timeoutMs, std::string& error) {
    if (timeoutMs > 0) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return {};
    }
    from = UdpPeer{};
    from.length = sizeof from.storage;
    const ssize_t n = recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC,
                               reinterpret_cast<sockaddr*>(&from.storage), &from.length);
    if (n >= 0) {
        // A datagram longer than the buffer is cut; say so rather than
        // hand over a truncated frame.
        if (static_cast<size_t>(n) > buffer.size()) {
            error = "a datagram of " + std::to_string(n) + " bytes from " + formatUdpPeer(from) + " is too long";
            return {ReceiveOutcome::TooLong, 0};
        }
        return {ReceiveOutcome::Data, static_cast<size_t>(n)};
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNREFUSED) return {};
    error = std::string("UDP receive failed: ") + std::strerror(errno);
    return {ReceiveOutcome::Failed, 0};
}

bool UdpSocket::send(std::span<const uint8_t> bytes, const UdpPeer& to, std::string& error) {
    const ssize_t n = sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr*>(&to.storage), to.length);
    if (n == static_cast<ssize_t>(bytes.size())) return true;
    error = n < 0 ? std::strerror(errno) : "datagram cut short";
    return false;
}
