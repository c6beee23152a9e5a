#include "web/live_state.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <complex>
#include <numbers>

#include <nlohmann/json.hpp>

#include "io/c37118/frame_time.h"

namespace {

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::complex<double> phasorOf(const PmuConfig& config, const PhasorValue& value) {
    if ((config.format & kFormatPolar) != 0) return std::polar(value.first, value.second);
    return {value.first, value.second};
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The frame's place on the grid of report times: frames since 1970 at the
// configured rate (rounded, so that FRACSEC's truncation to the time base
// does not move a frame off its slot).
int64_t gridIndex(const FrameTime& time, uint32_t timeBase, int16_t rate) {
    const double fraction = static_cast<double>(time.fracSec) / static_cast<double>(timeBase);
    if (rate > 0) return static_cast<int64_t>(time.soc) * rate + std::llround(fraction * rate);
    return std::llround((static_cast<double>(time.soc) + fraction) / static_cast<double>(-rate));
}

const char* triggerReason(uint16_t code) {
    switch (code) {
    case 0: return "manual";
    case 1: return "magnitude low";
    case 2: return "magnitude high";
    case 3: return "phase angle difference";
    case 4: return "frequency high or low";
    case 5: return "df/dt high";
    case 7: return "digital";
    default: return code >= 8 ? "user defined" : "reserved";
    }
}

}  // namespace

std::vector<std::string> statWords(uint16_t stat, const StatReason& reason) {
    std::vector<std::string> words;
    words.push_back((stat & kStatNotSynchronised) != 0 ? "not synchronised" : "synchronised");
    switch ((stat & kStatDataErrorMask) >> 14) {
    case 0: words.push_back("data valid"); break;
    case 1: words.push_back("PMU error, no information about the data"); break;
    case 2:
        // The standard gives 10 two meanings; a PDC cannot tell them apart
        // from the bits, only now and then from the values or the timing.
        words.push_back("do not use: test mode or absent data");
        if (reason.valuesAbsent) {
            words.push_back("reason: absent data (no finite values)");
        } else if (reason.startOfStream) {
            words.push_back("reason: start of the stream (the PMU's filters filling)");
        }
        break;
    default: words.push_back("do not use: PMU error"); break;
    }
    words.push_back((stat & kStatConfigChange) != 0 ? "configuration change" : "no configuration change");
    words.push_back((stat & kStatTriggerDetected) != 0
                        ? std::string("trigger: ") + triggerReason(stat & kStatTriggerReasonMask)
                        : "no trigger");
    if ((stat & kStatDataModified) != 0) words.push_back("data modified");
    if ((stat & kStatSortedByArrival) != 0) words.push_back("sorted by arrival");
    return words;
}

PhasorChoice choosePositiveSequence(const PmuConfig& config) {
    PhasorChoice choice;
    for (size_t i = 0; i < config.phasors.size(); ++i) {
        const std::string name = upper(config.phasors[i].name);
        if (name.find("POS") != std::string::npos || name.find("+SEQ") != std::string::npos) {
            choice.index = {i, i, i};
            choice.source = config.phasors[i].name;
            return choice;
        }
    }
    for (const bool current : {false, true}) {
        std::vector<size_t> phases;
        for (size_t i = 0; i < config.phasors.size() && phases.size() < 3; ++i)
            if (config.phasors[i].isCurrent == current) phases.push_back(i);
        if (phases.size() < 3) continue;
        choice.index = {phases[0], phases[1], phases[2]};
        choice.phases = true;
        choice.source = "positive sequence of " + config.phasors[phases[0]].name + ", " +
                        config.phasors[phases[1]].name + ", " + config.phasors[phases[2]].name;
        return choice;
    }
    if (!config.phasors.empty()) choice.source = config.phasors[0].name.empty() ? "phasor 1" : config.phasors[0].name;
    return choice;
}

bool positiveSequence(const PmuConfig& config, const PhasorChoice& choice, const PmuData& data, double& magnitude,
                      double& angle) {
    const size_t count = std::min(config.phasors.size(), data.phasors.size());
    if (choice.source.empty() || std::max({choice.index[0], choice.index[1], choice.index[2]}) >= count) return false;
    std::complex<double> value = phasorOf(config, data.phasors[choice.index[0]]);
    if (choice.phases) {
        // V1 = (Va + a Vb + a^2 Vc) / 3 with a = e^(j 120 deg).
        const std::complex<double> a = std::polar(1.0, 2.0 * std::numbers::pi / 3.0);
        value = (value + a * phasorOf(config, data.phasors[choice.index[1]]) +
                 a * a * phasorOf(config, data.phasors[choice.index[2]])) /
                3.0;
    }
    magnitude = std::abs(value);
    angle = std::arg(value);
    return true;
}

void LiveState::configured(const ConfigFrame& config) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!haveConfig_ || config.pmus.size() != blocks_.size()) {
        blocks_.assign(config.pmus.size(), Block{});
        history_.assign(kHistoryFrames * pointWidth(), 0.0);
        flagHistory_.assign(kHistoryFrames * blocks_.size(), 0);
        historyStart_ = frames_;
        takeFirstTime_ = true;
    }
    choices_.clear();
    for (const PmuConfig& pmu : config.pmus) choices_.push_back(choosePositiveSequence(pmu));
    delays_.resize(kDelayFrames);
    arrivals_.resize(kArrivalFrames);
    // A new rate puts the frames on a new grid.
    if (haveConfig_ && config.dataRate != config_.dataRate) haveGrid_ = false;
    config_ = config;
    haveConfig_ = true;
    ++changes_;
    changed_.notify_all();
}

