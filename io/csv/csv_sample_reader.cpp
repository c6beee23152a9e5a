#include "io/csv/csv_sample_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "io/csv/csv_columns.h"
#include "io/csv/csv_numbers.h"

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

CsvSampleReader::CsvSampleReader(const std::string& path) : path_(path) {}

CsvSampleReader::~CsvSampleReader() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(line_);
}

std::unique_ptr<CsvSampleReader> CsvSampleReader::open(const std::string& path, std::string& error) {
    std::unique_ptr<CsvSampleReader> reader(new CsvSampleReader(path));
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
    }
    if (!reader->checkHeader()) {
        error = reader->error_;
        return nullptr;
    }
    return reader;
}

std::optional<double> CsvSampleReader::fractionConsumed() const {
    if (fileSize_ == 0) return std::nullopt;
    return static_cast<double>(bytesRead_) / static_cast<double>(fileSize_);
}

bool CsvSampleReader::readLine() {
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

SampleSource::Status CsvSampleReader::fail(size_t column, const std::string& what) {
    error_ = path_ + ":" + std::to_string(lineNumber_) + ":" + std::to_string(column) + ": " + what;
    failed_ = true;
    return Status::Error;
}

bool CsvSampleReader::checkHeader() {
    if (!readLine()) {
        lineNumber_ = 1;
        if (!failed_) fail(1, "the file is empty; expected the header '" + expectedHeader() + "'");
        return false;
    }
    const char* text = line_;
    // A byte-order mark from a spreadsheet export is not part of the header.
    if (std::strncmp(text, "\xEF\xBB\xBF", 3) == 0) text += 3;
    size_t columnIndex = 0;
    const char* field = text;
    while (true) {
        const char* end = std::strchr(field, ',');
        if (end == nullptr) end = line_ + lineLength_;
        const std::string_view name(field, static_cast<size_t>(end - field));
        const size_t column = static_cast<size_t>(field - line_) + 1;
        if (columnIndex >= kColumnCount) {
            fail(column, "the header has more than " + std::to_string(kColumnCount) + " columns; expected '" +
                             expectedHeader() + "'");
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
                                  expectedHeader() + "'");
        return false;
    }
    return true;
}

SampleSource::Status CsvSampleReader::next(ModelInputs& in) {
    if (failed_) return Status::Error;
    if (!readLine()) return failed_ ? Status::Error : Status::End;
    if (!parseRow(in)) return Status::Error;
    return Status::Sample;
}

bool CsvSampleReader::parseRow(ModelInputs& in) {
    // Split in place: each comma becomes the NUL that ends its field, which
    // is what strtod needs.
    const char* fieldStart[kColumnCount];
    const char* fieldEnd[kColumnCount];
    size_t count = 0;
    char* cursor = line_;
    char* const lineEnd = line_ + lineLength_;
    while (true) {
        char* comma = static_cast<char*>(std::memchr(cursor, ',', static_cast<size_t>(lineEnd - cursor)));
        char* end = comma == nullptr ? lineEnd : comma;
        if (count == kColumnCount) {
            fail(static_cast<size_t>(cursor - line_) + 1,
                 "the row has more than " + std::to_string(kColumnCount) + " columns");
            return false;
        }
        fieldStart[count] = cursor;
        fieldEnd[count] = end;
        ++count;
        if (comma == nullptr) break;
        *comma = '\0';
        cursor = comma + 1;
    }
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
