#include "io/comtrade/comtrade_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

std::string shortest(double v) {
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

std::string offset(int minutes) {
    std::string text = minutes < 0 ? "-" : "";
    const int m = std::abs(minutes);
    text += std::to_string(m / 60);
    if (m % 60 != 0) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "h%02d", m % 60);
        text += buffer;
    }
    return text;
}

std::string stamp(const CivilTime& t, int revision, bool nanoseconds) {
    char buffer[64];
    const int64_t hh = t.secondOfDay / 3600;
    const int64_t mm = t.secondOfDay / 60 % 60;
    const int64_t ss = t.secondOfDay % 60;
    if (revision == 1991) {
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d,%02lld:%02lld:%02lld.%06lld", t.month, t.day, t.year % 100,
                      static_cast<long long>(hh), static_cast<long long>(mm), static_cast<long long>(ss),
                      static_cast<long long>(t.nanoseconds / 1000));
    } else if (nanoseconds) {
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d,%02lld:%02lld:%02lld.%09lld", t.day, t.month, t.year,
                      static_cast<long long>(hh), static_cast<long long>(mm), static_cast<long long>(ss),
                      static_cast<long long>(t.nanoseconds));
    } else {
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d,%02lld:%02lld:%02lld.%06lld", t.day, t.month, t.year,
                      static_cast<long long>(hh), static_cast<long long>(mm), static_cast<long long>(ss),
                      static_cast<long long>(t.nanoseconds / 1000));
    }
    return buffer;
}

void putU16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}

void putU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

double timestampOf(const ComtradeConfig& cfg, const ComtradeData& data, std::size_t i) {
    if (!data.timestamps.empty()) return data.timestamps[i];
    if (!cfg.timedByRates()) return 0.0;
    // Elapsed time of sample i from the rates, in ticks.
    double elapsed = 0.0;
    int64_t previousEnd = 0;
    for (const RateSection& r : cfg.rates) {
        if (static_cast<int64_t>(i) < r.endSample) {
            elapsed += static_cast<double>(static_cast<int64_t>(i) - previousEnd) / r.rate;
            break;
        }
        elapsed += static_cast<double>(r.endSample - previousEnd) / r.rate;
        previousEnd = r.endSample;
    }
    const double tick = cfg.timeMultiplier * (cfg.nanosecondTimestamps ? 1e-9 : 1e-6);
    return std::round(elapsed / tick);
}

int statusOf(const ComtradeData& data, std::size_t channel, std::size_t i) {
    return channel < data.status.size() ? data.status[channel][i] : 0;
}

}  // namespace

std::string formatCfg(const ComtradeConfig& cfg) {
    std::string out;
    auto line = [&out](const std::string& text) { out += text + "\r\n"; };
    line(cfg.station + "," + cfg.device + (cfg.revision == 1991 ? "" : "," + std::to_string(cfg.revision)));
    line(std::to_string(cfg.analogs.size() + cfg.digitals.size()) + "," + std::to_string(cfg.analogs.size()) + "A," +
         std::to_string(cfg.digitals.size()) + "D");
    const bool integerRaw = cfg.format == DataFormat::Binary || cfg.format == DataFormat::Ascii;
    const char* rawLimit = cfg.format == DataFormat::Binary ? "32767" : (integerRaw ? "99999" : "2147483647");
    for (const ComtradeAnalogChannel& c : cfg.analogs) {
        std::string text = std::to_string(c.number) + "," + c.id + "," + c.phase + "," + c.circuit + "," + c.unit +
                           "," + shortest(c.a) + "," + shortest(c.b) + "," + shortest(c.skewMicroseconds) + ",-" +
                           rawLimit + "," + rawLimit;
        if (cfg.revision != 1991) {
            text += "," + shortest(c.primary) + "," + shortest(c.secondary) + "," + std::string(1, c.scaling == 'S' ? 'S' : 'P');
        }
        line(text);
    }
    for (const ComtradeDigitalChannel& c : cfg.digitals) {
        if (cfg.revision == 1991) {
            line(std::to_string(c.number) + "," + c.id + "," + std::to_string(c.normalState));
        } else {
            line(std::to_string(c.number) + "," + c.id + "," + c.phase + "," + c.circuit + "," +
                 std::to_string(c.normalState));
        }
    }
    line(std::isnan(cfg.lineFrequency) ? "" : shortest(cfg.lineFrequency));
    const bool byRates = cfg.timedByRates();
    line(std::to_string(byRates ? cfg.rates.size() : 0));
    for (const RateSection& r : cfg.rates) line(shortest(byRates ? r.rate : 0.0) + "," + std::to_string(r.endSample));
    line(stamp(cfg.start, cfg.revision, cfg.nanosecondTimestamps));
    line(stamp(cfg.trigger, cfg.revision, cfg.nanosecondTimestamps));
    line(dataFormatName(cfg.format));
    if (cfg.revision == 1991) return out;
    line(shortest(cfg.timeMultiplier));
    if (cfg.revision < 2013) return out;
    line(offset(cfg.timeCodeMinutes) + "," + offset(cfg.localCodeMinutes));
    char tmq[12];
    std::snprintf(tmq, sizeof tmq, "%X", cfg.timeQuality < 0 ? 0 : cfg.timeQuality);
    line(std::string(tmq) + "," + std::to_string(cfg.leapSecond < 0 ? 0 : cfg.leapSecond));
    return out;
}

