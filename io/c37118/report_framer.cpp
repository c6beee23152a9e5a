#include "io/c37118/report_framer.h"

#include <cmath>
#include <cstdio>

#include "io/c37118/frame_time.h"
#include "model/facts/model_facts.h"

namespace {

constexpr double kSqrt2 = 1.4142135623730951;

// The cascade of two boxcar stages of one nominal period each averages over
// two periods; the middle of that window lies one period back.
int32_t microsecondsOfPeriods(double periods, int nominal) {
    return static_cast<int32_t>(periods * 1e6 / nominal + 0.5);
}

}  // namespace

std::string nominalFrequencyProblem(double nominalFrequency) {
    if (nominalFrequency == 50.0 || nominalFrequency == 60.0) return "";
    char text[200];
    std::snprintf(text, sizeof text,
                  "nominal frequency %g Hz cannot be carried by C37.118.2 frames, which only say 50 or 60 Hz", nominalFrequency);
    return text;
}

bool ReportFramer::configure(const StreamSettings& settings, std::string& error) {
    error = nominalFrequencyProblem(settings.nominalFrequency);
    if (!error.empty()) return false;
    if (settings.idCode == 0 || settings.idCode == 0xFFFF) {
        error = "IDCODE " + std::to_string(settings.idCode) + " is reserved; use 1 to 65534";
        return false;
    }
    if (settings.timeBase == 0 || settings.timeBase > kMaxTimeBase) {
        error = "TIME_BASE " + std::to_string(settings.timeBase) + " does not fit 1 to 16777215";
        return false;
    }
    settings_ = settings;
    config_ = ConfigFrame{};
    config_.idCode = settings.idCode;
    config_.timeBase = settings.timeBase;
    config_.dataRate = static_cast<int16_t>(settings.initialReportRate);
    PmuConfig pmu;
    pmu.station = settings.station;
    pmu.idCode = settings.idCode;
    pmu.format = kFormatFrequencyFloat | kFormatPhasorFloat | kFormatPolar;
    PhasorChannel phasor;
    phasor.name = settings.phasorName;
    phasor.component = kPhasorPositiveSequence;
    pmu.phasors.push_back(phasor);
    pmu.serviceClass = 'P';
    config_.pmus.push_back(pmu);
    applyNominal(static_cast<int>(settings.nominalFrequency));
    data_ = DataFrame{};
    data_.idCode = settings.idCode;
    data_.pmus.resize(1);
    data_.pmus[0].phasors.resize(1);
    changePending_ = false;
    return true;
}

void ReportFramer::applyNominal(int nominal) {
    PmuConfig& pmu = config_.pmus[0];
    pmu.nominalFrequency = nominal;
    pmu.windowMicroseconds = microsecondsOfPeriods(2.0, nominal);
    pmu.groupDelayMicroseconds = microsecondsOfPeriods(1.0, nominal);
}

TakenReport ReportFramer::takeReport(const ModelOutputs& report, int32_t requestedRate, double nominalFrequency) {
    TakenReport taken;
    // The block clamps the requested rate to 1..1200 before latching it.
    const auto latched = [](int32_t rate) {
        return rate < facts::kLowestReportRate ? facts::kLowestReportRate
                                               : (rate > facts::kHighestReportRate ? facts::kHighestReportRate : rate);
    };
    const int32_t requested = latched(requestedRate);
    const int32_t active = latched(report.activeReportRate);
    bool& changed = taken.configChanged;
    if (nominalFrequency != config_.pmus[0].nominalFrequency) {
        taken.problem = nominalFrequencyProblem(nominalFrequency);
        if (!taken.framed()) return taken;
        applyNominal(static_cast<int>(nominalFrequency));
        changed = true;
    }
    if (active != config_.dataRate) {
        config_.dataRate = static_cast<int16_t>(active);
        changed = true;
    }
    if (changed) {
        ++config_.pmus[0].configCount;
        changeTimestamp_ = report.timestamp;
    }
    changePending_ = requested != active;
    lastTimestamp_ = report.timestamp;

    PmuData& values = data_.pmus[0];
    values.stat = statTimeQuality(settings_.clockQuality);
    if (!settings_.synchronised) values.stat |= kStatNotSynchronised;
    if (!frameTimeFromSeconds(report.timestamp + settings_.timeOffset, config_.timeBase, data_.time)) {
        // A time the frame cannot carry (not finite, before 1970, beyond
        // 2106): the clock-failure code says the timestamp is unusable.
        values.stat |= kStatNotSynchronised;
    } else {
        data_.time.quality = settings_.clockQuality;
    }
    // Start-up and non-finite values come with the report's quality word
    // (encodeData); test mode is the stream's own.
    if (settings_.testMode) values.stat |= kStatDataDoNotUse;
    values.phasors[0].first = report.magnitude / kSqrt2;
    values.phasors[0].second = report.angle;
    values.frequency = report.frequency;
    values.rocof = report.rocof;
    return taken;
}

uint16_t statTimeQuality(uint8_t clockQuality) {
    // Message codes 1..0xB name a clock accuracy; STAT says it in coarser
    // steps. Locked (0) keeps the field unused, failure is "unknown".
    static constexpr uint8_t kFromCode[16] = {0, 1, 1, 1, 2, 3, 4, 5, 6, 7, 7, 7, 7, 7, 7, 7};
    return static_cast<uint16_t>(kFromCode[clockQuality & 0xF] << 6);
}

void ReportFramer::setTime(double seconds) {
    frameTimeFromSeconds(seconds + settings_.timeOffset, config_.timeBase, data_.time);
}

bool ReportFramer::configChangeFlagFor(uint16_t recipientConfigCount) const {
    if (changePending_) return true;
    return recipientConfigCount != configCount() && lastTimestamp_ - changeTimestamp_ < kConfigChangeFlagSeconds;
}

uint16_t statWithQuality(uint16_t stat, ReportQuality quality) {
    if (qualityDoNotUse(quality)) {
        stat = static_cast<uint16_t>((stat & ~kStatDataErrorMask) | kStatDataDoNotUse);
    } else if ((quality & kQualityBridged) != 0) {
        stat |= kStatDataModified;
    }
    if ((quality & kQualityUnsynchronised) != 0) stat |= kStatNotSynchronised;
    return stat;
}

void ReportFramer::encodeData(bool configChangeFlag, std::vector<uint8_t>& out, ReportQuality quality) {
    const uint16_t stat = data_.pmus[0].stat;
    if (configChangeFlag) data_.pmus[0].stat = static_cast<uint16_t>(stat | kStatConfigChange);
    data_.pmus[0].stat = statWithQuality(data_.pmus[0].stat, quality);
    std::string ignored;  // one PMU block never comes near the size limit
    encodeDataFrame(config_, data_, out, ignored);
    data_.pmus[0].stat = stat;
}

void ReportFramer::encodeConfig(FrameType type, std::vector<uint8_t>& out) {
    config_.type = type;
    config_.time = data_.time;
    std::string ignored;
    encodeConfigFrame(config_, out, ignored);
    config_.type = FrameType::Config2;
}

void ReportFramer::encodeHeader(std::vector<uint8_t>& out) {
    HeaderFrame header;
    header.idCode = config_.idCode;
    header.time = data_.time;
    header.text = settings_.headerText;
    std::string ignored;
    encodeHeaderFrame(header, out, ignored);
}
