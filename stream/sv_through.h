// The whole instrument offline: a signal quantised and framed as
// sampled values by the merging unit's publisher, kept in memory, taken in
// by the live PMU's own road (stream continuity, gap bridging, resampling to
// the build's rate where the rates differ, the block, the quality word, the
// report framing with its STAT), each report encoded as a C37.118.2 data
// frame and decoded by the PDC's session. Deterministic: no clock, no file,
// no socket; faults in the sampled-values stream come from a seeded draw.
#ifndef ORVANE_STREAM_SV_THROUGH_H
#define ORVANE_STREAM_SV_THROUGH_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/block_driver.h"
#include "io/c37118/data_frame.h"
#include "io/sv/packet_tape.h"
#include "io/sv/sv_publisher.h"
#include "signals/three_phase_signal.h"

// The merging unit's default rate for a nominal frequency: 80 samples per
// cycle, 4000 Hz at 50 Hz and 4800 Hz at 60 Hz.
uint32_t defaultSvRate(double nominalFrequency);

struct SvThroughSettings {
    std::string buildTag = "10k";  // the build the PMU runs
    std::string modelName;         // in the stream's header
    double nominalFrequency = 50.0;
    int reportRate = 50;
    // The merging unit: its rate, the faults it puts into the stream
    // (lost, duplicated, reordered frames) and their seed. The phases go
    // out on the voltage channels at the default data set's 10 mV a count.
    SvPublisherOptions publisher;
};

// Totals over every run of a road.
struct SvThroughCounts {
    SvPublisherCounts published;
    uint64_t lost = 0;        // samples the PMU found missing
    uint64_t duplicated = 0;  // and taken twice
    uint64_t reordered = 0;
    uint64_t bridged = 0;     // samples the gap bridge filled
    uint64_t restarts = 0;    // fresh starts of the block after long gaps
    uint64_t frames = 0;      // data frames the PDC decoded
    uint64_t flaggedFrames = 0;  // of them with the block flagged "do not use"
};

// Hears each data frame as the PDC decoded it, with its time base and the
// stamp (s since 1970) of the newest sampled-values frame the PMU had read
// when the data frame was made.
using SvThroughReceiver = std::function<void(const DataFrame& frame, uint32_t timeBase, double newestInput)>;

class SvThroughRoad {
public:
    explicit SvThroughRoad(SvThroughSettings settings) : settings_(std::move(settings)) {}

    // `signal` from `start` to `end` (s since 1970, samples while time <
    // end) through the instrument, with `driver` (not yet started) as its
    // block. False, with `error` set, when a piece of the road refuses.
    bool run(const ThreePhaseSignalParameters& signal, double start, double end, BlockDriver& driver,
             const SvThroughReceiver& received, std::string& error);

    const SvThroughSettings& settings() const { return settings_; }
    const SvThroughCounts& counts() const { return counts_; }
    // Whether the stream's rate differed from the build's (known after a run).
    bool resampled() const { return resampled_; }

private:
    SvThroughSettings settings_;
    SvThroughCounts counts_;
    bool resampled_ = false;
    PacketTape tape_;  // reused from run to run
    std::vector<double> channels_;
    std::vector<uint8_t> frame_;
};

#endif  // ORVANE_STREAM_SV_THROUGH_H
