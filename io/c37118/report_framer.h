// Turns the measurement block's reports into the frames of one PMU stream:
// one PMU block with one positive-sequence phasor in floating-point polar
// form (RMS magnitude, angle in rad), frequency and ROCOF as floats.
//
// The block reports the PEAK magnitude; frames carry RMS, so the magnitude
// is divided by sqrt(2).
//
// Configuration changes: the block only changes its report rate when a
// channel hands over, some milliseconds after the requested rate changed.
// The framer follows the block's active rate; when it differs from the rate
// of the configuration, CFGCNT is incremented and the configuration takes
// the new rate. STAT's configuration-change bit is set while a change is
// pending (requested rate differs from the active one) and, after it took
// effect, on the frames for a recipient that has not yet been sent the new
// configuration, for at most a minute.
#ifndef ORVANE_IO_C37118_REPORT_FRAMER_H
#define ORVANE_IO_C37118_REPORT_FRAMER_H

#include <cstdint>
#include <string>
#include <vector>

#include "io/c37118/command_frame.h"
#include "io/c37118/config_frame.h"
#include "io/c37118/data_frame.h"
#include "io/report_quality.h"
#include "model/ports.h"

struct StreamSettings {
    uint16_t idCode = 1;
    std::string station = "ORVANE";
    std::string phasorName = "V1 POS SEQ";
    double nominalFrequency = 50.0;  // Hz; frames can only say 50 or 60
    // The block's active rate before its first channel hand-over.
    int32_t initialReportRate = 50;
    uint32_t timeBase = 1000000;  // FRACSEC counts microseconds
    // Seconds added to the block's times to make them seconds since 1970
    // UTC (a recording's Time counts from the midnight of its first day).
    double timeOffset = 0.0;
    std::string headerText;
    // The source's clock: the message time-quality code (0 locked .. 0xB,
    // 0xF failure) and whether its time is traceable to UTC.
    uint8_t clockQuality = 0;
    bool synchronised = true;
    bool testMode = false;  // every report flagged as test data
};

// How long after a configuration change the STAT bit stays set for a
// recipient that has not asked for the new configuration.
inline constexpr double kConfigChangeFlagSeconds = 60.0;

// What taking a report came to.
struct TakenReport {
    bool configChanged = false;  // the configuration changed with this report
    std::string problem;         // why the report cannot be framed; empty: it was
    bool framed() const { return problem.empty(); }
};

class ReportFramer {
public:
    // False, with a message for the user, when the settings cannot be
    // carried: a nominal frequency other than 50 or 60 Hz, IDCODE 0 or
    // 65535, a TIME_BASE outside 1..16777215.
    bool configure(const StreamSettings& settings, std::string& error);

    // Takes one report (a sample whose ReportStrobe is set). `requestedRate`
    // is the block's ReportRate input of that sample and `nominalFrequency`
    // its NominalFrequency input. A problem when the nominal frequency
    // became one that frames cannot carry.
    TakenReport takeReport(const ModelOutputs& report, int32_t requestedRate, double nominalFrequency);

    // The last report as a data frame; `configChangeFlag` sets STAT bit 10,
    // `quality` is the report's quality word (see statWithQuality).
    void encodeData(bool configChangeFlag, std::vector<uint8_t>& out, ReportQuality quality = 0);
    // Whether a recipient whose latest configuration frame carried CFGCNT
    // `recipientConfigCount` should see the configuration-change bit.
    bool configChangeFlagFor(uint16_t recipientConfigCount) const;

    // CFG-1, CFG-2 or CFG-3 of the current configuration, or the header.
    void encodeConfig(FrameType type, std::vector<uint8_t>& out);
    void encodeHeader(std::vector<uint8_t>& out);

    const ConfigFrame& config() const { return config_; }
    uint16_t configCount() const { return config_.pmus[0].configCount; }
    uint16_t idCode() const { return config_.idCode; }
    uint32_t timeBase() const { return config_.timeBase; }
    // The time that configuration and header frames carry: the last
    // report's, until setTime moves it (before the first report, say).
    const FrameTime& time() const { return data_.time; }
    // The last report's block and time, as the data frame carries them.
    const DataFrame& data() const { return data_; }
    double lastTimestamp() const { return lastTimestamp_; }
    // Seconds from 1970 UTC to the block's Time 0.
    double timeOffset() const { return settings_.timeOffset; }
    void setTime(double seconds);

private:
    void applyNominal(int nominal);

    StreamSettings settings_;
    ConfigFrame config_;
    DataFrame data_;
    bool changePending_ = false;
    double lastTimestamp_ = 0.0;
    double changeTimestamp_ = 0.0;
};

// STAT with a report's quality word: a reason not to use the report sets
// the data-error bits 15-14 to 10 ("do not use"); bridged input alone sets
// bit 9 ("data modified"), the figure being usable; an unsynchronised
// input sets bit 13.
uint16_t statWithQuality(uint16_t stat, ReportQuality quality);

// STAT bits 8..6 (the PMU's time quality) for a message time-quality code.
uint16_t statTimeQuality(uint8_t clockQuality);

// Message refusing a nominal frequency that frames cannot carry; empty
// when `nominalFrequency` is 50 or 60.
std::string nominalFrequencyProblem(double nominalFrequency);

#endif  // ORVANE_IO_C37118_REPORT_FRAMER_H
