#include "io/csv/resampled_csv_sample_source.h"

#include <cmath>
#include <stdexcept>

#include "io/csv/csv_sample_source.h"
#include "io/resample/resampler.h"

namespace {

bool samePorts(const ModelInputs& a, const ModelInputs& b) {
    for (int k = 0; k < 3; ++k) {
        if (a.magnitudeCoeffs[k] != b.magnitudeCoeffs[k] || a.phaseCoeffs[k] != b.phaseCoeffs[k]) return false;
    }
    return a.reportRate == b.reportRate && a.nominalFrequency == b.nominalFrequency && a.reportMode == b.reportMode;
}

}  // namespace

std::unique_ptr<ResampledCsvSampleSource> ResampledCsvSampleSource::open(const std::string& path, const CsvReadOptions& options,
                                                             double fileRate, double buildRate, bool bridgeGaps,
                                                             std::string& error) {
    std::unique_ptr<CsvSampleSource> reader = CsvSampleSource::open(path, error, options);
    if (!reader) return nullptr;
    reader->expectSampleRate(fileRate);
    if (bridgeGaps) reader->bridgeGaps();
    std::unique_ptr<ResampledCsvSampleSource> source(new ResampledCsvSampleSource);
    source->path_ = path;
    source->fileRate_ = fileRate;
    source->buildRate_ = buildRate;
    std::vector<double> input;
    ModelInputs in;
    while (true) {
        const Status status = reader->next(in);
        if (status == Status::Error) {
            error = reader->error();
            return nullptr;
        }
        if (status == Status::End) break;
        if (reader->timeJumps() > 0) {
            error = path + ":" + std::to_string(reader->firstTimeJumpLine()) +
                    ":1: time stands still, runs back or jumps here; a file to be resampled must be one even run "
                    "of samples";
            return nullptr;
        }
        if (!bridgeGaps && reader->missingRows() > 0) {
            error = path + ":" + std::to_string(reader->firstMissingLine()) +
                    ":1: a missing value cannot be resampled (it would spread to its neighbours); give "
                    "--bridge-gaps to bridge it first";
            return nullptr;
        }
        if (source->ports_.empty() || !samePorts(source->ports_.back().second, in)) {
            source->ports_.emplace_back(source->rows_, in);
        }
        if (source->rows_ == 0) source->startTime_ = in.time;
        ++source->rows_;
        source->rowQuality_.push_back(reader->sampleQuality());
        input.insert(input.end(), in.phase, in.phase + 3);
    }
    if (source->rows_ == 0) {
        error = path + ": no samples";
        return nullptr;
    }
    const std::size_t frames = Resampler::outputFramesFor(source->rows_, fileRate, buildRate);
    try {
        Resampler resampler(fileRate, buildRate, 3);
        resampler.push(input.data(), source->rows_, source->phases_);
        resampler.finish(source->phases_);
    } catch (const std::exception& e) {
        error = path + ": " + e.what();
        return nullptr;
    }
    if (source->phases_.size() > frames * 3) source->phases_.resize(frames * 3);
    return source;
}

SampleSource::Status ResampledCsvSampleSource::next(ModelInputs& in) {
    if (3 * next_ >= phases_.size()) return Status::End;
    // The input row at or before this instant carries the configuration.
    const double position = static_cast<double>(next_) * fileRate_ / buildRate_;
    std::size_t row = static_cast<std::size_t>(std::floor(position + 1e-9));
    if (row >= rows_) row = rows_ - 1;
    while (portsAt_ + 1 < ports_.size() && ports_[portsAt_ + 1].first <= row) ++portsAt_;
    in = ports_[portsAt_].second;
    for (int p = 0; p < 3; ++p) in.phase[p] = phases_[3 * next_ + static_cast<std::size_t>(p)];
    in.time = startTime_ + static_cast<double>(next_) / buildRate_;
    quality_ = rowQuality_[row];
    ++next_;
    return Status::Sample;
}
