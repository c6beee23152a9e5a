// Configuration frames: CFG-1 and CFG-2 (one layout, fixed 16-byte names)
// and CFG-3 (length-prefixed names, scaling as floats, location, service
// class, window and group delay). One record serves all three; the CFG-1/2
// encoder ignores what only CFG-3 carries and its decoder leaves those
// fields at their defaults.
#ifndef ORVANE_IO_C37118_CONFIG_FRAME_H
#define ORVANE_IO_C37118_CONFIG_FRAME_H

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "io/c37118/frame_common.h"

// FORMAT word of a PMU block.
inline constexpr uint16_t kFormatFrequencyFloat = 0x0008;  // FREQ/DFREQ float32, else int16
inline constexpr uint16_t kFormatAnalogFloat = 0x0004;     // analogs float32, else int16
inline constexpr uint16_t kFormatPhasorFloat = 0x0002;     // phasors float32, else int16
inline constexpr uint16_t kFormatPolar = 0x0001;           // phasors polar, else rectangular

// Phasor component code of a CFG-3 phasor type byte (bits 2..0).
inline constexpr uint8_t kPhasorZeroSequence = 0;
inline constexpr uint8_t kPhasorPositiveSequence = 1;
inline constexpr uint8_t kPhasorNegativeSequence = 2;

struct PhasorChannel {
    std::string name;
    bool isCurrent = false;
    // CFG-1/2 PHUNIT: 10^-5 V or A per bit of an integer phasor (24 bits).
    uint32_t integerScale = 0;
    // CFG-3 PHSCALE.
    uint16_t modificationFlags = 0;
    uint8_t component = kPhasorPositiveSequence;
    uint8_t userByte = 0;
    float scale = 1.0f;
    float angleOffset = 0.0f;  // rad

    bool operator==(const PhasorChannel&) const = default;
};

struct AnalogChannel {
    std::string name;
    uint8_t kind = 0;       // ANUNIT byte 0: 0 point-on-wave, 1 RMS, 2 peak
    int32_t userScale = 0;  // ANUNIT bytes 1..3, signed 24 bits
    float multiplier = 1.0f;  // CFG-3 ANSCALE: value = multiplier * raw + offset
    float offset = 0.0f;

    bool operator==(const AnalogChannel&) const = default;
};

// One 16-bit digital status word and the labels of its bits (bit 0 first).
struct DigitalWord {
    std::array<std::string, 16> labels;
    uint16_t normalState = 0;
    uint16_t validMask = 0xFFFF;

    bool operator==(const DigitalWord&) const = default;
};

struct PmuConfig {
    std::string station;
    uint16_t idCode = 1;
    uint16_t format = kFormatFrequencyFloat | kFormatAnalogFloat | kFormatPhasorFloat | kFormatPolar;
    std::vector<PhasorChannel> phasors;
    std::vector<AnalogChannel> analogs;
    std::vector<DigitalWord> digitals;
    int nominalFrequency = 50;  // 50 or 60: all FNOM can say
    uint16_t configCount = 0;   // CFGCNT
    // CFG-3 only.
    std::array<uint8_t, 16> globalPmuId{};
    float latitude = std::numeric_limits<float>::infinity();  // degrees; infinity: unknown
    float longitude = std::numeric_limits<float>::infinity();
    float elevation = std::numeric_limits<float>::infinity();  // m
    char serviceClass = 'P';
    int32_t windowMicroseconds = 0;
    int32_t groupDelayMicroseconds = 0;

    bool operator==(const PmuConfig&) const = default;
};

struct ConfigFrame {
    FrameType type = FrameType::Config2;  // Config1, Config2 or Config3
    uint16_t idCode = 1;
    FrameTime time;
    uint8_t timeBaseFlags = 0;  // TIME_BASE byte 0, reserved
    uint32_t timeBase = 1000000;
    std::vector<PmuConfig> pmus;
    // >0 frames per second; <0 seconds per frame, negated.
    int16_t dataRate = 50;
    uint16_t continuationIndex = 0;  // CFG-3 CONT_IDX; 0: the only frame
};

// Encodes a CFG-1, CFG-2 or CFG-3 frame by `config.type`. False, with
// `error` set, when the frame would exceed 65535 bytes.
bool encodeConfigFrame(const ConfigFrame& config, std::vector<uint8_t>& out, std::string& error);

// Decodes a CFG-1, CFG-2 or CFG-3 frame. False, with the reason in `error`,
// for a frame that fails its check, is of another type, ends inside a
// field, or holds bytes beyond DATA_RATE.
bool decodeConfigFrame(std::span<const uint8_t> frame, ConfigFrame& config, std::string& error);

// Bytes of one PMU's block in a data frame under this configuration.
size_t dataBlockSize(const PmuConfig& pmu);
// Bytes of a whole data frame under this configuration.
size_t dataFrameSize(const ConfigFrame& config);

#endif  // ORVANE_IO_C37118_CONFIG_FRAME_H
