#include "io/csv/csv_sample_source.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <cctype>
#include <limits>
#include <vector>

#include "io/csv/csv_columns.h"
#include "io/csv/csv_numbers.h"
#include "io/file_kind.h"

namespace {

constexpr size_t kColumnCount = kSampleColumns.size();

enum Column : size_t {
    kTime,
    kVa,
    kVb,
    kVc,
    kReportRate,
    kMagC2,
    kMagC1,
    kMagC0,
    kPhP2,
    kPhP1,
    kPhP0,
    kNominalFrequency,
    kReportMode,
};

std::string expectedHeader() {
    std::string header;
    for (std::string_view column : kSampleColumns) {
        if (!header.empty()) header += ',';
        header += column;
    }
    return header;
}

// Field text for a message, cut short so that a runaway field (a binary
// file, a missing line end) does not flood the terminal.
std::string quoteField(const char* begin, const char* end) {
    constexpr size_t kMaxShown = 40;
    const size_t length = static_cast<size_t>(end - begin);
    if (length <= kMaxShown) return "'" + std::string(begin, length) + "'";
    return "'" + std::string(begin, kMaxShown) + "...'";
}

}  // namespace

CsvSampleSource::CsvSampleSource(const std::string& path) : path_(path) {}

CsvSampleSource::~CsvSampleSource() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(line_);
}

std::unique_ptr<CsvSampleSource> CsvSampleSource::open(const std::string& path, std::string& error,
                                                       const CsvReadOptions& options) {
    std::unique_ptr<CsvSampleSource> reader(new CsvSampleSource(path));
    reader->ports_ = options.ports;
    reader->file_ = std::fopen(path.c_str(), "rb");
    if (reader->file_ == nullptr) {
        error = path + ": cannot open: " + std::strerror(errno);
        return nullptr;
    }
    struct stat status {};
    if (fstat(fileno(reader->file_), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            error = path + ": cannot read: it is a directory";
            return nullptr;
        }
        if (S_ISREG(status.st_mode)) reader->fileSize_ = static_cast<uint64_t>(status.st_size);
        // Only a regular file can be looked at and read again from the top.
        if (S_ISREG(status.st_mode)) {
            const std::string kind = describeNonTextFile(reader->file_);
            if (!kind.empty()) {
                error = path + ": " + kind + "; a sample CSV is text with the header '" + expectedHeader() + "'";
                return nullptr;
            }
        }
    }
    if (!reader->checkHeader(options)) {
        error = reader->error_;
        return nullptr;
    }
    return reader;
}

std::optional<double> CsvSampleSource::fractionConsumed() const {
    if (fileSize_ == 0) return std::nullopt;
    return static_cast<double>(bytesRead_) / static_cast<double>(fileSize_);
}

bool CsvSampleSource::readLine() {
    errno = 0;
    const ssize_t length = getline(&line_, &lineCapacity_, file_);
    if (length < 0) {
        if (std::ferror(file_)) {
            error_ = path_ + ":" + std::to_string(lineNumber_ + 1) + ":1: cannot read: " + std::strerror(errno);
            failed_ = true;
        }
        return false;
    }
    ++lineNumber_;
    bytesRead_ += static_cast<uint64_t>(length);
    lineLength_ = static_cast<size_t>(length);
    // Both line-end conventions.
    if (lineLength_ > 0 && line_[lineLength_ - 1] == '\n') --lineLength_;
    if (lineLength_ > 0 && line_[lineLength_ - 1] == '\r') --lineLength_;
    line_[lineLength_] = '\0';
    return true;
}

SampleSource::Status CsvSampleSource::fail(size_t column, const std::string& what) {
    error_ = path_ + ":" + std::to_string(lineNumber_) + ":" + std::to_string(column) + ": " + what;
    failed_ = true;
    return Status::Error;
}

