#include "io/comtrade/comtrade_recording.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "io/comtrade/cff_sections.h"
#include "io/comtrade/cfg_parser.h"
#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_text.h"
#include "io/comtrade/dat_reader.h"
#include "io/comtrade/phase_selection.h"

namespace fs = std::filesystem;

namespace {

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ComtradeError(path, 0, 0, "", std::string("cannot open: ") + std::strerror(errno));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) throw ComtradeError(path, 0, 0, "", "read error");
    return bytes.str();
}

bool hasExtension(const std::string& path, std::string_view extension) {
    return equalsIgnoringCase(fs::path(path).extension().string(), extension);
}

// The .dat beside a .cfg: same stem, extension in any case (recorders are
// not consistent about it).
std::string datPathFor(const std::string& cfgPath) {
    fs::path candidate = fs::path(cfgPath).replace_extension(".dat");
    if (fs::exists(candidate)) return candidate.string();
    candidate.replace_extension(".DAT");
    if (fs::exists(candidate)) return candidate.string();
    const fs::path dir = fs::path(cfgPath).has_parent_path() ? fs::path(cfgPath).parent_path() : fs::path(".");
    const std::string stem = fs::path(cfgPath).stem().string();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const fs::path& p = entry.path();
        if (equalsIgnoringCase(p.stem().string(), stem) && equalsIgnoringCase(p.extension().string(), ".dat"))
            return p.string();
    }
    throw ComtradeError(cfgPath, 0, 0, "", "no data file " + fs::path(cfgPath).replace_extension(".dat").string() +
                                               " beside the configuration");
}

// Sample times from the sampling rates: each section starts where the one
// before ends, so times stay right after a rate change.
std::vector<SampleSection> sectionsFromRates(const ComtradeConfig& cfg) {
    std::vector<SampleSection> sections;
    int64_t previousEnd = 0;
    double elapsed = 0.0;
    for (const RateSection& r : cfg.rates) {
        SampleSection s;
        s.first = static_cast<std::size_t>(previousEnd);
        s.count = static_cast<std::size_t>(r.endSample - previousEnd);
        s.rate = r.rate;
        s.startElapsed = elapsed;
        elapsed += static_cast<double>(s.count) / r.rate;
        previousEnd = r.endSample;
        sections.push_back(s);
    }
    return sections;
}

// Without rates the timestamps carry the timing. The block needs evenly
// spaced samples, so the timestamps must be even to within one tick; the
// rate is then taken from the whole span (and snapped to a whole number of
// hertz when that stays within a tick over the recording).
SampleSection sectionFromTimestamps(const ComtradeConfig& cfg, const std::vector<double>& stamps,
                                    const std::string& dataPath) {
    const double tick = cfg.timeMultiplier * (cfg.nanosecondTimestamps ? 1e-9 : 1e-6);
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        if (std::isnan(stamps[i]))
            throw ComtradeError(dataPath, 0, 0, "",
                                "sample " + std::to_string(i + 1) +
                                    " has no timestamp, and the configuration gives no sampling rate");
    }
    SampleSection s;
    s.count = stamps.size();
    s.startElapsed = stamps.empty() ? 0.0 : stamps[0] * tick;
    if (stamps.size() < 2) {
        throw ComtradeError(dataPath, 0, 0, "", "too few samples to tell the sampling rate from the timestamps");
    }
    const double span = (stamps.back() - stamps.front()) * tick;
    const double step = span / static_cast<double>(stamps.size() - 1);
    if (!(step > 0.0)) throw ComtradeError(dataPath, 0, 0, "", "timestamps do not increase");
    for (std::size_t i = 1; i < stamps.size(); ++i) {
        const double d = (stamps[i] - stamps[i - 1]) * tick;
        if (std::fabs(d - step) > tick + 1e-3 * step) {
            throw ComtradeError(dataPath, 0, 0, "",
                                "timestamps are not evenly spaced: sample " + std::to_string(i + 1) + " comes " +
                                    std::to_string(d) + " s after the one before, the mean step is " +
                                    std::to_string(step) + " s");
        }
    }
    s.rate = 1.0 / step;
    const double whole = std::round(s.rate);
    if (std::fabs(static_cast<double>(stamps.size() - 1) / whole - span) <= tick) s.rate = whole;
    return s;
}

}  // namespace

double ComtradeRecording::maxRate() const {
    double rate = 0.0;
    for (const SampleSection& s : sections) rate = std::max(rate, s.rate);
    return rate;
}

double ComtradeRecording::timeOf(std::size_t i) const {
    for (const SampleSection& s : sections) {
        if (i < s.first + s.count) return origin.timeOf(s.startElapsed + static_cast<double>(i - s.first) / s.rate);
    }
    return std::nan("");
}

