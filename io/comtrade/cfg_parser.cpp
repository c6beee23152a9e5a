#include "io/comtrade/cfg_parser.h"

#include <cctype>
#include <cmath>
#include <optional>
#include <set>
#include <vector>

#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_text.h"
#include "io/comtrade/comtrade_time.h"

const char* dataFormatName(DataFormat format) {
    switch (format) {
        case DataFormat::Ascii: return "ASCII";
        case DataFormat::Binary: return "BINARY";
        case DataFormat::Binary32: return "BINARY32";
        case DataFormat::Float32: return "FLOAT32";
    }
    return "?";
}

bool ComtradeConfig::timedByRates() const {
    if (rates.empty()) return false;
    for (const RateSection& r : rates) {
        if (!(r.rate > 0.0)) return false;
    }
    return true;
}

namespace {

// Walks the lines of the configuration, one record at a time, and raises
// errors at the current line.
class CfgReader {
public:
    CfgReader(std::string_view text, const std::string& fileName, int firstLine)
        : lines_(splitLines(text)), fileName_(fileName), firstLine_(firstLine) {}

    bool atEnd() const { return next_ >= lines_.size(); }
    int currentLine() const { return firstLine_ + static_cast<int>(current_); }

    // The next line's fields; `what` names the line in the message when the
    // text has ended.
    std::vector<std::string_view> nextRecord(const std::string& what) {
        if (atEnd()) failAtEnd("missing line: expected " + what);
        current_ = next_++;
        const std::string_view line = lines_[current_];
        std::vector<std::string_view> fields = splitFields(line);
        // splitFields trims; the field lengths tell whether it had to.
        std::size_t kept = fields.size() - 1;
        for (std::string_view f : fields) kept += f.size();
        if (kept != line.size()) warn("blanks", "blanks around fields; trimmed");
        if (!validUtf8(line)) warn("utf8", "text that is not UTF-8 (a legacy code page?); names kept as bytes");
        return fields;
    }

    // One warning per kind, at the current line.
    void warn(const std::string& kind, const std::string& what, int line = 0) {
        if (!warned_.insert(kind).second) return;
        warnings_.push_back("warning: " + fileName_ + ":" + std::to_string(line > 0 ? line : currentLine()) + ": " +
                            what);
    }
    std::vector<std::string> takeWarnings() { return std::move(warnings_); }

    // Requires at least `count` fields on the current record.
    void requireFields(const std::vector<std::string_view>& fields, std::size_t count, const std::string& what) {
        if (fields.size() < count) {
            fail(0, "", what + " needs " + std::to_string(count) + " comma-separated fields, found " +
                            std::to_string(fields.size()));
        }
    }

    double real(const std::vector<std::string_view>& fields, std::size_t index, const char* name) {
        const auto value = parseReal(fields[index]);
        if (!value || !std::isfinite(*value)) fail(index, name, "'" + std::string(fields[index]) + "' is not a number");
        return *value;
    }

    double realOr(const std::vector<std::string_view>& fields, std::size_t index, const char* name, double fallback) {
        if (index >= fields.size() || fields[index].empty()) return fallback;
        return real(fields, index, name);
    }

    int64_t integer(const std::vector<std::string_view>& fields, std::size_t index, const char* name) {
        const auto value = parseInteger(fields[index]);
        if (!value) fail(index, name, "'" + std::string(fields[index]) + "' is not a whole number");
        return *value;
    }

    [[noreturn]] void fail(std::size_t fieldIndex, const std::string& fieldName, const std::string& what) const {
        const int line = firstLine_ + static_cast<int>(current_);
        throw ComtradeError(fileName_, line, fieldName.empty() ? 0 : static_cast<int>(fieldIndex) + 1, fieldName, what);
    }

    [[noreturn]] void failAtEnd(const std::string& what) const {
        throw ComtradeError(fileName_, firstLine_ + static_cast<int>(lines_.size()), 0, "", what);
    }

private:
    std::vector<std::string_view> lines_;
    const std::string& fileName_;
    int firstLine_;
    std::size_t next_ = 0;
    std::size_t current_ = 0;
    std::set<std::string> warned_;
    std::vector<std::string> warnings_;

