#include "stream/stop_request.h"

namespace {

volatile std::sig_atomic_t gStopRequested = 0;

void requestStop(int) { gStopRequested = 1; }

}  // namespace

volatile std::sig_atomic_t& stopOnInterrupt(bool ignoreBrokenPipe) {
    struct sigaction action{};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    if (ignoreBrokenPipe) std::signal(SIGPIPE, SIG_IGN);
    return gStopRequested;
}