std::vector<std::string> comtradeFilesOf(const std::string& path) {
    std::vector<std::string> files{path};
    if (hasExtension(path, ".cff")) return files;
    try {
        files.push_back(datPathFor(path));
    } catch (const ComtradeError&) {
        // No data file: the run will say so.
    }
    return files;
}

ComtradeRecording readComtrade(const std::string& path, const ComtradeReadOptions& options) {
    ComtradeRecording rec;
    rec.path = path;
    if (hasExtension(path, ".dat")) {
        throw ComtradeError(path, 0, 0, "", "this is the data file; give its configuration (.cfg) or a .cff");
    }
    const std::string file = readWholeFile(path);
    std::string datBytes;
    std::string_view datView;
    int datFirstLine = 1;
    if (hasExtension(path, ".cff")) {
        const CffSections sections = splitCff(file, path);
        rec.config = parseCfg(sections.cfg, path, sections.cfgFirstLine);
        if (sections.datFormat != rec.config.format) {
            throw ComtradeError(path, sections.datFirstLine > 0 ? sections.datFirstLine - 1 : 0, 0, "",
                                std::string("the DAT section is ") + dataFormatName(sections.datFormat) +
                                    " but the configuration says " + dataFormatName(rec.config.format));
        }
        rec.dataPath = path;
        datView = sections.dat;
        datFirstLine = sections.datFirstLine;
    } else {
        rec.config = parseCfg(file, path);
        rec.dataPath = datPathFor(path);
        datBytes = readWholeFile(rec.dataPath);
        datView = datBytes;
    }
    const ComtradeConfig& cfg = rec.config;
    const std::optional<std::array<int, 3>> lineToLine =
        selectLineToLine(cfg, options.lineToLine, options.phases, path);
    rec.lineToLine = lineToLine.has_value();
    rec.phaseChannels = lineToLine ? *lineToLine : selectPhases(cfg, options.phases, path);
    std::vector<int> wanted;
    for (int c : rec.phaseChannels) {
        if (c >= 0) wanted.push_back(c);
    }
    DatSamples samples = readDat(datView, cfg, wanted, rec.dataPath, datFirstLine);

    if (cfg.timedByRates()) {
        rec.sections = sectionsFromRates(cfg);
    } else {
        rec.sections = {sectionFromTimestamps(cfg, samples.timestamps, rec.dataPath)};
    }
    rec.origin = timeOriginOf(cfg);

    std::array<std::vector<double>, 3> scaled;
    std::size_t next = 0;
    for (std::size_t p = 0; p < 3; ++p) {
        if (rec.phaseChannels[p] < 0) continue;
        const ComtradeAnalogChannel& c = cfg.analogs[static_cast<std::size_t>(rec.phaseChannels[p])];
        double factor = 1.0;
        const bool toPrimary = options.side == ValueSide::Primary && c.scaling == 'S';
        const bool toSecondary = options.side == ValueSide::Secondary && c.scaling == 'P';
        if (toPrimary || toSecondary) {
            if (!(c.primary > 0.0) || !(c.secondary > 0.0)) {
                throw ComtradeError(path, c.line, toPrimary ? 11 : 12, toPrimary ? "primary" : "secondary",
                                    "channel '" + c.id + "' cannot be converted to " +
                                        (toPrimary ? "primary" : "secondary") +
                                        " values: the transformer ratio needs positive primary and secondary");
            }
            factor = toPrimary ? c.primary / c.secondary : c.secondary / c.primary;
        }
        std::vector<double>& raw = samples.channels[next++];
        for (double& v : raw) {
            v = c.a * v + c.b;
            if (factor != 1.0) v *= factor;
        }
        scaled[p] = std::move(raw);
    }
    if (!rec.lineToLine) {
        rec.phases = std::move(scaled);
        return rec;
    }
    // Line-to-line to phase values. The zero sequence is not in
    // line-to-line voltages, so it cannot be restored: the phases are the
    // zero-sum set with the same positive and negative sequence,
    // va = (vab - vca)/3 and so on. A line-to-line voltage not recorded is
    // minus the sum of the other two (they sum to zero).
    const std::size_t n = samples.channels.empty() ? 0 : scaled[rec.phaseChannels[0] >= 0 ? 0 : 1].size();
    for (std::size_t p = 0; p < 3; ++p) {
        if (rec.phaseChannels[p] >= 0) continue;
        const std::vector<double>& x = scaled[(p + 1) % 3];
        const std::vector<double>& y = scaled[(p + 2) % 3];
        scaled[p].resize(n);
        for (std::size_t i = 0; i < n; ++i) scaled[p][i] = -(x[i] + y[i]);
    }
    for (std::size_t p = 0; p < 3; ++p) rec.phases[p].resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double ab = scaled[0][i], bc = scaled[1][i], ca = scaled[2][i];
        rec.phases[0][i] = (ab - ca) / 3.0;
        rec.phases[1][i] = (bc - ab) / 3.0;
        rec.phases[2][i] = (ca - bc) / 3.0;
    }
    return rec;
}
