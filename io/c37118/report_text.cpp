#include "io/c37118/report_text.h"

#include <cmath>
#include <cstdio>

#include "io/c37118/frame_time.h"

namespace {

void appendFormatted(std::string& out, const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    out += text;
}

// Decimal places that show every FRACSEC step of this TIME_BASE.
int fractionDigits(uint32_t timeBase) {
    int digits = 0;
    for (uint64_t step = 1; step < timeBase && digits < 9; step *= 10) ++digits;
    return digits;
}

std::string dataRateText(int16_t rate) {
    if (rate > 0) return std::to_string(rate) + " frames/s";
    return "1 frame every " + std::to_string(-static_cast<int>(rate)) + " s";
}

}  // namespace

std::string describeConfig(const ConfigFrame& config) {
    std::string text = std::string(config.type == FrameType::Config3   ? "CFG-3"
                                   : config.type == FrameType::Config1 ? "CFG-1"
                                                                       : "CFG-2") +
                       " IDCODE " + std::to_string(config.idCode) + ", TIME_BASE " + std::to_string(config.timeBase) +
                       ", " + dataRateText(config.dataRate);
    for (size_t k = 0; k < config.pmus.size(); ++k) {
        const PmuConfig& pmu = config.pmus[k];
        text += ", PMU " + std::to_string(k + 1) + " '" + pmu.station + "' (IDCODE " + std::to_string(pmu.idCode) + ", " +
                std::to_string(pmu.nominalFrequency) + " Hz, CFGCNT " + std::to_string(pmu.configCount) + ", " +
                std::to_string(pmu.phasors.size()) + " phasor(s) " +
                ((pmu.format & kFormatPhasorFloat) != 0 ? "float " : "integer ") +
                ((pmu.format & kFormatPolar) != 0 ? "polar" : "rectangular") + ", FREQ " +
                ((pmu.format & kFormatFrequencyFloat) != 0 ? "float" : "integer") + ", " +
                std::to_string(pmu.analogs.size()) + " analog(s), " + std::to_string(pmu.digitals.size()) +
                " digital word(s))";
    }
    return text;
}

std::string dataCsvHeader(const ConfigFrame& config) {
    std::string header = "timestamp,soc,fracsec,idcode,stat,frequency,rocof";
    if (config.pmus.empty()) return header;
    const PmuConfig& pmu = config.pmus[0];
    for (size_t i = 1; i <= pmu.phasors.size(); ++i) {
        header += ",phasor" + std::to_string(i) + "_magnitude,phasor" + std::to_string(i) + "_angle";
    }
    for (size_t i = 1; i <= pmu.analogs.size(); ++i) header += ",analog" + std::to_string(i);
    for (size_t i = 1; i <= pmu.digitals.size(); ++i) header += ",digital" + std::to_string(i);
    return header;
}

void appendDataRows(const ConfigFrame& config, const DataFrame& data, std::string& out) {
    char text[96];
    const int digits = fractionDigits(config.timeBase);
    const double seconds = secondsOf(data.time, config.timeBase);
    for (size_t k = 0; k < data.pmus.size() && k < config.pmus.size(); ++k) {
        const PmuConfig& pmu = config.pmus[k];
        const PmuData& values = data.pmus[k];
        std::snprintf(text, sizeof text, "%.*f,%u,%u,%u,0x%04X", digits, seconds, data.time.soc, data.time.fracSec,
                      pmu.idCode, values.stat);
        out += text;
        appendFormatted(out, ",%.9g", values.frequency);
        appendFormatted(out, ",%.9g", values.rocof);
        const bool polar = (pmu.format & kFormatPolar) != 0;
        for (const PhasorValue& p : values.phasors) {
            appendFormatted(out, ",%.9g", polar ? p.first : std::hypot(p.first, p.second));
            appendFormatted(out, ",%.9g", polar ? p.second : std::atan2(p.second, p.first));
        }
        for (double analog : values.analogs) appendFormatted(out, ",%.9g", analog);
        for (uint16_t word : values.digitals) {
            std::snprintf(text, sizeof text, ",0x%04X", word);
            out += text;
        }
        out += '\n';
    }
}
