// The block's outputs as an HDF5 file: one dataset per output port (the
// five doubles and the two integers), chunked, shuffled and deflated, and
// attributes that say what the numbers are (units, conventions), where they
// came from (model, rate, deliverable, input, tool version) and when (the
// absolute start time). Written beside its target and renamed over it only
// when the run succeeded. Full blocks of rows are shuffled, deflated and
// written on a thread of their own while the next block fills, so that the
// compression overlaps the model; the library is only ever called by one
// thread at a time.
#ifndef ORVANE_IO_HDF5_HDF5_SINK_H
#define ORVANE_IO_HDF5_HDF5_SINK_H

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "io/output_file.h"
#include "io/output_sink.h"
#include "io/run_description.h"

class Hdf5File;

class Hdf5Sink : public OutputSink {
public:
    Hdf5Sink(const std::string& path, bool reportsOnly, const RunDescription& description);
    ~Hdf5Sink() override;
    // Creates the file and its datasets; false, with error() set, when it
    // cannot (standard output is refused: HDF5 needs a seekable file).
    bool open();

    bool write(const ModelInputs& in, const ModelOutputs& out) override;
    bool finish() override;
    const std::string& error() const override { return error_; }

private:
    // Column buffers of one block of rows, allocated once.
    struct Block {
        std::vector<double> doubles[5];
        std::vector<int32_t> integers[3];  // report_strobe, active_report_rate, quality
    };
    // Appends `rows` rows of `block` to the datasets.
    bool append(const Block& block, std::size_t rows, std::string& error);
    // Hands the block being filled to the writer thread (once it is done
    // with the one before) and starts filling the other one.
    bool handOff();
    // Waits until the writer thread has written every block handed to it;
    // false, with error() set, when it could not.
    bool waitWriter();
    void stopWriter();
    void writerLoop();
    bool writeAttributes();

    std::string path_;
    bool reportsOnly_;
    RunDescription description_;
    OutputFile file_;
    std::unique_ptr<Hdf5File> hdf5_;
    Block blocks_[2];
    int filling_ = 0;          // the block write() fills
    std::size_t buffered_ = 0;  // rows in it
    // Shared with the writer thread, under mutex_: a block handed over and
    // not yet written, the writer's first failure, and the order to stop.
    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool pending_ = false;
    int pendingBlock_ = 0;
    std::size_t pendingRows_ = 0;
    bool writerFailed_ = false;
    std::string writerError_;
    bool stop_ = false;
    uint64_t rows_ = 0;
    uint64_t samples_ = 0;
    ModelInputs firstInputs_;
    bool portsConstant_ = true;
    std::string error_;
};

#endif  // ORVANE_IO_HDF5_HDF5_SINK_H
