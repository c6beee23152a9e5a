// orvane pdc as a PMU in the field meets it: one command at a time, a live
// view that cannot share its port, and a spontaneous stream joined late.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "io/c37118/command_frame.h"
#include "tests/support/background_process.h"

namespace {

// A loopback TCP listener on a free port: the PMU side, played by the test.
struct FakePmu {
    FakePmu() {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener, 1);
        socklen_t size = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    ~FakePmu() {
        if (peer >= 0) close(peer);
        close(listener);
    }
    bool accept(int timeoutMs) {
        pollfd p{listener, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) != 1) return false;
        peer = ::accept(listener, nullptr, nullptr);
        return peer >= 0;
    }
    // What one read gives after the PDC had `settleMs` to send more: a PMU
    // that reads one frame per receive sees exactly this.
    std::vector<uint8_t> readOnce(int settleMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
        pollfd p{peer, POLLIN, 0};
        std::vector<uint8_t> bytes(4096);
        if (poll(&p, 1, 5000) != 1) return {};
        const ssize_t n = recv(peer, bytes.data(), bytes.size(), 0);
        bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return bytes;
    }
    int listener = -1;
    int peer = -1;
    int port = 0;
};

uint16_t commandOf(const std::vector<uint8_t>& bytes) {
    CommandFrame command;
    std::string error;
    if (!decodeCommandFrame(bytes, command, error)) return 0xFFFF;
    return command.command;
}

TEST(PdcConversation, TheHeaderRequestWaitsForItsReplyBeforeTheConfigurationIsAsked) {
    ScratchDirectory scratch("pdc_header");
    FakePmu pmu;
    BackgroundProcess pdc({toolPath(), "pdc", "127.0.0.1:" + std::to_string(pmu.port), "--header", "--timeout", "8"},
                          scratch.file("pdc.out"), scratch.file("pdc.err"));
    ASSERT_TRUE(pmu.accept(10000)) << pdc.err();
    // One frame in the first read however long the PDC had: the header
    // request alone (18 bytes), not the configuration request behind it.
    const std::vector<uint8_t> first = pmu.readOnce(500);
    ASSERT_EQ(first.size(), 18u) << pdc.err();
    EXPECT_EQ(commandOf(first), kCommandSendHeader);

    HeaderFrame header;
    header.text = "a PMU that reads one frame at a time";
    std::vector<uint8_t> reply;
    std::string error;
    ASSERT_TRUE(encodeHeaderFrame(header, reply, error)) << error;
    ASSERT_EQ(send(pmu.peer, reply.data(), reply.size(), 0), static_cast<ssize_t>(reply.size()));
    const std::vector<uint8_t> second = pmu.readOnce(0);
    ASSERT_EQ(second.size(), 18u) << pdc.err();
    EXPECT_EQ(commandOf(second), kCommandSendConfig2);
    EXPECT_TRUE(waitFor([&] { return pdc.err().find("header: a PMU that reads") != std::string::npos; }, 5000));
    pdc.signal(SIGTERM);
    pdc.wait(5000);
}

TEST(PdcConversation, APmuThatNeverSendsTheHeaderIsAskedForTheConfigurationAfterAWhile) {
    ScratchDirectory scratch("pdc_no_header");
    FakePmu pmu;
    BackgroundProcess pdc({toolPath(), "pdc", "127.0.0.1:" + std::to_string(pmu.port), "--header", "--timeout", "8"},
                          scratch.file("pdc.out"), scratch.file("pdc.err"));
    ASSERT_TRUE(pmu.accept(10000)) << pdc.err();
    EXPECT_EQ(commandOf(pmu.readOnce(0)), kCommandSendHeader);
    const std::vector<uint8_t> next = pmu.readOnce(0);  // waits up to 5 s
    EXPECT_EQ(commandOf(next), kCommandSendConfig2) << pdc.err();
    EXPECT_NE(pdc.err().find("no header frame within"), std::string::npos) << pdc.err();
    pdc.signal(SIGTERM);
    pdc.wait(5000);
}

TEST(PdcConversation, ATakenLiveViewPortIsAnError) {
    ScratchDirectory scratch("pdc_http_taken");
    BackgroundProcess serve({toolPath(), "serve", "--listen", "127.0.0.1:0", "--in-process", "--build", "4k",
                             "--signal", "steady", "--duration", "60"},
                            scratch.file("serve.out"), scratch.file("serve.err"));
    ASSERT_TRUE(waitFor([&] { return !announcedPort(serve.err()).empty(); }, 10000)) << serve.err();
    const std::string pmu = "127.0.0.1:" + announcedPort(serve.err());
    BackgroundProcess first({toolPath(), "pdc", pmu, "--http", "127.0.0.1:0"}, scratch.file("first.out"),
                            scratch.file("first.err"));
    const std::regex announced("live view on http://127\\.0\\.0\\.1:([0-9]+)/");
    std::smatch match;
    ASSERT_TRUE(waitFor([&] { return std::regex_search(first.err(), announced); }, 10000)) << first.err();
    const std::string err = first.err();
    std::regex_search(err, match, announced);
    BackgroundProcess second({toolPath(), "pdc", pmu, "--http", "127.0.0.1:" + match[1].str()},
                             scratch.file("second.out"), scratch.file("second.err"));
    EXPECT_EQ(second.wait(10000), 1) << second.err();
    EXPECT_NE(second.err().find("cannot listen for the live view on 127.0.0.1:" + match[1].str()), std::string::npos)
        << second.err();
    EXPECT_TRUE(second.out().empty());
    first.signal(SIGINT);
    EXPECT_EQ(first.wait(10000), 0) << first.err();
}

TEST(PdcConversation, ASpontaneousStreamJoinedLateWaitsForItsConfiguration) {
    ScratchDirectory scratch("pdc_late");
    // Data frames 50 a second by UDP, a configuration frame every 4 s; the
    // PDC joins after the first one went by and gives up after 2 s quiet.
    const int udpPort = 47300 + getpid() % 500;
    const std::string target = "127.0.0.1:" + std::to_string(udpPort);
    BackgroundProcess serve({toolPath(), "serve", "--listen", "127.0.0.1:0", "--in-process", "--build", "4k",
                             "--signal", "steady", "--duration", "60", "--udp-to", target, "--config-interval", "4"},
                            scratch.file("serve.out"), scratch.file("serve.err"));
    ASSERT_TRUE(waitFor([&] { return !announcedPort(serve.err()).empty(); }, 10000)) << serve.err();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    BackgroundProcess pdc({toolPath(), "pdc", "--listen-udp", target, "--timeout", "2", "--count", "20"},
                          scratch.file("pdc.out"), scratch.file("pdc.err"));
    EXPECT_EQ(pdc.wait(15000), 0) << pdc.err();
    const std::string err = pdc.err();
    EXPECT_NE(err.find("waiting for its configuration frame"), std::string::npos) << err;
    EXPECT_NE(err.find("data frames arrive; they are skipped until a configuration frame comes"), std::string::npos)
        << err;
    EXPECT_EQ(linesOf(pdc.out()).size(), 21u) << err;  // the header line and 20 rows
}

}  // namespace
