// A recording read as a stream while the run goes gives, sample for sample
// and bit for bit, what the same recording held whole in memory gives: at
// the build's rate, resampled by libsoxr, and interpolated on the true
// sample times of several rates; across many read blocks.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "io/comtrade/build_rate_samples.h"
#include "io/comtrade/comtrade_sample_source.h"
#include "io/gap_bridge.h"
#include "tests/io/comtrade_fixtures.h"

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct StreamCase {
    const char* name;
    double rate;
    std::size_t samples;
    std::size_t atBuildRate;  // samples of a second section at 10 kHz, or 0
};

class StreamedRecording : public testing::TestWithParam<StreamCase> {};

TEST_P(StreamedRecording, YieldsWhatTheHeldRecordingYields) {
    const StreamCase& c = GetParam();
    ScratchFolder scratch("stream");
    SyntheticRecording r = threePhaseRecording(DataFormat::Binary, c.rate, c.samples + c.atBuildRate);
    if (c.atBuildRate > 0) {
        r.config.rates = {{c.rate, static_cast<int64_t>(c.samples)},
                          {10000.0, static_cast<int64_t>(c.samples + c.atBuildRate)}};
    }
    ASSERT_TRUE(writeCff(scratch.file("rec.cff"), r.config, r.data));

    const ComtradeRecording held = readComtrade(scratch.file("rec.cff"), {});
    BuildRateSamples expected(held, 10000.0);
    std::string error;
    auto source = ComtradeSampleSource::open(scratch.file("rec.cff"), {}, error);
    ASSERT_TRUE(source) << error;
    EXPECT_TRUE(source->recording().phases[0].empty());
    ASSERT_TRUE(source->prepare(10000.0, ModelInputs{}, error)) << error;
    ASSERT_EQ(source->sampleCount(), expected.total());

    double phase[3];
    double time = 0.0;
    ModelInputs in;
    for (std::size_t k = 0; k < expected.total(); ++k) {
        ASSERT_TRUE(expected.next(phase, time));
        ASSERT_EQ(source->next(in), SampleSource::Status::Sample) << source->error();
        for (std::size_t p = 0; p < 3; ++p) ASSERT_TRUE(sameBits(in.phase[p], phase[p])) << "sample " << k;
        ASSERT_TRUE(sameBits(in.time, time)) << "sample " << k;
        EXPECT_EQ(source->sampleQuality(), 0);
    }
    EXPECT_EQ(source->next(in), SampleSource::Status::End);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRoad, StreamedRecording,
    testing::Values(StreamCase{"PassedThrough", 10000.0, 30000, 0}, StreamCase{"Resampled", 4800.0, 30000, 0},
                    StreamCase{"OnTrueTimes", 4800.0, 15000, 12000}),
    [](const testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

TEST(StreamedRecording, GapsAreBridgedAndMarkedAsTheRunGoes) {
    ScratchFolder scratch("streamgap");
    SyntheticRecording r = threePhaseRecording(DataFormat::Binary, 10000.0, 20000);
    // 30 samples: past the bridge's proven span (20 samples at 10 kHz).
    for (std::size_t i = 9000; i < 9030; ++i) r.data.analogRaw[1][i] = std::nan("");
    ASSERT_TRUE(writeComtrade(scratch.file("rec"), r.config, r.data));
    std::string error;
    auto source = ComtradeSampleSource::open(scratch.file("rec.cfg"), {}, error);
    ASSERT_TRUE(source) << error;
    ASSERT_TRUE(source->prepare(10000.0, ModelInputs{}, error)) << error;
    EXPECT_NE(source->gapWarning().find("30 sample(s) with missing values, the first is sample 9001; 30 bridged"),
              std::string::npos)
        << source->gapWarning();
    ModelInputs in;
    std::size_t marked = 0, firstMarked = 0;
    for (std::size_t k = 0; source->next(in) == SampleSource::Status::Sample; ++k) {
        // A bridged value is the same phase one period (200 samples at
        // 50 Hz) earlier, to the measured period's last digits.
        if (k >= 9000 && k < 9030) {
            EXPECT_NEAR(in.phase[1], r.scaled[1][k - 200], 0.05);
        }
        if (qualityDoNotUse(source->sampleQuality()) && marked++ == 0) firstMarked = k;
    }
    // From the first sample past the proven span until the filters' memory
    // has passed the last.
    EXPECT_EQ(firstMarked, 9020u);
    EXPECT_EQ(marked, 10u + static_cast<std::size_t>(std::ceil(10000.0 * kFilterMemorySeconds)) - 1);
}

}  // namespace
