#include "cli/batch_runner.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "cli/command_options.h"
#include "cli/file_run.h"
#include "cli/output_choice.h"
#include "io/output_formats.h"
#include "cli/progress_meter.h"
#include "io/distinct_files.h"

const char* const kBatchRunHelp =
    "recordings and several files:\n"
    "  --comtrade FILE     a COMTRADE recording (.cfg with its .dat, or .cff) instead of a\n"
    "                      sample CSV; repeat --comtrade and --input for several files\n"
    "  --phases A,B,C      the recording's phase channels by name or number (default: its\n"
    "                      three voltage channels, or the voltages marked phase A, B, C)\n"
    "  --line-to-line      the voltage channels (or --phases AB,BC,CA) are line-to-line;\n"
    "                      found from names like VAB, UAB, A-B without this option\n"
    "  --primary           values on the transformer's primary side (default)\n"
    "  --secondary         values on the secondary side\n"
    "  --build auto        the build at the file's rate (a recording's, or a sample\n"
    "                      CSV's from its time column) or the nearest above it\n"
    "                      (14p4k for faster files); other rates are resampled\n"
    "  --report-rate N, --nominal-frequency HZ, --report-mode 0|1,\n"
    "  --magnitude-coeffs C2,C1,C0, --phase-coeffs P2,P1,P0\n"
    "                      configuration ports of a recording's run (defaults 50, the\n"
    "                      recording's line frequency if 50 or 60 else 50, 1, 0,0,1, 0,0,0)\n"
    "  --jobs N            run up to N files at once, each in its own process (default 1)\n"
    "  --output-dir DIR    with several files: FILE's output goes to DIR/STEM.out.csv\n"
    "                      (.out.h5 or .out.cfg with --format hdf5 or comtrade)\n"
    "                      (default: the current directory)\n"
    "\n"
    "A recording's Time input counts seconds since UTC midnight of the day its first\n"
    "sample was taken (its start time moved to UTC by the 2013 time code), and the output\n"
    "timestamps count from the same midnight; --c37118 frames carry the absolute time.\n"
    "\n";

namespace {

struct Arguments {
    std::vector<InputFile> inputs;
    std::vector<std::string> rest;
};

bool isOption(const std::string& arg, const char* name, std::string& value, bool& needsNext) {
    const std::string flag = std::string("--") + name;
    if (arg == flag) {
        needsNext = true;
        return true;
    }
    if (arg.rfind(flag + "=", 0) == 0) {
        value = arg.substr(flag.size() + 1);
        needsNext = false;
        return true;
    }
    return false;
}

// Takes out every --input and --comtrade (each may repeat); the rest goes to
// the ordinary option parser.
bool splitInputs(const std::vector<std::string>& args, Arguments& out, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string value;
        bool needsNext = false;
        bool comtrade = false;
        if (isOption(args[i], "comtrade", value, needsNext)) {
            comtrade = true;
        } else if (!isOption(args[i], "input", value, needsNext)) {
            out.rest.push_back(args[i]);
            continue;
        }
        if (needsNext) {
            if (i + 1 >= args.size()) {
                error = "option '" + args[i] + "' needs a value";
                return false;
            }
            value = args[++i];
        }
        if (value.empty()) {
            error = std::string("option '--") + (comtrade ? "comtrade" : "input") + "' needs a file name";
            return false;
        }
        out.inputs.push_back(InputFile{value, comtrade, ""});
    }
    return true;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "orvane run: %s\n(try 'orvane run --help')\n", message.c_str());
    return 2;
}

// ---- one file in a child process -------------------------------------------
// The child tells the parent how far it got over a pipe, one line a message:
//   "P <done> <total>"  progress
//   "R <status> <samples> <build>\t<error>"  result, last

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
    const std::function<void(uint64_t, uint64_t)> progress = [&](uint64_t done, uint64_t total) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastReport < std::chrono::milliseconds(100)) return;
        lastReport = now;
        writeAll(fd, "P " + std::to_string(done) + " " + std::to_string(total) + "\n");
    };
    const FileOutcome outcome = runInputFile(input, settings, progress, nullptr);
    std::string error = outcome.error;
    std::replace(error.begin(), error.end(), '\n', ' ');
    writeAll(fd, "R " + std::to_string(outcome.exitStatus) + " " + std::to_string(outcome.samples) + " " +
                     (outcome.buildTag.empty() ? "-" : outcome.buildTag) + "\t" + error + "\n");
    ::close(fd);
    std::fflush(nullptr);
    ::_exit(outcome.exitStatus);
}

