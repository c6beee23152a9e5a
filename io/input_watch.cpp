#include "io/input_watch.h"

InputWatch::InputWatch(SampleSource& inner, double sampleRate)
    : inner_(inner), checks_(inner.name(), sampleRate, InputChecks::Options{true}) {}

SampleSource::Status InputWatch::next(ModelInputs& in) {
    const Status status = inner_.next(in);
    if (status == Status::Sample) checks_.observe(in);
    return status;
}