namespace {

std::vector<std::string> splitHeader(const char* text) {
    std::vector<std::string> names;
    const char* field = text;
    while (true) {
        const char* end = std::strchr(field, ',');
        if (end == nullptr) end = field + std::strlen(field);
        names.emplace_back(field, static_cast<size_t>(end - field));
        if (*end == '\0') break;
        field = end + 1;
    }
    return names;
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

bool CsvSampleSource::findPlainColumns(const std::vector<std::string>& names, const CsvReadOptions& options) {
    auto find = [&](const std::string& wanted, size_t& index) {
        for (size_t k = 0; k < names.size(); ++k) {
            if (names[k] == wanted) {
                index = k;
                return true;
            }
        }
        for (size_t k = 0; k < names.size(); ++k) {
            if (sameName(names[k], wanted)) {
                index = k;
                return true;
            }
        }
        fail(1, "the header has no column '" + wanted + "' (a plain three-phase CSV needs 'time' and its three " +
                    "phase columns, named by --phases)");
        return false;
    };
    const std::vector<std::string> phases = options.phases.empty() ? std::vector<std::string>{"va", "vb", "vc"}
                                                                   : options.phases;
    if (!find("time", timeColumn_)) return false;
    for (size_t p = 0; p < 3; ++p) {
        if (!find(phases[p], phaseColumns_[p])) return false;
    }
    plain_ = true;
    columns_ = names.size();
    columnNames_ = names;
    return true;
}

bool CsvSampleSource::checkHeader(const CsvReadOptions& options) {
    if (!readLine()) {
        lineNumber_ = 1;
        if (!failed_) fail(1, "the file is empty; expected the header '" + expectedHeader() + "' or 'time,va,vb,vc'");
        return false;
    }
    const char* text = line_;
    // A byte-order mark from a spreadsheet export is not part of the header.
    if (std::strncmp(text, "\xEF\xBB\xBF", 3) == 0) text += 3;
    // A plain three-phase CSV: the phase columns named by the caller, or
    // exactly time,va,vb,vc.
    const std::vector<std::string> names = splitHeader(text);
    if (!options.phases.empty() ||
        (names.size() == 4 && names[0] == "time" && names[1] == "va" && names[2] == "vb" && names[3] == "vc")) {
        return findPlainColumns(names, options);
    }
    size_t columnIndex = 0;
    const char* field = text;
    while (true) {
        const char* end = std::strchr(field, ',');
        if (end == nullptr) end = line_ + lineLength_;
        const std::string_view name(field, static_cast<size_t>(end - field));
        const size_t column = static_cast<size_t>(field - line_) + 1;
        if (columnIndex >= kColumnCount) {
            fail(column, "the header has more than " + std::to_string(kColumnCount) + " columns; expected '" +
                             expectedHeader() + "' (or 'time,va,vb,vc', or --phases naming three columns)");
            return false;
        }
        if (name != kSampleColumns[columnIndex]) {
            fail(column, "header column " + std::to_string(columnIndex + 1) + " is " + quoteField(field, end) +
                             ", expected '" + std::string(kSampleColumns[columnIndex]) + "'");
            return false;
        }
        ++columnIndex;
        if (*end == '\0') break;
        field = end + 1;
    }
    if (columnIndex != kColumnCount) {
        fail(lineLength_ + 1, "the header has " + std::to_string(columnIndex) + " columns; expected '" +
                                  expectedHeader() + "' (or 'time,va,vb,vc', or --phases naming three columns)");
        return false;
    }
    return true;
}

namespace {

std::string hertz(double rate) {
    char text[40];
    std::snprintf(text, sizeof text, "%.6g Hz", rate);
    return text;
}

std::string seconds(double s) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g s", s);
    return text;
}

// Relative to the period; the resolution of time itself comes on top.
constexpr double kSpacingTolerance = kSameRateTolerance;

}  // namespace

void CsvSampleSource::expectSampleRate(double sampleRate) { period_ = 1.0 / sampleRate; }

bool CsvSampleSource::checkSpacing(double time) {
    if (!std::isfinite(time)) {
        // Counted with the missing values; the next step starts afresh.
        havePrevious_ = false;
        return true;
    }
    if (!havePrevious_) {
        havePrevious_ = true;
        previousTime_ = time;
        return true;
    }
    const double step = time - previousTime_;
    previousTime_ = time;
    if (!(step > 0.0) || step > kTimeJumpSeconds) {
        if (timeJumps_++ == 0) firstTimeJumpLine_ = lineNumber_;
        return true;
    }
    // Plus the resolution of time itself: near 1.7e9 s a double resolves
    // 2.4e-7 s, 0.24 % of a period at 10 kHz, and a step between two
    // rounded times is off by up to one resolution.
    const double resolution = timeResolution(time) + timeResolution(previousTime_ - step);
    if (std::fabs(step - period_) <= kSpacingTolerance * period_ + resolution) {
        rateConfirmed_ = true;
        return true;
    }
    if (!rateConfirmed_) {
        fail(1, "the samples are " + seconds(step) + " apart (" + hertz(1.0 / step) + "), but this build takes " +
                    hertz(1.0 / period_) + "; give --build auto to run the file at a build's rate (resampled)");
    } else {
        fail(1, "uneven sample spacing: time comes " + seconds(step) + " after the row before, the samples are " +
                    seconds(period_) + " apart up to here (a missing or extra row?)");
    }
    return false;
}

SampleSource::Status CsvSampleSource::next(ModelInputs& in) {
    if (failed_) return Status::Error;
    if (!readLine()) return failed_ ? Status::Error : Status::End;
    if (!(plain_ ? parsePlainRow(in) : parseRow(in))) return Status::Error;
    if (period_ > 0.0 && !checkSpacing(in.time)) return Status::Error;
    const bool missing = !std::isfinite(in.time) || !std::isfinite(in.phase[0]) || !std::isfinite(in.phase[1]) ||
                         !std::isfinite(in.phase[2]);
    if (missing && missingRows_++ == 0) firstMissingLine_ = lineNumber_;
    if (bridge_ && period_ > 0.0) {
        // Made once, on the first row: its nominal frequency sets the period.
        if (!bridger_) bridger_ = std::make_unique<GapBridge>(1.0 / period_, in.nominalFrequency);
        // Bridged within the proven span (usable, modified) or missing.
        quality_ = bridger_->process(in.phase);
    }
    return Status::Sample;
}

std::string missingRowsWarning(const CsvSampleSource& reader) {
    if (reader.missingRows() == 0) return "";
    return "warning: " + reader.name() + ":" + std::to_string(reader.firstMissingLine()) + ": " +
           std::to_string(reader.missingRows()) + " row" + (reader.missingRows() == 1 ? "" : "s") +
           " with a missing value (NaN or infinite time or phase), the first here; the block's outputs are NaN "
           "from the first to the end of the run: the frequency tracker does not recover from a non-finite sample "
           "until the block is started again (--bridge-gaps bridges short gaps instead)";
}

std::string timeJumpWarning(const CsvSampleSource& reader) {
    if (reader.timeJumps() == 0) return "";
    return "warning: " + reader.name() + ":" + std::to_string(reader.firstTimeJumpLine()) + ": time stands still, " +
           "runs back or jumps " + std::to_string(reader.timeJumps()) + " time" + (reader.timeJumps() == 1 ? "" : "s") +
           ", the first here";
}

RateFinding csvSampleRate(const std::string& path, const CsvReadOptions& options, std::string& error) {
    std::unique_ptr<CsvSampleSource> reader = CsvSampleSource::open(path, error, options);
    if (!reader) return {};
    // The times of the first second and a little more (findSampleRate
    // stops at the first jump of time).
    std::vector<double> times;
    ModelInputs in;
    double first = std::nan("");
    while (true) {
        const SampleSource::Status status = reader->next(in);
        if (status == SampleSource::Status::Error) {
            error = reader->error();
            return {};
        }
        if (status == SampleSource::Status::End) break;
        times.push_back(in.time);
        if (std::isnan(first) && std::isfinite(in.time)) first = in.time;
        if (std::isfinite(in.time) && in.time - first > kRateWindowSeconds) break;
        if (times.size() >= 4000000) break;
    }
    const RateFinding found = findSampleRate(times.data(), times.size());
    if (found.rate == 0.0) error = path + ": cannot tell the sample rate: " + found.how;
    return found;
}

// Hands each comma-separated field of the line to `take(index, start, end)`,
// splitting in place (each comma becomes the NUL that ends its field, which
// is what strtod needs); no allocation. Returns the number of fields, or
// SIZE_MAX once the fault is reported: more than `most` fields (the text
// from `tooMany()`, made only then), or a field `take` refused.
template <typename TooMany, typename Take>
size_t CsvSampleSource::splitFields(size_t most, TooMany tooMany, Take take) {
    size_t count = 0;
    char* cursor = line_;
    char* const lineEnd = line_ + lineLength_;
    while (true) {
        char* comma = static_cast<char*>(std::memchr(cursor, ',', static_cast<size_t>(lineEnd - cursor)));
        char* end = comma == nullptr ? lineEnd : comma;
        if (count == most) {
            fail(static_cast<size_t>(cursor - line_) + 1, tooMany());
            return SIZE_MAX;
        }
        if (comma != nullptr) *comma = '\0';
        if (!take(count, static_cast<const char*>(cursor), static_cast<const char*>(end))) return SIZE_MAX;
        ++count;
        if (comma == nullptr) return count;
        cursor = comma + 1;
    }
}

bool CsvSampleSource::parsePlainRow(ModelInputs& in) {
    // The ports of every row come from the options.
    in = ports_;
    double* target[3] = {&in.phase[0], &in.phase[1], &in.phase[2]};
    const size_t count = splitFields(
        columns_, [&] { return "the row has more than the header's " + std::to_string(columns_) + " columns"; },
        [&](size_t index, const char* start, const char* end) {
            double* slot = nullptr;
            if (index == timeColumn_) slot = &in.time;
            for (int p = 0; p < 3; ++p) {
                if (index == phaseColumns_[p]) slot = target[p];
            }
            if (slot == nullptr || parseCsvDouble(start, end, *slot)) return true;
            fail(static_cast<size_t>(start - line_) + 1,
                 columnNames_[index] + " " + quoteField(start, end) + " is not a number");
            return false;
        });
    if (count == SIZE_MAX) return false;
    if (count != columns_) {
        fail(lineLength_ + 1, "the row has " + std::to_string(count) + " column" + (count == 1 ? "" : "s") +
                                  ", expected the header's " + std::to_string(columns_));
        return false;
    }
    return true;
}

bool CsvSampleSource::parseRow(ModelInputs& in) {
    const char* fieldStart[kColumnCount];
    const char* fieldEnd[kColumnCount];
    const size_t count = splitFields(
        kColumnCount, [] { return "the row has more than " + std::to_string(kColumnCount) + " columns"; },
        [&](size_t index, const char* start, const char* end) {
            fieldStart[index] = start;
            fieldEnd[index] = end;
            return true;
        });
    if (count == SIZE_MAX) return false;
    if (count != kColumnCount) {
        const std::string missing(kSampleColumns[count]);
        fail(lineLength_ + 1, "the row has " + std::to_string(count) + " column" + (count == 1 ? "" : "s") +
                                  ", expected " + std::to_string(kColumnCount) + " (no '" + missing + "')");
        return false;
    }

    auto column = [&](size_t index) { return static_cast<size_t>(fieldStart[index] - line_) + 1; };
    auto readDouble = [&](size_t index, double& value) {
        if (parseCsvDouble(fieldStart[index], fieldEnd[index], value)) return true;
        fail(column(index), std::string(kSampleColumns[index]) + " " + quoteField(fieldStart[index], fieldEnd[index]) +
                                " is not a number");
        return false;
    };
    auto readInteger = [&](size_t index, int32_t& value) {
        switch (parseCsvInt32(fieldStart[index], fieldEnd[index], value)) {
            case IntegerParse::Ok:
                return true;
            case IntegerParse::NotAnInteger:
                fail(column(index), std::string(kSampleColumns[index]) + " " +
                                        quoteField(fieldStart[index], fieldEnd[index]) + " is not an integer");
                return false;
            case IntegerParse::OutOfRange:
                fail(column(index), std::string(kSampleColumns[index]) + " " +
                                        quoteField(fieldStart[index], fieldEnd[index]) +
                                        " is outside the int32 range -2147483648..2147483647");
                return false;
        }
        return false;
    };

    int32_t reportMode = 0;
    const bool ok = readDouble(kTime, in.time) && readDouble(kVa, in.phase[0]) && readDouble(kVb, in.phase[1]) &&
                    readDouble(kVc, in.phase[2]) && readInteger(kReportRate, in.reportRate) &&
                    readDouble(kMagC2, in.magnitudeCoeffs[0]) && readDouble(kMagC1, in.magnitudeCoeffs[1]) &&
                    readDouble(kMagC0, in.magnitudeCoeffs[2]) && readDouble(kPhP2, in.phaseCoeffs[0]) &&
                    readDouble(kPhP1, in.phaseCoeffs[1]) && readDouble(kPhP0, in.phaseCoeffs[2]) &&
                    readDouble(kNominalFrequency, in.nominalFrequency);
    if (!ok) return false;
    if (parseCsvInt32(fieldStart[kReportMode], fieldEnd[kReportMode], reportMode) != IntegerParse::Ok ||
        (reportMode != 0 && reportMode != 1)) {
        fail(column(kReportMode), "report_mode " + quoteField(fieldStart[kReportMode], fieldEnd[kReportMode]) +
                                      " is not 0 or 1");
        return false;
    }
    in.reportMode = reportMode == 1;
    return true;
}
