// The PMU stream built from the block's reports: RMS conversion, rate
// changes, nominal frequency refusal, the frame file and a PDC's commands.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "io/c37118/c37118_sink.h"
#include "io/c37118/command_frame.h"
#include "io/c37118/frame_assembler.h"
#include "io/c37118/pdc_session.h"
#include "io/c37118/pmu_connection.h"
#include "io/c37118/report_framer.h"

namespace {

ModelOutputs report(double timestamp, int32_t activeRate) {
    ModelOutputs out;
    out.timestamp = timestamp;
    out.magnitude = 100.0;
    out.angle = 0.5;
    out.frequency = 50.25;
    out.rocof = -0.5;
    out.reportStrobe = true;
    out.activeReportRate = activeRate;
    return out;
}

ReportFramer configuredFramer() {
    ReportFramer framer;
    std::string error;
    StreamSettings settings;
    EXPECT_TRUE(framer.configure(settings, error)) << error;
    return framer;
}

PmuStreamFramer configuredStream() {
    PmuStreamFramer framer;
    std::string error;
    EXPECT_TRUE(framer.configure({StreamSettings{}}, 1, error)) << error;
    return framer;
}

DataFrame decodeData(const ReportFramer& framer, const std::vector<uint8_t>& bytes) {
    DataFrame data;
    std::string error;
    EXPECT_TRUE(decodeDataFrame(bytes, framer.config(), data, error)) << error;
    return data;
}

TEST(ReportFramer, CarriesRmsMagnitudeAndTheRestAsFloats) {
    ReportFramer framer = configuredFramer();
    std::string error;
    framer.takeReport(report(12.02, 50), 50, 50.0);
    std::vector<uint8_t> bytes;
    framer.encodeData(false, bytes);
    const DataFrame data = decodeData(framer, bytes);
    EXPECT_EQ(data.time.soc, 12u);
    EXPECT_EQ(data.time.fracSec, 20000u);
    const PmuData& pmu = data.pmus[0];
    EXPECT_EQ(pmu.phasors[0].first, static_cast<float>(100.0 / std::sqrt(2.0)));
    EXPECT_EQ(pmu.phasors[0].second, 0.5);
    EXPECT_EQ(pmu.frequency, 50.25);
    EXPECT_EQ(pmu.rocof, -0.5);
    EXPECT_EQ(pmu.stat, 0);
    // A report resting on bridged input: data error "do not use" (10).
    framer.encodeData(false, bytes, kQualityMissing);
    EXPECT_EQ(decodeData(framer, bytes).pmus[0].stat & kStatDataErrorMask, 0x8000);
}

TEST(ReportFramer, RefusesNominalFrequenciesFramesCannotCarry) {
    struct Case {
        double nominal;
        bool accepted;
    };
    for (const Case& c : {Case{50.0, true}, Case{60.0, true}, Case{55.0, false}, Case{35.714285714285715, false},
                          Case{NAN, false}}) {
        ReportFramer framer;
        StreamSettings settings;
        settings.nominalFrequency = c.nominal;
        std::string error;
        EXPECT_EQ(framer.configure(settings, error), c.accepted) << c.nominal;
        if (!c.accepted) {
            EXPECT_NE(error.find("only say 50 or 60 Hz"), std::string::npos) << error;
        }
    }
    // A change mid-stream to a nominal the frames cannot carry.
    ReportFramer framer = configuredFramer();
    const TakenReport taken = framer.takeReport(report(1.0, 50), 50, 45.0);
    EXPECT_FALSE(taken.framed());
    EXPECT_NE(taken.problem.find("45 Hz"), std::string::npos) << taken.problem;
}

TEST(ReportFramer, NominalSixtyReachesFnomAndCfg3Window) {
    ReportFramer framer;
    StreamSettings settings;
    settings.nominalFrequency = 60.0;
    std::string error;
    ASSERT_TRUE(framer.configure(settings, error));
    std::vector<uint8_t> bytes;
    framer.encodeConfig(FrameType::Config3, bytes);
    ConfigFrame config;
    ASSERT_TRUE(decodeConfigFrame(bytes, config, error)) << error;
    EXPECT_EQ(config.pmus[0].nominalFrequency, 60);
    EXPECT_EQ(config.pmus[0].serviceClass, 'P');
    EXPECT_EQ(config.pmus[0].windowMicroseconds, 33333);
    EXPECT_EQ(config.pmus[0].phasors[0].component, kPhasorPositiveSequence);
}

TEST(ReportFramer, RateChangeSetsTheBitAndCountsTheConfiguration) {
    ReportFramer framer = configuredFramer();
    std::string error;
    // Requested 10/s while the block still reports at its initial 50/s:
    // pending, so every recipient sees the bit; the configuration holds.
    EXPECT_FALSE(framer.takeReport(report(0.02, 50), 10, 50.0).configChanged);
    EXPECT_TRUE(framer.configChangeFlagFor(0));
    EXPECT_EQ(framer.config().dataRate, 50);
    // The block hands over: the configuration takes the new rate.
    EXPECT_TRUE(framer.takeReport(report(0.1, 10), 10, 50.0).configChanged);
    EXPECT_EQ(framer.configCount(), 1);
    EXPECT_EQ(framer.config().dataRate, 10);
    // A recipient still holding CFGCNT 0 sees the bit, one with 1 does not.
    EXPECT_TRUE(framer.configChangeFlagFor(0));
    EXPECT_FALSE(framer.configChangeFlagFor(1));
    std::vector<uint8_t> bytes;
    framer.encodeData(true, bytes);
    EXPECT_EQ(decodeData(framer, bytes).pmus[0].stat & kStatConfigChange, kStatConfigChange);
    // For at most a minute.
    framer.takeReport(report(60.1, 10), 10, 50.0);
    EXPECT_FALSE(framer.configChangeFlagFor(0));
    // The next CFG-2 carries the new rate and count.
    framer.encodeConfig(FrameType::Config2, bytes);
    ConfigFrame config;
    ASSERT_TRUE(decodeConfigFrame(bytes, config, error)) << error;
    EXPECT_EQ(config.dataRate, 10);
    EXPECT_EQ(config.pmus[0].configCount, 1);
}

TEST(ReportFramer, UnusableTimestampsSayClockFailure) {
    ReportFramer framer = configuredFramer();
    std::string error;
    framer.takeReport(report(NAN, 50), 50, 50.0);
    std::vector<uint8_t> bytes;
    framer.encodeData(false, bytes);
    const DataFrame data = decodeData(framer, bytes);
    EXPECT_EQ(data.time.quality, kTimeQualityClockFailure);
    EXPECT_EQ(data.pmus[0].stat & kStatNotSynchronised, kStatNotSynchronised);
}

std::vector<FrameType> frameTypesOf(const std::vector<uint8_t>& stream) {
    FrameAssembler assembler;
    assembler.append(stream);
    std::vector<FrameType> types;
    std::vector<uint8_t> frame;
    FrameHeader header;
    while (assembler.next(frame, header) == FrameAssembler::Result::Frame) types.push_back(header.type);
    EXPECT_EQ(assembler.pending(), 0u) << assembler.error();
    return types;
}

class FileSinkTest : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(path_); }
    std::vector<uint8_t> contents() const {
        std::ifstream in(path_, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    const std::string path_ = (std::filesystem::temp_directory_path() / "orvane_c37118_sink_test.bin").string();
};

TEST_F(FileSinkTest, WritesCfg2ThenOneDataFramePerReportAndACfg2AtEachChange) {
    C37118Sink sink(path_, StreamSettings{});
    ASSERT_TRUE(sink.open()) << sink.error();
    ModelInputs in;
    in.reportRate = 10;
    ModelOutputs quiet;
    quiet.activeReportRate = 50;
    ASSERT_TRUE(sink.write(in, quiet));
    ASSERT_TRUE(sink.write(in, report(0.02, 50)));
    ASSERT_TRUE(sink.write(in, quiet));
    ASSERT_TRUE(sink.write(in, report(0.1, 10)));
    ASSERT_TRUE(sink.write(in, report(0.2, 10)));
    ASSERT_TRUE(sink.finish()) << sink.error();
    const std::vector<FrameType> expected = {FrameType::Config2, FrameType::Data, FrameType::Config2, FrameType::Data,
                                             FrameType::Data};
    EXPECT_EQ(frameTypesOf(contents()), expected);
}

TEST_F(FileSinkTest, RefusesAnotherNominalAndLeavesNoFile) {
    {
        C37118Sink sink(path_, StreamSettings{});
        ASSERT_TRUE(sink.open());
        ModelInputs in;
        ASSERT_TRUE(sink.write(in, report(0.02, 50)));
        in.nominalFrequency = 52.0;
        in.time = 0.5;
        EXPECT_FALSE(sink.write(in, ModelOutputs{}));
        EXPECT_NE(sink.error().find("sample 2 (time 0.5 s): nominal frequency 52 Hz"), std::string::npos)
            << sink.error();
    }
    EXPECT_FALSE(std::filesystem::exists(path_));
}

std::vector<uint8_t> command(uint16_t code, uint16_t idCode = 1) {
    CommandFrame frame;
    frame.idCode = idCode;
    frame.command = code;
    std::vector<uint8_t> bytes;
    std::string error;
    encodeCommandFrame(frame, bytes, error);
    return bytes;
}

TEST(PmuConnection, AnswersEachCommand) {
    PmuStreamFramer framer = configuredStream();
    PmuConnection connection(framer);
    struct Case {
        uint16_t command;
        std::vector<FrameType> reply;
        bool dataOn;
    };
    const Case cases[] = {
        {kCommandSendConfig2, {FrameType::Config2}, false}, {kCommandDataOn, {}, true},
        {kCommandSendConfig3, {FrameType::Config3}, true},  {kCommandSendHeader, {FrameType::Header}, true},
        {kCommandSendConfig1, {FrameType::Config1}, true},  {kCommandDataOff, {}, false},
        {0x0123, {}, false},  // user-designated: ignored
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> reply;
        std::vector<std::string> notes;
        ASSERT_TRUE(connection.receive(command(c.command), reply, notes)) << connection.error();
        EXPECT_EQ(frameTypesOf(reply), c.reply) << commandName(c.command);
        EXPECT_EQ(connection.dataOn(), c.dataOn) << commandName(c.command);
        EXPECT_EQ(notes.size(), 1u);
    }
}

TEST(PmuConnection, IgnoresOtherStreamsAndRefusesGarbage) {
    PmuStreamFramer framer = configuredStream();
    PmuConnection connection(framer);
    std::vector<uint8_t> reply;
    std::vector<std::string> notes;
    ASSERT_TRUE(connection.receive(command(kCommandDataOn, 2), reply, notes));
    EXPECT_FALSE(connection.dataOn());
    EXPECT_NE(notes.at(0).find("IDCODE 2"), std::string::npos);
    // Two commands in one read, the second split across reads.
    std::vector<uint8_t> both = command(kCommandSendConfig2);
    const std::vector<uint8_t> on = command(kCommandDataOn);
    both.insert(both.end(), on.begin(), on.begin() + 5);
    ASSERT_TRUE(connection.receive(both, reply, notes));
    ASSERT_TRUE(connection.receive(std::span<const uint8_t>(on).subspan(5), reply, notes));
    EXPECT_TRUE(connection.dataOn());
    // A data frame is no command; neither is text.
    std::vector<uint8_t> data;
    framer.encodeData(false, data);
    EXPECT_FALSE(connection.receive(data, reply, notes));
    EXPECT_NE(connection.error().find("expected a command frame"), std::string::npos) << connection.error();
    PmuConnection other(framer);
    const std::string text = "GET / HTTP/1.0\r\n\r\n";
    EXPECT_FALSE(other.receive(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                               reply, notes));
    EXPECT_NE(other.error().find("wrong SYNC"), std::string::npos) << other.error();
}

// The quality word reaches STAT: every reason not to use the report sets
// bits 15-14 to 10, bridged input alone only "data modified", an
// unsynchronised input the sync bit; test mode is the stream's own; other
// STAT bits stay as they are.
TEST(ReportFramer, CarriesTheQualityWordInStat) {
    StreamSettings settings;
    ReportFramer framer;
    std::string error;
    ASSERT_TRUE(framer.configure(settings, error)) << error;
    auto statAt = [&](ReportQuality quality, bool change) {
        framer.takeReport(report(1.0, 50), 50, 50.0);
        std::vector<uint8_t> bytes;
        framer.encodeData(change, bytes, quality);
        return decodeData(framer, bytes).pmus[0].stat;
    };
    const struct {
        ReportQuality quality;
        uint16_t stat;
    } cases[] = {
        {0, 0},
        {kQualityStartUp, kStatDataDoNotUse},
        {kQualityBridged, kStatDataModified},
        {kQualityBridged | kQualityMissing, kStatDataDoNotUse},
        {kQualityRestarted | kQualityStartUp, kStatDataDoNotUse},
        {kQualityNonFinite, kStatDataDoNotUse},
        {kQualityAbsent, kStatDataDoNotUse},
        {kQualityUnsynchronised, kStatNotSynchronised},
        {kQualityUnsynchronised | kQualityStartUp, kStatNotSynchronised | kStatDataDoNotUse},
    };
    for (const auto& c : cases) EXPECT_EQ(statAt(c.quality, false), c.stat) << "word " << c.quality;
    EXPECT_EQ(statAt(kQualityStartUp, true), kStatDataDoNotUse | kStatConfigChange);
    settings.testMode = true;
    settings.clockQuality = 0x7;  // within 1 ms
    ASSERT_TRUE(framer.configure(settings, error));
    EXPECT_EQ(statAt(0, false), kStatDataDoNotUse | (5u << 6));
}

// Three blocks in one frame; the block without a report at the leader's
// instant, and one whose input ended, are absent and flagged.
TEST(PmuStreamFramer, AbsentBlocksDoNotHoldUpTheOthers) {
    std::vector<StreamSettings> blocks(3);
    for (uint16_t k = 0; k < 3; ++k) blocks[k].idCode = static_cast<uint16_t>(10 + k);
    PmuStreamFramer framer;
    std::string error;
    ASSERT_TRUE(framer.configure(blocks, 7, error)) << error;
    framer.takeReport(2, report(0.98, 50), 50, 50.0);  // a report behind
    framer.takeReport(1, report(1.0, 50), 50, 50.0);
    framer.takeReport(0, report(1.0, 50), 50, 50.0);
    std::vector<uint8_t> bytes;
    framer.encodeConfig(FrameType::Config2, bytes);
    ConfigFrame config;
    ASSERT_TRUE(decodeConfigFrame(bytes, config, error)) << error;
    ASSERT_EQ(config.pmus.size(), 3u);
    EXPECT_EQ(config.idCode, 7);
    EXPECT_EQ(config.pmus[2].idCode, 12);
    framer.encodeData(false, bytes);
    DataFrame data;
    ASSERT_TRUE(decodeDataFrame(bytes, config, data, error)) << error;
    EXPECT_EQ(data.pmus[0].stat, 0);
    EXPECT_EQ(data.pmus[1].phasors[0].first, static_cast<float>(report(1.0, 50).magnitude / std::sqrt(2.0)));
    EXPECT_EQ(data.pmus[2].stat, kStatDataDoNotUse);
    EXPECT_TRUE(std::isnan(data.pmus[2].frequency));
    framer.endBlock(1);
    framer.encodeData(false, bytes);
    ASSERT_TRUE(decodeDataFrame(bytes, config, data, error)) << error;
    EXPECT_EQ(data.pmus[1].stat, kStatDataDoNotUse);
    EXPECT_EQ(framer.absentInLastFrame(), 2u);
    EXPECT_FALSE(framer.configure({blocks[0], blocks[0]}, 7, error));
    EXPECT_NE(error.find("share IDCODE 10"), std::string::npos) << error;
}

// A report whose sample its source marked (bridged over a loss) is "do not
// use" in its own block only, beside the other STAT bits, alone or with
// other blocks; the next unmarked report is clean again.
TEST(PmuStreamFramer, SourceMarkedReportsAreDoNotUseInTheirBlock) {
    std::vector<StreamSettings> blocks(2);
    blocks[1].idCode = 2;
    blocks[1].clockQuality = 0x7;
    for (size_t count : {1u, 2u}) {
        PmuStreamFramer framer;
        std::string error;
        ASSERT_TRUE(framer.configure({blocks.begin(), blocks.begin() + count}, 1, error)) << error;
        std::vector<uint8_t> bytes;
        framer.encodeConfig(FrameType::Config2, bytes);
        ConfigFrame config;
        ASSERT_TRUE(decodeConfigFrame(bytes, config, error)) << error;
        DataFrame data;
        for (bool marked : {true, false}) {
            for (size_t k = count; k-- > 0;) {
                framer.takeReport(k, report(1.0, 50), 50, 50.0, marked && k + 1 == count);
            }
            framer.encodeData(true, bytes);
            ASSERT_TRUE(decodeDataFrame(bytes, config, data, error)) << error;
            const uint16_t quality = count == 2 ? (5u << 6) : 0;
            EXPECT_EQ(data.pmus[count - 1].stat, (marked ? kStatDataDoNotUse : 0) | kStatConfigChange | quality);
            if (count == 2) {
                EXPECT_EQ(data.pmus[0].stat, kStatConfigChange);
            }
        }
    }
}

// The PDC's rows are the same whether frames come one per read, several in
// one read, or split at every byte.
TEST(PdcSession, FramesSplitAcrossReadsOrSeveralInOneGiveTheSameRows) {
    PmuStreamFramer framer = configuredStream();
    std::vector<uint8_t> stream, frame;
    framer.encodeConfig(FrameType::Config2, stream);
    for (int k = 0; k < 4; ++k) {
        std::string error;
        framer.takeReport(0, report(1.0 + 0.02 * k, 50), 50, 50.0);
        framer.encodeData(false, frame);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    auto rowsOf = [&](size_t chunk) {
        PdcSession session(1, kCommandSendConfig2);
        std::string rows;
        std::vector<uint8_t> reply;
        std::vector<std::string> notes;
        for (size_t at = 0; at < stream.size(); at += chunk) {
            const size_t n = std::min(chunk, stream.size() - at);
            EXPECT_TRUE(session.receive(std::span<const uint8_t>(stream).subspan(at, n), 0, reply, rows, notes))
                << session.error();
        }
        EXPECT_EQ(session.dataFrames(), 4u);
        EXPECT_EQ(frameTypesOf(reply), std::vector<FrameType>{FrameType::Command});  // "on", once
        return rows;
    };
    const std::string whole = rowsOf(stream.size());
    EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 5);
    EXPECT_EQ(rowsOf(1), whole);
    EXPECT_EQ(rowsOf(7), whole);
}

// A bad datagram is refused with its reason; the next one is judged alone.
TEST(PmuConnection, RefusesBadDatagramsAndGoesOn) {
    PmuStreamFramer framer = configuredStream();
    PmuConnection connection(framer);
    std::vector<uint8_t> reply;
    std::vector<std::string> notes;
    std::vector<uint8_t> on = command(kCommandDataOn);
    const std::vector<uint8_t> half(on.begin(), on.begin() + 9);
    EXPECT_FALSE(connection.receiveDatagram(half, reply, notes));
    EXPECT_NE(connection.error().find("ends inside a frame"), std::string::npos) << connection.error();
    on[17] ^= 1;
    EXPECT_FALSE(connection.receiveDatagram(on, reply, notes));
    EXPECT_FALSE(connection.error().empty());
    EXPECT_TRUE(connection.receiveDatagram(command(kCommandDataOn), reply, notes)) << connection.error();
    EXPECT_TRUE(connection.dataOn());
}

}  // namespace
