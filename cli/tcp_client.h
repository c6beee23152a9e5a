// Connecting to a TCP server by name or address.
#ifndef ORVANE_CLI_TCP_CLIENT_H
#define ORVANE_CLI_TCP_CLIENT_H

#include <string>

#include "cli/host_port.h"

// A connected socket, or -1 with `error` saying why (name not found,
// refused, timed out after `timeoutMs`).
int connectTcp(const HostPort& address, int timeoutMs, std::string& error);

#endif  // ORVANE_CLI_TCP_CLIENT_H