struct Job {
    InputFile input;
    enum class State { Waiting, Running, Done } state = State::Waiting;
    pid_t pid = -1;
    int fd = -1;
    std::string pending;  // bytes of an unfinished line from the child
    uint64_t done = 0;
    uint64_t total = 0;
    bool reported = false;  // the child sent its result
    int exitStatus = 0;
    uint64_t samples = 0;
    std::string buildTag;
    std::string error;
    std::chrono::steady_clock::time_point started;
    double seconds = 0.0;
};

void readMessages(Job& job, const char* data, std::size_t size) {
    job.pending.append(data, size);
    std::size_t eol;
    while ((eol = job.pending.find('\n')) != std::string::npos) {
        const std::string line = job.pending.substr(0, eol);
        job.pending.erase(0, eol + 1);
        if (line.rfind("P ", 0) == 0) {
            unsigned long long done = 0, total = 0;
            if (std::sscanf(line.c_str() + 2, "%llu %llu", &done, &total) == 2) {
                job.done = done;
                job.total = total;
            }
        } else if (line.rfind("R ", 0) == 0) {
            const std::size_t tab = line.find('\t');
            int status = 1;
            unsigned long long samples = 0;
            char build[16] = "";
            if (std::sscanf(line.c_str() + 2, "%d %llu %15s", &status, &samples, build) >= 2) {
                job.reported = true;
                job.exitStatus = status;
                job.samples = samples;
                job.buildTag = build[0] == '-' ? "" : build;
                job.error = tab == std::string::npos ? "" : line.substr(tab + 1);
            }
        }
    }
}

std::string describe(const Job& job, std::size_t index, std::size_t count) {
    std::string text = "[" + std::to_string(index + 1) + "/" + std::to_string(count) + "] " + job.input.path + ": ";
    char buffer[96];
    switch (job.state) {
        case Job::State::Waiting: return text + "waiting";
        case Job::State::Running:
            if (job.total > 0) {
                std::snprintf(buffer, sizeof buffer, "%3.0f%% of %llu samples",
                              100.0 * static_cast<double>(job.done) / static_cast<double>(job.total),
                              static_cast<unsigned long long>(job.total));
            } else {
                std::snprintf(buffer, sizeof buffer, "%llu samples", static_cast<unsigned long long>(job.done));
            }
            return text + buffer;
        case Job::State::Done: break;
    }
    if (job.exitStatus == 0) {
        std::snprintf(buffer, sizeof buffer, "done, %llu samples at the %s build in %.2f s -> ",
                      static_cast<unsigned long long>(job.samples), job.buildTag.c_str(), job.seconds);
        return text + buffer + job.input.outputPath;
    }
    return text + "FAILED (exit " + std::to_string(job.exitStatus) + "): " + job.error;
}

// One line per file. On a terminal the block of lines is redrawn in place;
// elsewhere each file's line is printed once, when it is finished.
class BatchDisplay {
public:
    explicit BatchDisplay(const std::vector<Job>& jobs) : jobs_(jobs), terminal_(isatty(STDERR_FILENO) == 1) {}

    void update(bool force) {
        if (!terminal_) {
            for (std::size_t i = 0; i < jobs_.size(); ++i) {
                if (jobs_[i].state == Job::State::Done && printed_.count(i) == 0) {
                    printed_.insert({i, true});
                    std::fprintf(stderr, "orvane run: %s\n", describe(jobs_[i], i, jobs_.size()).c_str());
                }
            }
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - lastDrawn_ < std::chrono::milliseconds(200)) return;
        lastDrawn_ = now;
        if (linesDrawn_ > 0) std::fprintf(stderr, "\033[%zuA", linesDrawn_);
        // While lines are still redrawn, each must fit the terminal's width:
        // a wrapped line would throw the cursor arithmetic off. The last
        // drawing (force) keeps every message whole.
        winsize size{};
        const std::size_t width =
            ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20 ? size.ws_col - 1u : 79u;
        for (std::size_t i = 0; i < jobs_.size(); ++i) {
            std::string line = "orvane run: " + describe(jobs_[i], i, jobs_.size());
            if (!force && line.size() > width) line.resize(width);
            std::fprintf(stderr, "\r\033[K%s\n", line.c_str());
        }
        linesDrawn_ = jobs_.size();
        std::fflush(stderr);
    }

private:
    const std::vector<Job>& jobs_;
    bool terminal_;
    std::map<std::size_t, bool> printed_;
    std::size_t linesDrawn_ = 0;
    std::chrono::steady_clock::time_point lastDrawn_{};
};

