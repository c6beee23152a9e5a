#include "io/csv/csv_sink.h"

#include "io/csv/csv_columns.h"
#include "io/csv/csv_numbers.h"

size_t formatCsvOutputRow(const ModelOutputs& out, char* row) {
    char* p = row;
    p = formatCsvDouble(p, out.timestamp);
    *p++ = ',';
    p = formatCsvDouble(p, out.magnitude);
    *p++ = ',';
    p = formatCsvDouble(p, out.angle);
    *p++ = ',';
    p = formatCsvDouble(p, out.frequency);
    *p++ = ',';
    p = formatCsvDouble(p, out.rocof);
    *p++ = ',';
    *p++ = out.reportStrobe ? '1' : '0';
    *p++ = ',';
    p = formatCsvInt32(p, out.activeReportRate);
    *p++ = '\n';
    return static_cast<size_t>(p - row);
}

CsvSink::CsvSink(const std::string& path, bool reportsOnly, bool quality)
    : path_(path), reportsOnly_(reportsOnly), quality_(quality) {}

bool CsvSink::open() {
    if (!file_.open(path_, error_)) return false;
    std::string header;
    for (std::string_view column : kOutputColumns) {
        if (!header.empty()) header += ',';
        header += column;
    }
    if (quality_) header += ",quality";
    header += '\n';
    return file_.write(header.data(), header.size(), error_);
}

bool CsvSink::write(const ModelInputs&, const ModelOutputs& out) {
    if (reportsOnly_ && !out.reportStrobe) return true;
    char row[kMaxCsvOutputRow];
    size_t length = formatCsvOutputRow(out, row);
    if (quality_) {
        row[length - 1] = ',';
        length += static_cast<size_t>(formatCsvInt32(row + length, nextQuality()) - (row + length));
        row[length++] = '\n';
    }
    return file_.write(row, length, error_);
}

bool CsvSink::finish() { return file_.commit(error_); }
