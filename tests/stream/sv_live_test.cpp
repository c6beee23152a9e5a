// The live PMU on a sampled-values stream: a merging unit publishing in
// real time into one end of a veth pair inside a network namespace of the
// test's own, `orvane serve --sv` on the other end, `orvane pdc` connected.
// Where tshark is installed, it captures both sides and must decode the SV
// and the synchrophasor frames without a malformed one. An outage of 0.3 s
// midway restarts the model: its reports go "do not use", the rest measure
// the signal. Needs root; skipped, saying why, where namespaces cannot be
// made.
#include <unistd.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <csignal>
#include <memory>
#include <sstream>
#include <thread>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/background_process.h"

namespace {

bool shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// A namespace holding one end of a veth pair; both gone with it.
struct VethPair {
    std::string ns = "orvane_sv_" + std::to_string(getpid());
    std::string outside = "orvsv" + std::to_string(getpid()) + "a";
    std::string inside = "orvsv" + std::to_string(getpid()) + "b";
    bool made = false;
    VethPair() {
        made = shell("ip netns add " + ns) && shell("ip link add " + outside + " type veth peer name " + inside) &&
               shell("ip link set " + inside + " netns " + ns) && shell("ip link set " + outside + " up") &&
               shell("ip netns exec " + ns + " ip link set " + inside + " up");
    }
    ~VethPair() {
        shell("ip link del " + outside);
        shell("ip netns del " + ns);
    }
};

// A tshark capture, ready when constructed (null when tshark is missing).
std::unique_ptr<BackgroundProcess> startCapture(const ScratchDirectory& scratch, const std::string& name,
                                                const std::vector<std::string>& where) {
    if (std::system("command -v tshark >/dev/null 2>&1") != 0) return nullptr;
    std::vector<std::string> args = {"tshark", "-w", scratch.file(name + ".pcapng")};
    args.insert(args.end(), where.begin(), where.end());
    auto capture = std::make_unique<BackgroundProcess>(args, scratch.file(name + ".out"), scratch.file(name + ".err"));
    waitFor([&] { return capture->err().find("Capturing on") != std::string::npos || !capture->running(); }, 10000);
    // It says so a little before packets reach it.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    return capture;
}

// tshark's one-line summaries of the frames `filter` keeps.
std::string decoded(const ScratchDirectory& scratch, const std::string& name, const std::string& options) {
    const std::string out = scratch.file(name + ".txt");
    [[maybe_unused]] const int status =
        std::system(("tshark -r '" + scratch.file(name + ".pcapng") + "' " + options + " >'" + out + "' 2>/dev/null").c_str());
    return readWholeFile(out);
}

TEST(SvLive, PublishedStreamServedToAPdcWithinClassPLimitsAndRestartedAfterAnOutage) {
    if (geteuid() != 0) GTEST_SKIP() << "making a network namespace and a veth pair needs root";
    VethPair veth;
    if (!veth.made) GTEST_SKIP() << "network namespaces or veth pairs cannot be made here (ip netns/ip link failed)";
    ScratchDirectory scratch("sv_live");
    BackgroundProcess serve({toolPath(), "serve", "--sv", veth.outside, "--listen", "127.0.0.1:0", "--in-process",
                             "--build", "auto"},
                            scratch.file("serve.out"), scratch.file("serve.err"));
    const auto svCapture = startCapture(scratch, "sv", {"-i", veth.outside});
    BackgroundProcess publish({"ip", "netns", "exec", veth.ns, toolPath(), "sv-publish", "--interface", veth.inside,
                               "--signal", "steady", "--frequency", "51.3", "--amplitude", "100", "--phase", "20", "--duration", "8",
                               "--drop-span", "5.5:0.3", "--lose", "0.01", "--asdus", "2", "--fault-seed", "5"},
                              scratch.file("publish.out"), scratch.file("publish.err"));
    waitFor([&] { return !announcedPort(serve.err()).empty() || !serve.running(); }, 10000);
    const std::string port = announcedPort(serve.err());
    ASSERT_FALSE(port.empty()) << serve.err() << publish.err();
    const auto tcpCapture = startCapture(scratch, "tcp", {"-i", "lo", "-f", "tcp port " + port});
    BackgroundProcess pdc({toolPath(), "pdc", "127.0.0.1:" + port, "--timeout", "5"}, scratch.file("pdc.out"),
                          scratch.file("pdc.err"));
    EXPECT_EQ(publish.wait(10000), 0) << publish.err();
    EXPECT_EQ(serve.wait(10000), 0) << serve.err();
    EXPECT_EQ(pdc.wait(10000), 0) << pdc.err();
    EXPECT_NE(serve.err().find("latency over"), std::string::npos) << serve.err();
    EXPECT_NE(serve.err().find("model restarted after a gap of 1200 samples (0.3000 s)"), std::string::npos)
        << serve.err();
    EXPECT_NE(serve.err().find("the stream stopped"), std::string::npos) << serve.err();
    for (BackgroundProcess* capture : {svCapture.get(), tcpCapture.get()}) {
        if (capture == nullptr) continue;
        capture->signal(SIGINT);
        EXPECT_EQ(capture->wait(10000), 0) << capture->err();
    }
    if (svCapture && tcpCapture) {
        const std::string synphasor = "-d tcp.port==" + port + ",synphasor ";
        EXPECT_NE(decoded(scratch, "sv", "-Y sv -T fields -e sv.svID").find("ORVANE_MU01"), std::string::npos);
        EXPECT_NE(decoded(scratch, "tcp", synphasor + "-Y synphasor").find("Data Frame"), std::string::npos);
        EXPECT_EQ(decoded(scratch, "sv", "-Y _ws.malformed"), "");
        EXPECT_EQ(decoded(scratch, "tcp", synphasor + "-Y _ws.malformed"), "");
    }

    // Off nominal (51.3 Hz on a 50 Hz system), where a bridge that repeats
    // the nominal period would step the waveform: the magnitude (RMS in the
    // frames) and the frequency hold the class-P limits on every usable
    // report, and those resting on bridged samples say so (STAT bit 9).
    const double rms = 100.0 / std::sqrt(2.0);
    std::size_t reports = 0, doNotUse = 0, modified = 0;
    double worstMagnitude = 0;
    for (const std::string& line : linesOf(pdc.out())) {
        if (line.rfind("timestamp", 0) == 0) continue;
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
        ASSERT_GE(f.size(), 9u) << line;
        ++reports;
        const unsigned long stat = std::stoul(f[4], nullptr, 16);
        if ((stat & 0xC000) != 0) {
            ++doNotUse;
            continue;
        }
        modified += (stat & 0x0200) != 0;
        worstMagnitude = std::max(worstMagnitude, std::fabs(std::stod(f[7]) - rms) / rms);
        EXPECT_NEAR(std::stod(f[5]), 51.3, 0.005) << line;
    }
    EXPECT_GE(reports, 50u) << pdc.err();
    EXPECT_LT(worstMagnitude, 0.01);
    EXPECT_GT(modified, 0u) << serve.err();
    // The outage's 15 reports and those of the fresh start's first 120 ms
    // (late enough for the PDC to be connected on a loaded machine); a
    // loaded machine's capture may lose a few frames more, but the marks
    // never spread over the stream: the 1 % of frames lost on purpose (two
    // samples each) are bridged within the bridge's proven span, usable.
    EXPECT_GE(doNotUse, 15u);
    EXPECT_LE(doNotUse, reports / 4) << serve.err();
}

}  // namespace
