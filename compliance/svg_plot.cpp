#include "compliance/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr double kWidth = 560.0;
constexpr double kHeight = 240.0;
constexpr double kLeft = 64.0;
constexpr double kRight = 12.0;
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

std::string tickLabel(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
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

std::string renderSvgPlot(const PlotSpec& spec) {
    Range x, y;
    for (const PlotSeries& s : spec.series) {
        for (const auto& [px, py] : s.points) {
            x.add(px);
            if (!spec.logY || py > 0.0) y.add(spec.logY ? std::log10(py) : py);
        }
    }
    const bool hasLimit = !std::isnan(spec.limit);
    if (hasLimit) y.add(spec.logY ? std::log10(spec.limit) : spec.limit);
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
    const double plotW = kWidth - kLeft - kRight;
    const double plotH = kHeight - kTop - kBottom;
    auto sx = [&](double v) { return kLeft + (v - x.lo) / (x.hi - x.lo) * plotW; };
    auto sy = [&](double v) {
        double u = spec.logY ? (v > 0.0 ? std::log10(v) : y.lo) : v;
        u = std::clamp(u, y.lo, y.hi);
        return kTop + (y.hi - u) / (y.hi - y.lo) * plotH;
    };

    std::string svg = "<svg width=\"" + number(kWidth) + "\" height=\"" +
                      number(kHeight) + "\" viewBox=\"0 0 " + number(kWidth) + " " + number(kHeight) +
                      "\" font-family=\"sans-serif\" font-size=\"11\">\n";
    svg += "<text x=\"" + number(kLeft) + "\" y=\"15\" font-weight=\"bold\">" + escapeMarkup(spec.title) +
           "</text>\n";
    svg += "<rect x=\"" + number(kLeft) + "\" y=\"" + number(kTop) + "\" width=\"" + number(plotW) +
           "\" height=\"" + number(plotH) + "\" fill=\"none\" stroke=\"#888\"/>\n";
    // Y ticks: every decade on a log axis, five steps on a linear one.
    const int yTicks = spec.logY ? static_cast<int>(y.hi - y.lo) : 5;
    for (int i = 0; i <= yTicks; ++i) {
        const double u = y.lo + (y.hi - y.lo) * i / std::max(1, yTicks);
        const double py = kTop + (y.hi - u) / (y.hi - y.lo) * plotH;
        const std::string label = spec.logY ? tickLabel(std::pow(10.0, u)) : tickLabel(u);
        svg += "<line x1=\"" + number(kLeft) + "\" x2=\"" + number(kLeft + plotW) + "\" y1=\"" + number(py) +
               "\" y2=\"" + number(py) + "\" stroke=\"#eee\"/>\n";
        svg += "<text x=\"" + number(kLeft - 4) + "\" y=\"" + number(py + 4) + "\" text-anchor=\"end\">" + label +
               "</text>\n";
    }
    for (int i = 0; i <= 5; ++i) {
        const double v = x.lo + (x.hi - x.lo) * i / 5.0;
        svg += "<text x=\"" + number(sx(v)) + "\" y=\"" + number(kTop + plotH + 14) +
               "\" text-anchor=\"middle\">" + tickLabel(std::round(v * 1e4) / 1e4) + "</text>\n";
    }
    svg += "<text x=\"" + number(kLeft + plotW / 2) + "\" y=\"" + number(kHeight - 6) +
           "\" text-anchor=\"middle\">" + escapeMarkup(spec.xLabel) + "</text>\n";
    svg += "<text x=\"12\" y=\"" + number(kTop + plotH / 2) + "\" text-anchor=\"middle\" transform=\"rotate(-90 12 " +
           number(kTop + plotH / 2) + ")\">" + escapeMarkup(spec.yLabel) + "</text>\n";
    if (!std::isnan(spec.markerX) && spec.markerX >= x.lo && spec.markerX <= x.hi) {
        svg += "<line x1=\"" + number(sx(spec.markerX)) + "\" x2=\"" + number(sx(spec.markerX)) + "\" y1=\"" +
               number(kTop) + "\" y2=\"" + number(kTop + plotH) + "\" stroke=\"#999\" stroke-dasharray=\"2 3\"/>\n";
    }
    for (const PlotSeries& s : spec.series) {
        if (s.points.empty()) continue;
        std::string path;
        for (const auto& [px, py] : s.points) {
            if (!std::isfinite(px) || std::isnan(py)) continue;
            path += number(sx(px)) + "," + number(sy(py)) + " ";
        }
        svg += "<polyline fill=\"none\" stroke=\"" + s.colour + "\" stroke-opacity=\"0.6\" stroke-width=\"1\" points=\"" +
               path + "\"/>\n";
    }
    if (hasLimit) {
        const double py = sy(spec.limit);
        svg += "<line x1=\"" + number(kLeft) + "\" x2=\"" + number(kLeft + plotW) + "\" y1=\"" + number(py) +
               "\" y2=\"" + number(py) + "\" stroke=\"#d62728\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"/>\n";
        svg += "<text x=\"" + number(kLeft + plotW - 4) + "\" y=\"" + number(py - 4) +
               "\" text-anchor=\"end\" fill=\"#d62728\">limit " + tickLabel(spec.limit) + "</text>\n";
    }
    svg += "</svg>\n";
    return svg;
}
