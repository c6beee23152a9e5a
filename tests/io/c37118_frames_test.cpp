#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "io/c37118/command_frame.h"
#include "io/c37118/config_frame.h"
#include "io/c37118/crc_ccitt.h"
#include "io/c37118/data_frame.h"
#include "io/c37118/frame_time.h"

namespace {

ConfigFrame mixedConfig(FrameType type) {
    ConfigFrame config;
    config.type = type;
    config.idCode = 7;
    config.time = {1700000000, 123456, 0};
    config.timeBase = 1000000;
    config.dataRate = -5;
    PmuConfig a;
    a.station = "STATION A";
    a.idCode = 7;
    a.format = kFormatFrequencyFloat | kFormatPhasorFloat | kFormatPolar | kFormatAnalogFloat;
    a.phasors = {PhasorChannel{"VA", false, 0, 0, 4, 0, 1.0f, 0.0f}, PhasorChannel{"IA", true, 0, 0, 4, 0, 1.0f, 0.0f}};
    a.analogs = {AnalogChannel{"P", 1, -1234, 1.0f, 0.0f}};
    DigitalWord word;
    word.labels[0] = "BREAKER";
    word.normalState = 0x0001;
    word.validMask = 0x00FF;
    a.digitals = {word};
    a.nominalFrequency = 60;
    a.configCount = 3;
    PmuConfig b;
    b.station = "B";
    b.idCode = 8;
    b.format = 0;  // integer rectangular, integer frequency, integer analogs
    b.phasors = {PhasorChannel{"VB", false, 1000, 0, 1, 0, 1.0f, 0.0f}};
    b.nominalFrequency = 50;
    config.pmus = {a, b};
    return config;
}

TEST(CrcCcitt, CheckValueAndPublishedFrames) {
    const char* text = "123456789";
    EXPECT_EQ(crcCcitt(reinterpret_cast<const uint8_t*>(text), 9), 0x29B1);
    // Command frames: send CFG-2 to IDCODE 7 at SOC 1700000000, and "off".
    const uint8_t sendCfg2[] = {0xAA, 0x41, 0x00, 0x12, 0x00, 0x07, 0x65, 0x53, 0xF1, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05};
    const uint8_t off[] = {0xAA, 0x41, 0x00, 0x12, 0x00, 0x07, 0x61, 0xDF, 0x8D, 0x22, 0x00, 0x00, 0xC4, 0x3E, 0x00, 0x01};
    EXPECT_EQ(crcCcitt(sendCfg2, sizeof sendCfg2), 0xB646);
    EXPECT_EQ(crcCcitt(off, sizeof off), 0x590A);
}

TEST(CommandFrame, EncodesThePublishedBytes) {
    CommandFrame command;
    command.idCode = 7;
    command.time = {1700000000, 0, 0};
    command.command = kCommandSendConfig2;
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(encodeCommandFrame(command, bytes, error));
    const std::vector<uint8_t> expected = {0xAA, 0x41, 0x00, 0x12, 0x00, 0x07, 0x65, 0x53, 0xF1,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0xB6, 0x46};
    EXPECT_EQ(bytes, expected);
    CommandFrame back;
    ASSERT_TRUE(decodeCommandFrame(bytes, back, error)) << error;
    EXPECT_EQ(back.idCode, 7);
    EXPECT_EQ(back.command, kCommandSendConfig2);
}

TEST(ConfigFrame, Cfg2AndCfg3RoundTripEveryField) {
    for (FrameType type : {FrameType::Config1, FrameType::Config2, FrameType::Config3}) {
        SCOPED_TRACE(frameTypeName(type));
        ConfigFrame config = mixedConfig(type);
        if (type == FrameType::Config3) {
            config.pmus[0].globalPmuId[15] = 0x42;
            config.pmus[0].latitude = 47.5f;
            config.pmus[0].windowMicroseconds = 40000;
            config.pmus[0].groupDelayMicroseconds = -20000;
            config.pmus[0].phasors[0].angleOffset = 0.25f;
            config.pmus[0].analogs[0].multiplier = 2.5f;
        } else {
            // Only CFG-3 carries these: leave the defaults, which decode back.
            config.pmus[0].analogs[0].multiplier = 1.0f;
        }
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(encodeConfigFrame(config, bytes, error)) << error;
        EXPECT_EQ(bytes[1], type == FrameType::Config3 ? 0x52 : (static_cast<int>(type) << 4 | 1));
        ConfigFrame back;
        ASSERT_TRUE(decodeConfigFrame(bytes, back, error)) << error;
        EXPECT_EQ(back.type, type);
        EXPECT_EQ(back.idCode, 7);
        EXPECT_EQ(back.time, config.time);
        EXPECT_EQ(back.timeBase, 1000000u);
        EXPECT_EQ(back.dataRate, -5);
        ASSERT_EQ(back.pmus.size(), 2u);
        if (type != FrameType::Config3) {
            // CFG-1/2 carry the integer scales but not the CFG-3 extras.
            EXPECT_EQ(back.pmus[1].phasors[0].integerScale, 1000u);
            EXPECT_EQ(back.pmus[0].analogs[0].userScale, -1234);
        } else {
            // CFG-3 carries no integer scales nor analog kinds: everything
            // else comes back.
            config.pmus[0].analogs[0].kind = 0;
            config.pmus[0].analogs[0].userScale = 0;
            config.pmus[1].phasors[0].integerScale = 0;
        }
        for (size_t k = 0; k < 2; ++k) {
            EXPECT_EQ(back.pmus[k].station, config.pmus[k].station);
            EXPECT_EQ(back.pmus[k].format, config.pmus[k].format);
            EXPECT_EQ(back.pmus[k].nominalFrequency, config.pmus[k].nominalFrequency);
            EXPECT_EQ(back.pmus[k].configCount, config.pmus[k].configCount);
            ASSERT_EQ(back.pmus[k].phasors.size(), config.pmus[k].phasors.size());
            for (size_t i = 0; i < back.pmus[k].phasors.size(); ++i) {
                EXPECT_EQ(back.pmus[k].phasors[i].name, config.pmus[k].phasors[i].name);
                EXPECT_EQ(back.pmus[k].phasors[i].isCurrent, config.pmus[k].phasors[i].isCurrent);
            }
            EXPECT_EQ(back.pmus[k].digitals, config.pmus[k].digitals);
        }
        if (type == FrameType::Config3) {
            EXPECT_EQ(back.pmus, config.pmus);
        }
    }
}

TEST(ConfigFrame, Cfg2NamesArePaddedToSixteenBytes) {
    ConfigFrame config = mixedConfig(FrameType::Config2);
    config.pmus.resize(1);
    config.pmus[0].station = "A NAME LONGER THAN SIXTEEN BYTES";
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(encodeConfigFrame(config, bytes, error));
    EXPECT_EQ(std::string(bytes.begin() + 20, bytes.begin() + 36), "A NAME LONGER TH");
    ConfigFrame back;
    ASSERT_TRUE(decodeConfigFrame(bytes, back, error)) << error;
    EXPECT_EQ(back.pmus[0].station, "A NAME LONGER TH");
    EXPECT_EQ(back.pmus[0].phasors[0].name, "VA");
}

TEST(DataFrame, RoundTripsEveryFormat) {
    const ConfigFrame config = mixedConfig(FrameType::Config2);
    DataFrame data;
    data.idCode = 7;
    data.time = {1700000001, 999999, 0};
    PmuData a;
    a.stat = kStatConfigChange | 0x0003;
    a.phasors = {{230.25, -1.5}, {12.5, 0.75}};
    a.frequency = 59.975;  // absolute, carried as float: no nominal added
    a.rocof = -0.125;
    a.analogs = {1234.5};
    a.digitals = {0xA5A5};
    PmuData b;
    b.phasors = {{100.0, -50.0}};  // rectangular, 0.01 V per bit
    b.frequency = 50.0 - 0.123;    // integer: deviation of -123 mHz
    b.rocof = 1.25;
    data.pmus = {a, b};
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(encodeDataFrame(config, data, bytes, error));
    EXPECT_EQ(bytes.size(), dataFrameSize(config));
    DataFrame back;
    ASSERT_TRUE(decodeDataFrame(bytes, config, back, error)) << error;
    EXPECT_EQ(back.time, data.time);
    EXPECT_EQ(back.pmus[0].stat, a.stat);
    EXPECT_EQ(back.pmus[0].phasors[0].first, static_cast<float>(230.25));
    EXPECT_EQ(back.pmus[0].phasors[1].second, 0.75);
    EXPECT_EQ(back.pmus[0].frequency, static_cast<double>(static_cast<float>(59.975)));
    EXPECT_EQ(back.pmus[0].rocof, -0.125);
    EXPECT_EQ(back.pmus[0].analogs[0], 1234.5);
    EXPECT_EQ(back.pmus[0].digitals[0], 0xA5A5);
    EXPECT_NEAR(back.pmus[1].phasors[0].first, 100.0, 1e-9);
    EXPECT_NEAR(back.pmus[1].phasors[0].second, -50.0, 1e-9);
    EXPECT_NEAR(back.pmus[1].frequency, 49.877, 1e-9);
    EXPECT_NEAR(back.pmus[1].rocof, 1.25, 1e-9);
}

TEST(DataFrame, IntegerFieldsSaturateInsteadOfWrapping) {
    ConfigFrame config = mixedConfig(FrameType::Config2);
    DataFrame data;
    data.idCode = 7;
    data.pmus.resize(2);
    data.pmus[1].phasors = {{1e9, NAN}};
    data.pmus[1].frequency = 50.0 + 40.0;  // beyond +-32.767 Hz of deviation
    data.pmus[1].rocof = -1e6;
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(encodeDataFrame(config, data, bytes, error));
    DataFrame back;
    ASSERT_TRUE(decodeDataFrame(bytes, config, back, error)) << error;
    EXPECT_NEAR(back.pmus[1].phasors[0].first, 327.67, 1e-9);
    EXPECT_EQ(back.pmus[1].phasors[0].second, 0.0);
    EXPECT_NEAR(back.pmus[1].frequency, 50.0 + 32.767, 1e-9);
    EXPECT_NEAR(back.pmus[1].rocof, -327.67, 1e-9);
}

struct TimeCase {
    double seconds;
    uint32_t soc;
    uint32_t fracSec;
    uint8_t quality;
    bool carried;
};

TEST(FrameTime, SecondsToSocAndFracsec) {
    const TimeCase cases[] = {
        {0.0, 0, 0, kTimeQualityLocked, true},
        {0.02, 0, 20000, kTimeQualityLocked, true},
        {1700000000.25, 1700000000, 250000, kTimeQualityLocked, true},
        // A fraction that rounds to a whole second carries into SOC.
        {41.9999996, 42, 0, kTimeQualityLocked, true},
        {4294967295.0, 4294967295u, 0, kTimeQualityLocked, true},
        {-0.001, 0, 0, kTimeQualityClockFailure, false},
        {4294967296.0, 0, 0, kTimeQualityClockFailure, false},
        {NAN, 0, 0, kTimeQualityClockFailure, false},
        {INFINITY, 0, 0, kTimeQualityClockFailure, false},
    };
    for (const TimeCase& c : cases) {
        FrameTime time;
        EXPECT_EQ(frameTimeFromSeconds(c.seconds, 1000000, time), c.carried) << c.seconds;
        EXPECT_EQ(time.soc, c.soc) << c.seconds;
        EXPECT_EQ(time.fracSec, c.fracSec) << c.seconds;
        EXPECT_EQ(time.quality, c.quality) << c.seconds;
    }
    // FRACSEC uses all 24 bits.
    FrameTime time;
    ASSERT_TRUE(frameTimeFromSeconds(0.9999999, kMaxTimeBase, time));
    EXPECT_EQ(time.fracSec, 16777213u);
}

TEST(HeaderFrame, CarriesItsText) {
    HeaderFrame header;
    header.idCode = 3;
    header.text = "free text, any length";
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(encodeHeaderFrame(header, bytes, error));
    EXPECT_EQ(bytes[1], 0x11);
    HeaderFrame back;
    ASSERT_TRUE(decodeHeaderFrame(bytes, back, error)) << error;
    EXPECT_EQ(back.text, header.text);
    EXPECT_EQ(back.idCode, 3);
}

TEST(Encoders, RefuseFramesBeyondFramesize) {
    HeaderFrame header;
    header.text.assign(70000, 'x');
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(encodeHeaderFrame(header, bytes, error));
    EXPECT_NE(error.find("65535"), std::string::npos) << error;
}

}  // namespace
