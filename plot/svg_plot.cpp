#include "plot/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr double kWidth = 560.0;
constexpr double kHeight = 240.0;
constexpr double kLeft = 64.0;
// Room for half the last x label, which is centred on its tick.
constexpr double kRight = 30.0;
constexpr double kTop = 24.0;
constexpr double kBottom = 40.0;
// A log axis spans at most this many decades below its top: errors of
// 1e-15 beside a limit of 1e-2 would only flatten the interesting part.
constexpr double kMaxDecades = 10.0;

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

std::string decadeLabel(double exponent) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::pow(10.0, exponent));
    return text;
}

struct Range {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    void add(double v) {
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    bool empty() const { return !(lo <= hi); }
};

}  // namespace

std::string escapeMarkup(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::vector<double> niceTicks(double lo, double hi, int count) {
    std::vector<double> ticks;
    if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi) || count < 1) return ticks;
    const double raw = (hi - lo) / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= raw) break;
    }
    const double first = std::ceil(lo / step - 1e-9);
    for (double k = first; k * step <= hi + step * 1e-9; k += 1.0) {
        const double v = k * step;
        ticks.push_back(std::fabs(v) < step * 1e-9 ? 0.0 : v);
    }
    return ticks;
}

std::string tickText(double value, double step) {
    const int decimals = step > 0.0 ? std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9))) : 3;
    char text[48];
    if (std::fabs(value) >= 1e6 || (value != 0.0 && std::fabs(value) < 1e-4)) {
        std::snprintf(text, sizeof text, "%g", value);
    } else {
        std::snprintf(text, sizeof text, "%.*f", std::min(decimals, 12), value);
    }
    return text;
}

std::string shadeOf(double hue, int index, int count) {
    const double lightness = count <= 1 ? 45.0 : 25.0 + 45.0 * index / (count - 1);
    char text[48];
    std::snprintf(text, sizeof text, "hsl(%.0f,75%%,%.0f%%)", hue, lightness);
    return text;
}

