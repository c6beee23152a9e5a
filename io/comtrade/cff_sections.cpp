#include "io/comtrade/cff_sections.h"

#include <optional>

#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_text.h"

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

struct Section {
    std::string_view* target = nullptr;
    std::size_t begin = 0;
};

}  // namespace

CffSections splitCff(std::string_view file, const std::string& fileName) {
    CffSections out;
    bool haveCfg = false;
    bool haveDat = false;
    Section open;  // the text section being collected, if any
    auto close = [&](std::size_t end) {
        if (open.target != nullptr) *open.target = file.substr(open.begin, end - open.begin);
        open = Section{};
    };

    std::size_t pos = 0;
    int lineNumber = 0;
    while (pos < file.size()) {
        std::size_t end = file.find('\n', pos);
        const std::size_t next = end == std::string_view::npos ? file.size() : end + 1;
        if (end == std::string_view::npos) end = file.size();
        std::string_view line = file.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++lineNumber;
        const auto type = headerType(line);
        if (!type) {
            if (open.target == nullptr && !trimmed(line).empty() && line != "\x1a") {
                throw ComtradeError(fileName, lineNumber, 0, "", "text outside any '--- file type: ... ---' section");
            }
            pos = next;
            continue;
        }
        close(pos);
        const std::string_view t = *type;
        if (equalsIgnoringCase(t, "CFG")) {
            open = Section{&out.cfg, next};
            out.cfgFirstLine = lineNumber + 1;
            haveCfg = true;
        } else if (equalsIgnoringCase(t, "HDR")) {
            open = Section{&out.hdr, next};
        } else if (equalsIgnoringCase(t, "INF")) {
            open = Section{&out.inf, next};
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
                open = Section{&out.dat, next};
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
                const std::size_t length = static_cast<std::size_t>(*bytes);
                if (length > file.size() - next) {
                    throw ComtradeError(fileName, lineNumber, 0, "",
                                        "truncated: the DAT section announces " + std::to_string(length) +
                                            " bytes, the file holds " + std::to_string(file.size() - next));
                }
                out.dat = file.substr(next, length);
                // Continue after the binary bytes; count their line ends so
                // that later headers report their true line numbers.
                for (char c : out.dat) lineNumber += c == '\n' ? 1 : 0;
                pos = next + length;
                continue;
            }
        } else {
            throw ComtradeError(fileName, lineNumber, 0, "file type", "unknown section type '" + std::string(t) + "'");
        }
        pos = next;
    }
    close(file.size());
    if (!haveCfg) throw ComtradeError(fileName, 0, 0, "", "no '--- file type: CFG ---' section");
    if (!haveDat) throw ComtradeError(fileName, 0, 0, "", "no '--- file type: DAT ... ---' section");
    return out;
}
