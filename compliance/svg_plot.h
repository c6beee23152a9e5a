// A line plot as inline SVG: series of points, an optional logarithmic
// y-axis, a horizontal limit line and a vertical marker. No scripts, no
// fonts or styles fetched from anywhere.
#ifndef ORVANE_COMPLIANCE_SVG_PLOT_H
#define ORVANE_COMPLIANCE_SVG_PLOT_H

#include <string>
#include <utility>
#include <vector>

struct PlotSeries {
    std::string colour;  // CSS colour
    std::vector<std::pair<double, double>> points;
};

struct PlotSpec {
    std::string title;
    std::string xLabel;
    std::string yLabel;
    bool logY = true;
    double limit;     // drawn as a red dashed line; NaN for none
    double markerX;   // a grey vertical line (the step instant); NaN for none
    std::vector<PlotSeries> series;
};

std::string renderSvgPlot(const PlotSpec& spec);

// `text` with the characters that HTML and SVG treat specially escaped.
std::string escapeMarkup(const std::string& text);

#endif  // ORVANE_COMPLIANCE_SVG_PLOT_H