bool startJob(Job& job, const FileRunSettings& settings, std::string& error) {
    int fds[2];
    if (::pipe(fds) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
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
    job.state = Job::State::Running;
    job.started = std::chrono::steady_clock::now();
    return true;
}

void finishJob(Job& job) {
    ::close(job.fd);
    job.fd = -1;
    int status = 0;
    while (::waitpid(job.pid, &status, 0) < 0 && errno == EINTR) {
    }
    job.state = Job::State::Done;
    job.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - job.started).count();
    if (WIFSIGNALED(status)) {
        job.exitStatus = 1;
        job.error = std::string("the run ended abnormally (") + strsignal(WTERMSIG(status)) + ")";
    } else if (!job.reported) {
        job.exitStatus = 1;
        job.error = "the run ended without a result (exit " + std::to_string(WEXITSTATUS(status)) + ")";
    }
}

int runJobs(std::vector<Job>& jobs, const FileRunSettings& settings, std::size_t parallel) {
    BatchDisplay display(jobs);
    std::size_t next = 0;
    std::size_t running = 0;
    while (true) {
        while (running < parallel && next < jobs.size()) {
            std::string error;
            if (!startJob(jobs[next], settings, error)) {
                jobs[next].state = Job::State::Done;
                jobs[next].exitStatus = 1;
                jobs[next].error = error;
            } else {
                ++running;
            }
            ++next;
        }
        display.update(false);
        if (running == 0) break;
        std::vector<pollfd> fds;
        std::vector<Job*> owners;
        for (Job& job : jobs) {
            if (job.state != Job::State::Running) continue;
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
    display.update(true);

    int worst = 0;
    std::size_t failed = 0;
    std::string failedNames;
    for (const Job& job : jobs) {
        if (job.exitStatus == 0) continue;
        ++failed;
        worst = std::max(worst, job.exitStatus);
        failedNames += (failedNames.empty() ? "" : ", ") + job.input.path;
    }
    std::fprintf(stderr, "orvane run: %zu of %zu files done%s%s\n", jobs.size() - failed, jobs.size(),
                 failed > 0 ? "; failed: " : "", failedNames.c_str());
    return worst;
}

}  // namespace

bool isBatchRun(const std::vector<std::string>& args) {
    int inputs = 0;
    // A sample CSV with --build auto takes the file road (its rate decides).
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--build=auto" || (args[i] == "--build" && i + 1 < args.size() && args[i + 1] == "auto"))
            return true;
    }
    for (const std::string& arg : args) {
        if (arg == "--comtrade" || arg.rfind("--comtrade=", 0) == 0 || arg == "--jobs" || arg.rfind("--jobs=", 0) == 0 ||
            arg == "--output-dir" || arg.rfind("--output-dir=", 0) == 0)
            return true;
        if (arg == "--input" || arg.rfind("--input=", 0) == 0) ++inputs;
    }
    return inputs > 1;
}

