// "HOST:PORT" as the network commands take it: a name or an IPv4 address,
// or an IPv6 address in brackets ("[::1]:4712"), then a port 0..65535.
#ifndef ORVANE_NET_HOST_PORT_H
#define ORVANE_NET_HOST_PORT_H

#include <cstdint>
#include <string>

#include <sys/socket.h>

struct HostPort {
    std::string host;
    uint16_t port = 0;
};

// False, with `error` saying what is wrong with `text`, when it does not
// parse. `what` names the option or argument in the message.
bool parseHostPort(const std::string& text, const std::string& what, HostPort& out, std::string& error);

std::string formatHostPort(const HostPort& address);

// The numeric host and port of a socket address (IPv4 or IPv6; empty host
// and port 0 for any other family).
HostPort hostPortOf(const sockaddr_storage& storage);

#endif  // ORVANE_NET_HOST_PORT_H
