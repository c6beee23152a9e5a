#include "io/comtrade/comtrade_recording.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
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

// Without rates the timestamps carry the timing. The block needs evenly
// spaced samples, so the timestamps must be even to within one tick; the
// rate is then taken from the whole span (and snapped to a whole number of
// hertz when that stays within a tick over the recording). The data is
// read once for this, keeping the first and last timestamps and the
// extreme steps; only a refusal reads it again, to name the first uneven
// step.
class TimestampCheck {
public:
    explicit TimestampCheck(const ComtradeConfig& cfg)
        : tick_(cfg.timeMultiplier * (cfg.nanosecondTimestamps ? 1e-9 : 1e-6)) {}

    void add(double stamp) {
        if (std::isnan(stamp) && firstMissing_ == kNone) firstMissing_ = count_;
        if (count_ == 0) first_ = stamp;
        if (count_ > 0) {
            const double d = (stamp - last_) * tick_;
            minStep_ = std::min(minStep_, d);
            maxStep_ = std::max(maxStep_, d);
        }
        last_ = stamp;
        ++count_;
    }

    SampleSection section(const ComtradeRecording& rec) const {
        const std::string& dataPath = rec.dataPath;
        if (firstMissing_ != kNone) {
            throw ComtradeError(dataPath, 0, 0, "",
                                "sample " + std::to_string(firstMissing_ + 1) +
                                    " has no timestamp, and the configuration gives no sampling rate");
        }
        SampleSection s;
        s.count = count_;
        s.startElapsed = count_ == 0 ? 0.0 : first_ * tick_;
        if (count_ < 2) {
            throw ComtradeError(dataPath, 0, 0, "", "too few samples to tell the sampling rate from the timestamps");
        }
        const double span = (last_ - first_) * tick_;
        const double step = span / static_cast<double>(count_ - 1);
        if (!(step > 0.0)) throw ComtradeError(dataPath, 0, 0, "", "timestamps do not increase");
        const double tolerance = tick_ + 1e-3 * step;
        if (std::fabs(maxStep_ - step) > tolerance || std::fabs(minStep_ - step) > tolerance) {
            throwFirstUneven(rec, step, tolerance);
        }
        s.rate = 1.0 / step;
        const double whole = std::round(s.rate);
        if (std::fabs(static_cast<double>(count_ - 1) / whole - span) <= tick_) s.rate = whole;
        return s;
    }

private:
    void throwFirstUneven(const ComtradeRecording& rec, double step, double tolerance) const {
        PhaseReader reader(rec);
        std::vector<double> abc(3 * 4096), stamps(4096);
        std::size_t index = 0;
        double previous = 0.0;
        while (const std::size_t got = reader.read(abc.data(), stamps.data(), 4096)) {
            for (std::size_t k = 0; k < got; ++k, ++index) {
                const double d = (stamps[k] - previous) * tick_;
                previous = stamps[k];
                if (index == 0 || !(std::fabs(d - step) > tolerance)) continue;
                throw ComtradeError(rec.dataPath, 0, 0, "",
                                    "timestamps are not evenly spaced: sample " + std::to_string(index + 1) +
                                        " comes " + std::to_string(d) + " s after the one before, the mean step is " +
                                        std::to_string(step) + " s");
            }
        }
        throw ComtradeError(rec.dataPath, 0, 0, "", "timestamps are not evenly spaced");
    }

    double tick_;
    std::size_t count_ = 0;
    double first_ = 0.0, last_ = 0.0;
    double minStep_ = std::numeric_limits<double>::infinity();
    double maxStep_ = -std::numeric_limits<double>::infinity();
    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    std::size_t firstMissing_ = kNone;
};

// The factor from the recorded side to the chosen one; 0 when the
// transformer ratio cannot convert it.
double sideFactor(const ComtradeAnalogChannel& c, ValueSide side) {
    const bool toPrimary = side == ValueSide::Primary && c.scaling == 'S';
    const bool toSecondary = side == ValueSide::Secondary && c.scaling == 'P';
    if (!toPrimary && !toSecondary) return 1.0;
    if (!(c.primary > 0.0) || !(c.secondary > 0.0)) return 0.0;
    return toPrimary ? c.primary / c.secondary : c.secondary / c.primary;
}

}  // namespace

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

