// Recordings off the build's rate: libsoxr brings them to it, and the block
// measures the resampled signal as it measures the signal sampled at the
// build's rate directly (within 0.05 % TVE and 0.001 Hz).
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/in_process_driver.h"
#include "io/comtrade/build_rate_samples.h"
#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_recording.h"
#include "io/resample/resampler.h"
#include "model/model_entry.h"
#include "tests/io/comtrade_fixtures.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// A fundamental with its 20th harmonic (1 kHz, within both pass bands).
double wave(double t) { return std::cos(kTwoPi * 50.0 * t + 0.3) + 0.1 * std::cos(kTwoPi * 1000.0 * t); }

TEST(Resampler, SineKeepsItsShapeAndTime) {
    const double in = 4800.0;
    const double out = 10000.0;
    const std::size_t n = 4800;
    std::vector<double> input(n);
    for (std::size_t i = 0; i < n; ++i) input[i] = wave(static_cast<double>(i) / in);
    for (const auto latency : {Resampler::Latency::Batch, Resampler::Latency::Live}) {
        Resampler resampler(in, out, 1, latency);
        std::vector<double> output;
        // Live: fed a sample at a time, the output may trail the input by
        // the filter's look-ahead and one short transform, no more.
        const bool live = latency == Resampler::Latency::Live;
        double heldBack = 0.0;
        for (std::size_t i = 0; i < n; i += live ? 1 : n / 2) {
            resampler.push(input.data() + i, live ? 1 : n / 2, output);
            heldBack = std::max(heldBack, static_cast<double>(i + 1) / in - static_cast<double>(output.size()) / out);
        }
        if (live) {
            EXPECT_LT(heldBack, 0.03);
        }
        resampler.finish(output);
        ASSERT_GE(output.size(), Resampler::outputFramesFor(n, in, out));
        EXPECT_EQ(Resampler::outputFramesFor(n, in, out), 10000u);
        // Away from the ends, output sample j is the signal at j/out: no delay.
        double worst = 0.0;
        for (std::size_t j = 1000; j < 9000; ++j) {
            worst = std::max(worst, std::fabs(output[j] - wave(static_cast<double>(j) / out)));
        }
        // Live: the shorter filter's pass band ripples by a few 1e-4 near 1 kHz.
        EXPECT_LT(worst, live ? 1e-4 : 1e-5) << (live ? "live" : "batch");
    }
}

struct Report {
    double timestamp;
    std::complex<double> phasor;
    double frequency;
};

// The block's reports over a run of samples, at 50 reports per second.
template <typename NextSample>
std::vector<Report> reportsOf(NextSample nextSample) {
    const ModelEntry& entry = model_10k::kModelEntry;
    InProcessDriver driver(entry.installMethods, entry.build->sfunctionName);
    EXPECT_TRUE(driver.start()) << driver.error();
    std::vector<Report> reports;
    ModelInputs in;
    ModelOutputs out;
    while (nextSample(in.phase, in.time)) {
        EXPECT_TRUE(driver.step(in, out)) << driver.error();
        if (out.reportStrobe) reports.push_back({out.timestamp, std::polar(out.magnitude, out.angle), out.frequency});
    }
    driver.finish();
    return reports;
}

class ResampledRecording : public testing::TestWithParam<DataFormat> {};

TEST_P(ResampledRecording, MeasuresLikeTheSignalAtTheBuildRate) {
    ScratchFolder scratch("resampled");
    const double seconds = 1.0;
    const SyntheticRecording r = threePhaseRecording(GetParam(), 4800.0, static_cast<std::size_t>(4800 * seconds));
    ASSERT_TRUE(writeComtrade(scratch.file("rec"), r.config, r.data));
    const ComtradeRecording rec = readComtrade(scratch.file("rec.cfg"), {});
    BuildRateSamples samples(rec, 10000.0);
    EXPECT_FALSE(samples.passesThrough());
    EXPECT_EQ(samples.total(), 10000u);
    const std::vector<Report> resampled =
        reportsOf([&](double phase[3], double& time) { return samples.next(phase, time); });

    // The same signal sampled at 10 kHz, same absolute times.
    std::size_t i = 0;
    const std::vector<Report> direct = reportsOf([&](double phase[3], double& time) {
        if (i == static_cast<std::size_t>(10000 * seconds)) return false;
        const double t = 0.25 + static_cast<double>(i) / 10000.0;
        for (int k = 0; k < 3; ++k) phase[k] = 100.0 * std::cos(kTwoPi * 50.0 * t + 0.3 - kTwoPi / 3.0 * k);
        time = 36930.0 + t;
        ++i;
        return true;
    });

    ASSERT_EQ(resampled.size(), direct.size());
    ASSERT_GT(direct.size(), 30u);
    // Skip the filters' settling and the recording's last tenth of a second,
    // where the resampler runs out of signal.
    for (std::size_t k = 10; k + 5 < direct.size(); ++k) {
        EXPECT_NEAR(resampled[k].timestamp, direct[k].timestamp, 1e-9);
        const double tve = std::abs(resampled[k].phasor - direct[k].phasor) / std::abs(direct[k].phasor);
        EXPECT_LT(tve, 0.0005) << "report " << k;
        EXPECT_LT(std::fabs(resampled[k].frequency - direct[k].frequency), 0.001) << "report " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, ResampledRecording,
                         testing::Values(DataFormat::Ascii, DataFormat::Binary, DataFormat::Binary32,
                                         DataFormat::Float32),
                         [](const testing::TestParamInfo<DataFormat>& info) { return dataFormatName(info.param); });

TEST(ResampledRecording, GapsAreRefusedRatherThanSmeared) {
    ScratchFolder scratch("gap");
    SyntheticRecording r = threePhaseRecording(DataFormat::Binary, 4800.0, 100);
    r.data.analogRaw[2][40] = std::nan("");
    ASSERT_TRUE(writeComtrade(scratch.file("rec"), r.config, r.data));
    const ComtradeRecording rec = readComtrade(scratch.file("rec.cfg"), {});
    try {
        BuildRateSamples samples(rec, 10000.0);
        FAIL() << "a gap was resampled";
    } catch (const ComtradeError& e) {
        EXPECT_NE(std::string(e.what()).find("rec.dat: sample 41 of channel 'VC' is missing"), std::string::npos)
            << e.what();
    }
}

}  // namespace
