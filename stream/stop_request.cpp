#include "stream/stop_request.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "io/output_file.h"

namespace {

volatile std::sig_atomic_t gStopRequested = 0;
// 1 while a loop polls the flag: the first signal is then a request.
std::atomic<int> gFlagMode{0};

constexpr int kWorkerSlots = 256;
std::atomic<pid_t> gWorkers[kWorkerSlots];
static_assert(std::atomic<pid_t>::is_always_lock_free, "the signal handler reads the worker table");

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

[[noreturn]] void endBySignal(int signo) {
    // Workers first, so that they remove their own temporary files while
    // this process removes its own; then wait, so that none outlives us.
    for (std::atomic<pid_t>& worker : gWorkers) {
        const pid_t pid = worker.load();
        if (pid > 0) ::kill(pid, signo);
    }
    for (std::atomic<pid_t>& worker : gWorkers) {
        const pid_t pid = worker.exchange(0);
        if (pid <= 0) continue;
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    removePartialOutputs();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signo, &fallback, nullptr);
    // Blocked while this handler runs; delivered, with its default action,
    // once the mask is lifted here.
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signo);
    ::raise(signo);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::_exit(128 + signo);
}

extern "C" void onSignal(int signo) {
    if (gFlagMode.load() == 1 && gStopRequested == 0) {
        gStopRequested = 1;
        return;
    }
    endBySignal(signo);
}

// Ours where the signal still has its default action, or, with `force`,
// wherever the process did not install a handler of its own.
void installFor(int signo, bool force) {
    struct sigaction current {};
    if (::sigaction(signo, nullptr, &current) != 0 || current.sa_handler == onSignal) return;
    if (current.sa_handler != SIG_DFL && !(force && current.sa_handler == SIG_IGN)) return;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // While one signal is handled, the others wait: the handler runs once,
    // whichever came first.
    for (int other : kSignals) sigaddset(&action.sa_mask, other);
    action.sa_flags = 0;  // no SA_RESTART: a waiting poll() wakes
    ::sigaction(signo, &action, nullptr);
}

}  // namespace

void installStopHandling() {
    for (int signo : kSignals) installFor(signo, false);
}

volatile std::sig_atomic_t& stopOnInterrupt(bool ignoreBrokenPipe) {
    installStopHandling();
    // A server started in the background (SIGINT ignored by the shell) is
    // still stopped cleanly by `kill -INT`, as it always was.
    installFor(SIGINT, true);
    installFor(SIGTERM, true);
    gFlagMode.store(1);
    if (ignoreBrokenPipe) std::signal(SIGPIPE, SIG_IGN);
    return gStopRequested;
}

bool watchWorker(pid_t pid) {
    for (std::atomic<pid_t>& worker : gWorkers) {
        pid_t expected = 0;
        if (worker.compare_exchange_strong(expected, pid)) return true;
    }
    return false;
}

void forgetWorker(pid_t pid) {
    for (std::atomic<pid_t>& worker : gWorkers) {
        pid_t expected = pid;
        if (worker.compare_exchange_strong(expected, 0)) return;
    }
}

void becomeWorker() {
    for (std::atomic<pid_t>& worker : gWorkers) worker.store(0);
    gFlagMode.store(0);
}
