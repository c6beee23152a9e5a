// The tool's one progress display, on standard error and only when that is
// a terminal (logs and pipes stay clean), once a run has taken longer than a
// moment. A block of lines (one per running thing) rewritten in place.
#ifndef ORVANE_CLI_PROGRESS_H
#define ORVANE_CLI_PROGRESS_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ProgressDisplay {
public:
    // `label` starts every line, e.g. "orvane run: input.csv".
    explicit ProgressDisplay(std::string label);
    ~ProgressDisplay() { clear(); }
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    bool enabled() const { return enabled_; }
    // One line: a bar when the fraction done is known, else the count, and
    // what is running. Cheap when nothing is due.
    void update(uint64_t samples, std::optional<double> fraction, const std::string& what = "");
    // Any block of lines; `final` draws at once, whole, and leaves it.
    void draw(const std::vector<std::string>& lines, bool final);
    // Removes what is drawn.
    void clear();

private:
    bool due();
    void drawNow(const std::vector<std::string>& lines, bool final);

    std::string label_;
    bool enabled_;
    std::size_t linesDrawn_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastShown_;
};

#endif  // ORVANE_CLI_PROGRESS_H
