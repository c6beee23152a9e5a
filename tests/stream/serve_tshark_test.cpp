// An independent decoder agrees with the stream: tshark captures the TCP
// conversation between `orvane serve` and `orvane pdc` on loopback, decodes
// it with its synchrophasor dissector without a malformed frame or a bad
// checksum, and the first reports it reads are the model's, to the bit of
// the frames' single-precision floats.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "io/c37118/frame_time.h"
#include "tests/support/background_process.h"

namespace {

// What tshark showed of one synchrophasor frame.
struct DissectedFrame {
    int type = -1;
    uint32_t fracSec = 0;
    std::string phasorHex;  // magnitude then angle, float32 big-endian
    std::string frequencyHex;
    std::string rocofHex;
    std::string checksumStatus;
};

uint32_t hexWord(const std::string& hex) { return static_cast<uint32_t>(std::stoul(hex, nullptr, 16)); }

uint32_t bitsOf(float value) { return std::bit_cast<uint32_t>(value); }

// Walks the PDML in document order: a frame type field opens a new frame,
// the fields after it belong to that frame (one TCP segment may hold
// several frames).
std::vector<DissectedFrame> parsePdml(const std::string& pdml) {
    const std::regex field(R"re(<field name="([a-z_.]+)"[^>]*?show="([^"]*)"(?: value="([0-9a-f]*)")?)re");
    std::vector<DissectedFrame> frames;
    for (auto it = std::sregex_iterator(pdml.begin(), pdml.end(), field); it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[1];
        const std::string show = (*it)[2];
        const std::string value = (*it)[3];
        if (name == "synphasor.frtype") {
            frames.emplace_back();
            frames.back().type = static_cast<int>(std::stoul(show, nullptr, 16));
            continue;
        }
        if (frames.empty()) continue;
        DissectedFrame& f = frames.back();
        if (name == "synphasor.fracsec_raw") f.fracSec = static_cast<uint32_t>(std::stoul(show));
        if (name == "synphasor.phasor") f.phasorHex = value;
        if (name == "synphasor.actual_frequency_value") f.frequencyHex = value;
        if (name == "synphasor.rate_change_frequency") f.rocofHex = value;
        if (name == "synphasor.checksum.status") f.checksumStatus = show;
    }
    return frames;
}

struct ModelReport {
    double timestamp;
    double magnitude;
    double angle;
    double frequency;
    double rocof;
};

std::vector<ModelReport> parseReports(const std::string& csv) {
    std::vector<ModelReport> reports;
    for (const std::string& line : linesOf(csv)) {
        if (line.rfind("timestamp", 0) == 0) continue;
        ModelReport r{};
        if (std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf,%lf", &r.timestamp, &r.magnitude, &r.angle, &r.frequency,
                        &r.rocof) == 5) {
            reports.push_back(r);
        }
    }
    return reports;
}

TEST(ServeTshark, DissectorAgreesWithTheModel) {
    if (std::system("command -v tshark >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "tshark is not installed (Debian package tshark; scripts/install-deps.sh installs it)";
    }
    ScratchDirectory scratch("serve_tshark");
    const std::vector<std::string> signal = {"--build", "4k", "--signal", "off-nominal", "--phase", "30",
                                             "--report-rate", "25"};
    std::vector<std::string> serveArgs = {toolPath(), "serve", "--in-process", "--listen", "127.0.0.1:0", "--no-pace"};
    serveArgs.insert(serveArgs.end(), signal.begin(), signal.end());
    BackgroundProcess server(serveArgs, scratch.file("serve.out"), scratch.file("serve.err"));
    ASSERT_TRUE(waitFor([&] { return !announcedPort(server.err()).empty(); }, 10000)) << server.err();
    const std::string port = announcedPort(server.err());

    const std::string capture = scratch.file("stream.pcapng");
    BackgroundProcess tshark({"tshark", "-i", "lo", "-f", "tcp port " + port, "-w", capture}, scratch.file("cap.out"),
                             scratch.file("cap.err"));
    if (!waitFor([&] { return tshark.err().find("Capturing on") != std::string::npos || !tshark.running(); }, 10000) ||
        !tshark.running()) {
        GTEST_SKIP() << "capturing on the loopback interface is not permitted here: " << tshark.err();
    }
    // The capture reports itself ready a little before packets reach it.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));

    const int count = 20;
    BackgroundProcess pdc({toolPath(), "pdc", "127.0.0.1:" + port, "--count", std::to_string(count)},
                          scratch.file("pdc.out"), scratch.file("pdc.err"));
    ASSERT_EQ(pdc.wait(20000), 0) << pdc.err();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    tshark.signal(SIGINT);
    ASSERT_EQ(tshark.wait(10000), 0) << tshark.err();
    server.signal(SIGINT);
    EXPECT_EQ(server.wait(10000), 0) << server.err();

    const std::string decode = "tshark -r '" + capture + "' -d tcp.port==" + port + ",synphasor";
    const std::string summaryPath = scratch.file("summary.txt");
    ASSERT_EQ(std::system((decode + " -Y synphasor >'" + summaryPath + "' 2>/dev/null").c_str()), 0);
    const std::string summaryText = readWholeFile(summaryPath);
    EXPECT_EQ(summaryText.find("Malformed"), std::string::npos) << summaryText;
    EXPECT_NE(summaryText.find("Configuration Frame 2"), std::string::npos) << summaryText;

    const std::string pdmlPath = scratch.file("stream.pdml");
    ASSERT_EQ(std::system((decode + " -T pdml >'" + pdmlPath + "' 2>/dev/null").c_str()), 0);
    const std::string pdml = readWholeFile(pdmlPath);
    EXPECT_EQ(pdml.find("_ws.malformed"), std::string::npos);
    EXPECT_EQ(pdml.find("not dissected because of wrong checksum"), std::string::npos);
    EXPECT_EQ(pdml.find("no configuration frame found"), std::string::npos);
    const std::vector<DissectedFrame> frames = parsePdml(pdml);
    std::vector<DissectedFrame> data;
    for (const DissectedFrame& f : frames) {
        EXPECT_EQ(f.checksumStatus, "1") << "frame type " << f.type << " without a good checksum";
        if (f.type == 0) data.push_back(f);
    }
    ASSERT_GE(data.size(), static_cast<size_t>(count)) << summaryText;

    // The model's reports for the same signal, from 'orvane run'.
    std::string runArgs = "run --in-process --reports-only --duration 3";
    for (const std::string& a : signal) runArgs += " " + a;
    const ToolResult run = runTool(runArgs, scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<ModelReport> reports = parseReports(run.out);
    ASSERT_GE(reports.size(), static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        SCOPED_TRACE("report " + std::to_string(k + 1));
        const ModelReport& r = reports[k];
        FrameTime expectedTime;
        ASSERT_TRUE(frameTimeFromSeconds(r.timestamp, 1000000, expectedTime));
        EXPECT_EQ(data[k].fracSec, expectedTime.fracSec);
        ASSERT_EQ(data[k].phasorHex.size(), 16u);
        // Frames carry RMS: the model's peak magnitude over sqrt(2).
        EXPECT_EQ(hexWord(data[k].phasorHex.substr(0, 8)), bitsOf(static_cast<float>(r.magnitude / std::sqrt(2.0))));
        EXPECT_EQ(hexWord(data[k].phasorHex.substr(8, 8)), bitsOf(static_cast<float>(r.angle)));
        EXPECT_EQ(hexWord(data[k].frequencyHex), bitsOf(static_cast<float>(r.frequency)));
        EXPECT_EQ(hexWord(data[k].rocofHex), bitsOf(static_cast<float>(r.rocof)));
    }
}

}  // namespace
