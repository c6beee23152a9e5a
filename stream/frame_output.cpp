#include "stream/frame_output.h"

#include <cstdio>

#include "io/c37118/c37118_sink.h"
#include "stream/model_driver.h"

namespace {

// The frame file with its times moved to seconds since 1970.
class ShiftedFrames : public OutputSink {
public:
    ShiftedFrames(std::unique_ptr<C37118Sink> frames, double epochShift)
        : frames_(std::move(frames)), shift_(epochShift) {}

    bool write(const ModelInputs& in, const ModelOutputs& out) override {
        if (shift_ == 0.0) return frames_->write(in, out);
        ModelInputs shiftedIn = in;
        ModelOutputs shiftedOut = out;
        shiftedIn.time += shift_;
        shiftedOut.timestamp += shift_;
        return frames_->write(shiftedIn, shiftedOut);
    }
    void setNextQuality(ReportQuality quality) override { frames_->setNextQuality(quality); }
    bool finish() override { return frames_->finish(); }
    const std::string& error() const override { return frames_->error(); }

private:
    std::unique_ptr<C37118Sink> frames_;
    double shift_;
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
    return settings;
}

std::unique_ptr<OutputSink> openFrameFile(const std::string& path, const StreamSettings& settings,
                                          double epochShift, std::string& error) {
    if (path.empty() || path == "-") {
        error = "option '--c37118' needs a file name (frames are binary; standard output is kept for the CSV)";
        return nullptr;
    }
    auto frames = std::make_unique<C37118Sink>(path, settings);
    if (!frames->open()) {
        error = frames->error();
        return nullptr;
    }
    return std::make_unique<ShiftedFrames>(std::move(frames), epochShift);
}