void LiveState::received(const ConfigFrame& config, const DataFrame& data) {
    const double wall = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    receivedAt(config, data, wall, monotonicSeconds());
}

void LiveState::receivedAt(const ConfigFrame& config, const DataFrame& data, double wallSeconds,
                           double monotonicSeconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!haveConfig_ || data.pmus.size() != blocks_.size()) return;
    bool changePending = false;
    for (size_t b = 0; b < blocks_.size(); ++b) {
        const PmuData& pmu = data.pmus[b];
        Block& block = blocks_[b];
        if (!positiveSequence(config.pmus[b], choices_[b], pmu, block.magnitude, block.angle))
            block.magnitude = block.angle = 0.0;
        block.frequency = pmu.frequency;
        block.rocof = pmu.rocof;
        block.stat = pmu.stat;
        changePending = changePending || (pmu.stat & kStatConfigChange) != 0;
    }
    const double frameSeconds = secondsOf(data.time, config.timeBase);
    if (takeFirstTime_) {
        firstFrameSeconds_ = frameSeconds;
        takeFirstTime_ = false;
    }
    for (Block& block : blocks_) {
        const bool flagged = (block.stat & kStatDataDoNotUse) != 0;
        block.flaggedFromStart = block.flaggedFromStart && flagged;
        block.reason.valuesAbsent = flagged && !std::isfinite(block.frequency) && !std::isfinite(block.magnitude);
        block.reason.startOfStream =
            block.flaggedFromStart && frameSeconds - firstFrameSeconds_ <= kStartUpSeconds;
    }
    // Lost frames are the empty slots of the report grid between two frames.
    // While a configuration change is under way the frames may already run
    // at a rate this state does not know yet: the count waits for it.
    const int64_t index = gridIndex(data.time, config.timeBase, config.dataRate);
    if (changePending) {
        haveGrid_ = false;
    } else if (!haveGrid_) {
        haveGrid_ = true;
        lastGridIndex_ = index;
    } else if (index > lastGridIndex_) {
        lost_ += static_cast<uint64_t>(index - lastGridIndex_ - 1);
        lastGridIndex_ = index;
    }

    delays_[frames_ % kDelayFrames] = wallSeconds - frameSeconds;
    arrivals_[frames_ % kArrivalFrames] = monotonicSeconds;
    if (frames_ == 0) firstArrival_ = monotonicSeconds;
    double* row = &history_[(frames_ % kHistoryFrames) * pointWidth()];
    row[0] = frameSeconds;
    for (size_t b = 0; b < blocks_.size(); ++b) {
        row[1 + 4 * b] = blocks_[b].frequency;
        row[2 + 4 * b] = blocks_[b].rocof;
        row[3 + 4 * b] = blocks_[b].magnitude;
        row[4 + 4 * b] = blocks_[b].angle;
        flagHistory_[(frames_ % kHistoryFrames) * blocks_.size() + b] = (blocks_[b].stat & kStatDataDoNotUse) != 0;
    }
    latestTime_ = data.time;
    ++frames_;
    ++changes_;
    changed_.notify_all();
}

