// Bridges short runs of missing samples in a three-phase stream (a missing
// value in a recording, a lost or invalid frame of a live stream), one
// sample at a time, with no look-ahead, no allocation and constant work per
// sample.
//
// Rule: a missing phase value (NaN or infinite) takes the value of the same
// phase one nominal period earlier (the period in whole samples, nearest),
// itself bridged if it was missing. A steady waveform stays continuous, so
// the filters see no step; an off-nominal or changing one sees a small
// phase error for the length of the gap. A run of missing samples longer
// than the filters' memory is not bridged past that length: the rest of the
// run passes through missing (the measurement then gives NaN, as for any
// missing input), because repeating one cycle for longer would present
// invented data as a measurement.
//
// Marks: the measurement at a sample depends on the inputs of the filters'
// memory before it. A sample is marked when a bridged or missing input lies
// within that memory, i.e. from the first bridged sample until one memory
// span after the last one.
#ifndef ORVANE_IO_GAP_BRIDGE_H
#define ORVANE_IO_GAP_BRIDGE_H

#include <cstddef>
#include <cstdint>
#include <vector>

// The filters' memory: the estimation cascade is two moving-average stages
// of one period each, followed by a one-period frequency smoother, and the
// longest period the block tunes to is that of its lowest tuning frequency,
// 25 Hz (its delay lines hold Fs/25 + 2 samples). 3 x 40 ms.
inline constexpr double kLowestTuningFrequency = 25.0;
inline constexpr double kFilterMemorySeconds = 3.0 / kLowestTuningFrequency;

class GapBridge {
public:
    // `sampleRate` of the stream, `nominalFrequency` of the line (Hz).
    GapBridge(double sampleRate, double nominalFrequency);

    // Bridges the missing values of one sample in place; returns whether the
    // sample is marked.
    bool process(double phase[3]);

    // The nominal period in whole samples (nearest, at least one).
    static std::size_t periodFor(double sampleRate, double nominalFrequency);
    std::size_t periodSamples() const { return period_; }
    std::size_t memorySamples() const { return memory_; }
    // Samples with at least one phase bridged / left missing so far.
    uint64_t bridgedSamples() const { return bridged_; }
    uint64_t unbridgedSamples() const { return unbridged_; }

private:
    std::size_t period_;
    std::size_t memory_;
    std::vector<double> history_;  // the last period_ samples, 3 a sample
    std::size_t at_ = 0;           // slot of the sample one period back
    std::size_t run_ = 0;          // consecutive samples with a missing phase
    std::size_t sinceMark_;        // samples since the last bridged or missing one
    uint64_t bridged_ = 0;
    uint64_t unbridged_ = 0;
};

#endif  // ORVANE_IO_GAP_BRIDGE_H
