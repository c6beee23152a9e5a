#include "io/comtrade/dat_reader.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_text.h"

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

std::string analogFieldName(const ComtradeConfig& cfg, std::size_t channel) {
    return "A" + std::to_string(channel + 1) + " " + cfg.analogs[channel].id;
}

void checkCount(const ComtradeConfig& cfg, int64_t found, const std::string& fileName, int line) {
    const int64_t expected = cfg.sampleCount();
    if (found < expected) {
        throw ComtradeError(fileName, line, 0, "",
                            "truncated: the configuration announces " + std::to_string(expected) +
                                " samples, the data holds " + std::to_string(found));
    }
    if (found > expected) {
        throw ComtradeError(fileName, line, 0, "",
                            "the data holds more samples than the configuration's last endsamp (" +
                                std::to_string(expected) + ")");
    }
}

DatSamples readAscii(std::string_view data, const ComtradeConfig& cfg, const std::vector<int>& wanted,
                     const std::string& fileName, int firstLine) {
    const std::vector<std::string_view> lines = splitLines(data);
    const std::size_t analogs = cfg.analogs.size();
    const std::size_t expectedFields = 2 + analogs + cfg.digitals.size();
    DatSamples out;
    out.channels.resize(wanted.size());
    std::vector<double> row(analogs);
    int64_t previousNumber = 0;
    int64_t count = 0;
    int lastLine = firstLine;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int lineNumber = firstLine + static_cast<int>(i);
        if (trimmed(lines[i]).empty()) continue;
        lastLine = lineNumber;
        std::vector<std::string_view> f = splitFields(lines[i]);
        // One trailing comma is harmless.
        if (f.size() == expectedFields + 1 && f.back().empty()) f.pop_back();
        if (f.size() != expectedFields) {
            throw ComtradeError(fileName, lineNumber, 0, "",
                                "expected " + std::to_string(expectedFields) + " fields (n, timestamp, " +
                                    std::to_string(analogs) + " analog, " + std::to_string(cfg.digitals.size()) +
                                    " status), found " + std::to_string(f.size()));
        }
        const auto number = parseInteger(f[0]);
        if (!number) throw ComtradeError(fileName, lineNumber, 1, "n", "'" + std::string(f[0]) + "' is not a sample number");
        if (count > 0 && static_cast<uint64_t>(*number) != static_cast<uint64_t>(previousNumber) + 1u) {
            throw ComtradeError(fileName, lineNumber, 1, "n",
                                "sample number " + std::to_string(*number) + " does not follow " +
                                    std::to_string(previousNumber));
        }
        previousNumber = *number;
        double timestamp = kMissing;
        if (!f[1].empty()) {
            const auto t = parseReal(f[1]);
            if (!t) throw ComtradeError(fileName, lineNumber, 2, "timestamp", "'" + std::string(f[1]) + "' is not a number");
            timestamp = *t;
        }
        for (std::size_t c = 0; c < analogs; ++c) {
            const std::string_view field = f[2 + c];
            // An empty field marks a missing value; so does 99999 in older files.
            if (field.empty() || field == "99999") {
                row[c] = kMissing;
                continue;
            }
            const auto v = parseReal(field);
            if (!v) {
                throw ComtradeError(fileName, lineNumber, static_cast<int>(3 + c), analogFieldName(cfg, c),
                                    "'" + std::string(field) + "' is not a number");
            }
            row[c] = *v;
        }
        for (std::size_t d = 0; d < cfg.digitals.size(); ++d) {
            const std::string_view field = f[2 + analogs + d];
            if (field != "0" && field != "1") {
                throw ComtradeError(fileName, lineNumber, static_cast<int>(3 + analogs + d),
                                    "D" + std::to_string(d + 1) + " " + cfg.digitals[d].id,
                                    "status '" + std::string(field) + "' is neither 0 nor 1");
            }
        }
        out.timestamps.push_back(timestamp);
        for (std::size_t w = 0; w < wanted.size(); ++w) out.channels[w].push_back(row[static_cast<std::size_t>(wanted[w])]);
        ++count;
    }
    checkCount(cfg, count, fileName, lastLine);
    return out;
}

