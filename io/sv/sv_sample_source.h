// A sampled-values stream as the samples of a run: its three phases at the
// build's sample rate, `Time` counted from the UTC midnight of the stream's
// first day (see sv_time.h), the configuration ports the same in every
// sample. A stream at the build's rate passes through untouched; any other
// rate is resampled, and since the resampler's output instants start at the
// stream's first sample and its delay is taken out, reports stay on true
// time. Lost samples come out as NaN and every sample's gap flags are
// available beside it; a gap filler, when set, repairs them at the stream's
// own rate, before any resampling.
#ifndef ORVANE_IO_SV_SV_SAMPLE_SOURCE_H
#define ORVANE_IO_SV_SV_SAMPLE_SOURCE_H

#include <cstdint>
#include <deque>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "io/resample/resampler.h"
#include "io/sample_source.h"
#include "io/sv/packet_capture.h"
#include "io/sv/sample_gap_flags.h"
#include "io/sv/sv_stream.h"

class SvSampleSource : public SampleSource {
public:
    // Reads until the stream's first sample, so that its rate and start are
    // known. Null, with `error` set, when the capture holds no stream that
    // fits the selection, or its rate cannot be told.
    static std::unique_ptr<SvSampleSource> open(std::unique_ptr<PacketReader> packets, const std::string& name,
                                                const SvStreamOptions& options, std::string& error);
    static std::unique_ptr<SvSampleSource> openFile(const std::string& path, const SvStreamOptions& options,
                                                    std::string& error);

    uint32_t streamRate() const { return stream_.rate(); }
    // Seconds from 1970 to the midnight `Time` counts from.
    int64_t midnight() const { return midnight_; }
    // Fixes the build's sample rate and the configuration ports (`ports`'
    // phases and time are replaced per sample). False, with `error` set,
    // when the stream cannot be brought to that rate.
    bool prepare(double sampleRate, const ModelInputs& ports, std::string& error);
    bool passesThrough() const { return !resampler_; }
    // For a live stream, before prepare(): a resampled rate goes through
    // the resampler's live setting (see Resampler::Latency) in small blocks,
    // so that a sample does not wait long for the ones after it before it
    // reaches the model. A file keeps the batch setting and its bits.
    void setLive() {
        live_ = true;
        feedSamples_ = 8;
    }
    // Handed every sample at the stream's rate (it repairs the flagged
    // ones); not owned.
    void setGapFiller(SampleGapFiller* filler) { filler_ = filler; }

    // The gap flags of the sample last given by next().
    const SampleGapFlags& flags() const { return flags_; }
    // Counts of the stream: lost, duplicates, reordering, quality, faults.
    const SvStreamReader& stream() const { return stream_; }
    // Why the samples ended before the capture did ("" when they did not):
    // the stream stopped, or resumed after a gap too long to fill.
    const std::string& endNote() const { return endNote_; }
    // Fresh starts of the model after gaps longer than the filters' memory
    // (the filler's rule), and one line for each of the first few: "model
    // restarted after a gap of N samples (T s) at UTC".
    uint64_t restarts() const { return restarts_; }
    const std::vector<std::string>& restartNotes() const { return restartNotes_; }

    const std::string& name() const override { return name_; }
    std::optional<uint64_t> sampleCount() const override { return std::nullopt; }
    std::optional<double> fractionConsumed() const override;
    Status next(ModelInputs& in) override;
    const std::string& error() const override { return error_; }
    // With a gap filler, what it judged (a lost or flagged sample it bridged
    // within its proven span is usable); without one, a sample lost or
    // flagged by its sender. And a fresh start after a long gap.
    ReportQuality sampleQuality() const override {
        const bool marked = filler_ != nullptr ? flags_.marked : flags_.any();
        ReportQuality q = marked ? kQualityMissing : 0;
        if (filler_ != nullptr) q = static_cast<ReportQuality>(q | flags_.quality);
        if (flags_.restart()) q |= kQualityRestarted;
        return q;
    }
    bool sampleRestarts() const override { return flags_.restart(); }

private:
    SvSampleSource(std::unique_ptr<PacketReader> packets, std::string name, const SvStreamOptions& options);
    // The next stream sample, repaired when a filler is set; false at the
    // end (Error when error_ got set).
    bool pull(SvSample& sample);
    void noteRestart(const SvSample& sample);
    Status nextResampled(ModelInputs& in);

    std::unique_ptr<PacketReader> packets_;
    std::string name_;
    SvStreamReader stream_;
    std::optional<SvSample> first_;  // read ahead by open()
    int64_t midnight_ = 0;
    SampleGapFiller* filler_ = nullptr;
    ModelInputs ports_;
    bool prepared_ = false;
    bool ended_ = false;
    SampleGapFlags flags_;
    std::string endNote_;
    std::string error_;
    uint64_t restarts_ = 0;
    std::vector<std::string> restartNotes_;

    // Resampling.
    double outputRate_ = 0.0;
    std::unique_ptr<Resampler> resampler_;
    std::size_t feedSamples_ = 256;  // input samples handed to the resampler at a time
    bool live_ = false;
    double startTime_ = 0.0;
    uint64_t inputCount_ = 0;
    uint64_t outputCount_ = 0;
    uint64_t outputLimit_ = UINT64_MAX;  // set when the input has ended
    std::vector<double> staging_;
    std::vector<double> ready_;
    std::size_t readyAt_ = 0;
    std::deque<SampleGapFlags> inputFlags_;  // from input sample inputFlagsBase_ on
    uint64_t inputFlagsBase_ = 0;
    // Input samples the model starts afresh at, with their gaps' lengths.
    std::deque<std::pair<uint64_t, uint64_t>> restartInputs_;
};

#endif  // ORVANE_IO_SV_SV_SAMPLE_SOURCE_H
