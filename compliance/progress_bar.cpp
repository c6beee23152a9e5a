#include "compliance/progress_bar.h"

#include <algorithm>

namespace {

constexpr int kBarWidth = 30;
// Redraws at most this often: a terminal is slow next to the model.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressBar::ProgressBar(std::FILE* out, long long total, bool enabled)
    : out_(out),
      total_(std::max(1LL, total)),
      enabled_(enabled),
      started_(std::chrono::steady_clock::now()),
      lastDraw_(started_ - kRedrawInterval) {}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::advance(long long done, const std::string& what) {
    done_ = std::min(total_, done_ + done);
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < kRedrawInterval && done_ < total_) return;
    lastDraw_ = now;
    draw(what);
}

void ProgressBar::draw(const std::string& what) {
    const double fraction = static_cast<double>(done_) / static_cast<double>(total_);
    const int filled = static_cast<int>(fraction * kBarWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const double left = fraction > 0.0 ? elapsed * (1.0 - fraction) / fraction : 0.0;
    std::string label = what.substr(0, 36);
    std::fprintf(out_, "\r[%s] %3.0f%%  %-36s %4.0f s left ", bar.c_str(), 100.0 * fraction, label.c_str(), left);
    std::fflush(out_);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (!enabled_ || !drawn_) return;
    std::fprintf(out_, "\r%*s\r", kBarWidth + 60, "");
    std::fflush(out_);
    drawn_ = false;
}
