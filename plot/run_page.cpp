#include "plot/run_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "io/run_description.h"
#include "plot/svg_plot.h"

namespace {

constexpr double kLeft = 86.0;
constexpr double kRight = 34.0;
constexpr double kPanelHeight = 140.0;
constexpr double kPanelTop = 8.0;
constexpr double kPanelBottom = 26.0;
constexpr double kWidth = kLeft + kPlotColumns + kRight;
// Reports marked one by one up to this many per run; beyond, a rug of the
// columns that hold reports.
constexpr uint64_t kMaxMarkedReports = 3000;

const char* const kRunColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#e377c2"};
const char* const kPanelTitles[kTraceQuantities] = {"magnitude (peak)", "angle (rad)", "frequency (Hz)",
                                                    "ROCOF (Hz/s)"};

const char* colourOf(std::size_t run) { return kRunColours[run % std::size(kRunColours)]; }

std::string px(double v) {
    char text[24];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

std::string json(double v) {
    if (!std::isfinite(v)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '<') {
            out += "\\u003c";  // never closes the script element
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A run's buckets merged into the screen columns of the shared time axis.
std::vector<TraceBucket> toColumns(const std::vector<TraceBucket>& buckets, double t0, double t1,
                                   std::vector<int>& index) {
    std::vector<TraceBucket> columns;
    index.clear();
    for (const TraceBucket& b : buckets) {
        const double mid = 0.5 * (b.tFirst + b.tLast);
        int c = static_cast<int>(std::floor((mid - t0) / (t1 - t0) * kPlotColumns));
        c = std::clamp(c, 0, kPlotColumns - 1);
        if (!std::isfinite(mid)) continue;
        if (index.empty() || index.back() != c) {
            columns.push_back(b);
            index.push_back(c);
            continue;
        }
        TraceBucket& into = columns.back();
        into.tLast = b.tLast;
        into.count += b.count;
        for (int q = 0; q < kTraceQuantities; ++q) {
            if (b.lo[q] < into.lo[q]) into.lo[q] = b.lo[q];
            if (b.hi[q] > into.hi[q]) into.hi[q] = b.hi[q];
        }
    }
    return columns;
}

// Timestamps at least this large are taken as seconds since 1970 (3.2
// years): a time of day or a run's own seconds stay below it.
constexpr double kUnixTimesFrom = 1e8;

struct Screened {
    double first = 0, last = 0;  // the run's drawn timestamps, absolute
    double origin = 0;           // subtracted from its timestamps on the axis
    bool sharedAxis = false;
    std::vector<TraceBucket> columns;
    std::vector<int> columnIndex;
    std::vector<TraceBucket> reports;  // exact reports, or report columns
    std::vector<int> reportIndex;
    bool reportsMarked = false;
    std::vector<TraceBucket> flagged;  // reports flagged do not use, one by one
};

// The absolute instant of `t` (a timestamp of `run`) as people read it: a
// UTC date and time when the run's time origin is known or the timestamps
// are plainly seconds since 1970, else the seconds, and the time of day
// they name when they fall within one day.
// A UTC instant to the microsecond (a double near 1.7e9 s holds no more),
// trailing zeros dropped: "2023-11-14T22:13:20.36Z".
std::string utcMicroseconds(double base, double offset) {
    UtcInstant at = utcInstant(base, offset);
    int64_t micro = (at.nanoseconds + 500) / 1000;
    if (micro >= 1000000) {
        // Rounded up into the next second: taken again a microsecond later.
        at = utcInstant(base, offset + 1e-6);
        micro = at.nanoseconds / 1000;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%06lld", static_cast<long long>(at.year),
                  static_cast<long long>(at.month), static_cast<long long>(at.day),
                  static_cast<long long>(at.secondOfDay / 3600), static_cast<long long>(at.secondOfDay / 60 % 60),
                  static_cast<long long>(at.secondOfDay % 60), static_cast<long long>(micro));
    std::string out = text;
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    return out + "Z";
}

std::string instantText(const RunTrace& run, double t) {
    char text[96];
    // An origin of 0 says only that the times are seconds since 1970,
    // which a time of day is not: the size of the times decides then.
    if (std::isfinite(run.epochOfTimeZero) && (run.epochOfTimeZero != 0.0 || t >= kUnixTimesFrom)) {
        return utcMicroseconds(run.epochOfTimeZero, t);
    }
    if (t >= kUnixTimesFrom) return utcMicroseconds(0.0, t) + " (taken as seconds since 1970)";
    if (t >= 0.0 && t < 86400.0) {
        const double whole = std::floor(t);
        const int second = static_cast<int>(whole);
        std::snprintf(text, sizeof text, "%.9g s (time of day %02d:%02d:%02d.%03d)", t, second / 3600,
                      second / 60 % 60, second % 60, std::min(999, static_cast<int>((t - whole) * 1000.0)));
        return text;
    }
    std::snprintf(text, sizeof text, "%.9g s", t);
    return text;
}

std::string describeRun(const RunTrace& run, const Screened& s, std::size_t i) {
    std::string html = "<div class=\"run\"><h2><span class=\"swatch\" style=\"background:" + std::string(colourOf(i)) +
                       "\"></span>" + escapeMarkup(run.label) + "</h2>\n<table>";
    auto row = [&](const std::string& name, const std::string& value) {
        html += "<tr><th>" + escapeMarkup(name) + "</th><td>" + escapeMarkup(value) + "</td></tr>";
    };
    char text[160];
    std::snprintf(text, sizeof text, "%llu rows, %llu reports, timestamps %.9g to %.9g s",
                  static_cast<unsigned long long>(run.rows), static_cast<unsigned long long>(run.reports), s.first,
                  s.last);
    row("rows", text);
    if (std::isfinite(s.first)) {
        std::snprintf(text, sizeof text, "%.9g s after the axis's time 0", s.first - s.origin);
        row("starts", instantText(run, s.first) + (s.origin == s.first ? "; time 0 of the axis" : "; " + std::string(text)));
    }
    if (run.rowsSetApart > 0) {
        if (run.rowsSetApart == 1) {
            std::snprintf(text, sizeof text,
                          "the block's first row, stamped 0 before its first report (outputs held at 0), is not drawn");
        } else {
            std::snprintf(text, sizeof text,
                          "the block's first %llu rows, stamped 0 before its first report (outputs held at 0), are "
                          "not drawn",
                          static_cast<unsigned long long>(run.rowsSetApart));
        }
        row("left out", text);
    }
    // What identifies the run first; the rest folded away.
    static const char* const kFirst[] = {"model", "build", "sample_rate_hz", "input", "start", "start_time_utc",
                                         "deliverable", "command line", "time origin"};
    std::vector<std::pair<std::string, std::string>> rest;
    for (const char* name : kFirst) {
        for (const auto& entry : run.description) {
            if (entry.first == name) row(entry.first, entry.second);
        }
    }
    for (const auto& entry : run.description) {
        bool shown = entry.first == "title";
        for (const char* name : kFirst) shown |= entry.first == name;
        if (!shown) rest.push_back(entry);
    }
    if (!rest.empty()) {
        html += "</table><details><summary>" + std::to_string(rest.size()) + " more</summary><table>";
        for (const auto& [name, value] : rest) row(name, value);
    }
    return html + "</table></div>\n";
}

// `buckets` with `origin` taken from their times.
std::vector<TraceBucket> shifted(std::vector<TraceBucket> buckets, double origin) {
    for (TraceBucket& b : buckets) {
        b.tFirst -= origin;
        b.tLast -= origin;
    }
    return buckets;
}

}  // namespace

std::string renderRunPage(const std::vector<RunTrace>& runs) {
    // Each run's span. The axis is seconds from a first sample: runs that
    // lie near one another in time (their spans together at most twice the
    // longest) share the earliest one as time 0 and keep their offsets;
    // runs far apart (a recording of yesterday beside one of today) are
    // each drawn from their own first sample, so that they overlay.
    std::vector<std::pair<double, double>> spans;
    double earliest = std::numeric_limits<double>::infinity();
    double latest = -earliest;
    double longest = 0.0;
    for (const RunTrace& r : runs) {
        double first = std::numeric_limits<double>::infinity();
        double last = -first;
        for (const TraceBucket& b : r.samples) {
            if (std::isfinite(b.tFirst)) first = std::min(first, b.tFirst);
            if (std::isfinite(b.tLast)) last = std::max(last, b.tLast);
        }
        if (!(first <= last)) first = last = std::numeric_limits<double>::quiet_NaN();
        spans.emplace_back(first, last);
        if (std::isfinite(first)) {
            earliest = std::min(earliest, first);
            latest = std::max(latest, last);
            longest = std::max(longest, last - first);
        }
    }
    const bool shared = !(latest - earliest > 2.0 * longest);

    std::vector<Screened> screened;
    double t0 = 0.0;
    double t1 = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        Screened s;
        s.first = spans[i].first;
        s.last = spans[i].second;
        s.origin = shared ? earliest : s.first;
        if (!std::isfinite(s.origin)) s.origin = 0.0;
        s.sharedAxis = shared && runs.size() > 1;
        if (std::isfinite(s.last)) t1 = std::max(t1, s.last - s.origin);
        screened.push_back(std::move(s));
    }
    if (!(t1 > t0)) t1 = t0 + 1.0;

    for (std::size_t i = 0; i < runs.size(); ++i) {
        const RunTrace& r = runs[i];
        Screened& s = screened[i];
        s.columns = toColumns(shifted(r.samples, s.origin), t0, t1, s.columnIndex);
        s.reportsMarked = r.reportsExact && r.reports <= kMaxMarkedReports;
        if (s.reportsMarked) {
            s.reports = shifted(r.reportBuckets, s.origin);
            for (const TraceBucket& b : s.reports) {
                s.reportIndex.push_back(std::clamp(
                    static_cast<int>(std::floor((b.tFirst - t0) / (t1 - t0) * kPlotColumns)), 0, kPlotColumns - 1));
            }
        } else {
            s.reports = toColumns(shifted(r.reportBuckets, s.origin), t0, t1, s.reportIndex);
        }
        if (r.flaggedExact && r.flaggedReports <= kMaxMarkedReports) s.flagged = shifted(r.flaggedReportBuckets, s.origin);
    }
    // The axis says where its 0 lies, as an absolute instant.
    std::string xLabel = "time (s)";
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (!std::isfinite(screened[i].first) || screened[i].origin != screened[i].first) continue;
        xLabel = "time (s) since " + instantText(runs[i], screened[i].origin);
        break;
    }
    if (!shared && runs.size() > 1) xLabel = "time (s) since each run's own first timestamp (see 'starts' above)";

    std::string title = runs.size() == 1 ? runs[0].label : std::to_string(runs.size()) + " runs";
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>Orvane run: " +
        escapeMarkup(title) +
        "</title>\n<style>body{font-family:sans-serif;margin:1em 2em;color:#222}"
        "table{border-collapse:collapse;font-size:11px;margin:0.2em 0 0.5em}"
        "th,td{border:1px solid #ddd;padding:1px 6px;text-align:left;vertical-align:top}th{background:#f6f6f6}"
        "h1{font-size:19px;margin:0.3em 0}h2{font-size:14px;margin:0.4em 0 0.2em}p{margin:0.3em 0}"
        ".swatch{display:inline-block;width:22px;height:4px;vertical-align:middle;margin-right:8px}"
        ".runs{display:flex;flex-wrap:wrap;gap:0 2em}svg{display:block}summary{font-size:12px}</style></head><body>\n";
    html += "<h1>Orvane: " + escapeMarkup(title) + "</h1>\n<div class=\"runs\">\n";
    for (std::size_t i = 0; i < runs.size(); ++i) html += describeRun(runs[i], screened[i], i);
    html += "</div>\n<p style=\"font-size:12px\">Each screen column shows the least and the greatest value of the "
            "samples that fall in it; dots mark the report instants (a rug along the bottom when they are too dense "
            "to mark one by one), grey rings the reports flagged do not use (start-up, missing input, a restart, a "
            "value not finite), which the axes leave out of their scale.</p>\n";

    const std::vector<double> xTicks = niceTicks(t0, t1, 10);
    const double xStep = xTicks.size() > 1 ? xTicks[1] - xTicks[0] : 1.0;
    auto sx = [&](double t) { return kLeft + (t - t0) / (t1 - t0) * kPlotColumns; };
    const double plotH = kPanelHeight - kPanelTop - kPanelBottom;
    for (int q = 0; q < kTraceQuantities; ++q) {
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        // The figures nothing is against set the scale; flagged ones
        // beyond it are drawn at the edge.
        for (const RunTrace& r : runs) {
            if (std::isfinite(r.scaleLo[q])) lo = std::min(lo, r.scaleLo[q]);
            if (std::isfinite(r.scaleHi[q])) hi = std::max(hi, r.scaleHi[q]);
        }
        const bool scaled = lo <= hi;
        for (const Screened& s : screened) {
            for (const TraceBucket& b : s.columns) {
                if (scaled) break;
                if (std::isfinite(b.lo[q])) lo = std::min(lo, b.lo[q]);
                if (std::isfinite(b.hi[q])) hi = std::max(hi, b.hi[q]);
            }
        }
        if (!(lo <= hi)) lo = 0.0, hi = 1.0;
        if (hi - lo < 1e-12 * std::max(1.0, std::fabs(hi))) {
            const double half = std::max(1e-9, std::fabs(hi) * 1e-6);
            lo -= half;
            hi += half;
        }
        std::vector<double> yTicks = niceTicks(lo, hi, 4);
        const double yStep = yTicks.size() > 1 ? yTicks[1] - yTicks[0] : (hi - lo);
        lo = std::floor(lo / yStep + 1e-9) * yStep;
        hi = std::ceil(hi / yStep - 1e-9) * yStep;
        yTicks = niceTicks(lo, hi, 4);
        auto sy = [&](double v) { return kPanelTop + (hi - std::clamp(v, lo, hi)) / (hi - lo) * plotH; };

        html += std::string("<svg id=\"panel-") + kTraceNames[q] + "\" width=\"" + px(kWidth) + "\" height=\"" +
                px(kPanelHeight) + "\" viewBox=\"0 0 " + px(kWidth) + " " + px(kPanelHeight) +
                "\" font-family=\"sans-serif\" font-size=\"11\">\n";
        html += "<rect x=\"" + px(kLeft) + "\" y=\"" + px(kPanelTop) + "\" width=\"" + px(kPlotColumns) +
                "\" height=\"" + px(plotH) + "\" fill=\"none\" stroke=\"#888\"/>\n";
        for (double v : yTicks) {
            html += "<line x1=\"" + px(kLeft) + "\" x2=\"" + px(kLeft + kPlotColumns) + "\" y1=\"" + px(sy(v)) +
                    "\" y2=\"" + px(sy(v)) + "\" stroke=\"#eee\"/><text x=\"" + px(kLeft - 4) + "\" y=\"" +
                    px(sy(v) + 4) + "\" text-anchor=\"end\">" + tickText(v, yStep) + "</text>\n";
        }
        for (double t : xTicks) {
            html += "<line x1=\"" + px(sx(t)) + "\" x2=\"" + px(sx(t)) + "\" y1=\"" + px(kPanelTop) + "\" y2=\"" +
                    px(kPanelTop + plotH) + "\" stroke=\"#eee\"/><text x=\"" + px(sx(t)) + "\" y=\"" +
                    px(kPanelTop + plotH + 13) + "\" text-anchor=\"middle\">" + tickText(t, xStep) + "</text>\n";
        }
        html += "<text x=\"14\" y=\"" + px(kPanelTop + plotH / 2) + "\" text-anchor=\"middle\" transform=\"rotate(-90 14 " +
                px(kPanelTop + plotH / 2) + ")\">" + kPanelTitles[q] + "</text>\n";
        if (q == kTraceQuantities - 1) {
            html += "<text x=\"" + px(kLeft + kPlotColumns / 2.0) + "\" y=\"" + px(kPanelHeight - 1) +
                    "\" text-anchor=\"middle\">" + escapeMarkup(xLabel) + "</text>\n";
        }
        for (std::size_t r = 0; r < screened.size(); ++r) {
            const Screened& s = screened[r];
            std::string path;
            bool open = false;
            for (std::size_t k = 0; k < s.columns.size(); ++k) {
                const TraceBucket& b = s.columns[k];
                if (!(b.lo[q] <= b.hi[q])) {
                    open = false;  // only NaN here: a gap
                    continue;
                }
                const double x = kLeft + s.columnIndex[k] + 0.5;
                path += (open ? "L" : "M") + px(x) + " " + px(sy(b.hi[q]));
                if (sy(b.lo[q]) - sy(b.hi[q]) >= 0.1) path += "L" + px(x) + " " + px(sy(b.lo[q]));
                open = true;
            }
            html += "<path fill=\"none\" stroke=\"" + std::string(colourOf(r)) +
                    "\" stroke-width=\"1.2\" stroke-linejoin=\"round\" d=\"" + path + "\"><title>" +
                    escapeMarkup(runs[r].label) + "</title></path>\n";
            std::string marks;
            for (std::size_t k = 0; k < s.reports.size(); ++k) {
                const TraceBucket& b = s.reports[k];
                const double x = s.reportsMarked ? sx(b.tFirst) : kLeft + s.reportIndex[k] + 0.5;
                if (s.reportsMarked) {
                    if (b.lo[q] <= b.hi[q]) marks += "M" + px(x) + " " + px(sy(b.lo[q])) + "h0";
                } else {
                    marks += "M" + px(x) + " " + px(kPanelTop + plotH - 5) + "v5";
                }
            }
            if (!marks.empty()) {
                html += "<path fill=\"none\" stroke=\"" + std::string(colourOf(r)) + "\" stroke-width=\"" +
                        (s.reportsMarked ? "5" : "1") + "\" stroke-linecap=\"round\" d=\"" + marks +
                        "\"><title>report instants</title></path>\n";
            }
            std::string flagged;
            for (const TraceBucket& b : s.flagged) {
                const double y = b.lo[q] <= b.hi[q] ? sy(b.lo[q]) : kPanelTop + plotH;
                flagged += "M" + px(sx(b.tFirst) - 3) + " " + px(y) + "a3 3 0 1 0 6 0a3 3 0 1 0 -6 0";
            }
            if (!flagged.empty()) {
                html += "<path class=\"flagged\" fill=\"none\" stroke=\"#999\" stroke-width=\"1\" d=\"" + flagged +
                        "\"><title>reports flagged do not use (start-up, missing input, restart, not finite)</title>"
                        "</path>\n";
            }
        }
        html += "</svg>\n";
    }

    // The numbers drawn, for scripts and checks.
    // Times here are seconds since each run's time_origin (an absolute
    // timestamp of that run), as on the axis.
    html += "<script type=\"application/json\" id=\"orvane-plot-data\">\n{\"time_axis\":[" + json(t0) + "," +
            json(t1) + "],\"time_axis_label\":" + jsonText(xLabel) +
            ",\"columns_per_panel\":" + std::to_string(kPlotColumns) + ",\"runs\":[";
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const Screened& s = screened[r];
        html += std::string(r == 0 ? "" : ",") + "\n{\"label\":" + jsonText(runs[r].label) +
                ",\"time_origin\":" + json(s.origin) + ",\"rows\":" + std::to_string(runs[r].rows) +
                ",\"reports\":" + std::to_string(runs[r].reports) +
                ",\"columns\":{";
        auto array = [&](const std::vector<TraceBucket>& buckets, auto value) {
            std::string text = "[";
            for (std::size_t k = 0; k < buckets.size(); ++k) text += (k == 0 ? "" : ",") + json(value(buckets[k]));
            return text + "]";
        };
        html += "\"column\":[";
        for (std::size_t k = 0; k < s.columnIndex.size(); ++k) {
            html += (k == 0 ? "" : ",") + std::to_string(s.columnIndex[k]);
        }
        html += "],\"t_first\":" + array(s.columns, [](const TraceBucket& b) { return b.tFirst; });
        html += ",\"t_last\":" + array(s.columns, [](const TraceBucket& b) { return b.tLast; });
        for (int q = 0; q < kTraceQuantities; ++q) {
            html += std::string(",\"") + kTraceNames[q] + "_min\":" +
                    array(s.columns, [q](const TraceBucket& b) { return b.lo[q]; });
            html += std::string(",\"") + kTraceNames[q] + "_max\":" +
                    array(s.columns, [q](const TraceBucket& b) { return b.hi[q]; });
        }
        html += "},\"report_points\":";
        if (s.reportsMarked) {
            html += "{\"timestamp\":" + array(s.reports, [](const TraceBucket& b) { return b.tFirst; });
            for (int q = 0; q < kTraceQuantities; ++q) {
                html += std::string(",\"") + kTraceNames[q] + "\":" +
                        array(s.reports, [q](const TraceBucket& b) { return b.lo[q]; });
            }
            html += "}";
        } else {
            html += "null";
        }
        html += ",\"flagged_reports\":" + std::to_string(runs[r].flaggedReports) +
                ",\"flagged_report_times\":" + array(s.flagged, [](const TraceBucket& b) { return b.tFirst; });
        html += "}";
    }
    html += "]}\n</script>\n<p style=\"font-size:11px;color:#777\">Drawn by orvane " + std::string(orvaneVersion()) +
            ".</p>\n</body></html>\n";
    return html;
}
