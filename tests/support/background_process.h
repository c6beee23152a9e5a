// Background processes for the network tests: `orvane serve`, `orvane pdc`
// and tshark, started with their output in files, signalled and reaped.
#ifndef ORVANE_TESTS_SUPPORT_BACKGROUND_PROCESS_H
#define ORVANE_TESTS_SUPPORT_BACKGROUND_PROCESS_H

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/tool_process.h"

class BackgroundProcess {
public:
    BackgroundProcess(const std::vector<std::string>& argv, const std::string& outPath, const std::string& errPath)
        : outPath_(outPath), errPath_(errPath) {
        pid_ = fork();
        if (pid_ == 0) {
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;
    ~BackgroundProcess() {
        if (running()) {
            kill(pid_, SIGKILL);
            wait(1000);
        }
    }

    pid_t pid() const { return pid_; }
    bool running() { return pid_ > 0 && !reaped_ && waitpid(pid_, &status_, WNOHANG) == 0; }
    void signal(int sig) {
        if (pid_ > 0 && !reaped_) kill(pid_, sig);
    }
    // The exit status, or -1 when it did not exit within `timeoutMs`.
    int wait(int timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!reaped_) {
            const pid_t done = waitpid(pid_, &status_, WNOHANG);
            if (done == pid_) {
                reaped_ = true;
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
    }
    std::string out() const { return readWholeFile(outPath_); }
    std::string err() const { return readWholeFile(errPath_); }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
    std::string outPath_;
    std::string errPath_;
};

// Polls `condition` every 20 ms until it holds or `timeoutMs` passes.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

// The port `orvane serve` announced on standard error ("listening on
// 127.0.0.1:PORT"), or empty.
inline std::string announcedPort(const std::string& err) {
    const std::string marker = "listening on 127.0.0.1:";
    const size_t at = err.find(marker);
    if (at == std::string::npos) return "";
    size_t end = at + marker.size();
    while (end < err.size() && err[end] >= '0' && err[end] <= '9') ++end;
    return err.substr(at + marker.size(), end - at - marker.size());
}

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // an unfinished last line
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

#endif  // ORVANE_TESTS_SUPPORT_BACKGROUND_PROCESS_H
