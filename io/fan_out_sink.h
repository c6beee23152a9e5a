// Hands every sample to several sinks, owned; finishes them in the order
// given (put the one most likely to refuse first), stopping at the first
// that fails, so the later ones leave nothing behind.
#ifndef ORVANE_IO_FAN_OUT_SINK_H
#define ORVANE_IO_FAN_OUT_SINK_H

#include <memory>
#include <string>
#include <vector>

#include "io/output_sink.h"

class FanOutSink : public OutputSink {
public:
    void add(std::unique_ptr<OutputSink> sink) { sinks_.push_back(std::move(sink)); }
    bool write(const ModelInputs& in, const ModelOutputs& out) override {
        for (auto& s : sinks_) {
            if (!s->write(in, out)) return fail(*s);
        }
        return true;
    }
    void setNextQuality(ReportQuality quality) override {
        OutputSink::setNextQuality(quality);
        for (auto& s : sinks_) s->setNextQuality(quality);
    }
    bool finish() override {
        for (auto& s : sinks_) {
            if (!s->finish()) return fail(*s);
        }
        return true;
    }
    const std::string& error() const override { return error_; }

private:
    bool fail(const OutputSink& sink) {
        error_ = sink.error();
        return false;
    }
    std::vector<std::unique_ptr<OutputSink>> sinks_;
    std::string error_;
};

#endif  // ORVANE_IO_FAN_OUT_SINK_H
