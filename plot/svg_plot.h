// A line plot as inline SVG: series of points, an optional logarithmic
// y-axis, horizontal limit lines and vertical markers, ticks on round
// values. Each series may carry a label, shown as its tooltip. No scripts,
// no fonts or styles fetched from anywhere.
#ifndef ORVANE_PLOT_SVG_PLOT_H
#define ORVANE_PLOT_SVG_PLOT_H

#include <string>
#include <utility>
#include <vector>

struct PlotSeries {
    std::string colour;  // CSS colour
    std::vector<std::pair<double, double>> points;
    std::string label;   // tooltip; empty for none
};

// A vertical line at x, labelled at its top.
struct PlotMarker {
    double x;
    std::string colour;
    std::string label;
    bool dashed = true;
};

struct SvgPlotContent {
    std::string title;
    std::string xLabel;
    std::string yLabel;
    bool logY = true;
    double limit;     // drawn as a red dashed line; NaN for none
    double markerX;   // a grey vertical line (the step instant); NaN for none
    std::vector<PlotSeries> series;
    std::vector<PlotMarker> markers;
};

std::string renderSvgPlot(const SvgPlotContent& spec);

// `text` with the characters that HTML and SVG treat specially escaped.
std::string escapeMarkup(const std::string& text);

// Round tick values (1, 2 or 5 times a power of ten apart) within lo..hi,
// at most about `count` of them, and their labels without rounding noise.
std::vector<double> niceTicks(double lo, double hi, int count);
std::string tickText(double value, double step);

// "#rrggbb"-free colour for case `index` of `count` in the hue of an
// estimator: lighter as the index grows, so neighbouring cases differ.
std::string shadeOf(double hue, int index, int count);

#endif  // ORVANE_PLOT_SVG_PLOT_H
