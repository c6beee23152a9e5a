// Addresses as users write them, and bytes both ways between the server and
// a client on the loopback interface.
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/host_port.h"
#include "net/tcp_client.h"
#include "net/tcp_server.h"

namespace {

TEST(HostPort, ParsesWhatUsersWriteAndSaysWhatIsWrong) {
    HostPort a;
    std::string error;
    ASSERT_TRUE(parseHostPort("[::1]:4712", "--listen", a, error)) << error;
    EXPECT_EQ(a.host, "::1");
    EXPECT_EQ(formatHostPort(a), "[::1]:4712");
    ASSERT_TRUE(parseHostPort("localhost:0", "--listen", a, error)) << error;
    EXPECT_EQ(a.port, 0);
    const struct {
        const char* text;
        const char* says;
    } bad[] = {{"127.0.0.1", "has no port"},
               {":4712", "has no host"},
               {"::1:4712", "in brackets"},
               {"127.0.0.1:65536", "is not a number from 0 to 65535"},
               {"127.0.0.1:47x", "is not a number"}};
    for (const auto& b : bad) {
        EXPECT_FALSE(parseHostPort(b.text, "--listen", a, error)) << b.text;
        EXPECT_NE(error.find(b.says), std::string::npos) << b.text << ": " << error;
        EXPECT_EQ(error.rfind("--listen '", 0), 0u) << error;
    }
}

// Collects what the server hears and echoes it back upper-cased.
struct Echo : TcpServer::Handler {
    TcpServer* server = nullptr;
    std::string heard;
    bool gone = false;
    void connected(TcpServer::ClientId, const std::string&) override {}
    void received(TcpServer::ClientId client, std::span<const uint8_t> bytes) override {
        std::vector<uint8_t> reply(bytes.begin(), bytes.end());
        for (uint8_t& b : reply) b = static_cast<uint8_t>(b - 32);
        heard.append(bytes.begin(), bytes.end());
        server->send(client, reply);
    }
    void disconnected(TcpServer::ClientId, const std::string&) override { gone = true; }
};

TEST(Tcp, ClientAndServerExchangeBytesOnLoopback) {
    TcpServer server;
    std::string error;
    ASSERT_TRUE(server.listen(HostPort{"127.0.0.1", 0}, error)) << error;
    ASSERT_NE(server.address().port, 0);
    const int fd = connectTcp(server.address(), 2000, error);
    ASSERT_GE(fd, 0) << error;
    Echo echo;
    echo.server = &server;
    const std::string text = "abc";
    ASSERT_TRUE(sendAllTcp(fd, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), error));
    std::string back;
    uint8_t buffer[64];
    for (int round = 0; round < 100 && back.size() < 3; ++round) {
        server.poll(10, echo);
        const Received got = receiveTcp(fd, buffer, 10, error);
        if (got.outcome == ReceiveOutcome::Data) back.append(buffer, buffer + got.size);
    }
    EXPECT_EQ(echo.heard, "abc");
    EXPECT_EQ(back, "ABC");
    ::close(fd);
    for (int round = 0; round < 100 && !echo.gone; ++round) server.poll(10, echo);
    EXPECT_TRUE(echo.gone);
    // Nobody listens on port 1: refused, said with the address.
    EXPECT_LT(connectTcp(HostPort{"127.0.0.1", 1}, 2000, error), 0);
    EXPECT_NE(error.find("cannot connect to 127.0.0.1:1"), std::string::npos) << error;
}

}  // namespace
