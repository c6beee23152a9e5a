#include "stream/file_batch.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "stream/stop_request.h"

namespace {

// One message a line:
//   "P <done> <permille or -1>"  progress
//   "R <fault> <samples> <build>\t<error>"  result, last (the fault's
//   FaultKind as a number)

void writeAll(int fd, const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

[[noreturn]] void runChild(int fd, const InputFile& input, const FileRunSettings& settings) {
    auto lastReport = std::chrono::steady_clock::now();
    const SampleProgress progress = [&](uint64_t done, std::optional<double> fraction) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastReport < std::chrono::milliseconds(100)) return;
        lastReport = now;
        char line[64];
        std::snprintf(line, sizeof line, "P %llu %.6f\n", static_cast<unsigned long long>(done), fraction.value_or(-1.0));
        writeAll(fd, line);
    };
    const FileOutcome outcome = runInputFile(input, settings, progress);
    std::string error = outcome.error;
    std::replace(error.begin(), error.end(), '\n', ' ');
    writeAll(fd, "R " + std::to_string(static_cast<int>(outcome.fault)) + " " + std::to_string(outcome.samples) + " " +
                     (outcome.buildTag.empty() ? "-" : outcome.buildTag) + "\t" + error + "\n");
    ::close(fd);
    std::fflush(nullptr);
    // The result went by the pipe; the worker's own status says only
    // whether it got that far.
    ::_exit(0);
}

void readMessages(FileJob& job, const char* data, std::size_t size) {
    job.pending.append(data, size);
    std::size_t eol;
    while ((eol = job.pending.find('\n')) != std::string::npos) {
        const std::string line = job.pending.substr(0, eol);
        job.pending.erase(0, eol + 1);
        if (line.rfind("P ", 0) == 0) {
            unsigned long long done = 0;
            double fraction = -1.0;
            if (std::sscanf(line.c_str() + 2, "%llu %lf", &done, &fraction) == 2) {
                job.done = done;
                job.fraction = fraction >= 0.0 ? std::optional<double>(fraction) : std::nullopt;
            }
        } else if (line.rfind("R ", 0) == 0) {
            const std::size_t tab = line.find('\t');
            int fault = static_cast<int>(FaultKind::Failed);
            unsigned long long samples = 0;
            char build[16] = "";
            if (std::sscanf(line.c_str() + 2, "%d %llu %15s", &fault, &samples, build) >= 2) {
                job.reported = true;
                job.fault = fault >= static_cast<int>(FaultKind::None) && fault <= static_cast<int>(FaultKind::BadInput)
                                ? static_cast<FaultKind>(fault)
                                : FaultKind::Failed;
                job.samples = samples;
                job.buildTag = build[0] == '-' ? "" : build;
                job.error = tab == std::string::npos ? "" : line.substr(tab + 1);
            }
        }
    }
}

bool startJob(FileJob& job, const FileRunSettings& settings, std::string& error) {
    int fds[2];
    if (::pipe(fds) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    std::fflush(nullptr);
    // The stop signals wait while the worker is born and entered in the
    // table, so that a signal to this process always reaches it too.
    sigset_t stops, previous;
    sigemptyset(&stops);
    for (int signo : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signo);
    ::sigprocmask(SIG_BLOCK, &stops, &previous);
    const pid_t pid = ::fork();
    if (pid == 0) {
        becomeWorker();
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    } else if (pid > 0 && !watchWorker(pid)) {
        ::kill(pid, SIGKILL);  // unreachable with the job counts the tool allows
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
        ::close(fds[0]);
        ::close(fds[1]);
        error = "too many worker processes";
        return false;
    }
    if (pid != 0) ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (pid < 0) {
        error = std::string("cannot start a process: ") + std::strerror(errno);
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        ::close(fds[0]);
        runChild(fds[1], job.input, settings);
    }
    ::close(fds[1]);
    job.pid = pid;
    job.fd = fds[0];
    job.state = FileJob::State::Running;
    job.started = std::chrono::steady_clock::now();
    return true;
}

void finishJob(FileJob& job) {
    ::close(job.fd);
    job.fd = -1;
    int status = 0;
    while (::waitpid(job.pid, &status, 0) < 0 && errno == EINTR) {
    }
    forgetWorker(job.pid);
    job.state = FileJob::State::Done;
    job.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - job.started).count();
    if (WIFSIGNALED(status)) {
        job.fault = FaultKind::Failed;
        job.error = std::string("the run ended abnormally (") + strsignal(WTERMSIG(status)) + ")";
    } else if (!job.reported) {
        job.fault = FaultKind::Failed;
        job.error = "the run ended without a result (exit " + std::to_string(WEXITSTATUS(status)) + ")";
    }
}

}  // namespace

FaultKind runFileBatch(std::vector<FileJob>& jobs, const FileRunSettings& settings, std::size_t parallel,
                 const BatchProgress& progress) {
    std::size_t next = 0;
    std::size_t running = 0;
    while (true) {
        while (running < parallel && next < jobs.size()) {
            std::string error;
            if (!startJob(jobs[next], settings, error)) {
                jobs[next].state = FileJob::State::Done;
                jobs[next].fault = FaultKind::Failed;
                jobs[next].error = error;
            } else {
                ++running;
            }
            ++next;
        }
        progress(jobs, false);
        if (running == 0) break;
        std::vector<pollfd> fds;
        std::vector<FileJob*> owners;
        for (FileJob& job : jobs) {
            if (job.state != FileJob::State::Running) continue;
            fds.push_back(pollfd{job.fd, POLLIN, 0});
            owners.push_back(&job);
        }
        if (::poll(fds.data(), fds.size(), 250) < 0 && errno != EINTR) break;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                readMessages(*owners[i], buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                finishJob(*owners[i]);
                --running;
            }
        }
    }
    progress(jobs, true);
    FaultKind worst = FaultKind::None;
    for (const FileJob& job : jobs) worst = std::max(worst, job.fault);
    return worst;
}

bool planFileJobs(const std::vector<InputFile>& inputs, const std::string& dir, const std::string& extension,
                  std::vector<FileJob>& jobs, std::string& error) {
    std::map<std::string, std::string> outputs;
    for (InputFile input : inputs) {
        const std::string stem = std::filesystem::path(input.path).stem().string();
        input.outputPath = (std::filesystem::path(dir) / (stem + ".out" + extension)).string();
        const auto [at, fresh] = outputs.insert({input.outputPath, input.path});
        if (!fresh) {
            error = "'" + input.path + "' and '" + at->second + "' would both write " + input.outputPath;
            return false;
        }
        jobs.push_back(FileJob{});
        jobs.back().input = input;
    }
    return true;
}