    static bool validUtf8(std::string_view s) {
        for (std::size_t i = 0; i < s.size();) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c < 0x80) {
                ++i;
                continue;
            }
            // Continuation bytes after a lead byte of 110x, 1110, 11110.
            const std::size_t n = (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 0;
            if (n == 0 || i + n >= s.size()) return false;
            for (std::size_t k = 1; k <= n; ++k) {
                if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
            }
            i += n + 1;
        }
        return true;
    }
};

// 0 for a year no revision has (1997 and 2000 are seen): the file is then
// read by the layout it has.
int parseRevision(CfgReader& in, const std::vector<std::string_view>& fields) {
    if (fields.size() < 3 || fields[2].empty()) return 1991;
    const auto year = parseInteger(fields[2]);
    if (year && (*year == 1991 || *year == 1999 || *year == 2013)) return static_cast<int>(*year);
    // Some writers put 2001 for the 1999 revision.
    if (year && *year == 2001) return 1999;
    if (!year) in.fail(2, "rev_year", "revision year '" + std::string(fields[2]) + "' is not a year");
    return 0;
}

// "4A" or "4D": the count before the letter.
int64_t channelCount(CfgReader& in, const std::vector<std::string_view>& fields, std::size_t index, char letter,
                     const char* name) {
    std::string_view f = fields[index];
    if (f.empty() || (f.back() != letter && f.back() != letter + ('a' - 'A')))
        in.fail(index, name, "'" + std::string(f) + "' is not a count followed by " + std::string(1, letter));
    f.remove_suffix(1);
    const auto count = parseInteger(f);
    if (!count || *count < 0) in.fail(index, name, "'" + std::string(fields[index]) + "' is not a channel count");
    return *count;
}

ComtradeAnalogChannel parseAnalog(CfgReader& in, int revision, int expectedNumber) {
    const std::string what = "analog channel " + std::to_string(expectedNumber);
    const auto f = in.nextRecord("the line of " + what);
    const std::size_t needed = revision == 1991 ? 10 : 13;
    in.requireFields(f, needed, "the line of " + what);
    ComtradeAnalogChannel c;
    c.line = in.currentLine();
    c.number = static_cast<int>(in.integer(f, 0, "An"));
    if (c.number != expectedNumber)
        in.warn("numbering", "channel number " + std::to_string(c.number) + " where " + std::to_string(expectedNumber) +
                                 " was expected; channel numbers are taken as labels, their order as position");
    c.id = std::string(f[1]);
    c.phase = std::string(f[2]);
    c.circuit = std::string(f[3]);
    c.unit = std::string(f[4]);
    c.a = in.real(f, 5, "a");
    c.b = in.real(f, 6, "b");
    c.skewMicroseconds = in.realOr(f, 7, "skew", 0.0);
    in.realOr(f, 8, "min", 0.0);
    in.realOr(f, 9, "max", 0.0);
    if (revision == 1991 && f.size() < 13) return c;
    c.primary = in.real(f, 10, "primary");
    c.secondary = in.real(f, 11, "secondary");
    if (f[12] == "p" || f[12] == "P") {
        c.scaling = 'P';
    } else if (f[12] == "s" || f[12] == "S") {
        c.scaling = 'S';
    } else {
        in.fail(12, "PS", "'" + std::string(f[12]) + "' is neither P nor S");
    }
    return c;
}

ComtradeDigitalChannel parseDigital(CfgReader& in, int revision, int expectedNumber) {
    const std::string what = "status channel " + std::to_string(expectedNumber);
    auto f = in.nextRecord("the line of " + what);
    const bool old = revision == 1991 && f.size() < 5;
    const std::size_t wanted = old ? 3 : 5;
    // Recorders write status lines short of fields (no phase, circuit or
    // normal state). Status channels are not measured: a line with its
    // number and name is read, with one warning, the rest left blank.
    in.requireFields(f, 2, "the line of " + what);
    if (f.size() < wanted) {
        in.warn("short status line", what + " has " + std::to_string(f.size()) + " fields where the revision asks " +
                                         std::to_string(wanted) +
                                         "; read, the missing ones blank (status channels are not measured)");
        f.resize(wanted);
    }
    ComtradeDigitalChannel c;
    c.number = static_cast<int>(in.integer(f, 0, "Dn"));
    if (c.number != expectedNumber)
        in.warn("numbering", "channel number " + std::to_string(c.number) + " where " + std::to_string(expectedNumber) +
                                 " was expected; channel numbers are taken as labels, their order as position");
    c.id = std::string(f[1]);
    if (!old) {
        c.phase = std::string(f[2]);
        c.circuit = std::string(f[3]);
    }
    const std::size_t yIndex = old ? 2 : 4;
    if (!f[yIndex].empty()) {
        const int64_t y = in.integer(f, yIndex, "y");
        if (y != 0 && y != 1) in.fail(yIndex, "y", "normal state must be 0 or 1");
        c.normalState = static_cast<int>(y);
    }
    return c;
}

