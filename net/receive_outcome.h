// What one receive on a socket came to, the same for TCP and UDP, so that a
// caller tells "nothing yet" from "the peer left" from "the socket failed"
// by name rather than by the sign of a count.
#ifndef ORVANE_NET_RECEIVE_OUTCOME_H
#define ORVANE_NET_RECEIVE_OUTCOME_H

#include <cstddef>

enum class ReceiveOutcome {
    Data,     // `size` bytes (TCP) or one whole datagram of `size` bytes (UDP)
    Nothing,  // nothing within the wait, or a signal arrived
    Closed,   // TCP: the peer closed the connection
    TooLong,  // UDP: a datagram longer than the buffer, dropped (error says its size and sender)
    Failed,   // the socket failed (error says why)
};

struct Received {
    ReceiveOutcome outcome = ReceiveOutcome::Nothing;
    std::size_t size = 0;
};

#endif  // ORVANE_NET_RECEIVE_OUTCOME_H
