// A one-line progress bar on a terminal: fraction done, what is running,
// and the time left at the present pace. Silent when disabled, so callers
// need not ask whether standard error is a terminal.
#ifndef ORVANE_COMPLIANCE_PROGRESS_BAR_H
#define ORVANE_COMPLIANCE_PROGRESS_BAR_H

#include <chrono>
#include <cstdio>
#include <string>

class ProgressBar {
public:
    ProgressBar(std::FILE* out, long long total, bool enabled);
    ~ProgressBar();
    // `done` more units are done; `what` names the current work.
    void advance(long long done, const std::string& what);
    // Clears the line.
    void finish();

private:
    void draw(const std::string& what);

    std::FILE* out_;
    long long total_;
    long long done_ = 0;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastDraw_;
};

#endif  // ORVANE_COMPLIANCE_PROGRESS_BAR_H
