// A COMTRADE recording as the samples of a run: the three phase channels at
// the build's sample rate (resampled when the recording is at another rate),
// `Time` in seconds since UTC midnight of the recording's start day, and
// the configuration ports the same in every sample.
#ifndef ORVANE_IO_COMTRADE_COMTRADE_SAMPLE_SOURCE_H
#define ORVANE_IO_COMTRADE_COMTRADE_SAMPLE_SOURCE_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "io/comtrade/build_rate_samples.h"
#include "io/comtrade/comtrade_recording.h"
#include "io/sample_source.h"

class ComtradeSampleSource : public SampleSource {
public:
    // Reads through and checks the whole recording before any sample is
    // handed out; keeps none of its samples (they are read again as the
    // run goes).
    // Null, with `error` set ("FILE:LINE: field N (NAME): what"), when it
    // cannot be read.
    static std::unique_ptr<ComtradeSampleSource> open(const std::string& path, const ComtradeReadOptions& options,
                                                      std::string& error);

    // Fixes the build's sample rate and the configuration ports (`ports`'
    // phases and time are replaced per sample). Missing values are bridged
    // first (see GapBridge, at the recording's rate and the ports' nominal
    // frequency), and the samples whose measurement rests on them marked;
    // a recording with missing values is read through once more for this.
    // False, with `error` set, when the recording cannot be brought to that
    // rate.
    bool prepare(double sampleRate, const ModelInputs& ports, std::string& error);

    const ComtradeRecording& recording() const { return recording_; }

    const std::string& name() const override { return recording_.path; }
    std::optional<uint64_t> sampleCount() const override;
    std::optional<double> fractionConsumed() const override;
    Status next(ModelInputs& in) override;
    const std::string& error() const override { return error_; }
    // The gap bridge's mark: the sample rests on bridged or missing input.
    ReportQuality sampleQuality() const override { return quality_; }
    // The one-line warning about bridged gaps (no line end), or empty.
    const std::string& gapWarning() const { return gapWarning_; }

private:
    explicit ComtradeSampleSource(ComtradeRecording recording) : recording_(std::move(recording)) {}
    std::vector<SectionGap> scanGaps(double nominalFrequency);
    ReportQuality qualityAt(std::size_t index);

    ComtradeRecording recording_;
    std::unique_ptr<BuildRateSamples> samples_;
    ModelInputs ports_;
    uint64_t delivered_ = 0;
    // Recording samples marked, as runs [first, end) in order.
    // Runs of source samples with one word: [first, end) and the word.
    struct QualityRun {
        std::size_t first;
        std::size_t end;
        ReportQuality word;
    };
    std::vector<QualityRun> marks_;
    std::size_t markAt_ = 0;  // the run at or after the last index asked
    ReportQuality quality_ = 0;
    std::string gapWarning_;
    std::string error_;
};

#endif  // ORVANE_IO_COMTRADE_COMTRADE_SAMPLE_SOURCE_H
