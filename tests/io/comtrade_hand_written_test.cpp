// Recordings written by hand after the standard's text, as other tools
// write them: a 1999 recorder at 4800 Hz, a 2013 single file with two
// sampling rates and a time code, and a 1991 file with its old habits
// (month first, two-digit year, spaces after commas, LF only, end-of-file
// mark).
#include <cmath>

#include <gtest/gtest.h>

#include "io/comtrade/build_rate_samples.h"
#include "io/comtrade/comtrade_recording.h"

namespace {

const std::string kDir = "tests/data/comtrade/";

TEST(HandWrittenRecording, Recorder1999At4800Hz) {
    const ComtradeRecording rec = readComtrade(kDir + "north4800.cfg", {});
    EXPECT_EQ(rec.config.revision, 1999);
    EXPECT_EQ(rec.config.station, "SUBSTATION NORTH");
    ASSERT_EQ(rec.config.analogs.size(), 4u);
    // Three kV channels and a current: the voltages are the phases.
    EXPECT_EQ(rec.phaseChannels, (std::array<int, 3>{0, 1, 2}));
    ASSERT_EQ(rec.size(), 2400u);
    ASSERT_EQ(rec.sections.size(), 1u);
    EXPECT_EQ(rec.sections[0].rate, 4800.0);
    EXPECT_DOUBLE_EQ(rec.phases[0][0], 87.76);  // 8776 * 0.01 kV
    EXPECT_DOUBLE_EQ(rec.phases[2][1], -88.62);
    // 09:00:00 UTC (no time code before 2013).
    EXPECT_EQ(rec.origin.utcDay * 86400, 1796688000);
    EXPECT_EQ(rec.timeOf(0), 32400.0);
    EXPECT_DOUBLE_EQ(rec.timeOf(2399), 32400.0 + 2399.0 / 4800.0);
}

TEST(HandWrittenRecording, SingleFile2013WithTwoRatesAndATimeCode) {
    const ComtradeRecording rec = readComtrade(kDir + "feeder2013.cff", {});
    EXPECT_EQ(rec.config.revision, 2013);
    EXPECT_TRUE(rec.config.nanosecondTimestamps);
    EXPECT_EQ(rec.config.timeCodeMinutes, 60);
    ASSERT_EQ(rec.size(), 12u);
    ASSERT_EQ(rec.sections.size(), 2u);
    EXPECT_EQ(rec.sections[1].first, 8u);
    EXPECT_EQ(rec.sections[1].rate, 500.0);
    // Secondary values 0.5*raw + 1 V, taken to the primary side (x200).
    EXPECT_DOUBLE_EQ(rec.phases[0][0], (0.5 * 100 + 1) * 200.0);
    EXPECT_TRUE(std::isnan(rec.phases[2][8]));
    // 23:59:59.995 at UTC+1 is 22:59:59.995 UTC on the same day.
    EXPECT_EQ(rec.origin.firstSampleSecond, 82799);
    EXPECT_EQ(rec.origin.firstSampleNanos, 995000000);
    EXPECT_DOUBLE_EQ(rec.timeOf(5), 82800.0);
    // After the rate change the period is 2 ms, counted from sample 9 at 8 ms.
    EXPECT_DOUBLE_EQ(rec.timeOf(8), 82799.0 + (0.995 + 0.008));
    EXPECT_DOUBLE_EQ(rec.timeOf(11), 82799.0 + (0.995 + 0.014));

    ComtradeReadOptions secondary;
    secondary.side = ValueSide::Secondary;
    EXPECT_DOUBLE_EQ(readComtrade(kDir + "feeder2013.cff", secondary).phases[1][1], 0.5 * -60 + 1);
}

TEST(HandWrittenRecording, OldRecorder1991) {
    const ComtradeRecording rec = readComtrade(kDir + "oldbay1991.cfg", {});
    EXPECT_EQ(rec.config.revision, 1991);
    EXPECT_EQ(rec.config.lineFrequency, 60.0);
    EXPECT_EQ(rec.config.start.year, 1998);
    EXPECT_EQ(rec.config.start.month, 12);
    ASSERT_EQ(rec.size(), 4u);
    EXPECT_EQ(rec.phases[1][3], -506.0);
    EXPECT_EQ(rec.timeOf(0), 7 * 3600 + 5 * 60 + 3.0);
}

TEST(HandWrittenRecording, The4800HzRecordingReachesEveryBuildRate) {
    const ComtradeRecording rec = readComtrade(kDir + "north4800.cfg", {});
    for (double fs : {4000.0, 10000.0, 14400.0}) {
        BuildRateSamples samples(rec, fs);
        EXPECT_EQ(samples.total(), static_cast<std::size_t>(0.5 * fs)) << fs;
        std::size_t n = 0;
        double phase[3];
        double time = 0.0;
        double last = 0.0;
        while (samples.next(phase, time)) {
            last = time;
            ++n;
        }
        EXPECT_EQ(n, samples.total());
        EXPECT_DOUBLE_EQ(last, 32400.0 + static_cast<double>(n - 1) / fs);
    }
}

}  // namespace
