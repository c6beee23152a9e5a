#include "net/host_port.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstdlib>

bool parseHostPort(const std::string& text, const std::string& what, HostPort& out, std::string& error) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        error = what + " '" + text + "' has no port: expected HOST:PORT, e.g. 127.0.0.1:4712";
        return false;
    }
    std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        error = what + " '" + text + "': write an IPv6 address in brackets, e.g. [::1]:4712";
        return false;
    }
    if (host.empty()) {
        error = what + " '" + text + "' has no host: expected HOST:PORT, e.g. 127.0.0.1:4712";
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || end != port.c_str() + port.size() || errno == ERANGE || value < 0 || value > 65535) {
        error = what + " '" + text + "': port '" + port + "' is not a number from 0 to 65535";
        return false;
    }
    out.host = host;
    out.port = static_cast<uint16_t>(value);
    return true;
}

std::string formatHostPort(const HostPort& address) {
    const bool v6 = address.host.find(':') != std::string::npos;
    return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

HostPort hostPortOf(const sockaddr_storage& storage) {
    char text[INET6_ADDRSTRLEN] = "";
    HostPort address;
    if (storage.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&storage);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        address.port = ntohs(v4->sin_port);
    } else if (storage.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&storage);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        address.port = ntohs(v6->sin6_port);
    }
    address.host = text;
    return address;
}
