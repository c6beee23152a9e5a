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

class BuildRateSamples {
public:
    // Throws ComtradeError when a section that must be resampled has a
    // missing value (resampling would smear it over its neighbours).
    BuildRateSamples(const ComtradeRecording& recording, double sampleRate);

    // The next sample's phases a, b, c and its `Time`; false at the end.
    bool next(double phase[3], double& time);
    // The recording's sample at or before the instant of the sample last
    // yielded.
    std::size_t sourceIndex() const { return sourceIndex_; }
    // How many samples next() yields in all.
    std::size_t total() const { return total_; }
    // True when no section needs resampling.
    bool passesThrough() const { return passesThrough_; }

private:
    bool atRate(const SampleSection& s) const;
    bool nextOnTimes(double phase[3], double& time);
    void openSection();
    void refill();

    const ComtradeRecording& rec_;
    double fs_;
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
    // One-stream interpolation on the sample times (s from the first).
    bool onTimes_ = false;
    std::vector<double> times_;
    std::size_t produced_ = 0;
};

#endif  // ORVANE_IO_COMTRADE_BUILD_RATE_SAMPLES_H