ComtradeRecording openComtrade(const std::string& path, const ComtradeReadOptions& options) {
    ComtradeRecording rec;
    rec.path = path;
    rec.side = options.side;
    if (hasExtension(path, ".dat")) {
        throw ComtradeError(path, 0, 0, "", "this is the data file; give its configuration (.cfg) or a .cff");
    }
    if (hasExtension(path, ".cff")) {
        const CffSections sections = splitCff(path);
        rec.config = parseCfg(sections.cfg, path, sections.cfgFirstLine);
        if (sections.datFormat != rec.config.format) {
            throw ComtradeError(path, sections.datFirstLine > 0 ? sections.datFirstLine - 1 : 0, 0, "",
                                std::string("the DAT section is ") + dataFormatName(sections.datFormat) +
                                    " but the configuration says " + dataFormatName(rec.config.format));
        }
        rec.dataPath = path;
        rec.data = DatLocation{path, sections.datOffset, static_cast<int64_t>(sections.datLength),
                               sections.datFirstLine};
    } else {
        rec.config = parseCfg(readWholeFile(path), path);
        rec.dataPath = datPathFor(path);
        rec.data = DatLocation{rec.dataPath, 0, -1, 1};
    }
    const ComtradeConfig& cfg = rec.config;
    const std::optional<std::array<int, 3>> lineToLine =
        selectLineToLine(cfg, options.lineToLine, options.phases, path);
    rec.lineToLine = lineToLine.has_value();
    rec.phaseChannels = lineToLine ? *lineToLine : selectPhases(cfg, options.phases, path, &rec.config.warnings);

    // One pass over the data: every record checked, the timestamps'
    // spacing and any missing value noted, nothing kept.
    TimestampCheck stamps(cfg);
    {
        PhaseReader reader(rec, false);
        constexpr std::size_t kFrames = 4096;
        std::vector<double> abc(3 * kFrames), raw(kFrames);
        while (const std::size_t got = reader.read(abc.data(), raw.data(), kFrames)) {
            rec.samples += got;
            if (!cfg.timedByRates()) {
                for (std::size_t k = 0; k < got; ++k) stamps.add(raw[k]);
            }
            for (std::size_t k = 0; k < 3 * got && !rec.hasMissing; ++k) rec.hasMissing = !std::isfinite(abc[k]);
        }
    }
    if (cfg.timedByRates()) {
        rec.sections = sectionsFromRates(cfg);
    } else {
        rec.sections = {stamps.section(rec)};
    }
    rec.origin = timeOriginOf(cfg);

    for (std::size_t p = 0; p < 3; ++p) {
        if (rec.phaseChannels[p] < 0) continue;
        const ComtradeAnalogChannel& c = cfg.analogs[static_cast<std::size_t>(rec.phaseChannels[p])];
        if (sideFactor(c, options.side) == 0.0) {
            const bool toPrimary = options.side == ValueSide::Primary;
            throw ComtradeError(path, c.line, toPrimary ? 11 : 12, toPrimary ? "primary" : "secondary",
                                "channel '" + c.id + "' cannot be converted to " +
                                    (toPrimary ? "primary" : "secondary") +
                                    " values: the transformer ratio needs positive primary and secondary");
        }
    }
    return rec;
}

ComtradeRecording readComtrade(const std::string& path, const ComtradeReadOptions& options) {
    ComtradeRecording rec = openComtrade(path, options);
    for (auto& phase : rec.phases) phase.resize(rec.samples);
    PhaseReader reader(rec);
    constexpr std::size_t kFrames = 4096;
    std::vector<double> abc(3 * kFrames);
    std::size_t at = 0;
    while (const std::size_t got = reader.read(abc.data(), nullptr, std::min(kFrames, rec.samples - at))) {
        for (std::size_t k = 0; k < got; ++k) {
            for (std::size_t p = 0; p < 3; ++p) rec.phases[p][at + k] = abc[3 * k + p];
        }
        at += got;
    }
    return rec;
}

PhaseReader::PhaseReader(const ComtradeRecording& recording, bool checked)
    : rec_(recording),
      dat_(recording.data, recording.config,
           [&] {
               std::vector<int> wanted;
               for (int c : recording.phaseChannels) {
                   if (c >= 0) wanted.push_back(c);
               }
               return wanted;
           }()) {
    for (std::size_t p = 0; p < 3; ++p) {
        column_[p] = -1;
        const int channel = rec_.phaseChannels[p];
        if (channel < 0) continue;
        const ComtradeAnalogChannel& c = rec_.config.analogs[static_cast<std::size_t>(channel)];
        column_[p] = static_cast<int>(width_++);
        a_[p] = c.a;
        b_[p] = c.b;
        factor_[p] = sideFactor(c, rec_.side);
    }
    if (checked) dat_.skipChecks();
    stamps_.resize(kBlock);
    values_.resize(kBlock * width_);
}

std::size_t PhaseReader::read(double* abc, double* stamps, std::size_t frames) {
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t want = std::min(kBlock, frames - done);
        const std::size_t got = dat_.read(stamps_.data(), values_.data(), want);
        if (got == 0) break;
        if (stamps != nullptr) std::copy(stamps_.begin(), stamps_.begin() + static_cast<std::ptrdiff_t>(got), stamps + done);
        for (std::size_t k = 0; k < got; ++k) {
            double v[3] = {0.0, 0.0, 0.0};
            for (std::size_t p = 0; p < 3; ++p) {
                if (column_[p] < 0) continue;
                double x = values_[k * width_ + static_cast<std::size_t>(column_[p])];
                x = a_[p] * x + b_[p];
                if (factor_[p] != 1.0) x *= factor_[p];
                v[p] = x;
            }
            double* out = abc + 3 * (done + k);
            if (!rec_.lineToLine) {
                for (std::size_t p = 0; p < 3; ++p) out[p] = v[p];
                continue;
            }
            // Line-to-line to phase values. The zero sequence is not in
            // line-to-line voltages, so it cannot be restored: the phases
            // are the zero-sum set with the same positive and negative
            // sequence, va = (vab - vca)/3 and so on. A line-to-line voltage
            // not recorded is minus the sum of the other two (they sum to
            // zero).
            for (std::size_t p = 0; p < 3; ++p) {
                if (column_[p] < 0) v[p] = -(v[(p + 1) % 3] + v[(p + 2) % 3]);
            }
            const double ab = v[0], bc = v[1], ca = v[2];
            out[0] = (ab - ca) / 3.0;
            out[1] = (bc - ab) / 3.0;
            out[2] = (ca - bc) / 3.0;
        }
        done += got;
        if (got < want) break;
    }
    return done;
}
