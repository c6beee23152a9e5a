// The samples of a recording at a build's sample rate, one at a time: each
// sampling-rate section at that rate passes through untouched (bit for bit);
// any other section is resampled, with its output instants starting at the
// section's first sample and spaced by the build's period.
//
// A recording of several sections not all at the build's rate (a
// frequency-tracking recorder writes a new rate every cycle or so) is
// instead taken as one stream on its true sample times: every output
// instant, k build periods after the first sample, is interpolated by the
// cubic through the four samples around it, so that no section boundary
// leaves a mark.
#ifndef ORVANE_IO_COMTRADE_BUILD_RATE_SAMPLES_H
#define ORVANE_IO_COMTRADE_BUILD_RATE_SAMPLES_H

#include <cstddef>
#include <memory>
#include <vector>

#include "io/comtrade/comtrade_recording.h"
#include "io/resample/resampler.h"

// The recording's samples in order, phases a, b, c interleaved, a block at a
// time: from memory, or read from the file as the run goes.
class PhaseBlocks {
public:
    virtual ~PhaseBlocks() = default;
    // Up to `frames` samples into `abc`; how many, 0 at the end.
    virtual std::size_t read(double* abc, std::size_t frames) = 0;
};

// The first missing value of a section: its phase (0..2, the lowest with
// one) and its sample index in the recording.
struct SectionGap {
    std::size_t section = 0;
    std::size_t phase = 0;
    std::size_t index = 0;
};

class BuildRateSamples {
public:
    // Throws ComtradeError when a section that must be resampled has a
    // missing value (resampling would smear it over its neighbours): `gaps`
    // lists the first of each section that has one, in section order.
    BuildRateSamples(const ComtradeRecording& recording, double sampleRate, std::unique_ptr<PhaseBlocks> blocks,
                     const std::vector<SectionGap>& gaps);
    // The samples held in `recording.phases`.
    BuildRateSamples(const ComtradeRecording& recording, double sampleRate);

    // The next sample's phases a, b, c and its `Time`; false at the end.
    // Throws std::runtime_error when the data cannot be read.
    bool next(double phase[3], double& time);
    // The recording's sample at or before the instant of the sample last
    // yielded.
    std::size_t sourceIndex() const { return sourceIndex_; }
    // How many samples next() yields in all.
    std::size_t total() const { return total_; }
    // True when no section needs resampling.
    bool passesThrough() const { return passesThrough_; }

    // The first missing value of each section held in `recording.phases`.
    static std::vector<SectionGap> gapsIn(const ComtradeRecording& recording);

private:
    static constexpr std::size_t kBlock = 4096;
    static constexpr std::size_t kWindow = 8;  // a power of two above 4

    bool atRate(const SampleSection& s) const;
    bool nextOnTimes(double phase[3], double& time);
    void openSection();
    void refill();
    // The next recording sample; throws when the data ends early.
    void take(double* abc);
    // Loads samples into the interpolation window up to index k.
    void loadUpTo(std::size_t k);

    const ComtradeRecording& rec_;
    double fs_;
    std::unique_ptr<PhaseBlocks> blocks_;
    std::vector<double> block_;
    std::size_t blockAt_ = 0, blockLength_ = 0;

    std::size_t total_ = 0;
    bool passesThrough_ = true;

    std::size_t section_ = 0;
    std::size_t index_ = 0;     // output sample within the section
    std::size_t expected_ = 0;  // output samples of the section
    // Resampling state of the current section.
    std::unique_ptr<Resampler> resampler_;
    std::size_t fed_ = 0;  // input samples of the section handed over
    std::vector<double> staging_;
    std::vector<double> ready_;  // interleaved output not yet taken
    std::size_t readyAt_ = 0;
    std::size_t sourceIndex_ = 0;
    // One-stream interpolation on the sample times (s from the first): the
    // last few samples and their times, slot k % kWindow for sample k.
    bool onTimes_ = false;
    std::size_t count_ = 0;   // samples of the recording
    std::size_t loaded_ = 0;  // samples taken into the window
    std::size_t timeSection_ = 0, timeIndex_ = 0;  // of the next sample to load
    double windowTimes_[kWindow] = {};
    double windowValues_[kWindow][3] = {};
    double lastTime_ = 0.0;
    std::size_t produced_ = 0;
};

#endif  // ORVANE_IO_COMTRADE_BUILD_RATE_SAMPLES_H
