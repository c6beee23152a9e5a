// The tool's one owner of SIGINT, SIGTERM and SIGHUP. By default a signal
// ends the process: the temporary files of the outputs still being written
// are removed (io/output_file keeps their names in a table a handler may
// read), worker processes started for the run receive the same signal and
// are waited for, and the process then ends by the signal's default action,
// so the parent sees the conventional status (128 + signo in a shell).
//
// The long-running loops (serving, receiving, publishing in real time) ask
// for a stop flag instead: the first signal only sets it, the loop ends and
// commits what it recorded; a second signal ends the process as above, for
// a loop that does not come back.
//
// A signal the process was started with ignored (a run under nohup) stays
// ignored, and one a host program handles itself (Python's SIGINT) stays
// its own; a loop's stop flag takes SIGINT and SIGTERM even when ignored,
// as `kill -INT` on a server in the background always did. The handler
// does only what is async-signal-safe: unlink, kill, waitpid, sigaction,
// raise, and stores to lock-free atomics.
#ifndef ORVANE_STREAM_STOP_REQUEST_H
#define ORVANE_STREAM_STOP_REQUEST_H

#include <sys/types.h>

#include <csignal>

// Installs the handlers where the signals have their default action. The
// tool's main calls it before any command runs, the Python module when it
// is imported (SIGTERM and SIGHUP then remove its partial outputs too).
void installStopHandling();

// Switches to the stop-flag behaviour and returns the flag. The handlers do
// not restart interrupted calls, so a loop waiting in poll() or a sleep
// wakes at once. `ignoreBrokenPipe`: a peer that goes away then fails a
// write instead of ending the process (a server's clients come and go).
volatile std::sig_atomic_t& stopOnInterrupt(bool ignoreBrokenPipe);

// A worker process the signal is passed on to. false when the table (one
// slot per parallel job) is full: the caller then does not start it.
bool watchWorker(pid_t pid);
// After the worker has been waited for.
void forgetWorker(pid_t pid);
// In a freshly forked worker: its siblings are not its to signal, and it
// ends by the default behaviour (no stop flag) like any run.
void becomeWorker();

#endif  // ORVANE_STREAM_STOP_REQUEST_H
