// What the live view shows, kept up to date by the PDC as frames arrive and
// read by the HTTP threads: the configuration, the latest values of each
// PMU block, the health of the stream and a short history for the strip
// charts. One mutex guards it all; the PDC's share of the work per frame is
// a few stores into buffers sized when the configuration arrives, and a
// reader holds it only to copy what its update needs (the JSON is built
// after), so that readers, however many and however slow, never hold the
// PDC up for long.
#ifndef ORVANE_WEB_LIVE_STATE_H
#define ORVANE_WEB_LIVE_STATE_H

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "io/c37118/config_frame.h"
#include "io/c37118/data_frame.h"
#include "io/c37118/pdc_session.h"

// What the PDC itself knows of why a block is flagged: STAT bits 15-14 =
// 10 mean "test mode" or "absent data", both "do not use", and the bits
// cannot tell which.
struct StatReason {
    bool valuesAbsent = false;  // the block's values are not finite
    bool startOfStream = false;  // flagged since the stream's first frame, within kStartUpSeconds
};
// Flagged frames at the start of a stream, for at most this long of frame
// time, are taken as the PMU's start-up (its filters filling).
inline constexpr double kStartUpSeconds = 2.0;

// STAT in words: always whether the clock is synchronised, the data error
// code as the standard words it (both meanings of 10, with the reason when
// `reason` knows it), configuration change and trigger (with its reason),
// then the rarer flags when set.
std::vector<std::string> statWords(uint16_t stat, const StatReason& reason = {});

// Which phasors of a PMU block give its positive sequence: the phasor whose
// name says it is one, else the symmetrical component of the first three
// voltage (or, lacking those, current) phasors taken as phases A, B, C,
// else the first phasor. `source` says which, for people; empty when the
// block has no phasor.
struct PhasorChoice {
    std::array<size_t, 3> index{};
    bool phases = false;  // the three are phases A, B, C
    std::string source;
};
PhasorChoice choosePositiveSequence(const PmuConfig& config);

// That phasor in a data frame as magnitude and angle (rad); false when the
// frame lacks it.
bool positiveSequence(const PmuConfig& config, const PhasorChoice& choice, const PmuData& data, double& magnitude,
                      double& angle);

class LiveState : public PdcObserver {
public:
    // Frames of history the state keeps for the charts, and the most one
    // update hands a reader that fell behind.
    static constexpr size_t kHistoryFrames = 1536;  // 30 s at 50 frames/s
    static constexpr size_t kMaxPointsPerUpdate = kHistoryFrames;
    // Frames over which the arrival delay's median and maximum are taken.
    static constexpr size_t kDelayFrames = 512;
    // A median arrival delay beyond this (s) is a time offset: the frames'
    // times are not live.
    static constexpr double kLiveOffsetLimit = 60.0;
    // Arrival times kept for the frame rate (more than a second's worth at
    // the highest rate frames can name).
    static constexpr size_t kArrivalFrames = 4096;

    void configured(const ConfigFrame& config) override;
    void received(const ConfigFrame& config, const DataFrame& data) override;
    // The same with the arrival time given: seconds since 1970 UTC by the
    // wall clock, and seconds on a monotonic clock.
    void receivedAt(const ConfigFrame& config, const DataFrame& data, double wallSeconds, double monotonicSeconds);

    // Waits up to `timeout` until the state moved past `seen` (a value of
    // changes()) or close() was called; returns changes().
    uint64_t waitForChange(uint64_t seen, std::chrono::milliseconds timeout);
    uint64_t changes() const;
    // Wakes every waiter for good: the view is going away.
    void close();
    bool closed() const;

    // The whole state as one JSON object, with the history points of the
    // frames after frame number `sinceFrame` (at most kMaxPointsPerUpdate,
    // the latest); `sinceFrame` becomes the latest frame's number.
    // `monotonicNow` (seconds, the clock of receivedAt) dates the frame
    // rate; negative: now. Beside "points", "flags" holds per point one
    // entry per block: 1 when the block was flagged "do not use" (STAT bit
    // 15), so that a chart scales on the others.
    std::string json(uint64_t& sinceFrame, double monotonicNow = -1.0) const;

private:
    struct Block {
        double magnitude = 0.0;
        double angle = 0.0;
        double frequency = 0.0;
        double rocof = 0.0;
        uint16_t stat = 0;
        bool flaggedFromStart = true;  // every frame so far flagged "do not use"
        StatReason reason;
    };
    struct Snapshot;
    Snapshot snapshot(uint64_t sinceFrame) const;

    // Values per history point: the frame time, then per block frequency,
    // ROCOF, magnitude and angle.
    size_t pointWidth() const { return 1 + 4 * blocks_.size(); }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t changes_ = 0;
    bool closed_ = false;

    bool haveConfig_ = false;
    ConfigFrame config_;
    std::vector<PhasorChoice> choices_;  // each block's positive sequence

    std::vector<Block> blocks_;
    FrameTime latestTime_;
    uint64_t frames_ = 0;
    uint64_t lost_ = 0;
    bool haveGrid_ = false;
    int64_t lastGridIndex_ = 0;

    std::vector<double> history_;  // kHistoryFrames rows of pointWidth()
    std::vector<uint8_t> flagHistory_;  // kHistoryFrames rows of a "do not use" flag per block
    double firstFrameSeconds_ = 0.0;
    bool takeFirstTime_ = true;
    uint64_t historyStart_ = 0;    // the first frame of the rows' layout
    std::vector<double> delays_;   // kDelayFrames, s
    std::vector<double> arrivals_;  // kArrivalFrames, monotonic s
    double firstArrival_ = 0.0;
};

#endif  // ORVANE_WEB_LIVE_STATE_H
