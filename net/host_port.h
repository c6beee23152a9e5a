// "HOST:PORT" as the network commands take it: a name or an IPv4 address,
// or an IPv6 address in brackets ("[::1]:4712"), then a port 0..65535.
#ifndef ORVANE_NET_HOST_PORT_H
#define ORVANE_NET_HOST_PORT_H

#include <cstdint>
#include <string>

struct HostPort {
    std::string host;
    uint16_t port = 0;
};

// False, with `error` saying what is wrong with `text`, when it does not
// parse. `what` names the option or argument in the message.
bool parseHostPort(const std::string& text, const std::string& what, HostPort& out, std::string& error);

std::string formatHostPort(const HostPort& address);

#endif  // ORVANE_NET_HOST_PORT_H
