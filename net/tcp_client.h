// Connecting to a TCP server by name or address.
#ifndef ORVANE_NET_TCP_CLIENT_H
#define ORVANE_NET_TCP_CLIENT_H

#include <cstdint>
#include <span>
#include <string>

#include "net/host_port.h"
#include "net/receive_outcome.h"

// A connected socket, or -1 with `error` saying why (name not found,
// refused, timed out after `timeoutMs`).
int connectTcp(const HostPort& address, int timeoutMs, std::string& error);

// Sends every byte on a connected blocking socket; false, with `error` set,
// when the socket fails.
bool sendAllTcp(int fd, std::span<const uint8_t> bytes, std::string& error);

// Waits up to `timeoutMs` for bytes and reads what is there into `buffer`:
// Data with the count read, Nothing when nothing came in time (or a signal
// arrived), Closed when the peer closed, Failed (with `error` set) when the
// socket failed.
Received receiveTcp(int fd, std::span<uint8_t> buffer, int timeoutMs, std::string& error);

#endif  // ORVANE_NET_TCP_CLIENT_H
