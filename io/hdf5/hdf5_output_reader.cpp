// An HDF5 output read back block by block, its file attributes as the
// run's description.
#include <array>

#include "io/csv/csv_columns.h"
#include "io/hdf5/hdf5_file.h"
#include "io/output_reader.h"

namespace {

constexpr std::size_t kBlock = 65536;

class Hdf5OutputRows : public OutputRows {
public:
    explicit Hdf5OutputRows(const std::string& path) : path_(path) {}

    bool open(std::string& error) {
        if (!file_.openForReading(path_, error)) return false;
        for (std::size_t i = 0; i < 7; ++i) {
            uint64_t n = 0;
            if (!file_.length(std::string(kOutputColumns[i]), n, error)) return false;
            if (i > 0 && n != rows_) {
                error = "'" + path_ + "': dataset '" + std::string(kOutputColumns[i]) + "' has " + std::to_string(n) +
                        " values, '" + std::string(kOutputColumns[0]) + "' " + std::to_string(rows_);
                return false;
            }
            rows_ = n;
            block_[i].resize(kBlock);
        }
        // The quality word, in files written since it was made.
        uint64_t n = 0;
        std::string absent;
        hasQuality_ = file_.length("quality", n, absent) && n == rows_;
        if (hasQuality_) block_[7].resize(kBlock);
        description_ = {{"file", path_}};
        std::vector<std::pair<std::string, std::string>> attributes;
        if (!file_.attributes("", attributes, error)) return false;
        for (auto& a : attributes) description_.push_back(std::move(a));
        return true;
    }

    Status next(ModelOutputs& out) override {
        if (next_ == rows_) return Status::End;
        if (next_ == blockEnd_) {
            const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(kBlock, rows_ - next_));
            for (std::size_t i = 0; i < 7; ++i) {
                if (!file_.read(std::string(kOutputColumns[i]), next_, count, block_[i].data(), error_)) {
                    return Status::Error;
                }
            }
            if (hasQuality_ && !file_.read("quality", next_, count, block_[7].data(), error_)) return Status::Error;
            blockStart_ = next_;
            blockEnd_ = next_ + count;
        }
        const std::size_t k = static_cast<std::size_t>(next_ - blockStart_);
        out.timestamp = block_[0][k];
        out.magnitude = block_[1][k];
        out.angle = block_[2][k];
        out.frequency = block_[3][k];
        out.rocof = block_[4][k];
        out.reportStrobe = block_[5][k] != 0.0;
        out.activeReportRate = static_cast<int32_t>(block_[6][k]);
        quality_ = hasQuality_ ? static_cast<ReportQuality>(block_[7][k]) : 0;
        ++next_;
        return Status::Row;
    }
    const std::string& error() const override { return error_; }
    ReportQuality quality() const override { return quality_; }
    const std::vector<std::pair<std::string, std::string>>& description() const override { return description_; }

private:
    std::string path_;
    Hdf5File file_;
    uint64_t rows_ = 0;
    uint64_t next_ = 0;
    uint64_t blockStart_ = 0;
    uint64_t blockEnd_ = 0;
    std::array<std::vector<double>, 8> block_;  // the seven ports and the quality word
    bool hasQuality_ = false;
    ReportQuality quality_ = 0;
    std::string error_;
    std::vector<std::pair<std::string, std::string>> description_;
};

}  // namespace

std::unique_ptr<OutputRows> openHdf5OutputRows(const std::string& path, std::string& error) {
    auto rows = std::make_unique<Hdf5OutputRows>(path);
    if (!rows->open(error)) return nullptr;
    return rows;
}
