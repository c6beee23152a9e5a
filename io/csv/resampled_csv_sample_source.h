// A sample CSV at a rate no build has, brought to a build's rate: the whole
// file is read (its spacing checked against its own rate), the three phases
// are resampled as one stream, and each output sample takes the
// configuration columns of the input row at or before its instant. Time
// starts at the first row's and steps by the build's period.
#ifndef ORVANE_IO_CSV_RESAMPLED_CSV_SAMPLE_SOURCE_H
#define ORVANE_IO_CSV_RESAMPLED_CSV_SAMPLE_SOURCE_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "io/csv/csv_sample_source.h"
#include "io/sample_source.h"

class ResampledCsvSampleSource : public SampleSource {
public:
    // Null, with `error` set, when the file is bad, its time is not one
    // continuous run, or it has missing values and `bridgeGaps` is off
    // (resampling would smear them over their neighbours).
    static std::unique_ptr<ResampledCsvSampleSource> open(const std::string& path, const CsvReadOptions& options,
                                                    double fileRate, double buildRate, bool bridgeGaps,
                                                    std::string& error);

    const std::string& name() const override { return path_; }
    std::optional<uint64_t> sampleCount() const override { return phases_.size() / 3; }
    Status next(ModelInputs& in) override;
    const std::string& error() const override { return error_; }
    // The gap bridge's mark: the sample rests on bridged or missing input.
    ReportQuality sampleQuality() const override { return quality_; }

private:
    std::string path_;
    std::string error_;
    double fileRate_ = 0.0;
    double buildRate_ = 0.0;
    double startTime_ = 0.0;
    // The configuration columns where they change: (first row, its values).
    std::vector<std::pair<std::size_t, ModelInputs>> ports_;
    std::size_t portsAt_ = 0;
    std::size_t rows_ = 0;
    std::vector<ReportQuality> rowQuality_;  // each input row's word
    std::vector<double> phases_;  // resampled, interleaved a, b, c
    std::size_t next_ = 0;
    ReportQuality quality_ = 0;
};

#endif  // ORVANE_IO_CSV_RESAMPLED_CSV_SAMPLE_SOURCE_H
