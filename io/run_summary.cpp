#include "io/run_summary.h"

#include <cmath>
#include <cstdio>

namespace {

std::string hertz(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%g Hz", rate);
    return text;
}

}  // namespace

std::string describeRun(const RunSummary& s) {
    std::string text = s.input + ": " + s.buildTag + " build (" + hertz(s.buildRate);
    if (s.inputRatesVary) {
        text += ", resampled from rates up to " + hertz(s.inputRate);
    } else if (s.inputRate > 0.0 && std::fabs(s.inputRate - s.buildRate) > 1e-9 * s.buildRate) {
        text += ", resampled from " + hertz(s.inputRate);
    }
    text += "), " + s.road + ", phases " + s.phases;
    if (!s.scaling.empty()) text += ", " + s.scaling;
    if (!s.rateHow.empty()) text += "; the input's rate " + hertz(s.inputRate) + " is the " + s.rateHow;
    return text;
}

std::string phaseChannelsOf(const ComtradeRecording& r) {
    const char* pairs[3] = {"ab", "bc", "ca"};
    std::string text = r.lineToLine ? "line-to-line " : "";
    for (std::size_t p = 0; p < 3; ++p) {
        if (p > 0) text += ", ";
        const int c = r.phaseChannels[p];
        if (c >= 0) {
            text += "'" + r.config.analogs[static_cast<std::size_t>(c)].id + "'";
        } else {
            text += std::string("(") + pairs[p] + " from the other two)";
        }
    }
    return text;
}

std::string scalingOf(const ComtradeRecording& r, ValueSide side) {
    const char wanted = side == ValueSide::Primary ? 'P' : 'S';
    bool converted = false;
    for (int c : r.phaseChannels) {
        if (c < 0) continue;
        const char has = r.config.analogs[static_cast<std::size_t>(c)].scaling;
        converted = converted || (has != 0 && has != wanted);
    }
    std::string text = side == ValueSide::Primary ? "primary values" : "secondary values";
    if (converted) text += side == ValueSide::Primary ? " (recorded secondary, times the ratio)" : " (recorded primary, divided by the ratio)";
    return text;
}
