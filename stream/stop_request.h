// Ctrl-C and SIGTERM as a request to stop, which the long-running loops
// (serving, receiving, publishing) poll between steps.
#ifndef ORVANE_STREAM_STOP_REQUEST_H
#define ORVANE_STREAM_STOP_REQUEST_H

#include <csignal>

// Installs the handlers once and returns the flag they set. They do not
// restart interrupted calls, so a loop waiting in poll() or a sleep wakes at
// once. `ignoreBrokenPipe`: a peer that goes away then fails a write instead
// of ending the process (a server's clients come and go).
volatile std::sig_atomic_t& stopOnInterrupt(bool ignoreBrokenPipe);

#endif  // ORVANE_STREAM_STOP_REQUEST_H
