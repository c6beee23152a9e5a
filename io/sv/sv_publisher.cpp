#include "io/sv/sv_publisher.h"

#include <algorithm>
#include <cmath>
#include <limits>


bool SvPublisher::check(const SvPublisherOptions& o, std::string& error) {
    auto fraction = [](double f) { return f >= 0.0 && f <= 1.0; };
    if (o.rate < 1 || o.rate > 65535) {
        error = "rate " + std::to_string(o.rate) + " Hz: must be 1..65535 (smpCnt is 16 bits)";
    } else if (o.asdusPerFrame < 1 || o.asdusPerFrame > 255) {
        error = "ASDUs per frame " + std::to_string(o.asdusPerFrame) + ": must be 1..255";
    } else if (o.channels < 1 || o.channels > 1024) {
        error = "channels " + std::to_string(o.channels) + ": must be 1..1024";
    } else if (o.svId.empty() || o.svId.size() > 127) {
        error = "svID must have 1..127 characters";
    } else if (!fraction(o.loseFraction) || !fraction(o.duplicateFraction) || !fraction(o.reorderFraction) ||
               !(o.loseFraction + o.duplicateFraction + o.reorderFraction <= 1.0)) {
        error = "the fractions of frames lost, duplicated and reordered must each be 0..1 and add up to at most 1";
    } else {
        return true;
    }
    return false;
}

void svChannelsFromPhases(const double phase[3], const SvDataSet& set, std::span<double> channels) {
    std::fill(channels.begin(), channels.end(), 0.0);
    const bool defaultLayout = set.phaseChannels == std::array<std::size_t, 3>{4, 5, 6};
    for (std::size_t p = 0; p < 3; ++p) {
        if (set.phaseChannels[p] < channels.size()) channels[set.phaseChannels[p]] = phase[p];
    }
    if (defaultLayout && channels.size() > 7) channels[7] = phase[0] + phase[1] + phase[2];
}

SvPublisher::SvPublisher(const SvPublisherOptions& options, PacketWriter& out, int64_t startSecond,
                         uint64_t firstSample)
    : options_(options), out_(out), startSecond_(startSecond), firstSample_(firstSample), random_(options.seed) {
    if (options_.asdusPerFrame == 0) options_.asdusPerFrame = 1;
    if (options_.rate == 0) options_.rate = 4000;
    options_.scale.resize(options_.channels, 0.0);
    for (std::size_t c = 0; c < options_.channels; ++c) {
        if (options.scale.size() <= c || options_.scale[c] == 0.0) options_.scale[c] = defaultSvScale(c);
    }
    values_.resize(options_.asdusPerFrame * options_.channels);
    qualities_.resize(values_.size());
    counts16_.resize(options_.asdusPerFrame);
}

int32_t SvPublisher::quantise(double value, std::size_t c) const {
    const double counts = std::nearbyint(value / options_.scale[c]);
    if (std::isnan(counts)) return 0;
    if (counts >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (counts <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(counts);
}

double SvPublisher::draw() { return static_cast<double>(random_() >> 11) * 0x1.0p-53; }

bool SvPublisher::push(std::span<const double> values, std::span<const uint32_t> qualities) {
    const std::size_t base = filled_ * options_.channels;
    for (std::size_t c = 0; c < options_.channels; ++c) {
        values_[base + c] = c < values.size() ? quantise(values[c], c) : 0;
        qualities_[base + c] = c < qualities.size() ? qualities[c] : 0u;
    }
    // Counted from smpCnt 0 of the start second.
    const uint64_t n = firstSample_ + sampleNumber_++;
    counts16_[filled_] = static_cast<uint16_t>(n % options_.rate);
    const int64_t second = startSecond_ + static_cast<int64_t>(n / options_.rate);
    const int64_t within = static_cast<int64_t>(n % options_.rate) * 1000000000 / options_.rate;
    const int64_t stamp = within + options_.latencyNanoseconds;
    lastStamp_ = SvClock{second + stamp / 1000000000, stamp % 1000000000};
    ++counts_.samples;
    if (++filled_ < options_.asdusPerFrame) return true;
    return sendFrame();
}

bool SvPublisher::sendFrame() {
    if (filled_ == 0) return true;
    std::vector<SvAsduFields> asdus(filled_);
    for (std::size_t k = 0; k < filled_; ++k) {
        SvAsduFields& a = asdus[k];
        a.svId = options_.svId;
        a.smpCnt = counts16_[k];
        a.confRev = options_.confRev;
        a.smpSynch = options_.smpSynch;
        if (options_.sendSmpRate) a.smpRate = static_cast<uint16_t>(options_.rate);
        if (options_.sendRefreshTime) {
            // The sample's own instant, as refrTm carries it.
            const uint64_t n = firstSample_ + sampleNumber_ - filled_ + k;
            const uint64_t fraction = (n % options_.rate) * (1u << 24) / options_.rate;
            a.refreshTime = SvRefreshTime{static_cast<uint32_t>(startSecond_ + static_cast<int64_t>(n / options_.rate)),
                                          static_cast<uint32_t>(fraction), 0};
        }
        a.values = std::span<const int32_t>(values_).subspan(k * options_.channels, options_.channels);
        a.qualities = std::span<const uint32_t>(qualities_).subspan(k * options_.channels, options_.channels);
    }
    encodeSvFrame(options_.link, asdus, frame_);
    const std::size_t samples = filled_;
    filled_ = 0;

    // Drawn for every frame, so that an outage leaves the faults of the
    // other frames as they were.
    const double u = draw();
    const uint64_t first = sampleNumber_ - samples;
    if (first >= options_.dropFrom && first - options_.dropFrom < options_.dropSamples) {
        ++counts_.framesDropped;
        counts_.samplesDropped += samples;
        return true;
    }
    if (u < options_.loseFraction) {
        ++counts_.framesLost;
        counts_.samplesLost += samples;
        return true;
    }
    if (u < options_.loseFraction + options_.duplicateFraction) {
        ++counts_.framesDuplicated;
        if (!write(frame_, lastStamp_)) return false;
        return write(frame_, lastStamp_);
    }
    if (!held_ && u < options_.loseFraction + options_.duplicateFraction + options_.reorderFraction) {
        ++counts_.framesReordered;
        held_.emplace(frame_, lastStamp_);
        return true;
    }
    if (!write(frame_, lastStamp_)) return false;
    if (held_) {
        // Sent late, stamped when it went out.
        const bool ok = write(held_->first, lastStamp_);
        held_.reset();
        return ok;
    }
    return true;
}

bool SvPublisher::write(const std::vector<uint8_t>& frame, const SvClock& stamp) {
    if (!out_.write(frame, stamp)) {
        error_ = out_.error();
        return false;
    }
    ++counts_.framesWritten;
    return true;
}

bool SvPublisher::finish() {
    if (!sendFrame()) return false;
    if (held_) {
        const bool ok = write(held_->first, held_->second);
        held_.reset();
        return ok;
    }
    return true;
}