uint64_t LiveState::waitForChange(uint64_t seen, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return changes_ != seen || closed_; });
    return changes_;
}

uint64_t LiveState::changes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return changes_;
}

void LiveState::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

bool LiveState::closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

// What json() needs of the state, copied under the lock so that the JSON,
// its allocations and its formatting, is built after it is released: a
// slow reader then holds the PDC up for a copy only.
struct LiveState::Snapshot {
    bool open = true;
    bool haveConfig = false;
    ConfigFrame config;
    std::vector<PhasorChoice> choices;
    std::vector<Block> blocks;
    FrameTime latestTime;
    uint64_t frames = 0, lost = 0, historyStart = 0;
    std::vector<double> delays;    // the last frames' delays, in no order
    std::vector<double> arrivals;  // the kept arrival times, in no order
    std::vector<double> rows;      // history rows from frame `oldest` on
    std::vector<uint8_t> flagRows;
    uint64_t oldest = 0;
};

LiveState::Snapshot LiveState::snapshot(uint64_t sinceFrame) const {
    Snapshot s;
    std::lock_guard<std::mutex> lock(mutex_);
    s.open = !closed_;
    s.haveConfig = haveConfig_;
    s.frames = frames_;
    if (!haveConfig_) return s;
    s.config = config_;
    s.choices = choices_;
    s.blocks = blocks_;
    s.latestTime = latestTime_;
    s.lost = lost_;
    s.historyStart = historyStart_;
    const auto delayCount = static_cast<std::ptrdiff_t>(std::min<uint64_t>(frames_, kDelayFrames));
    s.delays.assign(delays_.begin(), delays_.begin() + delayCount);
    const auto kept = static_cast<std::ptrdiff_t>(std::min<uint64_t>(frames_, kArrivalFrames));
    s.arrivals.assign(arrivals_.begin(), arrivals_.begin() + kept);
    s.oldest = std::max({sinceFrame, historyStart_, frames_ - std::min<uint64_t>(frames_, kMaxPointsPerUpdate)});
    const size_t width = pointWidth();
    const size_t count = static_cast<size_t>(frames_ > s.oldest ? frames_ - s.oldest : 0);
    s.rows.reserve(count * width);
    s.flagRows.reserve(count * blocks_.size());
    for (uint64_t frame = s.oldest; frame < frames_; ++frame) {
        const double* row = &history_[(frame % kHistoryFrames) * width];
        s.rows.insert(s.rows.end(), row, row + width);
        const uint8_t* flag = &flagHistory_[(frame % kHistoryFrames) * blocks_.size()];
        s.flagRows.insert(s.flagRows.end(), flag, flag + blocks_.size());
    }
    return s;
}

