// Recordings written by our writer in every data format, as .cfg/.dat and
// as .cff, read back: scaled values, sample times and the pass-through at
// the build's rate must be exact.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "io/comtrade/build_rate_samples.h"
#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_recording.h"
#include "tests/io/comtrade_fixtures.h"

namespace {

struct FormatCase {
    DataFormat format;
    bool singleFile;
};

std::string caseName(const testing::TestParamInfo<FormatCase>& info) {
    return std::string(dataFormatName(info.param.format)) + (info.param.singleFile ? "_cff" : "_cfg");
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class ComtradeRoundTrip : public testing::TestWithParam<FormatCase> {
protected:
    ComtradeRecording writeAndRead(const SyntheticRecording& r, const ComtradeReadOptions& options = {}) {
        const std::string stem = scratch_.file("rec");
        if (GetParam().singleFile) {
            EXPECT_TRUE(writeCff(stem + ".cff", r.config, r.data));
            return readComtrade(stem + ".cff", options);
        }
        EXPECT_TRUE(writeComtrade(stem, r.config, r.data));
        return readComtrade(stem + ".cfg", options);
    }

    ScratchFolder scratch_{"roundtrip"};
};

TEST_P(ComtradeRoundTrip, ScaledValuesComeBackBitForBit) {
    // Long enough that the data spans several of the reader's blocks.
    const SyntheticRecording r = threePhaseRecording(GetParam().format, 10000.0, 70000);
    const ComtradeRecording rec = writeAndRead(r);
    ASSERT_EQ(rec.size(), 70000u);
    EXPECT_EQ(rec.phaseChannels, (std::array<int, 3>{0, 1, 2}));
    for (std::size_t p = 0; p < 3; ++p) {
        for (std::size_t i = 0; i < rec.size(); ++i) {
            ASSERT_TRUE(sameBits(rec.phases[p][i], r.scaled[p][i])) << "phase " << p << " sample " << i;
        }
    }
}

TEST_P(ComtradeRoundTrip, AtTheBuildRateSamplesPassThroughUntouched) {
    const SyntheticRecording r = threePhaseRecording(GetParam().format, 10000.0, 300);
    const ComtradeRecording rec = writeAndRead(r);
    BuildRateSamples samples(rec, 10000.0);
    EXPECT_TRUE(samples.passesThrough());
    ASSERT_EQ(samples.total(), 300u);
    double phase[3];
    double time = 0.0;
    for (std::size_t i = 0; i < 300; ++i) {
        ASSERT_TRUE(samples.next(phase, time));
        for (std::size_t p = 0; p < 3; ++p) ASSERT_TRUE(sameBits(phase[p], r.scaled[p][i]));
        // Seconds since UTC midnight: 10:15:30.25 plus i sample periods.
        ASSERT_DOUBLE_EQ(time, 36930.0 + (0.25 + static_cast<double>(i) / 10000.0));
    }
    EXPECT_FALSE(samples.next(phase, time));
}

TEST_P(ComtradeRoundTrip, PhasesChosenByNameOrNumberAndScaledToSecondary) {
    const SyntheticRecording r = threePhaseRecording(GetParam().format, 10000.0, 50);
    ComtradeReadOptions options;
    options.phases = {"VC", "2", "va"};
    options.side = ValueSide::Secondary;
    const ComtradeRecording rec = writeAndRead(r, options);
    EXPECT_EQ(rec.phaseChannels, (std::array<int, 3>{2, 1, 0}));
    // Primary values times secondary/primary (0.1/400).
    const ComtradeAnalogChannel& c = r.config.analogs[2];
    EXPECT_DOUBLE_EQ(rec.phases[0][7], (c.a * r.data.analogRaw[2][7] + c.b) * (0.1 / 400.0));
}

TEST_P(ComtradeRoundTrip, PhasesOfDifferentUnitsAreRefused) {
    const SyntheticRecording r = threePhaseRecording(GetParam().format, 10000.0, 50);
    ComtradeReadOptions options;
    options.phases = {"VA", "VB", "IA"};
    EXPECT_THROW(writeAndRead(r, options), ComtradeError);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, ComtradeRoundTrip,
                         testing::Values(FormatCase{DataFormat::Ascii, false}, FormatCase{DataFormat::Binary, false},
                                         FormatCase{DataFormat::Binary32, false},
                                         FormatCase{DataFormat::Float32, false}, FormatCase{DataFormat::Ascii, true},
                                         FormatCase{DataFormat::Binary, true}, FormatCase{DataFormat::Binary32, true},
                                         FormatCase{DataFormat::Float32, true}),
                         caseName);

TEST(ComtradeMissingValues, MarkedValuesReadAsNaNInEveryFormat) {
    ScratchFolder scratch("missing");
    for (DataFormat format : {DataFormat::Ascii, DataFormat::Binary, DataFormat::Binary32, DataFormat::Float32}) {
        SyntheticRecording r = threePhaseRecording(format, 1000.0, 10);
        r.data.analogRaw[1][4] = std::nan("");
        const std::string stem = scratch.file(dataFormatName(format));
        ASSERT_TRUE(writeComtrade(stem, r.config, r.data));
        const ComtradeRecording rec = readComtrade(stem + ".cfg", {});
        EXPECT_TRUE(std::isnan(rec.phases[1][4])) << dataFormatName(format);
        EXPECT_FALSE(std::isnan(rec.phases[1][5])) << dataFormatName(format);
    }
}

}  // namespace
