#include "cli/progress_meter.h"

#include <unistd.h>

#include <cstdio>

namespace {

// Short runs show nothing; long ones refresh a few times a second.
constexpr std::chrono::milliseconds kQuietStart{700};
constexpr std::chrono::milliseconds kRefresh{200};

}  // namespace

ProgressMeter::ProgressMeter(std::string label)
    : label_(std::move(label)),
      enabled_(isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()),
      lastShown_(start_) {}

ProgressMeter::~ProgressMeter() { done(); }

void ProgressMeter::show(uint64_t samplesDone, std::optional<double> fractionDone) {
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kQuietStart || now - lastShown_ < kRefresh) return;
    lastShown_ = now;
    shown_ = true;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = static_cast<double>(samplesDone) / seconds;
    if (fractionDone) {
        std::fprintf(stderr, "\r%s: %3.0f%%, %llu samples, %.0f samples/s\033[K", label_.c_str(), *fractionDone * 100.0,
                     static_cast<unsigned long long>(samplesDone), rate);
    } else {
        std::fprintf(stderr, "\r%s: %llu samples, %.0f samples/s\033[K", label_.c_str(),
                     static_cast<unsigned long long>(samplesDone), rate);
    }
    std::fflush(stderr);
}

void ProgressMeter::done() {
    if (!shown_) return;
    shown_ = false;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
}
