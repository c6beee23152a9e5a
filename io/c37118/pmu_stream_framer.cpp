#include "io/c37118/pmu_stream_framer.h"

#include <cmath>
#include <limits>

namespace {

// Two blocks report the same instant when their timestamps differ by less
// than this: far below any sample period, far above rounding.
constexpr double kSameInstant = 1e-6;

}  // namespace

bool PmuStreamFramer::configure(const std::vector<StreamSettings>& blocks, uint16_t streamIdCode,
                                std::string& error) {
    blocks_.assign(blocks.size(), ReportFramer{});
    ended_.assign(blocks.size(), false);
    quality_.assign(blocks.size(), 0);
    for (size_t k = 0; k < blocks.size(); ++k) {
        for (size_t j = 0; j < k; ++j) {
            if (blocks[j].idCode == blocks[k].idCode) {
                error = "PMU blocks " + std::to_string(j + 1) + " and " + std::to_string(k + 1) +
                        " share IDCODE " + std::to_string(blocks[k].idCode);
                return false;
            }
        }
        if (!blocks_[k].configure(blocks[k], error)) {
            if (blocks.size() > 1) error = "PMU block " + std::to_string(k + 1) + ": " + error;
            return false;
        }
    }
    if (streamIdCode == 0 || streamIdCode == 0xFFFF) {
        error = "IDCODE " + std::to_string(streamIdCode) + " is reserved; use 1 to 65534";
        return false;
    }
    idCode_ = streamIdCode;
    configCount_ = 0;
    return true;
}

TakenReport PmuStreamFramer::takeReport(size_t block, const ModelOutputs& report, int32_t requestedRate,
                                        double nominalFrequency, ReportQuality quality) {
    quality_[block] = quality;
    TakenReport taken = blocks_[block].takeReport(report, requestedRate, nominalFrequency);
    if (!taken.framed() && blocks_.size() > 1) taken.problem = "PMU block " + std::to_string(block + 1) + ": " + taken.problem;
    if (taken.configChanged) {
        ++configCount_;
        changeTimestamp_ = blocks_[0].lastTimestamp();
    }
    return taken;
}

bool PmuStreamFramer::configChangeFlagFor(uint16_t recipientConfigCount) const {
    for (const ReportFramer& b : blocks_) {
        if (b.configChangeFlagFor(b.configCount())) return true;  // a change is pending
    }
    return recipientConfigCount != configCount_ &&
           blocks_[0].lastTimestamp() - changeTimestamp_ < kConfigChangeFlagSeconds;
}

void PmuStreamFramer::encodeConfig(FrameType type, std::vector<uint8_t>& out) {
    rebuildConfig();
    config_.type = type;
    std::string ignored;  // a few blocks of one phasor stay far below 64 KiB
    encodeConfigFrame(config_, out, ignored);
}

void PmuStreamFramer::rebuildConfig() {
    config_ = blocks_[0].config();
    config_.type = FrameType::Config2;
    config_.idCode = idCode_;
    config_.time = blocks_[0].time();
    config_.pmus.clear();
    for (const ReportFramer& b : blocks_) config_.pmus.push_back(b.config().pmus[0]);
}

void PmuStreamFramer::encodeData(bool configChangeFlag, std::vector<uint8_t>& out) {
    if (blocks_.size() == 1 && !ended_[0]) {
        blocks_[0].encodeData(configChangeFlag, out, quality_[0]);
        return;
    }
    rebuildConfig();
    const DataFrame& lead = blocks_[0].data();
    const double instant = blocks_[0].lastTimestamp();
    data_.idCode = idCode_;
    data_.time = lead.time;
    data_.pmus.resize(blocks_.size());
    absent_ = 0;
    for (size_t k = 0; k < blocks_.size(); ++k) {
        PmuData& block = data_.pmus[k];
        // The same instant on UTC: each block's Time counts from its own
        // origin (origins first, whole seconds, so the fractions keep
        // their digits).
        const double apart = (blocks_[k].timeOffset() - blocks_[0].timeOffset()) + (blocks_[k].lastTimestamp() - instant);
        const bool present = !ended_[k] && std::fabs(apart) < kSameInstant;
        if (present) {
            block = blocks_[k].data().pmus[0];
            block.stat = statWithQuality(block.stat, quality_[k]);
        } else {
            // Absent data: NaN in every float, flagged "do not use".
            ++absent_;
            const double nan = std::numeric_limits<double>::quiet_NaN();
            block.stat = kStatDataDoNotUse;
            block.phasors.assign(1, PhasorValue{nan, nan});
            block.frequency = nan;
            block.rocof = nan;
        }
        if (configChangeFlag) block.stat |= kStatConfigChange;
    }
    std::string ignored;
    encodeDataFrame(config_, data_, out, ignored);
}

void PmuStreamFramer::setTime(double seconds) {
    for (ReportFramer& b : blocks_) b.setTime(seconds);
}
