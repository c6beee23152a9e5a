// Recordings made with the project's own COMTRADE writer for the io tests:
// a balanced three-phase 50 Hz set, its scaled values known exactly.
#ifndef ORVANE_TESTS_IO_COMTRADE_FIXTURES_H
#define ORVANE_TESTS_IO_COMTRADE_FIXTURES_H

#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "io/comtrade/comtrade_config.h"
#include "io/comtrade/comtrade_writer.h"

struct SyntheticRecording {
    ComtradeConfig config;
    ComtradeData data;
    // a*raw + b of phases a, b, c, as the reader must return them.
    std::array<std::vector<double>, 3> scaled;
};

// Peak amplitude `amplitude` at `frequency` (50 Hz unless given), phase a at angle 0.3 rad relative to
// the recording's whole seconds; a fourth channel (a current) and two status
// channels come along so that channel positions matter.
inline SyntheticRecording threePhaseRecording(DataFormat format, double rate, std::size_t samples,
                                              double amplitude = 100.0, int revision = 2013,
                                              double frequency = 50.0) {
    SyntheticRecording r;
    ComtradeConfig& c = r.config;
    c.station = "Test bay";
    c.device = "orvane-writer";
    c.revision = revision;
    c.format = format;
    c.lineFrequency = frequency;
    c.rates = {{rate, static_cast<int64_t>(samples)}};
    c.start = CivilTime{2026, 12, 8, 10 * 3600 + 15 * 60 + 30, 250000000, 6};
    c.trigger = c.start;
    const char* names[4] = {"VA", "VB", "VC", "IA"};
    const char* phases[4] = {"A", "B", "C", "A"};
    // Float data is usually written with a = 1, b = 0; scale it anyway so
    // that a reader that skips the scaling for FLOAT32 is caught.
    const bool floats = format == DataFormat::Float32;
    for (int k = 0; k < 4; ++k) {
        ComtradeAnalogChannel a;
        a.number = k + 1;
        a.id = names[k];
        a.phase = phases[k];
        a.unit = k < 3 ? "kV" : "A";
        a.a = floats ? 2.0 : 0.01;
        a.b = floats ? 0.25 : 0.5;
        a.primary = 400.0;
        a.secondary = 0.1;
        a.scaling = 'P';
        c.analogs.push_back(a);
    }
    c.digitals = {ComtradeDigitalChannel{1, "TRIP", "", "", 0}, ComtradeDigitalChannel{2, "CB OPEN", "", "", 1}};

    const double phaseA = 0.3;
    const double twoPi = 6.283185307179586;
    const double origin = 0.25;  // fraction of a second of the first sample
    r.data.analogRaw.assign(4, std::vector<double>(samples));
    r.data.status.assign(2, std::vector<int>(samples));
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = origin + static_cast<double>(i) / rate;
        for (int k = 0; k < 4; ++k) {
            const double shift = k < 3 ? -twoPi / 3.0 * k : -0.5;
            const double v = amplitude * std::cos(twoPi * frequency * t + phaseA + shift);
            const ComtradeAnalogChannel& a = c.analogs[static_cast<std::size_t>(k)];
            const double raw = (v - a.b) / a.a;
            r.data.analogRaw[static_cast<std::size_t>(k)][i] =
                floats ? static_cast<double>(static_cast<float>(raw)) : std::round(raw);
        }
        r.data.status[0][i] = i % 7 == 0 ? 1 : 0;
        r.data.status[1][i] = 1;
    }
    for (std::size_t p = 0; p < 3; ++p) {
        const ComtradeAnalogChannel& a = c.analogs[p];
        for (double raw : r.data.analogRaw[p]) r.scaled[p].push_back(a.a * raw + a.b);
    }
    return r;
}

// A fresh directory for one test's files, removed with the object.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("orvane-" + name + "-" + std::to_string(static_cast<long>(::getpid())))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

#endif  // ORVANE_TESTS_IO_COMTRADE_FIXTURES_H
