// `orvane run` never destroys a file it was not asked to write: an output
// that is one of the run's inputs (or another of its outputs) is refused
// before anything runs, and a run stopped by a signal leaves no partial file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/tool_process.h"

namespace {

TEST(RunOutputSafety, AnOutputThatIsAnInputOrAnotherOutputIsRefused) {
    ScratchDirectory scratch("same_file");
    const std::string csv = scratch.file("x.csv");
    const std::string csvText =
        "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n"
        "0,1,2,3,50,0,0,1,0,0,0,50,1\n";
    std::ofstream(csv) << csvText;
    // Refused before the recording is read, so its contents do not matter.
    std::ofstream(scratch.file("v.cfg")) << "cfg\n";
    std::ofstream(scratch.file("v.dat")) << "dat\n";
    std::filesystem::create_symlink(csv, scratch.file("alias.csv"));
    struct Case {
        std::string arguments;
        std::string first, second;  // both named in the message
    };
    const Case cases[] = {
        {"--input x.csv --output x.csv", "x.csv", "x.csv"},
        {"--input x.csv --output ./alias.csv", "alias.csv", "x.csv"},
        {"--comtrade v.cfg --output ./v.dat", "'./v.dat'", "'v.dat'"},
        {"--signal steady --duration 0.1 --output a.csv --c37118 ./a.csv", "a.csv", "./a.csv"},
    };
    // Relative names, as a user types them: the tool runs in the folder.
    for (const Case& c : cases) {
        const std::string command =
            "cd '" + scratch.path().string() + "' && '" + std::filesystem::absolute(toolPath()).string() +
            "' run --in-process " + c.arguments + " >/dev/null 2>err.txt";
        const int raw = std::system(command.c_str());
        const std::string err = readWholeFile(scratch.file("err.txt"));
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 2) << c.arguments << ": " << err;
        EXPECT_NE(err.find(c.first), std::string::npos) << err;
        EXPECT_NE(err.find(c.second), std::string::npos) << err;
        EXPECT_EQ(readWholeFile(csv), csvText);
        EXPECT_EQ(readWholeFile(scratch.file("v.dat")), "dat\n");
        EXPECT_FALSE(std::filesystem::exists(scratch.file("a.csv")));
    }
}

TEST(RunOutputSafety, ASignalLeavesNoPartialOutput) {
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        ScratchDirectory scratch("signal");
        const std::string output = scratch.file("out.csv");
        const std::string tool = toolPath();
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, SIG_DFL);
            ::execl(tool.c_str(), tool.c_str(), "run", "--in-process", "--signal", "steady", "--duration", "600",
                    "--output", output.c_str(), "--c37118", (output + ".c37").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Wait (bounded) until the temporary files are being written.
        bool writing = false;
        for (int i = 0; i < 200 && !writing; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
                if (std::filesystem::file_size(entry.path()) > 0) writing = true;
            }
        }
        EXPECT_TRUE(writing);
        ::kill(pid, signo);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signo) << status;
        EXPECT_TRUE(std::filesystem::is_empty(scratch.path())) << "signal " << signo;
    }
}

// Starts the tool with `arguments` (the stop signals at their defaults, as
// a terminal gives them), waits (bounded) until a file in `watched` is being
// written, and returns its process id.
pid_t startWriting(const std::vector<std::string>& arguments, const std::filesystem::path& watched) {
    const std::string tool = toolPath();
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, SIG_DFL);
        std::vector<char*> argv{const_cast<char*>(tool.c_str())};
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::freopen("/dev/null", "w", stderr);
        ::execv(tool.c_str(), argv.data());
        ::_exit(127);
    }
    for (int i = 0; i < 400; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(watched, ignored)) {
            if (std::filesystem::file_size(entry.path(), ignored) > 0) return pid;
        }
    }
    ADD_FAILURE() << "nothing was written in " << watched;
    return pid;
}

std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> children;
    std::ifstream list("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children");
    pid_t child;
    while (list >> child) children.push_back(child);
    return children;
}

TEST(RunOutputSafety, APcapBeingWrittenIsRemovedOnEveryStopSignal) {
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        ScratchDirectory scratch("pcap_signal");
        const pid_t pid = startWriting(
            {"sv-publish", "--signal", "steady", "--duration", "3600", "--pcap", scratch.file("cap.pcap")},
            scratch.path());
        ::kill(pid, signo);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signo) << "signal " << signo << ": " << status;
        EXPECT_TRUE(std::filesystem::is_empty(scratch.path())) << "signal " << signo;
    }
}

TEST(RunOutputSafety, ParallelRunsPassTheSignalToTheirWorkers) {
    ScratchDirectory scratch("jobs_signal");
    std::filesystem::create_directory(scratch.file("out"));
    // Two sample files of 60 s at 10 kHz: long enough to be caught running.
    std::vector<std::string> arguments = {"run", "--in-process", "--jobs", "2", "--output-dir", scratch.file("out")};
    for (const char* name : {"a.csv", "b.csv"}) {
        std::ofstream csv(scratch.file(name));
        csv << "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n";
        for (int i = 0; i < 600000; ++i) csv << i * 1e-4 << ",1,2,3,50,0,0,1,0,0,0,50,1\n";
        arguments.insert(arguments.end(), {"--input", scratch.file(name)});
    }
    const pid_t pid = startWriting(arguments, scratch.file("out"));
    const std::vector<pid_t> workers = childrenOf(pid);
    EXPECT_EQ(workers.size(), 2u);
    ::kill(pid, SIGTERM);  // the parent alone, as a service manager or `kill` does
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    // The parent waited for its workers before it ended: none is left.
    for (pid_t worker : workers) EXPECT_NE(::kill(worker, 0), 0) << "worker " << worker << " still runs";
    EXPECT_TRUE(std::filesystem::is_empty(scratch.file("out")));
}

}  // namespace
