// A COMTRADE recording read for the measurement block: the three phase
// channels as scaled values, the time of every sample, the sampling-rate
// sections and the time origin. Opens a .cfg with its .dat, or a .cff.
// Opening reads the data once to check it and keeps nothing of it; the
// samples are then read as a stream (PhaseReader), or all at once.
#ifndef ORVANE_IO_COMTRADE_COMTRADE_RECORDING_H
#define ORVANE_IO_COMTRADE_COMTRADE_RECORDING_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/comtrade/comtrade_config.h"
#include "io/comtrade/comtrade_time.h"
#include "io/comtrade/dat_reader.h"

enum class ValueSide { Primary, Secondary };

struct ComtradeReadOptions {
    // Channel names or 1-based numbers of phases a, b, c; empty for the
    // default choice (see selectPhases).
    std::vector<std::string> phases;
    // Values on the transformer's primary or secondary side.
    ValueSide side = ValueSide::Primary;
    // The voltages are line-to-line (found from the channel names when not
    // forced; see selectLineToLine).
    bool lineToLine = false;
};

// A run of samples at one rate.
struct SampleSection {
    std::size_t first = 0;  // index of its first sample
    std::size_t count = 0;
    double rate = 0.0;          // Hz
    double startElapsed = 0.0;  // s from the first sample of the recording
};

struct ComtradeRecording {
    std::string path;
    std::string dataPath;  // the .dat file, or the .cff itself
    ComtradeConfig config;
    // 0-based analog positions of a, b, c, or with lineToLine of ab, bc, ca
    // (-1 for the one not recorded).
    std::array<int, 3> phaseChannels{};
    bool lineToLine = false;
    ValueSide side = ValueSide::Primary;
    DatLocation data;
    std::size_t samples = 0;
    // Some phase value is missing (or not finite): gaps to bridge.
    bool hasMissing = false;
    // Only from readComtrade: scaled values a*raw + b of phases a, b, c, on
    // the chosen side; NaN where the file marks a value missing.
    std::array<std::vector<double>, 3> phases;
    std::vector<SampleSection> sections;
    TimeOrigin origin;

    std::size_t size() const { return samples; }
    // The highest sampling rate of the recording, Hz.
    double maxRate() const;
    // The block's `Time` of sample i.
    double timeOf(std::size_t i) const;
};

// Sample times from the sampling rates: each section starts where the one
// before ends, so times stay right after a rate change.
std::vector<SampleSection> sectionsFromRates(const ComtradeConfig& cfg);

// The files a recording is read from: the .cff, or the .cfg and (when it
// is there) its .dat. Never throws; for checking that no output overwrites
// them.
std::vector<std::string> comtradeFilesOf(const std::string& path);

// Throws ComtradeError for any file that cannot be read or is malformed.
// Reads the data through once to check it; keeps none of its samples.
ComtradeRecording openComtrade(const std::string& path, const ComtradeReadOptions& options);

// The same with every sample held in `phases`; nothing is returned
// half-read.
ComtradeRecording readComtrade(const std::string& path, const ComtradeReadOptions& options);

// The phases a, b, c of an opened recording from its first sample on, as
// values (scaled, on the chosen side, line-to-line voltages turned into
// phase voltages), a block at a time.
class PhaseReader {
public:
    // `checked`: the data was read through by openComtrade (which checks
    // every field), so only the phase channels need converting.
    explicit PhaseReader(const ComtradeRecording& recording, bool checked = true);
    // Up to `frames` samples, interleaved a, b, c, into `abc`, and their raw
    // timestamps into `stamps` when it is not null; how many, 0 at the end.
    // Throws ComtradeError when the data cannot be read.
    std::size_t read(double* abc, double* stamps, std::size_t frames);

private:
    static constexpr std::size_t kBlock = 4096;

    const ComtradeRecording& rec_;
    DatReader dat_;
    std::size_t width_ = 0;            // channels read: 2 or 3
    std::array<int, 3> column_{};      // each phase's column among them, -1 none
    std::array<double, 3> a_{}, b_{}, factor_{};
    std::vector<double> stamps_, values_;
};

#endif  // ORVANE_IO_COMTRADE_COMTRADE_RECORDING_H
