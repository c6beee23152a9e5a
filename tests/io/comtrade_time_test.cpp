// The time base: UTC offsets, dates of every revision, and the origin at UTC
// midnight of the recording's start day.
#include <string>

#include <gtest/gtest.h>

#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_recording.h"
#include "io/comtrade/comtrade_time.h"
#include "io/comtrade/comtrade_writer.h"
#include "tests/io/comtrade_fixtures.h"

namespace {

TEST(UtcOffset, ReadsTheWrittenForms) {
    const struct {
        const char* text;
        std::optional<int> minutes;
    } cases[] = {
        {"0", 0}, {"+1", 60}, {"-5h30", -330}, {"10h", 600}, {"5H45", 345}, {"x", 0},
        {"5x", std::nullopt}, {"-25", std::nullopt}, {"1h75", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseUtcOffset(c.text), c.minutes) << c.text;
}

TEST(CivilDate, DaysSinceTheEpoch) {
    EXPECT_EQ(daysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(daysFromCivil(1969, 12, 31), -1);
    EXPECT_EQ(daysFromCivil(2000, 3, 1), 11017);
    EXPECT_EQ(daysFromCivil(2026, 12, 8), 20795);
}

TEST(CivilDate, EachRevisionsDateOrder) {
    std::string error;
    const auto modern = parseCivilTime("08/12/2026", "10:15:30.123456789", 2013, error);
    ASSERT_TRUE(modern) << error;
    EXPECT_EQ(modern->month, 12);
    EXPECT_EQ(modern->day, 8);
    EXPECT_EQ(modern->secondOfDay, 36930);
    EXPECT_EQ(modern->nanoseconds, 123456789);
    EXPECT_EQ(modern->fractionDigits, 9);
    // 1991: month first, two-digit year, one-digit seconds, no fraction.
    const auto old = parseCivilTime("12/08/98", "7:05:3", 1991, error);
    ASSERT_TRUE(old) << error;
    EXPECT_EQ(old->year, 1998);
    EXPECT_EQ(old->month, 12);
    EXPECT_EQ(old->day, 8);
    EXPECT_EQ(old->secondOfDay, 7 * 3600 + 5 * 60 + 3);
    EXPECT_EQ(old->nanoseconds, 0);
    EXPECT_FALSE(parseCivilTime("29/02/2026", "00:00:00", 2013, error));
    EXPECT_FALSE(parseCivilTime("08/12/2026", "24:00:00", 2013, error));
    EXPECT_FALSE(parseCivilTime("08/12/2026", "10:00:00.1234567890", 2013, error));
}

TEST(TimeOrigin, StartsAtUtcMidnightOfTheStartDay) {
    const struct {
        CivilTime start;
        int timeCodeMinutes;
        int64_t utcDay;
        int64_t second;
    } cases[] = {
        {{2026, 12, 8, 36930, 250000000, 6}, 0, 20795, 36930},
        // Recorded at UTC+1 half an hour after local midnight: the previous UTC day.
        {{2026, 12, 8, 1800, 0, 6}, 60, 20794, 84600},
        // Recorded at UTC-5:30 late on New Year's Eve: the next UTC day.
        {{2026, 12, 31, 23 * 3600, 0, 6}, -330, 20819, 16200},
    };
    for (const auto& c : cases) {
        ComtradeConfig config;
        config.start = c.start;
        config.timeCodeMinutes = c.timeCodeMinutes;
        const TimeOrigin origin = timeOriginOf(config);
        EXPECT_EQ(origin.utcDay, c.utcDay);
        EXPECT_EQ(origin.firstSampleSecond, c.second);
        EXPECT_EQ(origin.firstSampleNanos, c.start.nanoseconds);
        EXPECT_EQ(origin.epochSecondsOfOrigin(), c.utcDay * 86400);
    }
}

TEST(TimeOrigin, ReportInstantsStayOnWholeFractionsOfASecond) {
    TimeOrigin origin;
    origin.firstSampleSecond = 36930;
    origin.firstSampleNanos = 250000000;
    // 0.75 s after 10:15:30.25 is exactly 10:15:31.
    EXPECT_EQ(origin.timeOf(0.75), 36931.0);
    EXPECT_EQ(origin.timeOf(0.0), 36930.25);
}

TEST(TimestampTiming, RateComesFromEvenTimestamps) {
    ScratchFolder scratch("timestamps");
    // 4800 Hz in whole microseconds: steps of 208 and 209 µs.
    SyntheticRecording r = threePhaseRecording(DataFormat::Binary, 4800.0, 480);
    r.config.rates = {{0.0, 480}};
    for (std::size_t i = 0; i < 480; ++i) r.data.timestamps.push_back(std::round(static_cast<double>(i) * 1e6 / 4800.0));
    ASSERT_TRUE(writeComtrade(scratch.file("rec"), r.config, r.data));
    const ComtradeRecording rec = readComtrade(scratch.file("rec.cfg"), {});
    ASSERT_EQ(rec.sections.size(), 1u);
    EXPECT_EQ(rec.sections[0].rate, 4800.0);
    EXPECT_DOUBLE_EQ(rec.timeOf(480 - 1), 36930.25 + 479.0 / 4800.0);

    // A gap of a few samples is no even spacing.
    r.data.timestamps[200] += 150.0;
    ASSERT_TRUE(writeComtrade(scratch.file("gap"), r.config, r.data));
    try {
        readComtrade(scratch.file("gap.cfg"), {});
        FAIL() << "uneven timestamps accepted";
    } catch (const ComtradeError& e) {
        EXPECT_NE(std::string(e.what()).find("gap.dat: timestamps are not evenly spaced: sample 201"),
                  std::string::npos)
            << e.what();
    }
}

}  // namespace
