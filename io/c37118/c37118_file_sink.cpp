#include "io/c37118/c37118_file_sink.h"

#include <cstdio>

#include "io/c37118/frame_time.h"

C37118FileSink::C37118FileSink(const std::string& path, const StreamSettings& settings)
    : path_(path), settings_(settings) {}

bool C37118FileSink::open() { return file_.open(path_, error_); }

bool C37118FileSink::refuseNominal(const ModelInputs& in, const std::string& problem) {
    char where[80];
    std::snprintf(where, sizeof where, "sample %llu (time %.17g s): ", static_cast<unsigned long long>(samples_),
                  in.time);
    error_ = where + problem;
    return false;
}

bool C37118FileSink::writeFrame() {
    if (!file_.write(reinterpret_cast<const char*>(frame_.data()), frame_.size(), error_)) return false;
    ++framesWritten_;
    return true;
}

bool C37118FileSink::start(const ModelInputs& in) {
    settings_.nominalFrequency = in.nominalFrequency;
    if (!framer_.configure(settings_, error_)) return refuseNominal(in, error_);
    started_ = true;
    lastNominal_ = in.nominalFrequency;
    framer_.encodeConfig(FrameType::Config2, frame_);
    // The configuration frame carries the time of the first sample.
    frameTimeFromSeconds(in.time, framer_.timeBase(), *reinterpret_cast<FrameTime*>(&frame_[0] + 0) = FrameTime{}, false);
    return writeFrame();
}
