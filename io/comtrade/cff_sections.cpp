#include "io/comtrade/cff_sections.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_text.h"
#include "io/comtrade/file_blocks.h"

namespace {

// The text between "file type:" and the closing dashes, or nullopt when the
// line is no section header.
std::optional<std::string_view> headerType(std::string_view line) {
    line = trimmed(line);
    if (line.size() < 6 || line.substr(0, 3) != "---" || line.substr(line.size() - 3) != "---") return std::nullopt;
    std::string_view inner = trimmed(line.substr(3, line.size() - 6));
    constexpr std::string_view kPrefix = "file type:";
    if (inner.size() < kPrefix.size() || !equalsIgnoringCase(inner.substr(0, kPrefix.size()), kPrefix))
        return std::nullopt;
    return trimmed(inner.substr(kPrefix.size()));
}

enum class Collecting { Nothing, Cfg, AsciiDat, Other };

}  // namespace

CffSections splitCff(const std::string& fileName) {
    FileBlocks file(fileName, 0);
    CffSections out;
    bool haveCfg = false;
    bool haveDat = false;
    Collecting open = Collecting::Nothing;
    uint64_t datBegin = 0;
    auto close = [&](uint64_t end) {
        if (open == Collecting::AsciiDat) out.datLength = end - datBegin;
        open = Collecting::Nothing;
    };

    int lineNumber = 0;
    std::string_view raw;
    while (true) {
        const uint64_t pos = file.position();
        if (!file.nextLine(raw)) break;
        const uint64_t next = file.position();
        std::string_view line = raw;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++lineNumber;
        const auto type = headerType(line);
        if (!type) {
            if (open == Collecting::Nothing && !trimmed(line).empty() && line != "\x1a") {
                throw ComtradeError(fileName, lineNumber, 0, "", "text outside any '--- file type: ... ---' section");
            }
            if (open == Collecting::Cfg) {
                out.cfg.append(raw);
                if (next - pos > raw.size()) out.cfg.push_back('\n');
            }
            continue;
        }
        close(pos);
        const std::string_view t = *type;
        if (equalsIgnoringCase(t, "CFG")) {
            open = Collecting::Cfg;
            out.cfg.clear();
            out.cfgFirstLine = lineNumber + 1;
            haveCfg = true;
        } else if (equalsIgnoringCase(t, "HDR") || equalsIgnoringCase(t, "INF")) {
            open = Collecting::Other;
        } else if (t.size() >= 3 && equalsIgnoringCase(t.substr(0, 3), "DAT")) {
            std::string_view spec = trimmed(t.substr(3));
            std::string_view count;
            if (const std::size_t colon = spec.find(':'); colon != std::string_view::npos) {
                count = trimmed(spec.substr(colon + 1));
                spec = trimmed(spec.substr(0, colon));
            }
            haveDat = true;
            if (equalsIgnoringCase(spec, "ASCII")) {
                out.datFormat = DataFormat::Ascii;
                open = Collecting::AsciiDat;
                datBegin = next;
                out.datOffset = next;
                out.datLength = 0;
                out.datFirstLine = lineNumber + 1;
            } else {
                if (equalsIgnoringCase(spec, "BINARY")) {
                    out.datFormat = DataFormat::Binary;
                } else if (equalsIgnoringCase(spec, "BINARY32")) {
                    out.datFormat = DataFormat::Binary32;
                } else if (equalsIgnoringCase(spec, "FLOAT32")) {
                    out.datFormat = DataFormat::Float32;
                } else {
                    throw ComtradeError(fileName, lineNumber, 0, "file type",
                                        "unknown data type '" + std::string(spec) +
                                            "' (expected ASCII, BINARY, BINARY32 or FLOAT32)");
                }
                const auto bytes = parseInteger(count);
                if (!bytes || *bytes < 0) {
                    throw ComtradeError(fileName, lineNumber, 0, "file type",
                                        "a binary DAT section needs its byte count, as in 'DAT " + std::string(spec) +
                                            ": 4214'");
                }
                const uint64_t length = static_cast<uint64_t>(*bytes);
                if (length > file.fileSize() - next) {
                    throw ComtradeError(fileName, lineNumber, 0, "",
                                        "truncated: the DAT section announces " + std::to_string(length) +
                                            " bytes, the file holds " + std::to_string(file.fileSize() - next));
                }
                out.datOffset = next;
                out.datLength = length;
                // Continue after the binary bytes; count their line ends so
                // that later headers report their true line numbers.
                for (uint64_t left = length; left > 0;) {
                    const std::string_view chunk = file.nextBytes(static_cast<std::size_t>(std::min<uint64_t>(left, 1 << 16)));
                    if (chunk.empty()) break;
                    for (char c : chunk) lineNumber += c == '\n' ? 1 : 0;
                    left -= chunk.size();
                }
                continue;
            }
        } else {
            throw ComtradeError(fileName, lineNumber, 0, "file type", "unknown section type '" + std::string(t) + "'");
        }
    }
    close(file.position());
    if (!haveCfg) throw ComtradeError(fileName, 0, 0, "", "no '--- file type: CFG ---' section");
    if (!haveDat) throw ComtradeError(fileName, 0, 0, "", "no '--- file type: DAT ... ---' section");
    return out;
}
