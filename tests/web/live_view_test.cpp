// orvane pdc --http: the live view of a running stream, as a browser and as
// clients that misbehave see it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/background_process.h"

namespace {

// A connected loopback socket, or -1. `receiveBuffer` > 0 shrinks what the
// kernel holds for it.
int connectLoopback(int port, int receiveBuffer = 0) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    timeval timeout{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    return fd;
}

// Sends one request and returns the whole answer (the server closes).
std::string ask(int port, const std::string& method, const std::string& path) {
    const int fd = connectLoopback(port);
    if (fd < 0) return "";
    const std::string request = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                                "Content-Length: 4\r\n\r\nstop";
    send(fd, request.data(), request.size(), 0);
    std::string answer;
    char buffer[65536];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, static_cast<size_t>(n));
    close(fd);
    return answer;
}

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// orvane serve and orvane pdc --http on loopback.
struct LiveRun {
    LiveRun(const ScratchDirectory& scratch, const std::vector<std::string>& signal)
        : serve(serveArguments(signal), scratch.file("serve.out"), scratch.file("serve.err")) {
        waitFor([&] { return !announcedPort(serve.err()).empty() || !serve.running(); }, 10000);
        const std::string port = announcedPort(serve.err());
        if (port.empty()) return;
        pdc = std::make_unique<BackgroundProcess>(
            std::vector<std::string>{toolPath(), "pdc", "127.0.0.1:" + port, "--http", "127.0.0.1:0"},
            scratch.file("pdc.out"), scratch.file("pdc.err"));
        const std::regex announced("live view on http://127\\.0\\.0\\.1:([0-9]+)/");
        waitFor([&] { return std::regex_search(pdc->err(), announced) || !pdc->running(); }, 10000);
        std::smatch match;
        const std::string err = pdc->err();
        if (std::regex_search(err, match, announced)) httpPort = std::stoi(match[1]);
    }
    static std::vector<std::string> serveArguments(const std::vector<std::string>& signal) {
        std::vector<std::string> args = {toolPath(), "serve", "--listen", "127.0.0.1:0", "--in-process", "--build",
                                         "4k"};
        args.insert(args.end(), signal.begin(), signal.end());
        return args;
    }
    size_t rows() const { return linesOf(pdc->out()).size(); }

    BackgroundProcess serve;
    std::unique_ptr<BackgroundProcess> pdc;
    int httpPort = 0;
};

std::string chromium() {
    for (const char* name : {"chromium", "chromium-browser"}) {
        const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0) return name;
    }
    return "";
}

// Chromium, headless, on the page with `query` (which freezes it after some
// updates); `what` is
// "--dump-dom" or "--screenshot=FILE". Returns its standard output.
std::string runChromium(const std::string& browser, const std::string& what, int port, const std::string& query,
                        const ScratchDirectory& scratch) {
    const std::string out = scratch.file("chromium.out");
    const std::string command = "timeout 90 " + browser + " --headless --no-sandbox --disable-gpu " +
                                "--user-data-dir='" + scratch.file("profile") + "' --window-size=1400,1000 " +
                                "--virtual-time-budget=2000 " + what + " 'http://127.0.0.1:" + std::to_string(port) +
                                "/?" + query + "' >'" + out + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return readWholeFile(out);
}

std::string elementText(const std::string& dom, const std::string& id) {
    std::smatch match;
    if (!std::regex_search(dom, match, std::regex("id=\"" + id + "\"[^>]*>([^<]*)<"))) return "";
    return match[1];
}

