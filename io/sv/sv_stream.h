// One sampled-values stream read from a capture: frames decoded, the stream
// picked out by svID, APPID or source MAC (the first one seen when none is
// given), its three phases read and its samples brought back into order
// with the gaps and unusable samples flagged.
#ifndef ORVANE_IO_SV_SV_STREAM_H
#define ORVANE_IO_SV_SV_STREAM_H

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "io/sv/packet_capture.h"
#include "io/sv/sv_continuity.h"
#include "io/sv/sv_data_set.h"
#include "io/sv/sv_frame.h"

// "01:0c:cd:04:00:01" (or with '-'); false when not six hex bytes.
bool parseMacAddress(const std::string& text, MacAddress& mac);
std::string formatMacAddress(const MacAddress& mac);

// Which stream to take; every field given must match.
struct SvSelector {
    std::optional<std::string> svId;
    std::optional<uint16_t> appId;
    std::optional<MacAddress> source;

    bool matches(const SvFrame& frame, const SvAsdu& asdu) const;
};

// Malformed frames by kind, with where the first of each kind was.
struct SvMalformedCounts {
    std::array<uint64_t, kSvFaultKinds> count{};
    std::array<uint64_t, kSvFaultKinds> firstPacket{};  // 1-based packet number
    std::array<std::size_t, kSvFaultKinds> firstOffset{};

    uint64_t total() const;
    // One line per kind seen: "N malformed frames skipped: WHY (first:
    // packet P, byte B)".
    std::vector<std::string> describe() const;
    // Counts one; true when it is the first of its kind.
    bool note(SvFault fault, uint64_t packet, std::size_t offset);
};

struct SvStreamOptions {
    SvSelector select;
    SvDataSet dataSet;
    uint32_t rate = 0;  // 0: found from the stream
    std::size_t reorderWindow = kDefaultReorderWindow;
};

class SvStreamReader {
public:
    enum class Status { Sample, Timeout, End, Error };

    SvStreamReader(PacketReader& packets, const SvStreamOptions& options);

    // The next sample of the stream in index order; Timeout when a live
    // capture had nothing for a while; End when the capture ended; Error
    // with error() set (a capture failure, or a stream without the chosen
    // channels).
    Status next(SvSample& sample);
    const std::string& error() const { return error_; }

    // Known once the first sample has come out.
    uint32_t rate() const { return continuity_.rate(); }
    bool rateEstimated() const { return continuity_.rateEstimated(); }
    const SvContinuityCounts& counts() const { return continuity_.counts(); }
    // Samples whose phases' quality words say invalid, questionable, test.
    const SvQualityCounts& quality() const { return quality_; }
    const SvMalformedCounts& malformed() const { return malformed_; }
    // Frames of other streams (or not matching the selection) passed over.
    uint64_t otherFrames() const { return otherFrames_; }
    // The stream taken: svID, APPID and source, once its first frame came.
    const std::optional<std::string>& svId() const { return svId_; }
    uint16_t appId() const { return appId_; }
    const MacAddress& source() const { return source_; }
    // Every kind of malformed frame seen since the last call, once each:
    // callers print one line per kind.
    std::optional<SvFault> newFaultKind();
    PacketReader& packets() { return packets_; }
    // Capture time of the newest frame read, of any stream.
    const SvClock& lastCapture() const { return lastCapture_; }

private:
    void take(const CapturedPacket& packet);

    PacketReader& packets_;
    SvStreamOptions options_;
    SvContinuity continuity_;
    SvMalformedCounts malformed_;
    SvQualityCounts quality_;
    std::array<bool, kSvFaultKinds> announced_{};
    std::deque<SvSample> ready_;
    SvFrame frame_;
    uint64_t packetNumber_ = 0;
    uint64_t otherFrames_ = 0;
    SvClock lastCapture_;
    std::optional<std::string> svId_;
    uint16_t appId_ = 0;
    MacAddress source_{};
    bool ended_ = false;
    std::string error_;
};

#endif  // ORVANE_IO_SV_SV_STREAM_H
