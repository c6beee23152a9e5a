#include "io/comtrade/comtrade_sink.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "io/comtrade/comtrade_writer.h"

namespace {

struct Channel {
    const char* id;
    const char* unit;
};
const Channel kChannels[4] = {{"V1 magnitude (peak)", "V"},
                              {"V1 angle", "rad"},
                              {"frequency", "Hz"},
                              {"ROCOF", "Hz/s"}};

// Status channels after the analog ones: the do-not-use summary of the
// report's quality word, then one channel per bit of the word, lowest
// first. FLOAT32 data packs them into one 16-bit word per record.
constexpr int kStatusChannels = 1 + kQualityBitCount;

// Timestamps count microseconds (nanosecond stamps times 1000); past the
// 32-bit range they are written missing, since the rates carry the timing.
constexpr double kTimeMultiplier = 1000.0;
constexpr uint32_t kMissingTimestamp = 0xFFFFFFFFu;

void putU32(char*& p, uint32_t v) {
    for (int i = 0; i < 4; ++i) *p++ = static_cast<char>((v >> (8 * i)) & 0xff);
}

void putFloat(char*& p, double v) {
    const float f = static_cast<float>(v);
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    putU32(p, bits);
}

CivilTime civilTime(double epochOfTimeZero, double time) {
    const UtcInstant u = utcInstant(epochOfTimeZero, time);
    CivilTime t;
    t.year = static_cast<int>(u.year);
    t.month = static_cast<int>(u.month);
    t.day = static_cast<int>(u.day);
    t.secondOfDay = u.secondOfDay;
    t.nanoseconds = u.nanoseconds;
    t.fractionDigits = 9;
    return t;
}

}  // namespace

ComtradeSink::ComtradeSink(const std::string& path, const RunDescription& description)
    : path_(path), description_(description) {}

bool ComtradeSink::open() {
    if (path_.empty() || path_ == "-") {
        error_ = "a COMTRADE output needs a file name X.cfg (it writes X.cfg and X.dat)";
        return false;
    }
    const std::string::size_type dot = path_.rfind('.');
    const bool upper = dot != std::string::npos && path_.substr(dot) == ".CFG";
    const std::string datPath = path_.substr(0, dot) + (upper ? ".DAT" : ".dat");
    if (!cfg_.open(path_, error_) || !dat_.open(datPath, error_)) return false;
    config_.station = "ORVANE PMU";
    config_.device = description_.model.empty() ? "Orvane" : description_.model;
    config_.revision = 2013;
    config_.format = DataFormat::Float32;
    config_.timeMultiplier = kTimeMultiplier;
    config_.nanosecondTimestamps = true;
    config_.timeCodeMinutes = 0;
    config_.localCodeMinutes = 0;
    for (int i = 0; i < 4; ++i) {
        ComtradeAnalogChannel c;
        c.number = i + 1;
        c.id = kChannels[i].id;
        c.unit = kChannels[i].unit;
        c.scaling = 'P';
        config_.analogs.push_back(c);
    }
    for (int i = 0; i < kStatusChannels; ++i) {
        ComtradeDigitalChannel c;
        c.number = i + 1;
        c.id = i == 0 ? "quality: do not use" : std::string("quality: ") + kQualityBitNames[i - 1];
        c.normalState = 0;
        config_.digitals.push_back(c);
    }
    return true;
}

bool ComtradeSink::write(const ModelInputs& in, const ModelOutputs& out) {
    if (!out.reportStrobe) return true;
    if (reports_ == std::numeric_limits<uint32_t>::max() - 1) {
        error_ = "'" + path_ + "': more reports than a COMTRADE recording can number";
        return false;
    }
    const double rate = out.activeReportRate;
    if (reports_ == 0) {
        firstTimestamp_ = out.timestamp;
        nominalFrequency_ = in.nominalFrequency;
    }
    placeInSection(out.timestamp - firstTimestamp_, rate);
    ++reports_;

    const double micro = std::round((out.timestamp - firstTimestamp_) * 1e6);
    const uint32_t stamp = micro >= 0.0 && micro < static_cast<double>(kMissingTimestamp)
                               ? static_cast<uint32_t>(micro)
                               : kMissingTimestamp;
    stampMissing_ = stampMissing_ || stamp == kMissingTimestamp;
    // The summary in bit 0, the word's bit b in bit b + 1.
    const ReportQuality quality = nextQuality();
    const uint16_t status = static_cast<uint16_t>((qualityDoNotUse(quality) ? 1u : 0u) |
                                                  ((quality & ((1u << kQualityBitCount) - 1u)) << 1));
    char record[6 * 4 + 2];
    char* p = record;
    putU32(p, reports_);
    putU32(p, stamp);
    putFloat(p, out.magnitude);
    putFloat(p, out.angle);
    putFloat(p, out.frequency);
    putFloat(p, out.rocof);
    *p++ = static_cast<char>(status & 0xff);
    *p++ = static_cast<char>(status >> 8);
    return dat_.write(record, sizeof record, error_);
}

