#include "io/sv/sv_data_set.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (true) {
        const std::size_t comma = text.find(',', begin);
        parts.push_back(text.substr(begin, comma == std::string::npos ? comma : comma - begin));
        if (comma == std::string::npos) return parts;
        begin = comma + 1;
    }
}

}  // namespace

double defaultSvScale(std::size_t channel) {
    if (channel < 4) return kDefaultCurrentScale;
    if (channel < kDefaultSvChannels) return kDefaultVoltageScale;
    return 1.0;
}

bool SvDataSet::choose(const std::vector<std::size_t>& channels, const std::vector<double>& scales, SvDataSet& out,
                       std::string& error) {
    if (channels.size() != 3) {
        error = "three phase channels are needed, " + std::to_string(channels.size()) + " given";
        return false;
    }
    if (scales.size() != 0 && scales.size() != 1 && scales.size() != 3) {
        error = "give one scale for all phases or one per phase, not " + std::to_string(scales.size());
        return false;
    }
    for (double s : scales) {
        if (!std::isfinite(s) || s == 0.0) {
            error = "a scale must be a finite number other than 0";
            return false;
        }
    }
    for (std::size_t p = 0; p < 3; ++p) {
        // A channel index beyond any frame would be refused per frame; one
        // this large is surely a typing error.
        if (channels[p] >= 1024) {
            error = "channel " + std::to_string(channels[p]) + " is beyond any data set";
            return false;
        }
        out.phaseChannels[p] = channels[p];
        out.scale[p] = scales.empty() ? defaultSvScale(channels[p]) : scales[scales.size() == 1 ? 0 : p];
    }
    return true;
}

bool SvDataSet::parse(const std::string& channelText, const std::string& scaleText, SvDataSet& out,
                      std::string& error) {
    std::vector<std::size_t> channels{4, 5, 6};
    if (!channelText.empty()) {
        channels.clear();
        for (const std::string& part : splitCommas(channelText)) {
            char* end = nullptr;
            const long long c = std::strtoll(part.c_str(), &end, 10);
            if (part.empty() || end != part.c_str() + part.size() || c < 0 || c > 1023) {
                error = "'" + channelText + "' are not three channel numbers from 0, as in 4,5,6";
                return false;
            }
            channels.push_back(static_cast<std::size_t>(c));
        }
    }
    std::vector<double> scales;
    if (!scaleText.empty()) {
        for (const std::string& part : splitCommas(scaleText)) {
            char* end = nullptr;
            errno = 0;
            const double value = std::strtod(part.c_str(), &end);
            if (part.empty() || end != part.c_str() + part.size() || errno == ERANGE || !std::isfinite(value)) {
                error = "'" + scaleText + "' is not one or three finite numbers";
                return false;
            }
            scales.push_back(value);
        }
    }
    return choose(channels, scales, out, error);
}

std::size_t SvDataSet::channelsNeeded() const {
    return 1 + *std::max_element(phaseChannels.begin(), phaseChannels.end());
}

void readPhases(const SvAsdu& asdu, const SvDataSet& set, double phase[3], SampleGapFlags& flags,
                SvQualityCounts& counts) {
    bool invalid = false, questionable = false, test = false;
    for (std::size_t p = 0; p < 3; ++p) {
        const std::size_t c = set.phaseChannels[p];
        phase[p] = static_cast<double>(asdu.value(c)) * set.scale[p];
        const uint32_t q = asdu.quality(c);
        const uint32_t validity = q & kQualityValidityMask;
        // 10 is reserved: no sender may use it, so it is no good either.
        invalid = invalid || validity == kQualityInvalid || validity == 0x2;
        questionable = questionable || validity == kQualityQuestionable;
        test = test || (q & kQualityTest) != 0;
    }
    counts.invalid += invalid ? 1 : 0;
    counts.questionable += questionable ? 1 : 0;
    counts.test += test ? 1 : 0;
    flags.missing = false;
    flags.invalid = invalid || questionable || test;
}
