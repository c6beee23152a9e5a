// The live view's state: what it counts, what it derives and what it keeps.
#include <cmath>
#include <numbers>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "web/live_state.h"

namespace {

ConfigFrame oneBlockConfig(int16_t rate) {
    ConfigFrame config;
    config.dataRate = rate;
    PmuConfig pmu;
    pmu.station = "NORTH";
    pmu.phasors.push_back({});
    pmu.phasors[0].name = "V1 POS SEQ";
    config.pmus.push_back(pmu);
    return config;
}

DataFrame frameAt(uint64_t slot, int16_t rate, uint16_t stat = 0) {
    DataFrame data;
    data.time.soc = static_cast<uint32_t>(1700000000 + slot / static_cast<uint64_t>(rate));
    data.time.fracSec = static_cast<uint32_t>((slot % static_cast<uint64_t>(rate)) * (1000000 / rate));
    PmuData pmu;
    pmu.stat = stat;
    pmu.phasors.push_back({70.0, 0.1});
    pmu.frequency = 50.0 + 1e-3 * static_cast<double>(slot);
    data.pmus.push_back(pmu);
    return data;
}

TEST(LiveState, CountsFramesLostSlotsDelaysAndRateWithBoundedHistory) {
    LiveState state;
    const ConfigFrame config = oneBlockConfig(50);
    state.configured(config);
    double arrival = 0.0;
    uint64_t fed = 0;
    for (uint64_t slot = 0; slot < 5000; ++slot) {
        if (slot == 10 || slot == 11 || slot == 40) continue;  // three frames never arrive
        // During a configuration change the frames may sit on another grid:
        // the skipped slots 100..119 are not counted as lost.
        if (slot >= 100 && slot < 120) continue;
        const uint16_t stat = slot >= 120 && slot < 125 ? kStatConfigChange : 0;
        const DataFrame data = frameAt(slot, 50, stat);
        const double frameTime = data.time.soc + data.time.fracSec * 1e-6;
        arrival = static_cast<double>(slot) * 0.02;
        state.receivedAt(config, data, frameTime + 0.010 + 0.010 * static_cast<double>(slot % 3 == 0), arrival);
        ++fed;
    }
    uint64_t since = 0;
    const nlohmann::json first = nlohmann::json::parse(state.json(since, arrival));
    EXPECT_EQ(first["health"]["frames"], fed);
    EXPECT_EQ(since, fed);
    EXPECT_EQ(first["health"]["lost"], 3u);
    EXPECT_NEAR(first["health"]["delayMedian"].get<double>(), 0.010, 1e-6);
    EXPECT_NEAR(first["health"]["delayMax"].get<double>(), 0.020, 1e-6);
    EXPECT_EQ(first["health"]["delayLive"], true);
    EXPECT_NEAR(first["health"]["fps"].get<double>(), 50.0, 0.6);
    // The history is the latest frames only, and a reader that is up to
    // date is handed none again.
    ASSERT_EQ(first["points"].size(), LiveState::kHistoryFrames);
    EXPECT_NEAR(first["points"].back()[1].get<double>(), 50.0 + 4.999, 1e-9);
    EXPECT_NEAR(first["latest"]["blocks"][0]["frequency"].get<double>(), 50.0 + 4.999, 1e-9);
    const nlohmann::json again = nlohmann::json::parse(state.json(since, arrival));
    EXPECT_TRUE(again["points"].empty());
    // Nothing arrives for a while: the measured rate falls to zero.
    const nlohmann::json quiet = nlohmann::json::parse(state.json(since, arrival + 10.0));
    EXPECT_EQ(quiet["health"]["fps"].get<double>(), 0.0);
}

TEST(LiveState, PositiveSequenceFromPhasesOrANamedPhasorAndStatInWords) {
    PmuConfig config;
    config.format = kFormatPhasorFloat;  // rectangular
    PmuData data;
    for (const char* name : {"VA", "VB", "VC"}) {
        config.phasors.push_back({});
        config.phasors.back().name = name;
    }
    // Phases of 100 V at 30, -90 and 150 degrees: the positive sequence is
    // 100 V at 30 degrees.
    for (double degrees : {30.0, -90.0, 150.0}) {
        const double rad = degrees * std::numbers::pi / 180.0;
        data.phasors.push_back({100.0 * std::cos(rad), 100.0 * std::sin(rad)});
    }
    double magnitude = 0.0, angle = 0.0;
    PhasorChoice choice = choosePositiveSequence(config);
    ASSERT_TRUE(positiveSequence(config, choice, data, magnitude, angle));
    EXPECT_NEAR(magnitude, 100.0, 1e-9);
    EXPECT_NEAR(angle, std::numbers::pi / 6.0, 1e-12);
    EXPECT_EQ(choice.source, "positive sequence of VA, VB, VC");

    config.phasors.push_back({});
    config.phasors.back().name = "V1 pos seq";
    data.phasors.push_back({0.0, 5.0});
    choice = choosePositiveSequence(config);
    ASSERT_TRUE(positiveSequence(config, choice, data, magnitude, angle));
    EXPECT_NEAR(magnitude, 5.0, 1e-12);
    EXPECT_EQ(choice.source, "V1 pos seq");
    // A frame that lacks the phasor its configuration promised gives none.
    data.phasors.pop_back();
    EXPECT_FALSE(positiveSequence(config, choice, data, magnitude, angle));

    EXPECT_EQ(statWords(0), (std::vector<std::string>{"synchronised", "data valid", "no configuration change",
                                                      "no trigger"}));
    EXPECT_EQ(statWords(kStatNotSynchronised | 0x8000 | kStatConfigChange | kStatTriggerDetected | 5 |
                        kStatDataModified),
              (std::vector<std::string>{"not synchronised", "do not use: test mode or absent data",
                                        "configuration change", "trigger: df/dt high", "data modified"}));
}

TEST(LiveState, FlaggedBlocksAreWordedByTheirMeaningAndKeptApartInTheHistory) {
    // Bits 15-14 as the standard words them; 10 with the reason the PDC can
    // tell: no finite values, or the flags that opened the stream.
    struct Case {
        uint16_t stat;
        StatReason reason;
        std::vector<std::string> words;  // the data-error word and the reason, if any
    };
    const Case cases[] = {
        {0x0000, {}, {"data valid"}},
        {0x4000, {}, {"PMU error, no information about the data"}},
        {0x8000, {}, {"do not use: test mode or absent data"}},
        {0x8000, {true, false}, {"do not use: test mode or absent data", "reason: absent data (no finite values)"}},
        {0x8000, {false, true},
         {"do not use: test mode or absent data", "reason: start of the stream (the PMU's filters filling)"}},
        {0xC000, {}, {"do not use: PMU error"}},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> words = statWords(c.stat, c.reason);
        ASSERT_GE(words.size(), 1 + c.words.size());
        EXPECT_EQ(std::vector<std::string>(words.begin() + 1, words.begin() + 1 + c.words.size()), c.words)
            << std::hex << c.stat;
    }

    // A stream that opens with 30 flagged frames (0.6 s), then clean ones,
    // then a flagged one 10 s in: the start-up frames carry their reason
    // while they last, the late one only the standard's words; the history
    // says which points were flagged.
    LiveState state;
    const ConfigFrame config = oneBlockConfig(50);
    state.configured(config);
    const double wall = 1700000000.0 + 1120 * 86400.0;  // a recording replayed 1120 days later
    auto feed = [&](uint64_t slot, uint16_t stat) { state.receivedAt(config, frameAt(slot, 50, stat), wall, slot * 0.02); };
    uint64_t since = 0;
    for (uint64_t slot = 0; slot < 30; ++slot) feed(slot, kStatDataDoNotUse);
    nlohmann::json view = nlohmann::json::parse(state.json(since, 0.6));
    EXPECT_EQ(view["latest"]["blocks"][0]["words"][2], "reason: start of the stream (the PMU's filters filling)");
    for (uint64_t slot = 30; slot < 500; ++slot) feed(slot, slot == 499 ? kStatDataDoNotUse : 0);
    view = nlohmann::json::parse(state.json(since, 10.0));
    EXPECT_EQ(view["latest"]["blocks"][0]["words"][1], "do not use: test mode or absent data");
    EXPECT_EQ(view["latest"]["blocks"][0]["words"][2], "no configuration change");
    ASSERT_EQ(view["flags"].size(), view["points"].size());
    EXPECT_EQ(view["flags"].back()[0], 1);
    EXPECT_EQ(view["flags"][view["flags"].size() - 2][0], 0);
    // Frames stamped 1120 days before the clock: an offset, not a delay.
    EXPECT_EQ(view["health"]["delayLive"], false);
    EXPECT_NEAR(view["health"]["delayMedian"].get<double>() / 86400.0, 1120.0, 1.0);
}

}  // namespace
