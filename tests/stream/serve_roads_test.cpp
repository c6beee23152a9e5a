// The stream on its other roads, checked by an independent decoder: UDP
// commands, spontaneous multicast of a three-PMU stream, TCP commands with
// UDP data. tshark captures each on loopback; every frame must have a good
// checksum, none may be malformed, and the first reports of every block
// must be the model's to the bit. Also: start-up reports flagged at every
// build, and a PDC that rides out a server restart.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "io/c37118/config_frame.h"
#include "io/c37118/data_frame.h"
#include "io/c37118/frame_assembler.h"
#include "io/c37118/frame_time.h"
#include "tests/support/background_process.h"

namespace {

// One synchrophasor frame as tshark showed it, with the UDP or TCP
// destination port of its packet.
struct Dissected {
    int port = 0;
    int type = -1;
    uint32_t fracSec = 0;
    std::vector<std::string> phasorHex, frequencyHex;
    std::string checksumStatus;
};

std::vector<Dissected> parsePdml(const std::string& pdml) {
    const std::regex field(R"re(<field name="([a-z_.]+)"[^>]*?show="([^"]*)"(?: value="([0-9a-f]*)")?)re");
    std::vector<Dissected> frames;
    int port = 0;
    for (auto it = std::sregex_iterator(pdml.begin(), pdml.end(), field); it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[1];
        const std::string show = (*it)[2];
        if (name == "udp.dstport" || name == "tcp.dstport") port = std::stoi(show);
        if (name == "synphasor.frtype") {
            frames.emplace_back();
            frames.back().port = port;
            frames.back().type = static_cast<int>(std::stoul(show, nullptr, 16));
            continue;
        }
        if (frames.empty()) continue;
        Dissected& f = frames.back();
        if (name == "synphasor.fracsec_raw") f.fracSec = static_cast<uint32_t>(std::stoul(show));
        if (name == "synphasor.phasor") f.phasorHex.push_back((*it)[3]);
        if (name == "synphasor.actual_frequency_value") f.frequencyHex.push_back((*it)[3]);
        if (name == "synphasor.checksum.status") f.checksumStatus = show;
    }
    return frames;
}

uint32_t bitsOf(float value) { return std::bit_cast<uint32_t>(value); }

struct Report {
    double timestamp, magnitude, angle, frequency;
};

std::vector<Report> modelReports(const std::string& signal, const ScratchDirectory& scratch) {
    const ToolResult run = runTool("run --in-process --reports-only --duration 1 --build 4k --signal " + signal, scratch);
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<Report> reports;
    for (const std::string& line : linesOf(run.out)) {
        Report r{};
        if (std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf", &r.timestamp, &r.magnitude, &r.angle, &r.frequency) == 4) {
            reports.push_back(r);
        }
    }
    return reports;
}

// The first `count` data frames sent to `port` carry, block by block, the
// reports of `signals`.
void expectModelValues(const std::vector<Dissected>& frames, int port, const std::vector<std::string>& signals,
                       size_t count, const ScratchDirectory& scratch) {
    std::vector<std::vector<Report>> reports;
    for (const std::string& s : signals) reports.push_back(modelReports(s, scratch));
    size_t k = 0;
    for (const Dissected& f : frames) {
        if (f.port != port || f.type != 0 || k == count) continue;
        SCOPED_TRACE("port " + std::to_string(port) + ", data frame " + std::to_string(k + 1));
        ASSERT_EQ(f.phasorHex.size(), signals.size());
        FrameTime time;
        ASSERT_TRUE(frameTimeFromSeconds(reports[0][k].timestamp, 1000000, time));
        EXPECT_EQ(f.fracSec, time.fracSec);
        for (size_t b = 0; b < signals.size(); ++b) {
            const Report& r = reports[b][k];
            EXPECT_EQ(std::stoul(f.phasorHex[b].substr(0, 8), nullptr, 16),
                      bitsOf(static_cast<float>(r.magnitude / std::sqrt(2.0))));
            EXPECT_EQ(std::stoul(f.phasorHex[b].substr(8, 8), nullptr, 16), bitsOf(static_cast<float>(r.angle)));
            EXPECT_EQ(std::stoul(f.frequencyHex[b], nullptr, 16), bitsOf(static_cast<float>(r.frequency)));
        }
        ++k;
    }
    EXPECT_EQ(k, count) << "data frames to port " << port;
}

bool tsharkMissing() { return std::system("command -v tshark >/dev/null 2>&1") != 0; }

// A port base of our own, so that parallel runs do not meet.
int portBase() { return 20000 + static_cast<int>(getpid() % 2000) * 10; }

class Capture {
public:
    Capture(const ScratchDirectory& scratch, const std::string& filter)
        : path_(scratch.file("roads.pcapng")),
          tshark_({"tshark", "-i", "lo", "-f", filter, "-w", path_}, scratch.file("cap.out"), scratch.file("cap.err")) {
        ready_ = waitFor([&] { return tshark_.err().find("Capturing on") != std::string::npos || !tshark_.running(); },
                         10000) &&
                 tshark_.running();
        // The capture reports itself ready a little before packets reach it.
        if (ready_) std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    }
    bool ready() const { return ready_; }
    std::string why() { return tshark_.err(); }
    // Stops the capture and decodes it with the dissector on `ports`.
    std::string decode(const std::vector<int>& ports, const std::string& format, const ScratchDirectory& scratch) {
        if (tshark_.running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            tshark_.signal(SIGINT);
            tshark_.wait(10000);
        }
        std::string command = "tshark -r '" + path_ + "'";
        for (int port : ports) command += " -d udp.port==" + std::to_string(port) + ",synphasor";
        for (int port : ports) command += " -d tcp.port==" + std::to_string(port) + ",synphasor";
        const std::string out = scratch.file("decoded." + format);
        std::system((command + " " + format + " >'" + out + "' 2>/dev/null").c_str());
        return readWholeFile(out);
    }

private:
    std::string path_;
    BackgroundProcess tshark_;
    bool ready_ = false;
};

void expectCleanDecode(const std::string& summary, const std::vector<Dissected>& frames) {
    EXPECT_EQ(summary.find("Malformed"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("no configuration frame"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("wrong checksum"), std::string::npos) << summary;
    for (const Dissected& f : frames) EXPECT_EQ(f.checksumStatus, "1") << "frame type " << f.type;
}

TEST(ServeRoads, UdpCommandsAndMulticastOfThreePmusDecodeAsTheModel) {
    if (tsharkMissing()) GTEST_SKIP() << "tshark is not installed (Debian package tshark)";
    ScratchDirectory scratch("serve_roads_udp");
    const int commands = portBase(), group = portBase() + 1;
    Capture capture(scratch, "udp port " + std::to_string(commands) + " or udp port " + std::to_string(group));
    if (!capture.ready()) GTEST_SKIP() << "capturing on the loopback interface is not permitted here: " << capture.why();
    const std::vector<std::string> signals = {"steady", "off-nominal", "ramp"};
    BackgroundProcess server({toolPath(), "serve", "--in-process", "--build", "4k", "--signal", signals[0], "--signal",
                              signals[1], "--signal", signals[2], "--listen", "127.0.0.1:0", "--udp",
                              "127.0.0.1:" + std::to_string(commands), "--udp-to", "239.255.0.1:" + std::to_string(group),
                              "--multicast-interface", "127.0.0.1", "--duration", "1.5"},
                             scratch.file("serve.out"), scratch.file("serve.err"));
    ASSERT_TRUE(waitFor([&] { return !announcedPort(server.err()).empty() || !server.running(); }, 10000));
    // A stranger's datagram is refused with its reason; the stream goes on.
    const int stranger = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(commands));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string garbage = "GET / HTTP/1.1\r\n\r\n";
    sendto(stranger, garbage.data(), garbage.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(stranger);
    BackgroundProcess pdc({toolPath(), "pdc", "127.0.0.1:" + std::to_string(commands), "--over-udp", "--count", "10"},
                          scratch.file("pdc.out"), scratch.file("pdc.err"));
    ASSERT_EQ(pdc.wait(20000), 0) << pdc.err() << server.err();
    EXPECT_EQ(server.wait(20000), 0) << server.err();
    EXPECT_NE(server.err().find("refused a datagram: at byte 0 of the stream: wrong SYNC"), std::string::npos)
        << server.err();
    // The PDC printed every block of each frame: three rows per frame.
    EXPECT_EQ(linesOf(pdc.out()).size(), 1u + 3 * 10) << pdc.out();

    const std::vector<Dissected> frames = parsePdml(capture.decode({commands, group}, "-T pdml", scratch));
    expectCleanDecode(capture.decode({commands, group}, "-Y synphasor", scratch), frames);
    // Multicast from the first report on, configuration first.
    expectModelValues(frames, group, signals, 20, scratch);
    bool sawConfigOnGroup = false;
    for (const Dissected& f : frames) sawConfigOnGroup = sawConfigOnGroup || (f.port == group && f.type == 3);
    EXPECT_TRUE(sawConfigOnGroup);
    // Data frames answered to the UDP PDC: the same stream, some reports
    // later; their blocks decode too.
    size_t answered = 0;
    for (const Dissected& f : frames) answered += f.type == 0 && f.port != group && f.phasorHex.size() == 3;
    EXPECT_GE(answered, 10u);
}

TEST(ServeRoads, TcpCommandsWithUdpDataDecodeAsTheModel) {
    if (tsharkMissing()) GTEST_SKIP() << "tshark is not installed (Debian package tshark)";
    ScratchDirectory scratch("serve_roads_mixed");
    const int tcp = portBase() + 2, data = portBase() + 3;
    Capture capture(scratch, "tcp port " + std::to_string(tcp) + " or udp port " + std::to_string(data));
    if (!capture.ready()) GTEST_SKIP() << "capturing on the loopback interface is not permitted here: " << capture.why();
    BackgroundProcess server({toolPath(), "serve", "--in-process", "--build", "4k", "--signal", "off-nominal",
                              "--listen", "127.0.0.1:" + std::to_string(tcp), "--udp-to",
                              "127.0.0.1:" + std::to_string(data), "--mixed", "--no-pace", "--duration", "1"},
                             scratch.file("serve.out"), scratch.file("serve.err"));
    ASSERT_TRUE(waitFor([&] { return !announcedPort(server.err()).empty() || !server.running(); }, 10000));
    BackgroundProcess pdc({toolPath(), "pdc", "127.0.0.1:" + std::to_string(tcp), "--udp-data",
                           "127.0.0.1:" + std::to_string(data), "--count", "10"},
                          scratch.file("pdc.out"), scratch.file("pdc.err"));
    ASSERT_EQ(pdc.wait(20000), 0) << pdc.err() << server.err();
    server.signal(SIGINT);
    EXPECT_EQ(server.wait(10000), 0) << server.err();

    const std::vector<Dissected> frames = parsePdml(capture.decode({tcp, data}, "-T pdml", scratch));
    expectCleanDecode(capture.decode({tcp, data}, "-Y synphasor", scratch), frames);
    expectModelValues(frames, data, {"off-nominal"}, 10, scratch);
    for (const Dissected& f : frames) EXPECT_FALSE(f.type == 0 && f.port == tcp) << "data frame over TCP";
}

// Data frames of a frame file, in order.
std::vector<DataFrame> framesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    FrameAssembler assembler;
    assembler.append(bytes);
    std::vector<uint8_t> frame;
    FrameHeader header;
    ConfigFrame config;
    std::vector<DataFrame> frames;
    std::string error;
    while (assembler.next(frame, header) == FrameAssembler::Result::Frame) {
        if (header.type == FrameType::Config2) {
            EXPECT_TRUE(decodeConfigFrame(frame, config, error)) << error;
        }
        if (header.type != FrameType::Data) continue;
        frames.emplace_back();
        EXPECT_TRUE(decodeDataFrame(frame, config, frames.back(), error)) << error;
    }
    return frames;
}

TEST(ServeRoads, ReportsWhileTheFiltersFillAreFlaggedAtEveryBuild) {
    ScratchDirectory scratch("startup_flag");
    // Two delay lines of L = Fs/25 + 2 samples and one nominal period.
    const struct {
        const char* build;
        double fs;
    } builds[] = {{"10k", 10000.0}, {"14p4k", 14400.0}, {"4k", 4000.0}};
    for (const auto& b : builds) {
        SCOPED_TRACE(b.build);
        const double span = 2.0 * (b.fs / 25.0 + 2.0) / b.fs + 1.0 / 50.0;
        const std::string frames = scratch.file(std::string(b.build) + ".c37");
        const ToolResult run = runTool(std::string("run --in-process --signal off-nominal --duration 0.5 --build ") +
                                           b.build + " --output /dev/null --c37118 " + frames,
                                       scratch);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<DataFrame> data = framesOf(frames);
        ASSERT_GT(data.size(), 10u);
        size_t flagged = 0;
        for (const DataFrame& f : data) {
            const double t = f.time.soc + static_cast<double>(f.time.fracSec) / 1e6;
            const bool doNotUse = (f.pmus[0].stat & kStatDataErrorMask) == kStatDataDoNotUse;
            EXPECT_EQ(doNotUse, t < span) << "report at " << t;
            flagged += doNotUse;
        }
        // The first report (half magnitude, 59 Hz, ROCOF 900 Hz/s) among them.
        EXPECT_EQ(flagged, 6u);
        EXPECT_LT(data[0].pmus[0].phasors[0].first, 40.0);
    }
}

TEST(ServeRoads, PdcRidesOutAServerRestart) {
    ScratchDirectory scratch("pdc_reconnect");
    const std::string port = std::to_string(portBase() + 4);
    const std::vector<std::string> serve = {toolPath(), "serve", "--in-process", "--build", "4k", "--signal",
                                            "steady",   "--listen", "127.0.0.1:" + port};
    auto first = std::make_unique<BackgroundProcess>(serve, scratch.file("s1.out"), scratch.file("s1.err"));
    ASSERT_TRUE(waitFor([&] { return !announcedPort(first->err()).empty(); }, 10000)) << first->err();
    BackgroundProcess pdc({toolPath(), "pdc", "127.0.0.1:" + port, "--reconnect", "--count", "60", "--timeout", "15"},
                          scratch.file("pdc.out"), scratch.file("pdc.err"));
    ASSERT_TRUE(waitFor([&] { return linesOf(pdc.out()).size() > 10; }, 10000)) << pdc.err();
    first->signal(SIGINT);
    EXPECT_EQ(first->wait(10000), 0);
    // The PDC has seen the server go before the next one comes.
    EXPECT_TRUE(waitFor([&] { return pdc.err().find("lost the connection") != std::string::npos; }, 10000))
        << pdc.err();
    BackgroundProcess second(serve, scratch.file("s2.out"), scratch.file("s2.err"));
    EXPECT_EQ(pdc.wait(20000), 0) << pdc.err();
    EXPECT_NE(pdc.err().find("reconnected to"), std::string::npos) << pdc.err();
    // One header line and every report counted.
    EXPECT_EQ(linesOf(pdc.out()).size(), 61u);
    second.signal(SIGINT);
    EXPECT_EQ(second.wait(10000), 0) << second.err();
}

}  // namespace