std::string renderSvgPlot(const SvgPlotContent& spec) {
    Range x, y;
    for (const PlotSeries& s : spec.series) {
        for (const auto& [px, py] : s.points) {
            x.add(px);
            if (!spec.logY || py > 0.0) y.add(spec.logY ? std::log10(py) : py);
        }
    }
    const bool hasLimit = !std::isnan(spec.limit);
    if (hasLimit) y.add(spec.logY ? std::log10(spec.limit) : spec.limit);
    for (const PlotMarker& m : spec.markers) x.add(m.x);
    if (x.empty()) x = Range{0.0, 1.0};
    if (y.empty()) y = Range{0.0, 1.0};
    if (spec.logY) {
        y.hi = std::ceil(y.hi + 0.01);
        y.lo = std::max(std::floor(y.lo), y.hi - kMaxDecades);
    }
    if (x.hi == x.lo) x.hi = x.lo + 1.0;
    if (y.hi == y.lo) {
        y.lo -= 0.5;
        y.hi += 0.5;
    }
    std::vector<double> yTicks;
    if (!spec.logY) {
        // Widen to the round values around the data, so the top and bottom
        // lines carry labels too.
        yTicks = niceTicks(y.lo, y.hi, 5);
        const double step = yTicks.size() > 1 ? yTicks[1] - yTicks[0] : (y.hi - y.lo);
        y.lo = std::floor(y.lo / step + 1e-9) * step;
        y.hi = std::ceil(y.hi / step - 1e-9) * step;
        yTicks = niceTicks(y.lo, y.hi, 5);
    }
    const double plotW = kWidth - kLeft - kRight;
    const double plotH = kHeight - kTop - kBottom;
    auto sx = [&](double v) { return kLeft + (v - x.lo) / (x.hi - x.lo) * plotW; };
    auto sy = [&](double v) {
        double u = spec.logY ? (v > 0.0 ? std::log10(v) : y.lo) : v;
        u = std::clamp(u, y.lo, y.hi);
        return kTop + (y.hi - u) / (y.hi - y.lo) * plotH;
    };

    std::string svg = "<svg width=\"" + number(kWidth) + "\" height=\"" + number(kHeight) + "\" viewBox=\"0 0 " +
                      number(kWidth) + " " + number(kHeight) + "\" font-family=\"sans-serif\" font-size=\"11\">\n";
    svg += "<text x=\"" + number(kLeft) + "\" y=\"15\" font-weight=\"bold\">" + escapeMarkup(spec.title) + "</text>\n";
    svg += "<rect x=\"" + number(kLeft) + "\" y=\"" + number(kTop) + "\" width=\"" + number(plotW) + "\" height=\"" +
           number(plotH) + "\" fill=\"none\" stroke=\"#888\"/>\n";
    auto yTick = [&](double py, const std::string& label) {
        svg += "<line x1=\"" + number(kLeft) + "\" x2=\"" + number(kLeft + plotW) + "\" y1=\"" + number(py) +
               "\" y2=\"" + number(py) + "\" stroke=\"#eee\"/>\n";
        svg += "<text x=\"" + number(kLeft - 4) + "\" y=\"" + number(py + 4) + "\" text-anchor=\"end\">" + label +
               "</text>\n";
    };
    if (spec.logY) {
        for (double u = y.lo; u <= y.hi + 1e-9; u += 1.0) {
            yTick(kTop + (y.hi - u) / (y.hi - y.lo) * plotH, decadeLabel(u));
        }
    } else {
        const double step = yTicks.size() > 1 ? yTicks[1] - yTicks[0] : 1.0;
        for (double v : yTicks) yTick(sy(v), tickText(v, step));
    }
    const std::vector<double> xTicks = niceTicks(x.lo, x.hi, 6);
    const double xStep = xTicks.size() > 1 ? xTicks[1] - xTicks[0] : 1.0;
    for (double v : xTicks) {
        svg += "<text x=\"" + number(sx(v)) + "\" y=\"" + number(kTop + plotH + 14) + "\" text-anchor=\"middle\">" +
               tickText(v, xStep) + "</text>\n";
    }
    svg += "<text x=\"" + number(kLeft + plotW / 2) + "\" y=\"" + number(kHeight - 6) + "\" text-anchor=\"middle\">" +
           escapeMarkup(spec.xLabel) + "</text>\n";
    svg += "<text x=\"12\" y=\"" + number(kTop + plotH / 2) + "\" text-anchor=\"middle\" transform=\"rotate(-90 12 " +
           number(kTop + plotH / 2) + ")\">" + escapeMarkup(spec.yLabel) + "</text>\n";
    auto vertical = [&](double at, const std::string& colour, const std::string& dash) {
        svg += "<line x1=\"" + number(sx(at)) + "\" x2=\"" + number(sx(at)) + "\" y1=\"" + number(kTop) + "\" y2=\"" +
               number(kTop + plotH) + "\" stroke=\"" + colour + "\"" +
               (dash.empty() ? "" : " stroke-dasharray=\"" + dash + "\"") + "/>\n";
    };
    if (!std::isnan(spec.markerX) && spec.markerX >= x.lo && spec.markerX <= x.hi) vertical(spec.markerX, "#999", "2 3");
    for (const PlotSeries& s : spec.series) {
        if (s.points.empty()) continue;
        std::string path;
        for (const auto& [px, py] : s.points) {
            if (!std::isfinite(px) || std::isnan(py)) continue;
            path += number(sx(px)) + "," + number(sy(py)) + " ";
        }
        svg += "<polyline fill=\"none\" stroke=\"" + s.colour +
               "\" stroke-opacity=\"0.7\" stroke-width=\"1.2\" points=\"" + path + "\">";
        if (!s.label.empty()) svg += "<title>" + escapeMarkup(s.label) + "</title>";
        svg += "</polyline>\n";
    }
    for (std::size_t i = 0; i < spec.markers.size(); ++i) {
        const PlotMarker& m = spec.markers[i];
        vertical(m.x, m.colour, m.dashed ? "5 3" : "");
        const bool rightHalf = sx(m.x) > kLeft + plotW / 2;
        svg += "<text x=\"" + number(sx(m.x) + (rightHalf ? -3 : 3)) + "\" y=\"" + number(kTop + 11 + 11.0 * i) +
               "\" text-anchor=\"" + (rightHalf ? "end" : "start") + "\" fill=\"" + m.colour + "\">" +
               escapeMarkup(m.label) + "</text>\n";
    }
    if (hasLimit) {
        const double py = sy(spec.limit);
        svg += "<line x1=\"" + number(kLeft) + "\" x2=\"" + number(kLeft + plotW) + "\" y1=\"" + number(py) +
               "\" y2=\"" + number(py) + "\" stroke=\"#d62728\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"/>\n";
        char label[48];
        std::snprintf(label, sizeof label, "limit %g", spec.limit);
        svg += "<text x=\"" + number(kLeft + plotW - 4) + "\" y=\"" + number(py - 4) +
               "\" text-anchor=\"end\" fill=\"#d62728\">" + label + "</text>\n";
    }
    svg += "</svg>\n";
    return svg;
}