// A reader times sample n of a section from the section's start and its
// rate, and a section starts one period of the previous rate after that
// section's last sample. So the reports stay in one section while each
// falls one period of the active rate after the one before; a report that
// does not (the hand-over to a new rate, an instant off the grid, a skipped
// instant) ends the section: the report before it gets a section of its own
// whose one period is the true gap, and the new section starts exactly at
// the report's time. `elapsed` is seconds since the first report.
void ComtradeSink::placeInSection(double elapsed, double rate) {
    // Report instants are whole fractions of a second, found in doubles of
    // Time: a microsecond covers their rounding at Unix times and is far
    // below the shortest interval (833 us at 1200/s).
    constexpr double kTolerance = 1e-6;
    // The format allows 999 sections.
    constexpr std::size_t kMostSections = 999;
    if (!untimedBecause_.empty()) return;
    if (reports_ == 0) {
        section_ = OpenSection{rate, 0.0, 0};
    } else {
        // Times as a reader computes them from the sections written so far.
        const double next = section_.start + static_cast<double>(section_.count) / section_.rate;
        if (rate != section_.rate || std::fabs(elapsed - next) > kTolerance) {
            const double last = section_.start + static_cast<double>(section_.count - 1) / section_.rate;
            const double gap = elapsed - last;
            if (!(gap > 0.0)) {
                untimedBecause_ = "time stood still or ran back between reports";
                return;
            }
            double start = elapsed;
            if (std::fabs(elapsed - next) <= kTolerance) {
                config_.rates.push_back(RateSection{section_.rate, reports_});
                start = next;
            } else {
                if (section_.count > 1) config_.rates.push_back(RateSection{section_.rate, reports_ - 1});
                config_.rates.push_back(RateSection{1.0 / gap, reports_});
            }
            section_ = OpenSection{rate, start, 0};
            if (config_.rates.size() >= kMostSections) {
                untimedBecause_ = "more than 999 changes of report spacing";
                return;
            }
        }
    }
    ++section_.count;
}

bool ComtradeSink::finish() {
    if (reports_ == 0) {
        error_ = "'" + path_ + "': the run made no reports (a COMTRADE output holds the reports; is report mode on?)";
        dat_.discard();
        cfg_.discard();
        return false;
    }
    // Where no rate sections can carry the gaps, the timestamps carry the
    // timing (nrates 0), which they can while they stay within their 32-bit
    // range.
    if (untimedBecause_.empty()) {
        config_.rates.push_back(RateSection{section_.rate, reports_});
    } else if (stampMissing_) {
        error_ = "'" + path_ + "': the reports cannot be timed in COMTRADE: " + untimedBecause_ +
                 ", and a report lies outside the 4294 s a timestamp can count; write CSV or HDF5 instead";
        dat_.discard();
        cfg_.discard();
        return false;
    } else {
        config_.rates = {RateSection{0.0, reports_}};
    }
    config_.lineFrequency = nominalFrequency_;
    config_.start = civilTime(description_.epochOfTimeZero, firstTimestamp_);
    config_.trigger = config_.start;
    const std::string text = formatCfg(config_);
    if (!cfg_.write(text.data(), text.size(), error_)) return false;
    // The data file first: a configuration never appears without its data.
    if (!dat_.commit(error_)) {
        cfg_.discard();
        return false;
    }
    return cfg_.commit(error_);
}
