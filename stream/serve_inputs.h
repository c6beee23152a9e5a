// The inputs of the PMU server, one PMU block each: any kind of the input
// table (a sample CSV, a recording, a built-in signal or a live
// sampled-values stream), each opened with its model and the settings its
// block is framed with. A live stream is read on a thread of its own that
// wakes the serving loop through an eventfd.
#ifndef ORVANE_STREAM_SERVE_INPUTS_H
#define ORVANE_STREAM_SERVE_INPUTS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stream/input_table.h"
#include "stream/model_driver.h"
#include "stream/serve_stream.h"
#include "stream/sv_capture.h"

struct ServeInputSettings {
    std::vector<InputChoice> inputs;  // in block order
    // Per block in input order, as far as given: its station name and
    // IDCODE (default: the stream's IDCODE plus the block's index from 0).
    std::vector<std::string> stations;
    std::vector<int64_t> pmuIdCodes;
    int64_t idCode = 1;
    bool testMode = false;
    DriverChoice choice;  // its build tag: "auto" is written back
    InputSettings ports;  // configuration ports, recording and stream options, a signal's shape

    // Whether some input is of a kind with `property`.
    bool any(bool InputKind::*property) const {
        for (const InputChoice& input : inputs) {
            if (input.kind->*property) return true;
        }
        return false;
    }
};

class ServeInputs {
public:
    ServeInputs() = default;
    ~ServeInputs();
    ServeInputs(const ServeInputs&) = delete;
    ServeInputs& operator=(const ServeInputs&) = delete;

    // Opens every input and its model. False, with `error`, when one
    // cannot be opened (exit status 2).
    bool open(ServeInputSettings& settings, std::string& error);

    const std::vector<ServeInput>& roads() const { return roads_; }
    const std::vector<StreamSettings>& blocks() const { return blocks_; }
    const SampleRateBuild& build() const { return *build_; }
    const std::string& leadName() const { return inputs_[0]->source().name(); }
    bool live() const { return live_ != nullptr; }

    // For a live input: starts nothing yet, but hands `stream` the feed
    // that serve() starts. False, with `error`, when no eventfd is had.
    bool attachLive(ServeStream& stream, std::string& error);
    // Stops the reader thread; what the stream went through and the
    // latency figures, one line each.
    std::vector<std::string> finishLive(const ServeStream& stream);
    void finishBlocks();

private:
    std::vector<std::unique_ptr<OpenedInput>> inputs_;
    std::vector<std::unique_ptr<BlockDriver>> drivers_;
    std::vector<ServeInput> roads_;
    std::vector<StreamSettings> blocks_;
    const SampleRateBuild* build_ = nullptr;
    const OpenedInput* live_ = nullptr;  // the input whose arrival paces the blocks
    std::unique_ptr<LiveSampleFeed> feed_;
    int wakeFd_ = -1;
};

#endif  // ORVANE_STREAM_SERVE_INPUTS_H
