#include "io/hdf5/hdf5_sink.h"

#include <cstring>

#include "io/csv/csv_columns.h"
#include "io/hdf5/hdf5_file.h"

namespace {

// Rows per block written at once, and per chunk of every dataset (512 KiB
// of doubles: big enough for deflate, small enough to read a slice).
constexpr std::size_t kBlockRows = 65536;

struct Column {
    const char* units;
    const char* description;
};

const Column kColumns[7] = {
    {"s", "report instant in report mode, else Time minus one period of the active channel's tuning frequency; "
          "seconds on the run's time base (see time_origin_utc)"},
    {"unit of the phase samples, peak",
     "peak amplitude of the positive-sequence phasor times the magnitude calibration gain c2*f^2 + c1*f + c0"},
    {"rad",
     "phase of the positive sequence against a cosine at the nominal frequency whose phase is zero at every whole "
     "second of Time, within -pi..pi, plus the phase calibration offset p2*f^2 + p1*f + p0"},
    {"Hz", "estimated frequency"},
    {"Hz/s", "estimated rate of change of frequency"},
    {"1", "1 at a report instant, else 0"},
    {"1/s", "the report rate the block is reporting at"},
};

// What each bit of the `quality` dataset says, lowest first (the names are
// kQualityBitNames).
const char* const kQualityBitMeanings[kQualityBitCount] = {
    "the filters are still filling since the block started (or started again): a start-up value",
    "the figure rests on input the gap bridge estimated within its proven span: usable, but modified",
    "the figure rests on missing input, or on a gap longer than the bridge's proven span",
    "the block was started afresh after an outage; its filters are filling",
    "a value of the figure, or an input it rests on, is not finite",
    "the block's input is absent",
    "the input's time is not traceable to UTC",
};

bool samePorts(const ModelInputs& a, const ModelInputs& b) {
    return a.reportRate == b.reportRate && a.reportMode == b.reportMode &&
           std::memcmp(a.magnitudeCoeffs, b.magnitudeCoeffs, sizeof a.magnitudeCoeffs) == 0 &&
           std::memcmp(a.phaseCoeffs, b.phaseCoeffs, sizeof a.phaseCoeffs) == 0 &&
           std::memcmp(&a.nominalFrequency, &b.nominalFrequency, sizeof a.nominalFrequency) == 0;
}

}  // namespace

Hdf5Sink::Hdf5Sink(const std::string& path, bool reportsOnly, const RunDescription& description)
    : path_(path), reportsOnly_(reportsOnly), description_(description) {}

Hdf5Sink::~Hdf5Sink() {
    stopWriter();
    // Closed before the temporary file goes, whatever happened.
    if (hdf5_) {
        std::string ignored;
        hdf5_->close(ignored);
    }
}

bool Hdf5Sink::open() {
    if (path_.empty() || path_ == "-") {
        error_ = "an HDF5 output needs a file name (it cannot go to standard output)";
        return false;
    }
    if (!file_.open(path_, error_)) return false;
    if (file_.descriptor() < 0) {
        error_ = "cannot create output '" + path_ + "'";
        return false;
    }
    // The library writes the temporary file itself, through our descriptor's
    // name; OutputFile still renames it over the target only on success.
    hdf5_ = std::make_unique<Hdf5File>();
    const std::string through = "/proc/self/fd/" + std::to_string(file_.descriptor());
    if (!hdf5_->create(through, path_, error_)) return false;
    for (int i = 0; i < 7; ++i) {
        const Hdf5File::Type type = i < 5 ? Hdf5File::Type::Float64 : Hdf5File::Type::Int32;
        const std::string name(kOutputColumns[static_cast<std::size_t>(i)]);
        if (hdf5_->addSeries(name, type, kBlockRows, error_) != i) return false;
        if (!hdf5_->setText(name, "units", kColumns[i].units, error_) ||
            !hdf5_->setText(name, "description", kColumns[i].description, error_)) {
            return false;
        }
    }
    if (hdf5_->addSeries("quality", Hdf5File::Type::Int32, kBlockRows, error_) != 7 ||
        !hdf5_->setText("quality", "units", "1", error_) ||
        !hdf5_->setText("quality", "description",
                        "the quality word of the row: one bit per reason not to trust the figure, 0 when there is "
                        "none; bits that mean do not use: see do_not_use_mask",
                        error_) ||
        !hdf5_->setInteger("quality", "do_not_use_mask", kQualityDoNotUseMask, error_)) {
        return false;
    }
    for (int bit = 0; bit < kQualityBitCount; ++bit) {
        const std::string name = "bit_" + std::to_string(bit);
        if (!hdf5_->setText("quality", name.c_str(),
                            std::string(kQualityBitNames[bit]) + ": " + kQualityBitMeanings[bit], error_)) {
            return false;
        }
    }
    for (Block& block : blocks_) {
        for (auto& column : block.doubles) column.resize(kBlockRows);
        for (auto& column : block.integers) column.resize(kBlockRows);
    }
    writer_ = std::thread([this] { writerLoop(); });
    return true;
}

