// The live view's HTTP endpoint: one page (with its chart library inside),
// the state as JSON, and the state pushed as server-sent events while the
// PDC receives. It runs on threads of its own and only reads the state: a
// request can neither change the stream nor slow the PDC beyond the state's
// lock. Every other path gets 404.
#ifndef ORVANE_WEB_LIVE_SERVER_H
#define ORVANE_WEB_LIVE_SERVER_H

#include <memory>
#include <string>

#include "net/host_port.h"
#include "web/live_state.h"

// Where `--http` listens when given without an address: this machine only.
inline constexpr const char* kDefaultLiveAddress = "127.0.0.1:8080";

class LiveServer {
public:
    // At most this many event streams at once; more get 503.
    static constexpr int kMaxStreams = 16;
    // Shortest time between two events to one browser, ms: frames that come
    // faster reach it together, as the history points of one event.
    static constexpr int kEventSpacingMs = 50;

    explicit LiveServer(LiveState& state);
    ~LiveServer();
    LiveServer(const LiveServer&) = delete;
    LiveServer& operator=(const LiveServer&) = delete;

    // Binds (port 0: a free port) and starts serving on its own threads.
    // False, with `error` naming the address and the reason, when it cannot.
    bool start(const HostPort& address, std::string& error);
    // The address bound, with the real port.
    const HostPort& address() const;
    // Ends every event stream and the server; waits for its threads.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

#endif  // ORVANE_WEB_LIVE_SERVER_H
