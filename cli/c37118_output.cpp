#include "cli/c37118_output.h"

#include <cstdio>

#include "io/c37118/c37118_file_sink.h"

namespace {

// Both outputs see every sample. The frame file is committed first: it is
// the one that can still refuse (a nominal frequency frames cannot carry is
// found while writing, not at the end).
class TwoSinks : public OutputSink {
public:
    TwoSinks(OutputSink& primary, std::unique_ptr<C37118FileSink> frames, double epochShift)
        : primary_(primary), frames_(std::move(frames)), shift_(epochShift) {}

    bool write(const ModelInputs& in, const ModelOutputs& out) override {
        if (!primary_.write(in, out)) return fail(primary_.error());
        if (shift_ == 0.0) {
            if (!frames_->write(in, out)) return fail(frames_->error());
            return true;
        }
        ModelInputs shiftedIn = in;
        ModelOutputs shiftedOut = out;
        shiftedIn.time += shift_;
        shiftedOut.timestamp += shift_;
        if (!frames_->write(shiftedIn, shiftedOut)) return fail(frames_->error());
        return true;
    }
    void markNextSample(bool marked) override {
        primary_.markNextSample(marked);
        frames_->markNextSample(marked);
    }
    bool finish() override {
        if (!frames_->finish()) return fail(frames_->error());
        if (!primary_.finish()) return fail(primary_.error());
        return true;
    }
    const std::string& error() const override { return error_; }

private:
    bool fail(const std::string& error) {
        error_ = error;
        return false;
    }

    OutputSink& primary_;
    std::unique_ptr<C37118FileSink> frames_;
    double shift_;
    std::string error_;
};

}  // namespace

StreamSettings streamSettingsFor(const SampleRateBuild& build, uint16_t idCode) {
    StreamSettings settings;
    settings.idCode = idCode;
    settings.station = "ORVANE PMU";
    settings.phasorName = "V1 POS SEQ";
    char text[400];
    std::snprintf(text, sizeof text,
                  "Orvane simulated phasor measurement unit, performance class P, model %s at %g samples/s. "
                  "One positive-sequence phasor in floating-point polar form: magnitude RMS (the model's peak "
                  "magnitude divided by sqrt(2)), angle in rad. FREQ: actual frequency in Hz; DFREQ: ROCOF in Hz/s.",
                  build.modelName, build.fs);
    settings.headerText = text;
    return settings;
}

bool readIdCode(const CommandOptions& options, uint16_t& idCode, std::string& error) {
    int64_t value = 1;
    if (!options.integer("idcode", 1, 65534, value, error)) return false;
    idCode = static_cast<uint16_t>(value);
    return true;
}

OutputSink* withC37118Output(const CommandOptions& options, const SampleRateBuild& build, OutputSink& primary,
                             std::unique_ptr<OutputSink>& holder, std::string& error, double epochShift) {
    if (!options.has("c37118")) return &primary;
    uint16_t idCode = 1;
    if (!readIdCode(options, idCode, error)) return nullptr;
    const std::string path = options.text("c37118");
    if (path.empty() || path == "-") {
        error = "option '--c37118' needs a file name (frames are binary; standard output is kept for the CSV)";
        return nullptr;
    }
    auto frames = std::make_unique<C37118FileSink>(path, streamSettingsFor(build, idCode));
    if (!frames->open()) {
        error = frames->error();
        return nullptr;
    }
    holder = std::make_unique<TwoSinks>(primary, std::move(frames), epochShift);
    return holder.get();
}
