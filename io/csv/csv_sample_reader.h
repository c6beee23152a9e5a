// Samples from a CSV file: a header line naming the thirteen sample columns
// in order, then one row per sample. Every fault in the file is reported
// with the file's name, the line and the column where it was found.
#ifndef ORVANE_IO_CSV_CSV_SAMPLE_READER_H
#define ORVANE_IO_CSV_CSV_SAMPLE_READER_H

#include <cstdio>
#include <memory>
#include <string>

#include "io/sample_source.h"

class CsvSampleReader : public SampleSource {
public:
    // Opens the file and checks its header. Null, with `error` set ("FILE:
    // LINE:COLUMN: what"), when the file cannot be read or its header is
    // not the sample header.
    static std::unique_ptr<CsvSampleReader> open(const std::string& path, std::string& error);
    ~CsvSampleReader() override;

    const std::string& name() const override { return path_; }
    std::optional<uint64_t> sampleCount() const override { return std::nullopt; }
    std::optional<double> fractionConsumed() const override;
    Status next(ModelInputs& in) override;
    const std::string& error() const override { return error_; }

private:
    explicit CsvSampleReader(const std::string& path);
    // Reads the next line into line_ (no line end); false at the end of the
    // file or on a read error (then error_ is set).
    bool readLine();
    bool checkHeader();
    bool parseRow(ModelInputs& in);
    Status fail(size_t column, const std::string& what);

    std::string path_;
    FILE* file_ = nullptr;
    char* line_ = nullptr;
    size_t lineCapacity_ = 0;
    size_t lineLength_ = 0;
    uint64_t lineNumber_ = 0;
    uint64_t bytesRead_ = 0;
    uint64_t fileSize_ = 0;
    bool failed_ = false;
    std::string error_;
};

#endif  // ORVANE_IO_CSV_CSV_SAMPLE_READER_H
