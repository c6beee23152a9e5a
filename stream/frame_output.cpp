#include "stream/frame_output.h"

#include <cstdio>

#include "io/c37118/c37118_file_sink.h"
#include "stream/model_road.h"

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

StreamSettings streamSettingsFor(const std::string& modelName, double sampleRate, uint16_t idCode) {
    StreamSettings settings;
    settings.idCode = idCode;
    settings.station = "ORVANE PMU";
    settings.phasorName = "V1 POS SEQ";
    char text[400];
    std::snprintf(text, sizeof text,
                  "Orvane simulated phasor measurement unit, performance class P, model %s at %g samples/s. "
                  "One positive-sequence phasor in floating-point polar form: magnitude RMS (the model's peak "
                  "magnitude divided by sqrt(2)), angle in rad. FREQ: actual frequency in Hz; DFREQ: ROCOF in Hz/s.",
                  modelName.c_str(), sampleRate);
    settings.headerText = text;
    // Every boxcar of the model holds at most its delay line of L samples.
    // The phasor's cascade holds two nominal periods, the frequency
    // smoother and the ROCOF stage behind it at most L samples each, and a
    // report's timestamp lies one nominal period before its last sample:
    // the report at t is made from zeros-free memory only once
    // t + 1/f0 - 2/f0 - 2 L/Fs reaches the first sample. The framer adds
    // the period once it knows f0.
    for (const char* tag : {"10k", "14p4k", "4k"}) {
        const SampleRateBuild* build = buildByTag(tag);
        if (build->fs == sampleRate) settings.startupSeconds = 2.0 * build->delayLineLength / build->fs;
    }
    return settings;
}

OutputSink* withFrameFile(const std::string& path, const StreamSettings& settings, OutputSink& primary,
                          std::unique_ptr<OutputSink>& holder, std::string& error, double epochShift) {
    if (path.empty() || path == "-") {
        error = "option '--c37118' needs a file name (frames are binary; standard output is kept for the CSV)";
        return nullptr;
    }
    auto frames = std::make_unique<C37118FileSink>(path, settings);
    if (!frames->open()) {
        error = frames->error();
        return nullptr;
    }
    holder = std::make_unique<TwoSinks>(primary, std::move(frames), epochShift);
    return holder.get();
}
