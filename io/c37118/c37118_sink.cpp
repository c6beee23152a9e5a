#include "io/c37118/c37118_sink.h"

#include <cstdio>

C37118Sink::C37118Sink(const std::string& path, const StreamSettings& settings)
    : path_(path), settings_(settings) {}

bool C37118Sink::open() { return file_.open(path_, error_); }

bool C37118Sink::refuseNominal(const ModelInputs& in, const std::string& problem) {
    char where[80];
    std::snprintf(where, sizeof where, "sample %llu (time %.17g s): ", static_cast<unsigned long long>(samples_),
                  in.time);
    error_ = where + problem;
    return false;
}

bool C37118Sink::writeFrame() {
    if (!file_.write(reinterpret_cast<const char*>(frame_.data()), frame_.size(), error_)) return false;
    ++framesWritten_;
    return true;
}

bool C37118Sink::start(const ModelInputs& in) {
    settings_.nominalFrequency = in.nominalFrequency;
    std::string problem;
    if (!framer_.configure(settings_, problem)) return refuseNominal(in, problem);
    started_ = true;
    lastNominal_ = in.nominalFrequency;
    // The first configuration frame carries the time of the first sample.
    framer_.setTime(in.time);
    framer_.encodeConfig(FrameType::Config2, frame_);
    return writeFrame();
}

bool C37118Sink::write(const ModelInputs& in, const ModelOutputs& out) {
    ++samples_;
    if (!started_) {
        if (!start(in)) return false;
    } else if (in.nominalFrequency != lastNominal_) {
        // Checked on every sample, not only on reports: a nominal frequency
        // the frames cannot carry is refused wherever it appears.
        const std::string problem = nominalFrequencyProblem(in.nominalFrequency);
        if (!problem.empty()) return refuseNominal(in, problem);
        lastNominal_ = in.nominalFrequency;
    }
    if (!out.reportStrobe) return true;
    const TakenReport taken = framer_.takeReport(out, in.reportRate, in.nominalFrequency);
    if (!taken.framed()) return refuseNominal(in, taken.problem);
    if (taken.configChanged) {
        framer_.encodeConfig(FrameType::Config2, frame_);
        if (!writeFrame()) return false;
    }
    // The file's reader always holds the latest configuration, so the
    // change bit only marks a change that is still pending.
    framer_.encodeData(framer_.configChangeFlagFor(framer_.configCount()), frame_, nextQuality());
    return writeFrame();
}

bool C37118Sink::finish() {
    if (!started_) {
        // A run without samples still leaves a readable file: the
        // configuration alone.
        settings_.nominalFrequency = settings_.nominalFrequency == 60.0 ? 60.0 : 50.0;
        if (!framer_.configure(settings_, error_)) return false;
        framer_.encodeConfig(FrameType::Config2, frame_);
        if (!writeFrame()) return false;
        started_ = true;
    }
    return file_.commit(error_);
}
