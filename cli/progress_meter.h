// Progress of a long run on standard error, only when standard error is a
// terminal (so logs and pipes stay clean) and only once the run has taken
// longer than a moment. One line, rewritten in place, cleared at the end.
#ifndef ORVANE_CLI_PROGRESS_METER_H
#define ORVANE_CLI_PROGRESS_METER_H

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

class ProgressMeter {
public:
    // `label` starts the line, e.g. "orvane run: input.csv".
    explicit ProgressMeter(std::string label);
    ~ProgressMeter();

    // Call every few thousand samples: each call reads the clock.
    void update(uint64_t samplesDone, std::optional<double> fractionDone) {
        if (enabled_) show(samplesDone, fractionDone);
    }
    // Clears the line.
    void done();

private:
    void show(uint64_t samplesDone, std::optional<double> fractionDone);

    std::string label_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastShown_;
};

#endif  // ORVANE_CLI_PROGRESS_METER_H
