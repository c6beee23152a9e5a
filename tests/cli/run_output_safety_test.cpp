// `orvane run` never destroys a file it was not asked to write: an output
// that is one of the run's inputs (or another of its outputs) is refused
// before anything runs, and a run stopped by a signal leaves no partial file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

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
    for (int signo : {SIGTERM, SIGINT}) {
        ScratchDirectory scratch("signal");
        const std::string output = scratch.file("out.csv");
        const std::string tool = toolPath();
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
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

}  // namespace