std::string formatDat(const ComtradeConfig& cfg, const ComtradeData& data) {
    const std::size_t samples = static_cast<std::size_t>(cfg.sampleCount());
    std::string out;
    for (std::size_t i = 0; i < samples; ++i) {
        const double ts = timestampOf(cfg, data, i);
        if (cfg.format == DataFormat::Ascii) {
            out += std::to_string(i + 1) + "," + (std::isnan(ts) ? "" : shortest(ts));
            for (const auto& channel : data.analogRaw) {
                const double v = channel[i];
                out += ",";
                if (!std::isnan(v)) out += shortest(std::round(v));
            }
            for (std::size_t d = 0; d < cfg.digitals.size(); ++d) out += "," + std::to_string(statusOf(data, d, i));
            out += "\r\n";
            continue;
        }
        putU32(out, static_cast<uint32_t>(i + 1));
        putU32(out, std::isnan(ts) ? 0xFFFFFFFFu : static_cast<uint32_t>(ts));
        for (const auto& channel : data.analogRaw) {
            const double v = channel[i];
            if (cfg.format == DataFormat::Binary) {
                putU16(out, std::isnan(v) ? 0x8000u : static_cast<uint16_t>(static_cast<int16_t>(std::lround(v))));
            } else if (cfg.format == DataFormat::Binary32) {
                putU32(out, std::isnan(v) ? 0x80000000u : static_cast<uint32_t>(static_cast<int32_t>(std::lround(v))));
            } else {
                const float f = static_cast<float>(v);
                uint32_t bits;
                std::memcpy(&bits, &f, sizeof bits);
                putU32(out, bits);
            }
        }
        for (std::size_t word = 0; word < (cfg.digitals.size() + 15) / 16; ++word) {
            uint16_t bits = 0;
            for (std::size_t b = 0; b < 16 && word * 16 + b < cfg.digitals.size(); ++b) {
                if (statusOf(data, word * 16 + b, i) != 0) bits = static_cast<uint16_t>(bits | (1u << b));
            }
            putU16(out, bits);
        }
    }
    return out;
}

namespace {

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

}  // namespace

bool writeComtrade(const std::string& stem, const ComtradeConfig& config, const ComtradeData& data) {
    return writeFile(stem + ".cfg", formatCfg(config)) && writeFile(stem + ".dat", formatDat(config, data));
}

bool writeCff(const std::string& path, const ComtradeConfig& config, const ComtradeData& data) {
    const std::string dat = formatDat(config, data);
    std::string out = "--- file type: CFG ---\r\n" + formatCfg(config);
    out += "--- file type: INF ---\r\n--- file type: HDR ---\r\n";
    out += std::string("--- file type: DAT ") + dataFormatName(config.format);
    if (config.format != DataFormat::Ascii) out += ": " + std::to_string(dat.size());
    out += " ---\r\n" + dat;
    return writeFile(path, out);
}
