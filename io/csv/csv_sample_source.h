// Samples from a CSV file: a header line naming the thirteen sample columns
// in order, then one row per sample; or a plain three-phase CSV, whose
// header is `time,va,vb,vc` (or any header, its phase columns named by the
// caller), with the configuration ports given by the caller. Every fault in
// the file is reported with the file's name, the line and the column where
// it was found.
#ifndef ORVANE_IO_CSV_CSV_SAMPLE_SOURCE_H
#define ORVANE_IO_CSV_CSV_SAMPLE_SOURCE_H

#include <cstdio>
#include <memory>
#include <string>

#include <vector>

#include "io/gap_bridge.h"
#include "io/input_checks.h"
#include "io/sample_source.h"

struct CsvReadOptions {
    // The columns of phases a, b, c by name: the file is then a plain
    // three-phase CSV whatever else its header holds (a column `time` gives
    // the sample times). Empty: `time,va,vb,vc` is the plain header, and
    // the thirteen sample columns the full one.
    std::vector<std::string> phases;
    // The configuration ports of every sample of a plain CSV.
    ModelInputs ports;
};

class CsvSampleSource : public SampleSource {
public:
    // Opens the file and checks its header. Null, with `error` set ("FILE:
    // LINE:COLUMN: what"), when the file cannot be read or its header is
    // neither form.
    static std::unique_ptr<CsvSampleSource> open(const std::string& path, std::string& error,
                                                 const CsvReadOptions& options = {});
    ~CsvSampleSource() override;

    // A plain three-phase CSV: its ports come from the options, not the file.
    bool plain() const { return plain_; }

    // Checks the spacing of `time` against a sample rate (Hz): the first
    // step that looks like sampling must be one period (else the file is at
    // another rate, and the error says which), and so must every later one.
    // Steps of zero or backwards, and forward jumps of 5 ms or more, are
    // time discontinuities the block handles; they are counted, not
    // refused. Tolerance: a thousandth of a period plus the resolution of a
    // double at that time (2.4e-7 s near 1.7e9 s).
    void expectSampleRate(double sampleRate);
    // Bridges missing phase values (NaN, infinite) by the rule of GapBridge,
    // at the rate given to expectSampleRate and the nominal frequency of the
    // first row; marks then say which samples the bridge touched.
    void bridgeGaps() { bridge_ = true; }

    // Rows with a missing value in va, vb, vc or time, and the first one's
    // line (0 when none).
    uint64_t missingRows() const { return missingRows_; }
    uint64_t firstMissingLine() const { return firstMissingLine_; }
    uint64_t timeJumps() const { return timeJumps_; }
    uint64_t firstTimeJumpLine() const { return firstTimeJumpLine_; }
    // The gap bridge's mark: the sample rests on bridged or missing input.
    ReportQuality sampleQuality() const override { return quality_; }

    const std::string& name() const override { return path_; }
    std::optional<uint64_t> sampleCount() const override { return std::nullopt; }
    std::optional<double> fractionConsumed() const override;
    Status next(ModelInputs& in) override;
    const std::string& error() const override { return error_; }

private:
    explicit CsvSampleSource(const std::string& path);
    // Reads the next line into line_ (no line end); false at the end of the
    // file or on a read error (then error_ is set).
    bool readLine();
    bool checkHeader(const CsvReadOptions& options);
    bool parseRow(ModelInputs& in);
    bool parsePlainRow(ModelInputs& in);
    template <typename TooMany, typename Take>
    size_t splitFields(size_t most, TooMany tooMany, Take take);
    bool findPlainColumns(const std::vector<std::string>& names, const CsvReadOptions& options);
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
    bool checkSpacing(double time);

    bool plain_ = false;
    std::size_t columns_ = 0;         // fields of every row of a plain CSV
    std::size_t timeColumn_ = 0;      // of a plain CSV
    std::size_t phaseColumns_[3] = {1, 2, 3};
    std::vector<std::string> columnNames_;
    ModelInputs ports_;

    double period_ = 0.0;  // 0: spacing not checked
    bool havePrevious_ = false;
    bool rateConfirmed_ = false;
    double previousTime_ = 0.0;
    uint64_t missingRows_ = 0;
    uint64_t firstMissingLine_ = 0;
    uint64_t timeJumps_ = 0;
    uint64_t firstTimeJumpLine_ = 0;
    bool bridge_ = false;
    std::unique_ptr<GapBridge> bridger_;
    ReportQuality quality_ = 0;  // the bridge's word for the sample last read
    std::string error_;
};

// The sample rate of a sample CSV from the steps of time over its first
// second (findSampleRate), for choosing and checking a build; rate 0, with
// `error` set, when the file is bad or cannot tell.
RateFinding csvSampleRate(const std::string& path, const CsvReadOptions& options, std::string& error);

// The one-line warning (no line end) about missing values the reader met,
// empty when there were none.
std::string missingRowsWarning(const CsvSampleSource& reader);
// The same for time discontinuities.
std::string timeJumpWarning(const CsvSampleSource& reader);

#endif  // ORVANE_IO_CSV_CSV_SAMPLE_SOURCE_H