std::string LiveState::json(uint64_t& sinceFrame, double monotonicNow) const {
    using nlohmann::json;
    if (monotonicNow < 0.0) monotonicNow = monotonicSeconds();
    Snapshot s = snapshot(sinceFrame);
    sinceFrame = s.frames;
    json out;
    out["open"] = s.open;
    if (!s.haveConfig) {
        out["stream"] = nullptr;
        return out.dump();
    }

    json stream;
    stream["idcode"] = s.config.idCode;
    stream["timeBase"] = s.config.timeBase;
    stream["rate"] = s.config.dataRate;
    stream["configType"] = frameTypeName(s.config.type);
    json blocks = json::array();
    for (size_t b = 0; b < s.config.pmus.size(); ++b) {
        const PmuConfig& pmu = s.config.pmus[b];
        json phasors = json::array();
        for (const PhasorChannel& phasor : pmu.phasors)
            phasors.push_back({{"name", phasor.name}, {"unit", phasor.isCurrent ? "A" : "V"}});
        const PhasorChoice& choice = s.choices[b];
        const bool current = !choice.source.empty() && pmu.phasors[choice.index[0]].isCurrent;
        blocks.push_back({{"station", pmu.station},
                          {"idcode", pmu.idCode},
                          {"nominal", pmu.nominalFrequency},
                          {"cfgcnt", pmu.configCount},
                          {"phasors", phasors},
                          {"analogs", pmu.analogs.size()},
                          {"digitals", pmu.digitals.size()},
                          {"source", choice.source},
                          {"unit", current ? "A" : "V"}});
    }
    stream["blocks"] = blocks;
    out["stream"] = stream;

    json health;
    health["frames"] = s.frames;
    health["lost"] = s.lost;
    health["rate"] = s.config.dataRate > 0 ? static_cast<double>(s.config.dataRate) : -1.0 / s.config.dataRate;
    const size_t delayCount = s.delays.size();
    if (delayCount > 0) {
        std::vector<double>& delays = s.delays;
        health["delayMax"] = *std::max_element(delays.begin(), delays.end());
        std::nth_element(delays.begin(), delays.begin() + static_cast<std::ptrdiff_t>(delayCount / 2), delays.end());
        health["delayMedian"] = delays[delayCount / 2];
        health["delayFrames"] = delayCount;
        // Frames stamped far from this computer's clock (a recording played
        // out, a PMU whose clock is off) tell an offset, not a delay.
        health["delayLive"] = std::fabs(delays[delayCount / 2]) <= kLiveOffsetLimit;
    }
    // Frames per second: the frames that arrived in the last two seconds
    // (three frame periods at the slow rates) over the time they spanned;
    // zero once nothing came for that long.
    const double period =
        s.config.dataRate > 0 ? 1.0 / s.config.dataRate : -static_cast<double>(s.config.dataRate);
    const double window = std::max(2.0, 3.0 * period);
    size_t recent = 0;
    double first = monotonicNow, newest = -1.0;
    for (const double arrival : s.arrivals) {
        if (arrival <= monotonicNow - window || arrival > monotonicNow) continue;
        ++recent;
        first = std::min(first, arrival);
        newest = std::max(newest, arrival);
    }
    if (recent >= 2 && newest > first) {
        health["fps"] = static_cast<double>(recent - 1) / (newest - first);
    } else {
        health["fps"] = s.frames > 0 && recent == 0 ? json(0.0) : json(nullptr);
    }
    out["health"] = health;

    if (s.frames > s.historyStart) {
        json latest;
        latest["soc"] = s.latestTime.soc;
        latest["fracsec"] = s.latestTime.fracSec;
        latest["time"] = secondsOf(s.latestTime, s.config.timeBase);
        json values = json::array();
        for (const Block& block : s.blocks) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%04X", block.stat);
            values.push_back({{"magnitude", block.magnitude},
                              {"angle", block.angle},
                              {"frequency", block.frequency},
                              {"rocof", block.rocof},
                              {"stat", hex},
                              {"words", statWords(block.stat, block.reason)}});
        }
        latest["blocks"] = values;
        out["latest"] = latest;
    }

    const size_t width = 1 + 4 * s.blocks.size();
    json points = json::array();
    json flags = json::array();
    for (size_t r = 0; r * width < s.rows.size(); ++r) {
        const double* row = &s.rows[r * width];
        points.push_back(json(std::vector<double>(row, row + width)));
        const uint8_t* flag = s.flagRows.data() + r * s.blocks.size();
        flags.push_back(json(std::vector<int>(flag, flag + s.blocks.size())));
    }
    out["points"] = points;
    out["flags"] = flags;
    return out.dump();
}
