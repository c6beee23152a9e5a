// A recording's plot page: the run fills the time axis (a recording's times
// are times of day, far from 0), and a browser draws it so. The screenshot
// in docs/ is made by this test:
//   ORVANE_PLOT_PNG=$PWD/docs/plot-recording.png build/orvane_cli_tests --gtest_filter='PlotRecording*'
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/tool_process.h"

namespace {

std::vector<int> columnsOf(const std::string& page) {
    std::vector<int> columns;
    std::smatch match;
    if (!std::regex_search(page, match, std::regex("\"column\":\\[([0-9,]*)\\]"))) return columns;
    const std::string list = match[1];
    for (std::size_t at = 0; at < list.size();) {
        columns.push_back(std::atoi(list.c_str() + at));
        const std::size_t comma = list.find(',', at);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return columns;
}

TEST(PlotRecording, TheRunFillsTheTimeAxis) {
    ScratchDirectory scratch("plot_recording");
    const std::string recording = std::string(ORVANE_SOURCE_DIR) + "/tests/data/comtrade/north4800.cfg";
    const std::string page = scratch.file("north.html");
    // Run in the scratch folder, so that the page names the file as a user
    // would see it.
    const std::string tool = std::filesystem::absolute(toolPath()).string();
    const std::string command = "cd '" + scratch.path().string() + "' && '" + tool +
                                "' run --in-process --build auto --comtrade '" + recording +
                                "' --output north.h5 2>/dev/null && '" + tool + "' plot north.h5";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string html = readWholeFile(page);
    // Recorded at 09:00:00.000 of its day: the axis counts from the first
    // report, 20 ms before, and says so.
    EXPECT_NE(html.find("time (s) since 2026-12-08T08:59:59.98Z"), std::string::npos);
    // 0.5 s recorded: the axis spans that, not 0 .. 32 400 s, and the
    // drawn columns (one per report instant held in the outputs) spread
    // over it instead of piling at its right end.
    std::smatch axis;
    ASSERT_TRUE(std::regex_search(html, axis, std::regex("\"time_axis\":\\[0,([0-9.e+-]+)\\]")));
    EXPECT_LT(std::atof(axis[1].str().c_str()), 1.0);
    const std::vector<int> columns = columnsOf(html);
    ASSERT_GT(columns.size(), 20u);
    EXPECT_LE(columns.front(), 5);
    EXPECT_GE(columns.back(), 990);
    EXPECT_GT(columns[columns.size() / 2], 300);
    EXPECT_LT(columns[columns.size() / 2], 700);

    if (::access("/usr/bin/chromium", X_OK) != 0 || ::access("/usr/bin/python3", X_OK) != 0) {
        GTEST_SKIP() << "chromium or /usr/bin/python3 is not installed: the drawn page is not checked";
    }
    const std::string png = scratch.file("shot.png");
    const std::string shoot = "timeout 90 /usr/bin/chromium --headless --no-sandbox --disable-gpu "
                              "--disable-background-networking --user-data-dir='" + scratch.file("profile") +
                              "' --screenshot='" + png + "' --window-size=1200,1000 'file://" + page +
                              "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(shoot.c_str()), 0);
    ASSERT_TRUE(std::filesystem::exists(png)) << "chromium wrote no screenshot";
    // The run's colour in the magnitude panel's rows: from the axis's left
    // end (x 118 = margin 32 + 86) to its right end (1118).
    const std::string measure = scratch.file("measure.txt");
    const std::string python =
        "/usr/bin/python3 -c \"import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
        "w, h = im.size\npx = im.load()\nxs = [x for x in range(w) if any(abs(px[x, y][0] - 31) + "
        "abs(px[x, y][1] - 119) + abs(px[x, y][2] - 180) < 60 for y in range(250, h))]\n"
        "print(min(xs), max(xs), len(xs))\" '" + png + "' >'" + measure + "' 2>&1";
    ASSERT_EQ(std::system(python.c_str()), 0) << readWholeFile(measure);
    int left = 0, right = 0, count = 0;
    ASSERT_EQ(std::sscanf(readWholeFile(measure).c_str(), "%d %d %d", &left, &right, &count), 3)
        << readWholeFile(measure);
    // The first 20 ms are start-up values, flagged and scaled out of the
    // panel: the line enters it a little after the axis's left end.
    EXPECT_LT(left, 160);
    EXPECT_GT(right, 1100);
    EXPECT_GT(count, 900) << "the drawn run leaves columns of the axis empty";
    if (const char* keep = std::getenv("ORVANE_PLOT_PNG")) {
        std::filesystem::copy_file(png, keep, std::filesystem::copy_options::overwrite_existing);
    }
}

}  // namespace
