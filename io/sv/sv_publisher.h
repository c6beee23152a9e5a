// The merging unit's side: samples of every channel, in physical units,
// quantised to counts and sent as sampled-values frames, stamped at the
// instant of each frame's last sample. For testing subscribers it can lose,
// duplicate and reorder frames on purpose (a seeded draw, so runs repeat).
#ifndef ORVANE_IO_SV_SV_PUBLISHER_H
#define ORVANE_IO_SV_SV_PUBLISHER_H

#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "io/sv/packet_capture.h"
#include "io/sv/sv_data_set.h"
#include "io/sv/sv_frame.h"

struct SvPublisherOptions {
    uint32_t rate = 4000;            // samples per second: 80 per cycle at 50 Hz
    std::size_t asdusPerFrame = 1;
    std::string svId = "ORVANE_MU01";
    SvLinkFields link;               // MACs, VLAN tag, APPID
    uint8_t smpSynch = 2;            // globally synchronised
    uint32_t confRev = 1;
    bool sendSmpRate = false;
    bool sendRefreshTime = false;
    std::size_t channels = 8;
    std::vector<double> scale;       // per channel; empty: the default data set's
    int64_t latencyNanoseconds = 0;  // frame stamp after its last sample

    double loseFraction = 0.0;       // of frames, dropped
    double duplicateFraction = 0.0;  // of frames, sent twice
    double reorderFraction = 0.0;    // of frames, sent after the next one
    uint64_t seed = 1;
    // One outage: the frames whose first sample is sample dropFrom ..
    // dropFrom + dropSamples - 1 (counted from 0) are not sent.
    uint64_t dropFrom = 0;
    uint64_t dropSamples = 0;
};

// One sample of every channel of `set`'s layout from three phase values:
// the phases on their channels, the default data set's neutral voltage UN
// as their residual sum (zero for a balanced set), the rest zero.
void svChannelsFromPhases(const double phase[3], const SvDataSet& set, std::span<double> channels);

struct SvPublisherCounts {
    uint64_t samples = 0;
    uint64_t framesWritten = 0;
    uint64_t framesLost = 0;
    uint64_t samplesLost = 0;
    uint64_t framesDuplicated = 0;
    uint64_t framesReordered = 0;
    uint64_t framesDropped = 0;  // in the outage
    uint64_t samplesDropped = 0;
};

class SvPublisher {
public:
    // False, with `error` naming the option, for options no frame can carry:
    // a rate outside 1..65535 (smpCnt is 16 bits), 1..255 ASDUs per frame,
    // no channels, an empty svID, fault fractions outside 0..1 or adding up
    // to more than 1.
    static bool check(const SvPublisherOptions& options, std::string& error);

    // The first sample is smpCnt `firstSample` (below the rate) of second
    // `startSecond` (since 1970).
    SvPublisher(const SvPublisherOptions& options, PacketWriter& out, int64_t startSecond, uint64_t firstSample = 0);

    // One sample of every channel (options.channels values). A value is
    // rounded to the nearest count and held within the 32-bit range.
    // `qualities`: one word per channel, or empty for all good. False, with
    // error() set, when the writer fails.
    bool push(std::span<const double> values, std::span<const uint32_t> qualities = {});
    // Sends what a last, partly filled frame holds, and any held frame.
    bool finish();

    const SvPublisherCounts& counts() const { return counts_; }
    const std::string& error() const { return error_; }
    // The count a value becomes on channel `c`.
    int32_t quantise(double value, std::size_t c) const;

private:
    bool sendFrame();
    bool write(const std::vector<uint8_t>& frame, const SvClock& stamp);
    double draw();

    SvPublisherOptions options_;
    PacketWriter& out_;
    int64_t startSecond_;
    uint64_t firstSample_ = 0;
    uint64_t sampleNumber_ = 0;  // samples pushed
    std::mt19937_64 random_;
    std::vector<int32_t> values_;     // asdusPerFrame x channels
    std::vector<uint32_t> qualities_;
    std::vector<uint16_t> counts16_;  // smpCnt per ASDU
    std::size_t filled_ = 0;
    SvClock lastStamp_;
    std::vector<uint8_t> frame_;
    std::optional<std::pair<std::vector<uint8_t>, SvClock>> held_;  // a frame to send after the next
    SvPublisherCounts counts_;
    std::string error_;
};

#endif  // ORVANE_IO_SV_SV_PUBLISHER_H
