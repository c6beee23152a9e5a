#include "cli/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace {

// Short runs show nothing; long ones refresh a few times a second.
constexpr std::chrono::milliseconds kQuietStart{700};
constexpr std::chrono::milliseconds kRefresh{200};
constexpr int kBarWidth = 30;

}  // namespace

ProgressDisplay::ProgressDisplay(std::string label)
    : label_(std::move(label)),
      enabled_(isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()),
      lastShown_(start_) {}

bool ProgressDisplay::due() {
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kQuietStart || now - lastShown_ < kRefresh) return false;
    lastShown_ = now;
    return true;
}

void ProgressDisplay::update(uint64_t samples, std::optional<double> fraction, const std::string& what) {
    if (!enabled_ || !due()) return;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char text[160];
    if (fraction) {
        const double f = *fraction < 0.0 ? 0.0 : (*fraction > 1.0 ? 1.0 : *fraction);
        std::string bar(static_cast<std::size_t>(f * kBarWidth), '#');
        bar.resize(kBarWidth, '.');
        const double left = f > 0.0 ? seconds * (1.0 - f) / f : 0.0;
        std::snprintf(text, sizeof text, "[%s] %3.0f%%  %.0f s left", bar.c_str(), 100.0 * f, left);
    } else {
        std::snprintf(text, sizeof text, "%llu samples, %.0f samples/s", static_cast<unsigned long long>(samples),
                      static_cast<double>(samples) / seconds);
    }
    std::string line = label_ + ": " + text;
    if (!what.empty()) line += "  " + what;
    drawNow({line}, false);
}

void ProgressDisplay::draw(const std::vector<std::string>& lines, bool final) {
    if (enabled_ && (final || due())) drawNow(lines, final);
}

void ProgressDisplay::drawNow(const std::vector<std::string>& lines, bool final) {
    if (linesDrawn_ > 1) std::fprintf(stderr, "\033[%zuA", linesDrawn_ - 1);
    // While lines are redrawn, each must fit the terminal's width: a wrapped
    // line would throw the cursor arithmetic off. The final drawing keeps
    // every line whole.
    winsize size{};
    const std::size_t width =
        ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20 ? size.ws_col - 1u : 79u;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (!final && line.size() > width) line.resize(width);
        std::fprintf(stderr, "\r\033[K%s%s", line.c_str(), i + 1 < lines.size() ? "\n" : "");
    }
    linesDrawn_ = lines.size();
    if (final) {
        std::fprintf(stderr, "\n");
        linesDrawn_ = 0;
    }
    std::fflush(stderr);
}

void ProgressDisplay::clear() {
    if (linesDrawn_ == 0) return;
    for (std::size_t i = 1; i < linesDrawn_; ++i) std::fprintf(stderr, "\r\033[K\033[1A");
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    linesDrawn_ = 0;
}
