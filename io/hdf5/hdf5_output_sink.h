// The block's outputs as an HDF5 file: one dataset per output port (the
// five doubles and the two integers), chunked, shuffled and deflated, and
// attributes that say what the numbers are (units, conventions), where they
// came from (model, rate, deliverable, input, tool version) and when (the
// absolute start time). Written beside its target and renamed over it only
// when the run succeeded.
#ifndef ORVANE_IO_HDF5_HDF5_OUTPUT_SINK_H
#define ORVANE_IO_HDF5_HDF5_OUTPUT_SINK_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/output_file.h"
#include "io/output_sink.h"
#include "io/run_description.h"

class Hdf5File;

class Hdf5OutputSink : public OutputSink {
public:
    Hdf5OutputSink(const std::string& path, bool reportsOnly, const RunDescription& description);
    ~Hdf5OutputSink() override;
    // Creates the file and its datasets; false, with error() set, when it
    // cannot (standard output is refused: HDF5 needs a seekable file).
    bool open();

    bool write(const ModelInputs& in, const ModelOutputs& out) override;
    bool finish() override;
    const std::string& error() const override { return error_; }

private:
    bool flush();
    bool writeAttributes();

    std::string path_;
    bool reportsOnly_;
    RunDescription description_;
    OutputFile file_;
    std::unique_ptr<Hdf5File> hdf5_;
    // Column buffers of one block of rows, allocated once.
    std::vector<double> doubles_[5];
    std::vector<int32_t> integers_[2];
    std::size_t buffered_ = 0;
    uint64_t rows_ = 0;
    uint64_t samples_ = 0;
    ModelInputs firstInputs_;
    bool portsConstant_ = true;
    std::string error_;
};

#endif  // ORVANE_IO_HDF5_HDF5_OUTPUT_SINK_H