CivilTime parseStamp(CfgReader& in, int revision, const char* what, bool lenient = false,
                     const CivilTime& fallback = {}) {
    const auto f = in.nextRecord(std::string("the ") + what + " (dd/mm/yyyy,hh:mm:ss.ssssss)");
    in.requireFields(f, 2, std::string("the ") + what);
    std::string error;
    const auto t = parseCivilTime(f[0], f[1], revision, error);
    if (!t && lenient) {
        in.warn("stamp", std::string("the ") + what + " is unreadable (" + error + "); ignored");
        return fallback;
    }
    if (!t) {
        const bool dateFault = error.rfind("date", 0) == 0 || error.rfind("year", 0) == 0;
        in.fail(dateFault ? 0 : 1, dateFault ? "date" : "time", error);
    }
    return *t;
}

}  // namespace

ComtradeConfig parseCfg(std::string_view text, const std::string& fileName, int firstLine) {
    CfgReader in(text, fileName, firstLine);
    const int firstLineNumber = firstLine;
    ComtradeConfig cfg;

    auto f = in.nextRecord("station_name,rec_dev_id,rev_year");
    cfg.station = std::string(f[0]);
    if (f.size() > 1) cfg.device = std::string(f[1]);
    cfg.revision = parseRevision(in, f);
    // A year no revision has: the lines are read as the most complete
    // layout they fit (see below), and the year set to match.
    const bool guessLayout = cfg.revision == 0;
    const std::string yearText = f.size() > 2 ? std::string(f[2]) : "";
    if (guessLayout) cfg.revision = 1991;

    f = in.nextRecord("TT,##A,##D");
    in.requireFields(f, 3, "the channel count line");
    const int64_t total = in.integer(f, 0, "TT");
    const int64_t analogs = channelCount(in, f, 1, 'A', "##A");
    const int64_t digitals = channelCount(in, f, 2, 'D', "##D");
    // Far beyond any recorder; also keeps the sum below overflow.
    if (analogs > 1000000 || digitals > 1000000) in.fail(0, "TT", "implausible channel count");
    if (analogs + digitals != total)
        in.fail(0, "TT", std::to_string(total) + " channels in total, but " + std::to_string(analogs) + " analog and " +
                             std::to_string(digitals) + " status channels");

    for (int64_t i = 1; i <= analogs; ++i) cfg.analogs.push_back(parseAnalog(in, cfg.revision, static_cast<int>(i)));
    for (int64_t i = 1; i <= digitals; ++i) cfg.digitals.push_back(parseDigital(in, cfg.revision, static_cast<int>(i)));

    f = in.nextRecord("the line frequency (lf)");
    cfg.lineFrequency = in.realOr(f, 0, "lf", cfg.lineFrequency);

    f = in.nextRecord("the number of sampling rates (nrates)");
    const int64_t nrates = in.integer(f, 0, "nrates");
    if (nrates < 0 || nrates > 999) in.fail(0, "nrates", "must be 0 to 999, is " + std::to_string(nrates));
    const int64_t rateLines = nrates == 0 ? 1 : nrates;
    int64_t previousEnd = 0;
    for (int64_t k = 1; k <= rateLines; ++k) {
        f = in.nextRecord("samp,endsamp of sampling rate " + std::to_string(k) + " of " + std::to_string(rateLines));
        in.requireFields(f, 2, "a sampling-rate line");
        RateSection section;
        section.rate = in.real(f, 0, "samp");
        section.endSample = in.integer(f, 1, "endsamp");
        if (section.rate < 0.0) in.fail(0, "samp", "sampling rate must not be negative");
        if (nrates == 0) section.rate = 0.0;
        if (section.endSample <= previousEnd)
            in.fail(1, "endsamp",
                    "last sample " + std::to_string(section.endSample) + " does not follow the previous section's " +
                        std::to_string(previousEnd));
        previousEnd = section.endSample;
        cfg.rates.push_back(section);
    }

    // Dates: mm/dd/yy before 1999, dd/mm/yyyy since; a year no revision
    // has goes by which side of 1999 it is on.
    const int dateRevision = guessLayout ? (parseInteger(yearText).value_or(0) >= 1999 ? 1999 : 1991) : cfg.revision;
    cfg.start = parseStamp(in, dateRevision, "time of the first sample");
    cfg.trigger = parseStamp(in, dateRevision, "trigger time", true, cfg.start);
    {
        // The trigger time plays no part in the measurement; recorders that
        // write nonsense there (1970, a time before the first sample) are
        // read anyway.
        const int64_t start = daysFromCivil(cfg.start.year, cfg.start.month, cfg.start.day) * 86400 + cfg.start.secondOfDay;
        const int64_t trig =
            daysFromCivil(cfg.trigger.year, cfg.trigger.month, cfg.trigger.day) * 86400 + cfg.trigger.secondOfDay;
        if (cfg.trigger.year <= 1970 || trig < start - 1) {
            in.warn("stamp", "the trigger time lies before the first sample or in 1970; ignored");
            cfg.trigger = cfg.start;
        }
    }
    // Nine decimals in the stamps make the .dat timestamps count nanoseconds.
    cfg.nanosecondTimestamps = cfg.revision >= 2013 && cfg.start.fractionDigits > 6;

    f = in.nextRecord("the data file type (ASCII, BINARY, BINARY32 or FLOAT32)");
    if (equalsIgnoringCase(f[0], "ASCII")) {
        cfg.format = DataFormat::Ascii;
    } else if (equalsIgnoringCase(f[0], "BINARY")) {
        cfg.format = DataFormat::Binary;
    } else if (equalsIgnoringCase(f[0], "BINARY32")) {
        cfg.format = DataFormat::Binary32;
    } else if (equalsIgnoringCase(f[0], "FLOAT32")) {
        cfg.format = DataFormat::Float32;
    } else {
        in.fail(0, "ft", "unknown data file type '" + std::string(f[0]) + "' (expected ASCII, BINARY, BINARY32 or FLOAT32)");
    }
    auto finish = [&]() {
        if (guessLayout) {
            in.warn("revision", "revision year '" + yearText + "' is not 1991, 1999 or 2013; read by the layout the "
                                "file has, that of " + std::to_string(cfg.revision),
                    firstLineNumber);
        }
        cfg.nanosecondTimestamps = cfg.revision >= 2013 && cfg.start.fractionDigits > 6;
        cfg.warnings = in.takeWarnings();
        return cfg;
    };
    if (guessLayout && in.atEnd()) return finish();
    if (cfg.revision == 1991 && !guessLayout) return finish();

    f = in.nextRecord("the timestamp multiplier (timemult)");
    cfg.timeMultiplier = in.real(f, 0, "timemult");
    if (!(cfg.timeMultiplier > 0.0)) in.fail(0, "timemult", "timestamp multiplier must be positive");
    if (guessLayout) {
        cfg.revision = 1999;
        if (in.atEnd()) return finish();
        cfg.revision = 2013;
    }
    if (cfg.revision < 2013) return finish();

    f = in.nextRecord("time_code,local_code");
    in.requireFields(f, 2, "the time code line");
    const auto timeCode = parseUtcOffset(f[0]);
    if (!timeCode) in.fail(0, "time_code", "'" + std::string(f[0]) + "' is not a UTC offset like -5h30");
    const auto localCode = parseUtcOffset(f[1]);
    if (!localCode) in.fail(1, "local_code", "'" + std::string(f[1]) + "' is not a UTC offset like -5h30");
    cfg.timeCodeMinutes = *timeCode;
    cfg.localCodeMinutes = *localCode;

    f = in.nextRecord("tmq_code,leapsec");
    in.requireFields(f, 2, "the time quality line");
    const std::string_view tmq = f[0];
    if (tmq.size() != 1 || !std::isxdigit(static_cast<unsigned char>(tmq[0])))
        in.fail(0, "tmq_code", "'" + std::string(tmq) + "' is not one hexadecimal digit");
    cfg.timeQuality = static_cast<int>(std::stoi(std::string(tmq), nullptr, 16));
    const int64_t leap = in.integer(f, 1, "leapsec");
    if (leap < 0 || leap > 3) in.fail(1, "leapsec", "must be 0 to 3, is " + std::to_string(leap));
    cfg.leapSecond = static_cast<int>(leap);
    return finish();
}
