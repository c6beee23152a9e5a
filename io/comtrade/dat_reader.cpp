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


}  // namespace

DatReader::DatReader(const DatLocation& where, const ComtradeConfig& config, std::vector<int> analogIndices)
    : cfg_(config),
      wanted_(std::move(analogIndices)),
      fileName_(where.path),
      file_(where.path, where.offset, where.length),
      lineNumber_(where.firstLine - 1),
      lastLine_(where.firstLine) {
    for (int index : wanted_) {
        if (index < 0 || static_cast<std::size_t>(index) >= cfg_.analogs.size())
            throw ComtradeError(fileName_, 0, 0, "", "no analog channel " + std::to_string(index + 1));
    }
    if (cfg_.format == DataFormat::Ascii) {
        row_.resize(cfg_.analogs.size());
        return;
    }
    valueBytes_ = cfg_.format == DataFormat::Binary ? 2 : 4;
    const std::size_t statusWords = (cfg_.digitals.size() + 15) / 16;
    recordBytes_ = 8 + cfg_.analogs.size() * valueBytes_ + 2 * statusWords;
    const uint64_t size = file_.length();
    records_ = static_cast<std::size_t>(size / recordBytes_);
    const std::size_t leftover = static_cast<std::size_t>(size % recordBytes_);
    if (leftover != 0 && static_cast<int64_t>(records_) < cfg_.sampleCount()) {
        throw ComtradeError(fileName_, 0, 0, "",
                            "truncated: record " + std::to_string(records_ + 1) + " (at byte " +
                                std::to_string(records_ * recordBytes_) + ") has " + std::to_string(leftover) +
                                " of " + std::to_string(recordBytes_) + " bytes");
    }
    const int64_t expected = cfg_.sampleCount();
    if (leftover != 0 && static_cast<int64_t>(records_) == expected) {
        throw ComtradeError(fileName_, 0, 0, "",
                            std::to_string(leftover) + " bytes after the last whole record of " +
                                std::to_string(recordBytes_) + " bytes");
    }
    // Recorders write more records than the last endsamp declares (the
    // declared ones are read) or fewer (those there are read).
    if (static_cast<int64_t>(records_) > expected) {
        extraRecords_ = static_cast<int64_t>(records_) - expected;
        records_ = static_cast<std::size_t>(expected);
    }
}

std::string DatReader::countWarning() const {
    const int64_t expected = cfg_.sampleCount();
    const std::string where = fileName_ + (cfg_.format == DataFormat::Ascii && lastLine_ > 0
                                               ? ":" + std::to_string(lastLine_)
                                               : std::string());
    if (extraRecords_ > 0) {
        return "warning: " + where + ": the data holds " + std::to_string(expected + extraRecords_) +
               " samples, more than the configuration's last endsamp (" + std::to_string(expected) +
               "): the declared " + std::to_string(expected) + " are read, " + std::to_string(extraRecords_) +
               " left unread";
    }
    if (ended_ && count_ < expected) {
        return "warning: " + where + ": the data holds " + std::to_string(count_) +
               " samples, fewer than the configuration's last endsamp (" + std::to_string(expected) + "): the " +
               std::to_string(count_) + " there are read";
    }
    return "";
}

