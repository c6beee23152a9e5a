// orvane serve with several PDCs at once: the same frames to each, one
// killed or sending garbage without disturbing the others, clean stops.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/background_process.h"

namespace {

// A built-in signal starts where real data does: at a time of day with a
// fraction of a second.
const char* const kStartTime = "80000.37";

// `orvane serve` on a free port; a signal starts at kStartTime unless the
// arguments say otherwise.
struct Server {
    explicit Server(const ScratchDirectory& scratch, const std::vector<std::string>& extra)
        : process(arguments(extra), scratch.file("serve.out"), scratch.file("serve.err")) {
        waitFor([&] { return !announcedPort(process.err()).empty() || !process.running(); }, 10000);
        port = announcedPort(process.err());
    }
    static std::vector<std::string> arguments(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {toolPath(), "serve", "--listen", "127.0.0.1:0", "--in-process"};
        args.insert(args.end(), extra.begin(), extra.end());
        const auto given = [&](const char* option) { return std::find(extra.begin(), extra.end(), option) != extra.end(); };
        if (given("--signal") && !given("--start-time")) args.insert(args.end(), {"--start-time", kStartTime});
        return args;
    }
    BackgroundProcess process;
    std::string port;
};

std::vector<std::string> pdcArguments(const std::string& port, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {toolPath(), "pdc", "127.0.0.1:" + port};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// CSV rows of a pdc's output keyed by their timestamp column.
std::map<std::string, std::string> rowsByTimestamp(const std::string& out) {
    std::map<std::string, std::string> rows;
    for (const std::string& line : linesOf(out)) {
        if (line.rfind("timestamp", 0) == 0) continue;
        rows[line.substr(0, line.find(','))] = line;
    }
    return rows;
}

TEST(ServeClients, TwoClientsGetTheSameFramesAndOneDyingDoesNotStopTheOther) {
    ScratchDirectory scratch("serve_two");
    Server server(scratch, {"--build", "4k", "--signal", "steady", "--report-rate", "50"});
    ASSERT_FALSE(server.port.empty()) << server.process.err();
    BackgroundProcess first(pdcArguments(server.port), scratch.file("a.out"), scratch.file("a.err"));
    BackgroundProcess second(pdcArguments(server.port), scratch.file("b.out"), scratch.file("b.err"));
    ASSERT_TRUE(waitFor([&] { return linesOf(first.out()).size() > 20 && linesOf(second.out()).size() > 20; }, 15000))
        << first.err() << second.err();

    first.signal(SIGKILL);
    first.wait(2000);
    const size_t rowsAtKill = linesOf(second.out()).size();
    EXPECT_TRUE(waitFor([&] { return linesOf(second.out()).size() > rowsAtKill + 25; }, 10000))
        << "the second client stopped receiving after the first was killed:\n"
        << second.err() << server.process.err();
    EXPECT_TRUE(server.process.running());

    // Every report both received is the same, byte for byte in print.
    const auto a = rowsByTimestamp(first.out());
    const auto b = rowsByTimestamp(second.out());
    size_t shared = 0;
    for (const auto& [timestamp, row] : a) {
        const auto other = b.find(timestamp);
        if (other == b.end()) continue;
        ++shared;
        EXPECT_EQ(row, other->second);
    }
    EXPECT_GT(shared, 15u);

    server.process.signal(SIGINT);
    EXPECT_EQ(server.process.wait(10000), 0) << server.process.err();
    EXPECT_NE(server.process.err().find("stopped after"), std::string::npos) << server.process.err();
    // The surviving client sees the stream end and exits cleanly.
    EXPECT_EQ(second.wait(10000), 0) << second.err();
}

TEST(ServeClients, AClientSendingGarbageIsDroppedAndTheOthersGoOn) {
    ScratchDirectory scratch("serve_garbage");
    Server server(scratch, {"--build", "4k", "--signal", "steady", "--report-rate", "25"});
    ASSERT_FALSE(server.port.empty()) << server.process.err();
    BackgroundProcess pdc(pdcArguments(server.port), scratch.file("pdc.out"), scratch.file("pdc.err"));
    ASSERT_TRUE(waitFor([&] { return linesOf(pdc.out()).size() > 5; }, 15000)) << pdc.err();

    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(std::stoi(server.port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string garbage = "GET / HTTP/1.1\r\nHost: pmu\r\n\r\n";
    ASSERT_EQ(send(fd, garbage.data(), garbage.size(), 0), static_cast<ssize_t>(garbage.size()));
    // The server closes the connection: the read sees its end.
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    char buffer[64];
    EXPECT_EQ(recv(fd, buffer, sizeof buffer, 0), 0);
    close(fd);
    EXPECT_TRUE(waitFor([&] { return server.process.err().find("wrong SYNC") != std::string::npos; }, 2000))
        << server.process.err();

    const size_t rows = linesOf(pdc.out()).size();
    EXPECT_TRUE(waitFor([&] { return linesOf(pdc.out()).size() > rows + 10; }, 10000)) << pdc.err();
    server.process.signal(SIGINT);
    EXPECT_EQ(server.process.wait(10000), 0) << server.process.err();
}

TEST(ServeClients, UnpacedFiniteInputEndsTheStreamForEveryClient) {
    ScratchDirectory scratch("serve_end");
    Server server(scratch, {"--build", "4k", "--signal", "steady", "--report-rate", "50", "--duration", "2",
                            "--no-pace"});
    ASSERT_FALSE(server.port.empty()) << server.process.err();
    BackgroundProcess pdc(pdcArguments(server.port), scratch.file("pdc.out"), scratch.file("pdc.err"));
    EXPECT_EQ(pdc.wait(20000), 0) << pdc.err();
    EXPECT_EQ(server.process.wait(10000), 0) << server.process.err();
    // Every report of the run reaches the client: as many as 'orvane run'
    // gives for the same signal.
    const ToolResult run = runTool("run --in-process --build 4k --signal steady --report-rate 50 --duration 2 "
                                   "--reports-only --start-time " + std::string(kStartTime), scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    const size_t reports = linesOf(run.out).size() - 1;
    EXPECT_GT(reports, 90u);
    EXPECT_EQ(linesOf(pdc.out()).size(), 1u + reports) << pdc.err();
    EXPECT_NE(server.process.err().find("input ended after 8000 samples, " + std::to_string(reports) + " reports"),
              std::string::npos)
        << server.process.err();
}

TEST(ServeUsage, RefusesWhatItCannotServe) {
    ScratchDirectory scratch("serve_usage");
    struct Case {
        const char* arguments;
        const char* message;
    };
    const Case cases[] = {
        {"serve --signal steady --nominal-frequency 55 --listen 127.0.0.1:0",
         "nominal frequency 55 Hz cannot be carried by C37.118.2 frames"},
        {"serve --signal steady --listen 127.0.0.1", "has no port"},
        {"serve --signal steady --listen 127.0.0.1:70000", "is not a number from 0 to 65535"},
        {"serve --signal steady --idcode 0", "'--idcode'"},
        {"serve", "give one of --input FILE, --comtrade FILE, --signal NAME or --sv IFACE"},
        {"serve --signal steady --sv-id MU01", "'--sv-id' applies to --sv only"},
        {"serve --sv no-such-if0", "interface 'no-such-if0' does not exist"},
        {"serve --comtrade tests/data/comtrade/north4800.cfg --phase 30", "'--phase' applies to --signal only"},
        {"serve --signal steady --build auto", "--build auto needs one input, a file or --sv"},
        {"serve --signal steady --mixed", "--mixed needs --udp-to"},
        {"pdc", "give the PMU's address"},
        {"pdc 127.0.0.1:4712 --listen-udp 127.0.0.1:4713", "--listen-udp only listens"},
        {"pdc 127.0.0.1:1 --count 0", "'--count'"},
    };
    for (const Case& c : cases) {
        const ToolResult result = runTool(c.arguments, scratch);
        EXPECT_EQ(result.status, 2) << c.arguments << "\n" << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.arguments << "\n" << result.err;
    }
    // Nobody listening: a connection failure, not a usage error.
    const ToolResult refused = runTool("pdc 127.0.0.1:1 --timeout 2", scratch);
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_NE(refused.err.find("cannot connect to 127.0.0.1:1"), std::string::npos) << refused.err;
    for (const char* command : {"serve --help", "pdc --help"}) {
        const ToolResult help = runTool(command, scratch);
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("usage: orvane"), std::string::npos) << command;
    }
}

}  // namespace

// One non-finite sample would hold the block's frequency tracker NaN for
// good: serve starts the block afresh at the next finite sample, flags the
// reports of its filling span, and every report after it is sound again.
TEST(ServeClients, ANonFiniteSampleRestartsTheBlockAndItsReportsRecover) {
    ScratchDirectory scratch("serve_nan");
    const std::string input = scratch.file("nan.csv");
    {
        std::ofstream out(input);
        out << "time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n";
        char row[300];
        for (int k = 0; k < 8000; ++k) {
            const double t = 80000.37 + k / 4000.0;
            const double w = 2.0 * 3.141592653589793 * 50.0 * t;
            std::snprintf(row, sizeof row, "%.17g,%.17g,%.17g,%.17g,50,0,0,1,0,0,0,50,1\n", t,
                          k == 4000 ? NAN : 100 * std::cos(w), 100 * std::cos(w - 2.0943951023931957),
                          100 * std::cos(w + 2.0943951023931957));
            out << row;
        }
    }
    Server server(scratch, {"--build", "4k", "--input", input, "--no-pace"});
    ASSERT_FALSE(server.port.empty()) << server.process.err();
    BackgroundProcess pdc(pdcArguments(server.port), scratch.file("pdc.out"), scratch.file("pdc.err"));
    EXPECT_EQ(pdc.wait(20000), 0) << pdc.err();
    EXPECT_EQ(server.process.wait(10000), 0) << server.process.err();
    EXPECT_NE(server.process.err().find("started afresh at time 80001.37"), std::string::npos)
        << server.process.err();
    int flagged = 0, rows = 0;
    for (const std::string& line : linesOf(pdc.out())) {
        if (line.rfind("timestamp", 0) == 0) continue;
        ++rows;
        double t = 0, frequency = 0;
        unsigned stat = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%*[^,],%*[^,],%*[^,],0x%x,%lf", &t, &stat, &frequency), 3) << line;
        const bool doNotUse = (stat & 0xC000) == 0x8000;
        EXPECT_FALSE(std::isnan(frequency)) << line;
        // Start-up, then the filling span after the restart at 80001.37 s.
        EXPECT_EQ(doNotUse, t < 80000.48 || (t > 80001.35 && t < 80001.47)) << line;
        if (!doNotUse) {
            EXPECT_NEAR(frequency, 50.0, 1e-3) << line;
        }
        flagged += doNotUse;
    }
    EXPECT_EQ(rows, 100);
    EXPECT_EQ(flagged, 12);
}
