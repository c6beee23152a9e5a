// Data frames: one block per PMU of the configuration, in its order, each
// STAT, phasors, FREQ, DFREQ, analogs and digital words in the formats the
// configuration's FORMAT word sets. Values here are engineering values: V or
// A, radians, hertz (absolute, whichever way the frame carries it) and hertz
// per second.
#ifndef ORVANE_IO_C37118_DATA_FRAME_H
#define ORVANE_IO_C37118_DATA_FRAME_H

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/c37118/config_frame.h"
#include "io/c37118/frame_common.h"

// STAT word.
inline constexpr uint16_t kStatDataErrorMask = 0xC000;
// Data error 10: test mode or absent data tags inserted, do not use.
inline constexpr uint16_t kStatDataDoNotUse = 0x8000;
inline constexpr uint16_t kStatNotSynchronised = 0x2000;
inline constexpr uint16_t kStatSortedByArrival = 0x1000;
inline constexpr uint16_t kStatTriggerDetected = 0x0800;
inline constexpr uint16_t kStatConfigChange = 0x0400;
inline constexpr uint16_t kStatDataModified = 0x0200;
inline constexpr uint16_t kStatTimeQualityMask = 0x01C0;
inline constexpr uint16_t kStatUnlockedTimeMask = 0x0030;
inline constexpr uint16_t kStatTriggerReasonMask = 0x000F;

// A phasor in the notation of its PMU's FORMAT: polar (magnitude, angle in
// rad) or rectangular (real, imaginary).
struct PhasorValue {
    double first = 0.0;
    double second = 0.0;
};

struct PmuData {
    uint16_t stat = 0;
    std::vector<PhasorValue> phasors;
    double frequency = 0.0;  // Hz, absolute
    double rocof = 0.0;      // Hz/s
    std::vector<double> analogs;
    std::vector<uint16_t> digitals;
};

struct DataFrame {
    uint16_t idCode = 1;
    FrameTime time;
    std::vector<PmuData> pmus;
};

// Encodes `data` in the layout of `config`: its PMU count, channel counts
// and formats decide the bytes (missing values are written as zero).
// Integer fields take the nearest value their range holds. False, with
// `error` set, when the frame would exceed 65535 bytes.
bool encodeDataFrame(const ConfigFrame& config, const DataFrame& data, std::vector<uint8_t>& out, std::string& error);

// Decodes a data frame under `config`. False, with the reason in `error`,
// for a frame that fails its check, is of another type, names another
// IDCODE, or whose size differs from what the configuration describes.
bool decodeDataFrame(std::span<const uint8_t> frame, const ConfigFrame& config, DataFrame& data, std::string& error);

#endif  // ORVANE_IO_C37118_DATA_FRAME_H