void Hdf5Sink::writerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return pending_ || stop_; });
        if (!pending_) return;
        const Block& block = blocks_[pendingBlock_];
        const std::size_t rows = pendingRows_;
        lock.unlock();
        std::string error;
        const bool ok = append(block, rows, error);
        lock.lock();
        if (!ok && !writerFailed_) {
            writerFailed_ = true;
            writerError_ = error;
        }
        pending_ = false;
        changed_.notify_all();
    }
}

bool Hdf5Sink::waitWriter() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    if (!writerFailed_) return true;
    error_ = writerError_;
    return false;
}

bool Hdf5Sink::handOff() {
    if (!waitWriter()) return false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        pending_ = true;
        pendingBlock_ = filling_;
        pendingRows_ = buffered_;
    }
    changed_.notify_all();
    filling_ ^= 1;
    buffered_ = 0;
    return true;
}

void Hdf5Sink::stopWriter() {
    if (!writer_.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    writer_.join();
}

bool Hdf5Sink::write(const ModelInputs& in, const ModelOutputs& out) {
    if (samples_ == 0) firstInputs_ = in;
    if (portsConstant_ && !samePorts(in, firstInputs_)) portsConstant_ = false;
    ++samples_;
    if (reportsOnly_ && !out.reportStrobe) return true;
    Block& block = blocks_[filling_];
    block.doubles[0][buffered_] = out.timestamp;
    block.doubles[1][buffered_] = out.magnitude;
    block.doubles[2][buffered_] = out.angle;
    block.doubles[3][buffered_] = out.frequency;
    block.doubles[4][buffered_] = out.rocof;
    block.integers[0][buffered_] = out.reportStrobe ? 1 : 0;
    block.integers[1][buffered_] = out.activeReportRate;
    block.integers[2][buffered_] = nextQuality();
    ++rows_;
    if (++buffered_ == kBlockRows) return handOff();
    return true;
}

bool Hdf5Sink::append(const Block& block, std::size_t rows, std::string& error) {
    for (int i = 0; i < 5; ++i) {
        if (!hdf5_->append(i, block.doubles[i].data(), rows, error)) return false;
    }
    for (int i = 0; i < 3; ++i) {
        if (!hdf5_->append(5 + i, block.integers[i].data(), rows, error)) return false;
    }
    return true;
}

bool Hdf5Sink::writeAttributes() {
    const RunDescription& d = description_;
    auto text = [&](const char* name, const std::string& value) { return hdf5_->setText("", name, value, error_); };
    auto number = [&](const char* name, double value) { return hdf5_->setNumbers("", name, &value, 1, error_); };
    const double startTime = firstInputs_.time;
    bool ok = text("title", "Orvane phasor measurement unit, performance class P: the block's outputs") &&
              text("tool_version", orvaneVersion()) && text("model", d.model) && text("build", d.build) &&
              number("sample_rate_hz", d.sampleRate) && text("deliverable", d.deliverable) &&
              text("input", d.input) && text("command_line", d.commandLine) &&
              text("rows", reportsOnly_ ? "report instants only" : "every sample") &&
              hdf5_->setInteger("", "samples", static_cast<int64_t>(samples_), error_) &&
              text("magnitude_convention", "peak amplitude of the positive-sequence phasor (not RMS)") &&
              text("angle_reference",
                   "cosine at the nominal frequency with phase zero at every whole second of Time; radians in -pi..pi") &&
              text("time_origin_utc", utcText(d.epochOfTimeZero)) &&
              number("time_origin_epoch_seconds", d.epochOfTimeZero);
    if (ok && samples_ > 0) {
        ok = number("start_time_s", startTime) && text("start_time_utc", utcText(d.epochOfTimeZero, startTime));
    }
    if (!ok) return false;
    if (samples_ == 0) return true;
    if (!portsConstant_) return text("configuration_ports", "varying during the run");
    const double reportRate = firstInputs_.reportRate;
    const double reportMode = firstInputs_.reportMode ? 1.0 : 0.0;
    return number("report_rate", reportRate) && number("report_mode", reportMode) &&
           number("nominal_frequency_hz", firstInputs_.nominalFrequency) &&
           hdf5_->setNumbers("", "magnitude_coeffs", firstInputs_.magnitudeCoeffs, 3, error_) &&
           hdf5_->setNumbers("", "phase_coeffs", firstInputs_.phaseCoeffs, 3, error_);
}

bool Hdf5Sink::finish() {
    if (!hdf5_) {
        error_ = "output '" + path_ + "' is not open";
        return false;
    }
    const bool written = waitWriter();
    stopWriter();
    if (!written || !append(blocks_[filling_], buffered_, error_) || !writeAttributes() || !hdf5_->close(error_)) {
        file_.discard();
        return false;
    }
    hdf5_.reset();
    return file_.commit(error_);
}