int runBatch(const std::vector<std::string>& args) {
    Arguments parsed;
    std::string error;
    if (!splitInputs(args, parsed, error)) return usageError(error);
    const std::vector<OptionSpec> accepted = {
        {"build", true},          {"output", true},           {"output-dir", true},    {"reports-only", false},
        {"deliverable", true},    {"in-process", false},      {"c37118", true},        {"idcode", true},
        {"phases", true},         {"primary", false},         {"secondary", false},    {"jobs", true},
        {"nominal-frequency", true}, {"report-rate", true},   {"report-mode", true},   {"magnitude-coeffs", true},
        {"phase-coeffs", true},   {"bridge-gaps", false},     {"quality", false},
        {"line-to-line", false},  {"format", true},           {"plot", true},
    };
    CommandOptions options;
    if (!options.parse(parsed.rest, accepted, error)) return usageError(error);
    if (parsed.inputs.empty()) return usageError("give an input file: --comtrade FILE or --input FILE.csv");
    if (options.has("primary") && options.has("secondary")) return usageError("give either --primary or --secondary");
    FileRunSettings settings;
    if (!readDriverChoice(options, settings.driver, error)) return usageError(error);
    settings.buildTag = settings.driver.buildTag;
    if (settings.buildTag != "auto" && buildByTag(settings.buildTag) == nullptr)
        return usageError("unknown build '" + settings.buildTag + "' (expected 10k, 14p4k, 4k or auto)");
    settings.reportsOnly = options.has("reports-only");
    settings.bridgeGaps = options.has("bridge-gaps");
    settings.quality = options.has("quality");
    settings.comtrade.side = options.has("secondary") ? ValueSide::Secondary : ValueSide::Primary;
    settings.comtrade.lineToLine = options.has("line-to-line");
    if (options.has("phases")) {
        const std::string list = options.text("phases");
        std::size_t begin = 0;
        while (true) {
            const std::size_t comma = list.find(',', begin);
            settings.comtrade.phases.push_back(list.substr(begin, comma == std::string::npos ? comma : comma - begin));
            if (comma == std::string::npos) break;
            begin = comma + 1;
        }
        if (settings.comtrade.phases.size() != 3) return usageError("--phases needs three channels, as in VA,VB,VC");
    }
    if (!readPortOptions(options, settings, error)) return usageError(error);
    int64_t jobs = 1;
    if (!options.integer("jobs", 1, 256, jobs, error)) return usageError(error);
    settings.format = options.text("format");
    settings.commandLine = commandLineOf(args);
    const std::string format = outputFormatOf(OutputRequest{options.text("output"), settings.format, false, {}}, error);
    if (format.empty()) return usageError(error);

    const bool single = parsed.inputs.size() == 1 && !options.has("jobs") && !options.has("output-dir");
    std::vector<std::string> inputFiles;
    for (const InputFile& input : parsed.inputs) {
        const std::vector<std::string> files = input.comtrade ? comtradeFilesOf(input.path) : std::vector{input.path};
        inputFiles.insert(inputFiles.end(), files.begin(), files.end());
    }
    if (single) {
        if (!checkDistinctFiles(inputFiles, {options.text("output"), options.text("c37118")}, error)) {
            std::fprintf(stderr, "orvane run: %s\n", error.c_str());
            return 2;
        }
        // One file in this process, exactly like a CSV run.
        InputFile input = parsed.inputs[0];
        input.outputPath = options.text("output");
        settings.options = &options;
        ProgressMeter meter("orvane run: " + input.path);
        const FileOutcome outcome = runInputFile(input, settings, {}, &meter);
        meter.done();
        if (outcome.exitStatus != 0) std::fprintf(stderr, "orvane run: %s\n", outcome.error.c_str());
        return outcome.exitStatus;
    }

    if (options.has("output")) return usageError("with several files or --jobs give --output-dir DIR, not --output");
    if (options.has("c37118")) return usageError("--c37118 takes one input file");
    if (options.has("plot")) return usageError("--plot takes one input file (draw several with 'orvane plot')");
    const std::filesystem::path dir = options.text("output-dir", ".");
    if (!std::filesystem::is_directory(dir)) return usageError("--output-dir '" + dir.string() + "' is no directory");
    std::vector<Job> jobList;
    std::map<std::string, std::string> outputs;
    for (InputFile input : parsed.inputs) {
        input.outputPath = (dir / (std::filesystem::path(input.path).stem().string() + ".out" + outputExtension(format))).string();
        const auto [at, fresh] = outputs.insert({input.outputPath, input.path});
        if (!fresh) {
            return usageError("'" + input.path + "' and '" + at->second + "' would both write " + input.outputPath);
        }
        Job job;
        job.input = input;
        jobList.push_back(job);
    }
    std::vector<std::string> outputFiles;
    for (const Job& job : jobList) outputFiles.push_back(job.input.outputPath);
    if (!checkDistinctFiles(inputFiles, outputFiles, error)) {
        std::fprintf(stderr, "orvane run: %s\n", error.c_str());
        return 2;
    }
    return runJobs(jobList, settings, static_cast<std::size_t>(jobs));
}
