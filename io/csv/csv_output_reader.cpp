// The output CSV read back: the header, then rows of five doubles and two
// integers; faults name the file, line and column.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "io/csv/csv_columns.h"
#include "io/csv/csv_numbers.h"
#include "io/output_reader.h"

namespace {

class CsvOutputRows : public OutputRows {
public:
    explicit CsvOutputRows(const std::string& path) : path_(path) {}
    ~CsvOutputRows() override {
        std::free(line_);
        if (file_ != nullptr) std::fclose(file_);
    }

    bool open(std::string& error) {
        file_ = std::fopen(path_.c_str(), "rb");
        if (file_ == nullptr) {
            error = "cannot read '" + path_ + "': " + std::strerror(errno);
            return false;
        }
        std::string header;
        for (std::string_view column : kOutputColumns) header += (header.empty() ? "" : ",") + std::string(column);
        const bool read = readLine();
        columns_ = read && std::string(line_, length_) == header + ",quality" ? 8 : 7;
        if (!read || (columns_ == 7 && std::string(line_, length_) != header)) {
            error = path_ + ":1:1: not an output CSV (the first line must be '" + header + "', or that and ',quality')";
            return false;
        }
        description_ = {{"file", path_}};
        return true;
    }

    Status next(ModelOutputs& out) override {
        if (!readLine()) return error_.empty() ? Status::End : Status::Error;
        char* field = line_;
        char* const end = line_ + length_;
        for (std::size_t column = 0; column < columns_; ++column) {
            char* stop = static_cast<char*>(std::memchr(field, ',', static_cast<std::size_t>(end - field)));
            if ((column + 1 < columns_) != (stop != nullptr)) {
                return fail(column, field, "expected " + std::to_string(columns_) + " columns");
            }
            if (stop == nullptr) stop = end;
            *stop = '\0';
            bool ok = true;
            int32_t integer = 0;
            switch (column) {
                case 0: ok = parseCsvDouble(field, stop, out.timestamp); break;
                case 1: ok = parseCsvDouble(field, stop, out.magnitude); break;
                case 2: ok = parseCsvDouble(field, stop, out.angle); break;
                case 3: ok = parseCsvDouble(field, stop, out.frequency); break;
                case 4: ok = parseCsvDouble(field, stop, out.rocof); break;
                case 5:
                    ok = parseCsvInt32(field, stop, integer) == IntegerParse::Ok && (integer == 0 || integer == 1);
                    out.reportStrobe = integer == 1;
                    break;
                case 6:
                    ok = parseCsvInt32(field, stop, integer) == IntegerParse::Ok;
                    out.activeReportRate = integer;
                    break;
                default:
                    ok = parseCsvInt32(field, stop, integer) == IntegerParse::Ok && integer >= 0 && integer <= 0xFFFF;
                    quality_ = static_cast<ReportQuality>(integer);
            }
            if (!ok) return fail(column, field, "'" + std::string(field) + "' is not a valid " +
                                                    std::string(column < 7 ? kOutputColumns[column] : "quality"));
            field = stop + 1;
        }
        return Status::Row;
    }
    const std::string& error() const override { return error_; }
    ReportQuality quality() const override { return quality_; }
    const std::vector<std::pair<std::string, std::string>>& description() const override { return description_; }

private:
    bool readLine() {
        const ssize_t n = ::getline(&line_, &capacity_, file_);
        if (n < 0) {
            if (std::ferror(file_)) error_ = "cannot read '" + path_ + "': " + std::strerror(errno);
            return false;
        }
        ++lineNumber_;
        length_ = static_cast<std::size_t>(n);
        if (length_ > 0 && line_[length_ - 1] == '\n') --length_;
        if (length_ > 0 && line_[length_ - 1] == '\r') --length_;
        line_[length_] = '\0';
        return true;
    }
    Status fail(std::size_t, const char* at, const std::string& what) {
        error_ = path_ + ":" + std::to_string(lineNumber_) + ":" + std::to_string(at - line_ + 1) + ": " + what;
        return Status::Error;
    }

    std::string path_;
    std::size_t columns_ = 7;  // 8 with the quality column
    ReportQuality quality_ = 0;
    FILE* file_ = nullptr;
    char* line_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t length_ = 0;
    uint64_t lineNumber_ = 0;
    std::string error_;
    std::vector<std::pair<std::string, std::string>> description_;
};

}  // namespace

std::unique_ptr<OutputRows> openCsvOutputRows(const std::string& path, std::string& error) {
    auto rows = std::make_unique<CsvOutputRows>(path);
    if (!rows->open(error)) return nullptr;
    return rows;
}