// One sample line; false at the end of the data.
bool DatReader::readAsciiRecord(double& stamp, double* values) {
    const std::size_t analogs = cfg_.analogs.size();
    const std::size_t expectedFields = 2 + analogs + cfg_.digitals.size();
    std::string_view line;
    const int64_t expected = cfg_.sampleCount();
    while (file_.nextLine(line)) {
        ++lineNumber_;
        // A trailing end-of-file mark (0x1A) is no data.
        if (!file_.lineEnded()) {
            while (!line.empty() && line.back() == '\x1a') line.remove_suffix(1);
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (trimmed(line).empty()) continue;
        if (count_ >= expected) {
            // Past the declared samples: counted on the checking pass, not
            // read.
            if (checked_) return false;
            ++extraRecords_;
            continue;
        }
        const int lineNumber = lineNumber_;
        lastLine_ = lineNumber;
        splitFieldsInto(line, fields_);
        std::vector<std::string_view>& f = fields_;
        // One trailing comma is harmless.
        if (f.size() == expectedFields + 1 && f.back().empty()) f.pop_back();
        if (f.size() != expectedFields) {
            throw ComtradeError(fileName_, lineNumber, 0, "",
                                "expected " + std::to_string(expectedFields) + " fields (n, timestamp, " +
                                    std::to_string(analogs) + " analog, " + std::to_string(cfg_.digitals.size()) +
                                    " status), found " + std::to_string(f.size()));
        }
        const auto number = parseInteger(f[0]);
        if (!number) throw ComtradeError(fileName_, lineNumber, 1, "n", "'" + std::string(f[0]) + "' is not a sample number");
        if (count_ > 0 && static_cast<uint64_t>(*number) != static_cast<uint64_t>(previousAsciiNumber_) + 1u) {
            throw ComtradeError(fileName_, lineNumber, 1, "n",
                                "sample number " + std::to_string(*number) + " does not follow " +
                                    std::to_string(previousAsciiNumber_));
        }
        previousAsciiNumber_ = *number;
        double timestamp = kMissing;
        if (!f[1].empty()) {
            const auto t = parseReal(f[1]);
            if (!t) throw ComtradeError(fileName_, lineNumber, 2, "timestamp", "'" + std::string(f[1]) + "' is not a number");
            timestamp = *t;
        }
        auto convert = [&](std::size_t c) {
            const std::string_view field = f[2 + c];
            // An empty field marks a missing value; so does 99999 in older files.
            if (field.empty() || field == "99999") {
                row_[c] = kMissing;
                return;
            }
            const auto v = parseReal(field);
            if (!v) {
                throw ComtradeError(fileName_, lineNumber, static_cast<int>(3 + c), analogFieldName(cfg_, c),
                                    "'" + std::string(field) + "' is not a number");
            }
            row_[c] = *v;
        };
        if (checked_) {
            for (int c : wanted_) convert(static_cast<std::size_t>(c));
        } else {
            for (std::size_t c = 0; c < analogs; ++c) convert(c);
        }
        for (std::size_t d = 0; d < cfg_.digitals.size() && !checked_; ++d) {
            const std::string_view field = f[2 + analogs + d];
            if (field != "0" && field != "1") {
                throw ComtradeError(fileName_, lineNumber, static_cast<int>(3 + analogs + d),
                                    "D" + std::to_string(d + 1) + " " + cfg_.digitals[d].id,
                                    "status '" + std::string(field) + "' is neither 0 nor 1");
            }
        }
        stamp = timestamp;
        for (std::size_t w = 0; w < wanted_.size(); ++w) values[w] = row_[static_cast<std::size_t>(wanted_[w])];
        ++count_;
        return true;
    }
    return false;
}

std::size_t DatReader::read(double* stamps, double* values, std::size_t records) {
    if (ended_) return 0;
    const std::size_t width = wanted_.size();
    std::size_t done = 0;
    if (cfg_.format == DataFormat::Ascii) {
        while (done < records && readAsciiRecord(stamps[done], values + done * width)) ++done;
        if (done < records) ended_ = true;
        return done;
    }
    while (done < records && static_cast<std::size_t>(count_) < records_) {
        const std::size_t take = std::min(records - done, records_ - static_cast<std::size_t>(count_));
        const std::size_t chunk = std::min<std::size_t>(take, std::max<std::size_t>(1, (1u << 20) / recordBytes_));
        const std::string_view block = file_.nextBytes(chunk * recordBytes_);
        if (block.size() < chunk * recordBytes_) throw ComtradeError(fileName_, 0, 0, "", "read error: the file shrank");
        const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
        for (std::size_t k = 0; k < chunk; ++k) {
            const unsigned char* record = bytes + k * recordBytes_;
            const std::size_t r = static_cast<std::size_t>(count_);
            const uint32_t number = loadU32(record);
            if (r > 0 && number != static_cast<uint32_t>(previousNumber_ + 1u)) {
                throw ComtradeError(fileName_, 0, 0, "",
                                    "record " + std::to_string(r + 1) + " (at byte " +
                                        std::to_string(r * recordBytes_) + "): sample number " +
                                        std::to_string(number) + " does not follow " + std::to_string(previousNumber_));
            }
            previousNumber_ = number;
            const uint32_t stamp = loadU32(record + 4);
            stamps[done] = stamp == 0xFFFFFFFFu ? kMissing : static_cast<double>(stamp);
            double* out = values + done * width;
            for (std::size_t w = 0; w < width; ++w) {
                out[w] = analogValue(cfg_.format, record + 8 + static_cast<std::size_t>(wanted_[w]) * valueBytes_);
            }
            ++count_;
            ++done;
        }
    }
    if (done < records) ended_ = true;
    return done;
}
