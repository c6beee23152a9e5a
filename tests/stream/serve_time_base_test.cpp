// orvane serve with a recording and a built-in signal in one stream: each
// block's Time counts from its own origin (the recording's UTC midnight,
// 1970 for the signal), the blocks are lined up on UTC and the frames carry
// true UTC; blocks that cannot meet are refused with both starts.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "tests/io/comtrade_fixtures.h"
#include "tests/support/background_process.h"
#include "tests/support/tool_process.h"

namespace {

TEST(ServeTimeBase, ARecordingAndASignalLineUpOnUtc) {
    ScratchDirectory scratch("serve_utc");
    // Five seconds from 2026-12-08 10:15:30.25 UTC at 10 kHz.
    const SyntheticRecording r = threePhaseRecording(DataFormat::Binary, 10000.0, 50000);
    const std::string cfg = scratch.file("rec.cfg");
    ASSERT_TRUE(writeComtrade(scratch.file("rec"), r.config, r.data));
    std::tm day{};
    day.tm_year = 2026 - 1900;
    day.tm_mon = 11;
    day.tm_mday = 8;
    day.tm_hour = 10;
    day.tm_min = 15;
    day.tm_sec = 30;
    const long long start = static_cast<long long>(timegm(&day));

    // The signal from 1970: days apart, refused before anything is served.
    const ToolResult apart =
        runTool("serve --in-process --listen 127.0.0.1:0 --comtrade '" + cfg + "' --signal steady --duration 3", scratch);
    EXPECT_EQ(apart.status, 2);
    EXPECT_NE(apart.err.find("cannot be lined up on UTC"), std::string::npos) << apart.err;
    EXPECT_NE(apart.err.find("2026-12-08T10:15:30.25"), std::string::npos) << apart.err;
    EXPECT_NE(apart.err.find("1970-01-01T00:00:00"), std::string::npos) << apart.err;

    // The signal from the recording's first sample: both blocks in every
    // frame once the filters are full, at the recording's UTC instants.
    const std::vector<std::string> serve = {toolPath(), "serve", "--in-process", "--listen", "127.0.0.1:0",
                                            "--comtrade", cfg, "--signal", "steady", "--duration", "5",
                                            "--start-time", std::to_string(start) + ".25"};
    BackgroundProcess server(serve, scratch.file("serve.out"), scratch.file("serve.err"));
    ASSERT_TRUE(waitFor([&] { return !announcedPort(server.err()).empty() || !server.running(); }, 10000));
    const std::string port = announcedPort(server.err());
    ASSERT_FALSE(port.empty()) << server.err();
    BackgroundProcess pdc({toolPath(), "pdc", "127.0.0.1:" + port, "--count", "80"}, scratch.file("pdc.out"),
                          scratch.file("pdc.err"));
    EXPECT_EQ(pdc.wait(15000), 0) << pdc.err() << server.err();
    std::size_t rows[2] = {0, 0};
    for (const std::string& line : linesOf(pdc.out())) {
        if (line.rfind("timestamp", 0) == 0) continue;
        std::vector<std::string> f;
        std::stringstream in(line);
        for (std::string cell; std::getline(in, cell, ',');) f.push_back(cell);
        ASSERT_EQ(f.size(), 9u) << line;
        const long long soc = std::stoll(f[1]);
        EXPECT_GE(soc, start) << line;
        EXPECT_LE(soc, start + 5) << line;
        const int id = std::stoi(f[3]);
        ASSERT_TRUE(id == 1 || id == 2) << line;
        // Past the start-up (its reports are flagged): present and measured.
        if (soc > start) {
            EXPECT_EQ(std::stoul(f[4], nullptr, 16) & 0xC000u, 0u) << line;
            EXPECT_NEAR(std::stod(f[7]), 100.0 / std::sqrt(2.0), 0.5) << line;
            ++rows[id - 1];
        }
    }
    EXPECT_GT(rows[0], 5u);
    EXPECT_EQ(rows[0], rows[1]);
}

}  // namespace
