// What every synchrophasor frame shares: the 14-byte common header (SYNC,
// FRAMESIZE, IDCODE, SOC, time quality, FRACSEC) and the 2-byte CRC at the
// end. Encoders build the body after a placeholder header and seal the
// frame; decoders check the frame as a whole before reading its body.
#ifndef ORVANE_IO_C37118_FRAME_COMMON_H
#define ORVANE_IO_C37118_FRAME_COMMON_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum class FrameType : uint8_t {
    Data = 0,
    Header = 1,
    Config1 = 2,
    Config2 = 3,
    Command = 4,
    Config3 = 5,
};

const char* frameTypeName(FrameType type);

inline constexpr uint8_t kSyncLeadByte = 0xAA;
inline constexpr size_t kCommonHeaderSize = 14;
inline constexpr size_t kCheckSize = 2;
inline constexpr size_t kMinimumFrameSize = kCommonHeaderSize + kCheckSize;
// Frames of the 2005 edition carry version 1; CFG-3 only exists in the 2011
// edition and is sent as version 2.
inline constexpr uint8_t kVersion2005 = 1;
inline constexpr uint8_t kVersion2011 = 2;

// Time-quality byte: leap-second flags in bits 6..4, clock quality in 3..0.
inline constexpr uint8_t kLeapSecondDeleteFlag = 0x40;
inline constexpr uint8_t kLeapSecondOccurredFlag = 0x20;
inline constexpr uint8_t kLeapSecondPendingFlag = 0x10;
inline constexpr uint8_t kTimeQualityLocked = 0x0;
inline constexpr uint8_t kTimeQualityClockFailure = 0xF;

// A timestamp as frames carry it: whole seconds since 1970-01-01 UTC, the
// fraction as a count of 1/timeBase seconds, and the time-quality byte.
struct FrameTime {
    uint32_t soc = 0;
    uint32_t fracSec = 0;  // 24 bits
    uint8_t quality = kTimeQualityLocked;

    bool operator==(const FrameTime&) const = default;
};

struct FrameHeader {
    FrameType type = FrameType::Data;
    uint8_t version = kVersion2005;
    uint16_t frameSize = 0;
    uint16_t idCode = 0;
    FrameTime time;
};

// Appends a common header with FRAMESIZE still zero.
void beginFrame(std::vector<uint8_t>& out, FrameType type, uint8_t version, uint16_t idCode, const FrameTime& time);
// Writes FRAMESIZE and appends the CRC. False when the frame would exceed
// the 65535 bytes that FRAMESIZE can express.
bool sealFrame(std::vector<uint8_t>& out);

// Checks SYNC, version, FRAMESIZE against the bytes given and the CRC, and
// reads the common header. The reason for a refusal names the field and the
// values found.
bool checkFrame(std::span<const uint8_t> frame, FrameHeader& header, std::string& error);
// The type a frame's second SYNC byte announces, or false for a byte that
// names none (a reserved bit set or an unknown type).
bool frameTypeOf(uint8_t syncSecondByte, FrameType& type);

// The body of a checked frame: everything between the common header and CHK.
std::span<const uint8_t> frameBody(std::span<const uint8_t> frame);

#endif  // ORVANE_IO_C37118_FRAME_COMMON_H