std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0, comma;
    while ((comma = line.find(',', start)) != std::string::npos) {
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

TEST(LiveView, TheBrowserShowsTheLatestFramesAndCountsThem) {
    ScratchDirectory scratch("live_view");
    const std::string now = std::to_string(std::time(nullptr));
    // The step comes late enough for the screenshot's 10 s to show it and
    // not the block's first reports, which are taken at once.
    LiveRun run(scratch, {"--signal", "phase-step", "--event-time", "14", "--duration", "600", "--start-time", now});
    ASSERT_NE(run.httpPort, 0) << run.serve.err() << (run.pdc ? run.pdc->err() : "");
    ASSERT_TRUE(waitFor([&] { return run.rows() > 700; }, 40000)) << run.pdc->err();
    const std::string browser = chromium();
    std::string dom;
    if (!browser.empty()) {
        const std::string png = scratch.file("live-view.png");
        runChromium(browser, "--screenshot='" + png + "'", run.httpPort, "updates=20&window=10", scratch);
        const std::string image = readWholeFile(png);
        ASSERT_GT(image.size(), 10000u);
        EXPECT_EQ(image.substr(1, 3), "PNG");
        if (const char* keep = std::getenv("ORVANE_LIVE_VIEW_PNG"))
            std::filesystem::copy_file(png, keep, std::filesystem::copy_options::overwrite_existing);
        dom = runChromium(browser, "--dump-dom", run.httpPort, "updates=30", scratch);
    }

    // What is not the page, its state or its events is not here, and nothing
    // sent changes the stream.
    EXPECT_EQ(ask(run.httpPort, "GET", "/nothing").rfind("HTTP/1.1 404", 0), 0u);
    for (const char* method : {"POST", "PUT", "DELETE"})
        EXPECT_EQ(ask(run.httpPort, method, "/events").rfind("HTTP/1.1 404", 0), 0u) << method;
    const std::string page = ask(run.httpPort, "GET", "/");
    EXPECT_NE(page.find("Chart.js v"), std::string::npos) << "the chart library is not in the page";
    const size_t rows = run.rows();
    EXPECT_TRUE(waitFor([&] { return run.rows() > rows + 20; }, 5000));

    if (browser.empty()) GTEST_SKIP() << "chromium is not installed: the page was not rendered";
    std::smatch time;
    ASSERT_TRUE(std::regex_search(dom, time, std::regex("data-soc=\"([0-9]+)\" data-fracsec=\"([0-9]+)\"")))
        << dom.substr(0, 3000);
    // The row of the frame the page shows: its frequency and angle as shown,
    // and its position in the stream as the frame count.
    const std::vector<std::string> lines = linesOf(run.pdc->out());
    size_t position = 0;
    std::vector<std::string> row;
    for (size_t i = 1; i < lines.size() && row.empty(); ++i) {
        const std::vector<std::string> fields = csvFields(lines[i]);
        if (fields.size() > 8 && fields[1] == time[1].str() && fields[2] == time[2].str()) {
            row = fields;
            position = i;
        }
    }
    ASSERT_FALSE(row.empty()) << "the page shows a frame the PDC did not print";
    const double frequency = std::stod(row[5]);
    const double angleDegrees = std::stod(row[8]) * 180.0 / M_PI;
    EXPECT_NEAR(std::stod(elementText(dom, "freq-0")), frequency, 0.5e-4 + 1e-9);
    EXPECT_NEAR(std::stod(elementText(dom, "angle-0")), angleDegrees, 0.5e-2 + 1e-9);
    EXPECT_NEAR(angleDegrees, 10.0, 0.5) << "the phase step has not happened yet";
    EXPECT_EQ(elementText(dom, "health-frames"), std::to_string(position));
    EXPECT_EQ(elementText(dom, "health-lost"), "0");
    EXPECT_NE(dom.find("no configuration change"), std::string::npos);
    EXPECT_EQ(elementText(dom, "cfg-nominal-0"), "50 Hz");

    run.pdc->signal(SIGINT);
    EXPECT_EQ(run.pdc->wait(10000), 0) << run.pdc->err();
}

TEST(LiveView, ReadersThatStallCostThePdcNeitherMemoryNorPace) {
    ScratchDirectory scratch("live_stall");
    LiveRun run(scratch, {"--signal", "steady", "--duration", "600", "--no-pace", "--report-rate", "100"});
    ASSERT_NE(run.httpPort, 0) << run.serve.err() << (run.pdc ? run.pdc->err() : "");
    ASSERT_TRUE(waitFor([&] { return run.rows() > 500; }, 20000)) << run.pdc->err();

    // Ten clients open the event stream and never read from it.
    std::vector<int> stalled;
    for (int i = 0; i < 10; ++i) {
        const int fd = connectLoopback(run.httpPort, 4096);
        ASSERT_GE(fd, 0);
        const std::string request = "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        send(fd, request.data(), request.size(), 0);
        stalled.push_back(fd);
    }
    ASSERT_TRUE(waitFor([&] { return run.rows() > 1500; }, 20000));
    const long before = residentKiB(run.pdc->pid());
    const size_t rowsBefore = run.rows();
    // A few thousand reports more, with the readers still stalled.
    EXPECT_TRUE(waitFor([&] { return run.rows() > rowsBefore + 5000; }, 60000)) << run.pdc->err();
    const long after = residentKiB(run.pdc->pid());
    ASSERT_GT(before, 0);
#if defined(__SANITIZE_ADDRESS__)
    // The address sanitizer keeps freed memory resident in its quarantine,
    // so resident size measures its bookkeeping, not ours.
    (void)after;
#else
    EXPECT_LT(after - before, 8 * 1024) << "resident KiB went from " << before << " to " << after;
#endif
    EXPECT_EQ(ask(run.httpPort, "GET", "/state").rfind("HTTP/1.1 200", 0), 0u);
    for (int fd : stalled) close(fd);

    run.pdc->signal(SIGINT);
    EXPECT_EQ(run.pdc->wait(10000), 0) << run.pdc->err();
}

TEST(LiveView, FourPmuBlocksReadWholeAt1280Pixels) {
    ScratchDirectory scratch("live_four");
    // Four PMU blocks with long station names, their start-up frames
    // flagged "do not use": nothing clipped, the flagged frames worded as
    // the standard words them and kept out of the charts' scaling.
    LiveRun run(scratch, {"--signal", "steady", "--signal", "off-nominal", "--signal", "ramp", "--signal",
                          "phase-step", "--station", "SOUTH-SUBSTATION-A", "--station", "NORTH-FEEDER-2",
                          "--station", "EAST", "--station", "WEST-TIE", "--duration", "120"});
    ASSERT_NE(run.httpPort, 0) << run.serve.err() << (run.pdc ? run.pdc->err() : "");
    ASSERT_TRUE(waitFor([&] { return run.rows() > 4 * 150; }, 20000)) << run.pdc->err();
    const std::string browser = chromium();
    if (browser.empty()) GTEST_SKIP() << "chromium is not installed: the page was not rendered";
    const std::string url = "'http://127.0.0.1:" + std::to_string(run.httpPort) + "/?updates=20&window=10'";
    const std::string common = "timeout 90 " + browser + " --headless --no-sandbox --disable-gpu " +
                               "--disable-background-networking --user-data-dir='" + scratch.file("profile") +
                               "' --window-size=1280,1000 --virtual-time-budget=3000 ";
    const std::string png = scratch.file("four.png");
    ASSERT_EQ(std::system((common + "--screenshot='" + png + "' " + url + " >/dev/null 2>&1").c_str()), 0);
    EXPECT_EQ(readWholeFile(png).substr(1, 3), "PNG");
    if (const char* keep = std::getenv("ORVANE_LIVE_VIEW4_PNG"))
        std::filesystem::copy_file(png, keep, std::filesystem::copy_options::overwrite_existing);
    const std::string dom = scratch.file("dom.html");
    ASSERT_EQ(std::system((common + "--dump-dom " + url + " >'" + dom + "' 2>/dev/null").c_str()), 0);
    const std::string page = readWholeFile(dom);
    std::smatch clipped;
    ASSERT_TRUE(std::regex_search(page, clipped, std::regex("data-clipped=\"([0-9]+)\""))) << page.substr(0, 2000);
    EXPECT_EQ(clipped[1], "0");
    for (const char* station : {"SOUTH-SUBSTATION", "NORTH-FEEDER-2", "EAST", "WEST-TIE"})
        EXPECT_NE(page.find(station), std::string::npos) << station;
    EXPECT_EQ(page.find("data error: test mode"), std::string::npos);
    // The served stream is stamped from 1970: its offset is named as such.
    EXPECT_NE(page.find("Time offset"), std::string::npos);
    run.pdc->signal(SIGINT);
    EXPECT_EQ(run.pdc->wait(10000), 0) << run.pdc->err();
}

}  // namespace
