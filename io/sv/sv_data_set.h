// Which channels of a sampled-values data set are the three phases, and the
// physical value of one count of each. The default is the common protection
// data set of four currents and four voltages (IA IB IC IN UA UB UC UN; 1 mA
// and 10 mV per count) with the voltages UA, UB, UC as the phases.
#ifndef ORVANE_IO_SV_SV_DATA_SET_H
#define ORVANE_IO_SV_SV_DATA_SET_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "io/sv/sample_gap_flags.h"
#include "io/sv/sv_frame.h"

constexpr std::size_t kDefaultSvChannels = 8;
constexpr double kDefaultCurrentScale = 0.001;  // A per count
constexpr double kDefaultVoltageScale = 0.01;   // V per count

// The count-to-unit factor of channel `c` in the default data set.
double defaultSvScale(std::size_t channel);

struct SvDataSet {
    std::array<std::size_t, 3> phaseChannels{4, 5, 6};
    std::array<double, 3> scale{kDefaultVoltageScale, kDefaultVoltageScale, kDefaultVoltageScale};

    // The phases from `channels` (indices from 0) with one scale for all or
    // one per phase; no scale given = the default data set's scale of each
    // channel (1 for channels beyond it). False, with `error` set, for a
    // wrong count or a scale that is not a finite non-zero number.
    static bool choose(const std::vector<std::size_t>& channels, const std::vector<double>& scales, SvDataSet& out,
                       std::string& error);

    // The same from text as users write it: "4,5,6" (empty: 4,5,6) and
    // "0.01" or "0.01,0.01,0.02" (empty: the default scales). `error`
    // quotes the text that is wrong.
    static bool parse(const std::string& channels, const std::string& scales, SvDataSet& out, std::string& error);

    // The channels an ASDU must carry for these phases.
    std::size_t channelsNeeded() const;
};

// The 32-bit quality word: validity in bits 1-0 (00 good, 01 invalid,
// 11 questionable), test in bit 11.
constexpr uint32_t kQualityValidityMask = 0x3;
constexpr uint32_t kQualityInvalid = 0x1;
constexpr uint32_t kQualityQuestionable = 0x3;
constexpr uint32_t kQualityTest = 1u << 11;

struct SvQualityCounts {
    uint64_t invalid = 0;
    uint64_t questionable = 0;
    uint64_t test = 0;
};

// The three phases of one ASDU in physical units, and whether any of their
// quality words makes the sample unusable (counted into `counts`). The ASDU
// must hold channelsNeeded() channels.
void readPhases(const SvAsdu& asdu, const SvDataSet& set, double phase[3], SampleGapFlags& flags,
                SvQualityCounts& counts);

#endif  // ORVANE_IO_SV_SV_DATA_SET_H