uint32_t loadU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

double analogValue(DataFormat format, const unsigned char* p) {
    switch (format) {
        case DataFormat::Binary: {
            const uint16_t bits = static_cast<uint16_t>(p[0] | p[1] << 8);
            if (bits == 0x8000u) return kMissing;
            return static_cast<double>(static_cast<int16_t>(bits));
        }
        case DataFormat::Binary32: {
            const uint32_t bits = loadU32(p);
            if (bits == 0x80000000u) return kMissing;
            return static_cast<double>(static_cast<int32_t>(bits));
        }
        case DataFormat::Float32: {
            const uint32_t bits = loadU32(p);
            float v;
            std::memcpy(&v, &bits, sizeof v);
            return static_cast<double>(v);
        }
        case DataFormat::Ascii: break;
    }
    return kMissing;
}

DatSamples readBinary(std::string_view data, const ComtradeConfig& cfg, const std::vector<int>& wanted,
                      const std::string& fileName) {
    const std::size_t valueBytes = cfg.format == DataFormat::Binary ? 2 : 4;
    const std::size_t statusWords = (cfg.digitals.size() + 15) / 16;
    const std::size_t recordBytes = 8 + cfg.analogs.size() * valueBytes + 2 * statusWords;
    const std::size_t records = data.size() / recordBytes;
    const std::size_t leftover = data.size() % recordBytes;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    if (leftover != 0 && static_cast<int64_t>(records) < cfg.sampleCount()) {
        throw ComtradeError(fileName, 0, 0, "",
                            "truncated: record " + std::to_string(records + 1) + " (at byte " +
                                std::to_string(records * recordBytes) + ") has " + std::to_string(leftover) + " of " +
                                std::to_string(recordBytes) + " bytes");
    }
    if (leftover != 0) {
        throw ComtradeError(fileName, 0, 0, "",
                            std::to_string(leftover) + " bytes after the last whole record of " +
                                std::to_string(recordBytes) + " bytes");
    }
    checkCount(cfg, static_cast<int64_t>(records), fileName, 0);

    DatSamples out;
    out.timestamps.reserve(records);
    out.channels.resize(wanted.size());
    for (auto& c : out.channels) c.reserve(records);
    uint32_t previousNumber = 0;
    for (std::size_t r = 0; r < records; ++r) {
        const unsigned char* record = bytes + r * recordBytes;
        const uint32_t number = loadU32(record);
        if (r > 0 && number != static_cast<uint32_t>(previousNumber + 1u)) {
            throw ComtradeError(fileName, 0, 0, "",
                                "record " + std::to_string(r + 1) + " (at byte " + std::to_string(r * recordBytes) +
                                    "): sample number " + std::to_string(number) + " does not follow " +
                                    std::to_string(previousNumber));
        }
        previousNumber = number;
        const uint32_t stamp = loadU32(record + 4);
        out.timestamps.push_back(stamp == 0xFFFFFFFFu ? kMissing : static_cast<double>(stamp));
        for (std::size_t w = 0; w < wanted.size(); ++w) {
            const unsigned char* p = record + 8 + static_cast<std::size_t>(wanted[w]) * valueBytes;
            out.channels[w].push_back(analogValue(cfg.format, p));
        }
    }
    return out;
}

}  // namespace

DatSamples readDat(std::string_view data, const ComtradeConfig& config, const std::vector<int>& analogIndices,
                   const std::string& fileName, int firstLine) {
    for (int index : analogIndices) {
        if (index < 0 || static_cast<std::size_t>(index) >= config.analogs.size())
            throw ComtradeError(fileName, 0, 0, "", "no analog channel " + std::to_string(index + 1));
    }
    if (config.format == DataFormat::Ascii) return readAscii(data, config, analogIndices, fileName, firstLine);
    return readBinary(data, config, analogIndices, fileName);
}
