#include "tests/support/golden_files.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) fields.push_back(field);
    return fields;
}

double toDouble(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

uint64_t bitsOf(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

}  // namespace

std::vector<std::vector<std::string>> readGoldenRows(const std::string& fileName) {
    std::vector<std::vector<std::string>> rows;
    const std::string command = std::string("xz -dc '") + ORVANE_SOURCE_DIR + "/tests/data/golden/" + fileName + ".xz'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return rows;
    std::string line;
    char buffer[4096];
    bool header = true;
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (header) {
            header = false;
            continue;
        }
        rows.push_back(splitFields(line));
    }
    pclose(pipe);
    return rows;
}

ModelInputs inputsFromRow(const std::vector<std::string>& row) {
    ModelInputs in;
    in.time = toDouble(row[0]);
    for (int i = 0; i < 3; ++i) in.phase[i] = toDouble(row[1 + static_cast<std::size_t>(i)]);
    in.reportRate = static_cast<int32_t>(std::strtol(row[4].c_str(), nullptr, 10));
    for (int i = 0; i < 3; ++i) in.magnitudeCoeffs[i] = toDouble(row[5 + static_cast<std::size_t>(i)]);
    for (int i = 0; i < 3; ++i) in.phaseCoeffs[i] = toDouble(row[8 + static_cast<std::size_t>(i)]);
    in.nominalFrequency = toDouble(row[11]);
    in.reportMode = row[12] == "1";
    return in;
}

ModelOutputs outputsFromRow(const std::vector<std::string>& row) {
    ModelOutputs out;
    out.timestamp = toDouble(row[0]);
    out.magnitude = toDouble(row[1]);
    out.angle = toDouble(row[2]);
    out.frequency = toDouble(row[3]);
    out.rocof = toDouble(row[4]);
    out.reportStrobe = row[5] == "1";
    out.activeReportRate = static_cast<int32_t>(std::strtol(row[6].c_str(), nullptr, 10));
    return out;
}

bool sameDouble(double a, double b, NanSign nanSign) {
    if (std::isnan(a) && std::isnan(b)) return nanSign == NanSign::Free || std::signbit(a) == std::signbit(b);
    return bitsOf(a) == bitsOf(b);
}

std::string compareOutputs(const ModelOutputs& expected, const ModelOutputs& actual, NanSign nanSign) {
    std::ostringstream diff;
    diff.precision(17);
    auto check = [&](const char* name, double e, double a) {
        if (!sameDouble(e, a, nanSign)) diff << name << " expected " << e << " got " << a << "; ";
    };
    check("timestamp", expected.timestamp, actual.timestamp);
    check("magnitude", expected.magnitude, actual.magnitude);
    check("angle", expected.angle, actual.angle);
    check("frequency", expected.frequency, actual.frequency);
    check("rocof", expected.rocof, actual.rocof);
    if (expected.reportStrobe != actual.reportStrobe) diff << "strobe differs; ";
    if (expected.activeReportRate != actual.activeReportRate) diff << "active rate differs; ";
    return diff.str();
}
