// Sampled-values frames on Ethernet: the link header (optionally 802.1Q
// tagged), the APPID header and the BER-encoded savPdu with its ASDUs, one
// sample of every channel per ASDU. The decoder keeps views into the frame's
// bytes (nothing is copied), so a decoded frame lives only as long as them.
#ifndef ORVANE_IO_SV_SV_FRAME_H
#define ORVANE_IO_SV_SV_FRAME_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

using MacAddress = std::array<uint8_t, 6>;

constexpr uint16_t kSvEtherType = 0x88BA;
constexpr uint16_t kVlanTagType = 0x8100;
constexpr std::size_t kSvChannelBytes = 8;  // INT32 value + 32-bit quality word

// refrTm: seconds since 1970 and a 24-bit binary fraction of the second.
struct SvRefreshTime {
    uint32_t seconds = 0;
    uint32_t fraction = 0;  // units of 2^-24 s
    uint8_t quality = 0;
};

struct SvAsdu {
    std::string_view svId;
    std::string_view dataSet;  // empty when absent
    uint16_t smpCnt = 0;
    uint32_t confRev = 0;
    std::optional<SvRefreshTime> refreshTime;
    uint8_t smpSynch = 0;  // 0 none, 1 local clock, 2 global clock
    std::optional<uint16_t> smpRate;
    std::span<const uint8_t> seqData;  // kSvChannelBytes per channel

    std::size_t channels() const { return seqData.size() / kSvChannelBytes; }
    int32_t value(std::size_t channel) const;
    uint32_t quality(std::size_t channel) const;
};

struct SvFrame {
    MacAddress destination{};
    MacAddress source{};
    std::optional<uint16_t> vlanId;  // with the tag's priority below
    uint8_t vlanPriority = 0;
    uint16_t appId = 0;
    bool simulated = false;  // reserved-1 bit 15
    std::vector<SvAsdu> asdus;
};

// Why a frame was refused. Kinds, not messages, so that a caller can count
// them and print each kind once.
enum class SvFault : uint8_t {
    Truncated,        // a header or a BER element runs past the frame's end
    BadLength,        // the APDU length field is below its own header
    BadBerLength,     // indefinite or over-long BER length form
    BadTag,           // multi-byte tag, or not the savPdu where it must be
    AsduCount,        // noASDU missing, zero, or not the number of ASDUs found
    MissingField,     // svID, smpCnt, confRev, smpSynch or seqData absent
    FieldSize,        // a fixed-size field of the wrong size
    SeqDataSize,      // seqData not whole value-and-quality pairs
};
constexpr std::size_t kSvFaultKinds = 8;
// One line that names the fault for people.
const char* svFaultText(SvFault fault);

enum class SvDecode { Frame, NotSampledValues, Malformed };

// Decodes one Ethernet frame (without the frame check sequence; padding
// after the APDU is ignored). NotSampledValues for any other EtherType;
// Malformed with `fault` and the byte `offset` where the decoder stopped.
SvDecode decodeSvFrame(std::span<const uint8_t> bytes, SvFrame& frame, SvFault& fault, std::size_t& offset);

// What the encoder needs for one ASDU.
struct SvAsduFields {
    std::string_view svId;
    std::string_view dataSet;  // left out when empty
    uint16_t smpCnt = 0;
    uint32_t confRev = 1;
    std::optional<SvRefreshTime> refreshTime;
    uint8_t smpSynch = 0;
    std::optional<uint16_t> smpRate;
    std::span<const int32_t> values;
    std::span<const uint32_t> qualities;  // as many as values; empty = all good
};

struct SvLinkFields {
    MacAddress destination{0x01, 0x0C, 0xCD, 0x04, 0x00, 0x00};
    MacAddress source{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    std::optional<uint16_t> vlanId;
    uint8_t vlanPriority = 4;
    uint16_t appId = 0x4000;
    bool simulated = false;
    // Every BER length in the two-byte long form (0x82 hi lo), which a
    // decoder must accept as readily as the short one.
    bool longLengths = false;
};

// Replaces `out` with one Ethernet frame carrying `asdus`.
void encodeSvFrame(const SvLinkFields& link, std::span<const SvAsduFields> asdus, std::vector<uint8_t>& out);

#endif  // ORVANE_IO_SV_SV_FRAME_H
