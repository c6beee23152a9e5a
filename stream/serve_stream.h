// The PMU serving loop: steps the block through a sample source while
// PDCs want data, answers their commands, and sends every report to each
// PDC that has data frames on. Paced: sample k is stepped no earlier than
// k/Fs seconds after the stream (re)started. Unpaced: as fast as the
// slowest receiving PDC takes the frames.
#ifndef ORVANE_STREAM_SERVE_STREAM_H
#define ORVANE_STREAM_SERVE_STREAM_H

#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/block_driver.h"
#include "io/c37118/pmu_connection.h"
#include "io/c37118/report_framer.h"
#include "io/sample_source.h"
#include "net/tcp_server.h"
#include "stream/run_loop.h"
#include "stream/sv_capture.h"

// Delays in 10 µs bins up to 2 s (beyond: the last bin), filled without
// allocating; quantiles read from the bins.
class LatencyHistogram {
public:
    LatencyHistogram() : bins_(kBins, 0) {}
    void add(int64_t nanoseconds);
    uint64_t count() const { return count_; }
    // The delay below which a share `q` of them lie, s (upper bin edge).
    double quantile(double q) const;

private:
    static constexpr std::size_t kBins = 200000;
    static constexpr int64_t kBinNs = 10000;
    std::vector<uint32_t> bins_;
    uint64_t count_ = 0;
};

class ServeStream : public TcpServer::Handler {
public:
    // `log` hears one line per client event (connected, command, gone).
    ServeStream(SampleSource& source, BlockDriver& driver, double sampleRate, const StreamSettings& settings,
                bool paced, std::function<void(const std::string&)> log);

    // Reads the first sample, configures the stream from it and starts the
    // block. False, with error() and exitStatus() set, when it cannot.
    bool prepare();
    // Serves until the input ends (0), `stop` becomes non-zero (0), or the
    // block or the input fails (error() says why; 1 or 2).
    int serve(TcpServer& server, volatile std::sig_atomic_t& stop, const SampleProgress& progress);

    // Live: the samples come from `feed` (over the same source, whose first
    // sample prepare() reads itself) as they arrive, and the block steps each
    // at once whether or not a PDC listens, so its filters never see a jump.
    // `wakeFd` becomes readable when the feed has samples; serve() starts the
    // feed. Every report sent then adds to the latency figures.
    void setLiveFeed(LiveSampleFeed* feed, int wakeFd) {
        feed_ = feed;
        wakeFd_ = wakeFd;
    }
    // From the capture of the newest frame whose data a report used to the
    // moment its data frame was handed to the sockets.
    const LatencyHistogram& captureToSend() const { return captureToSend_; }
    // From the instant of the sample that completed the report (its `Time`
    // plus the time offset) to the same moment.
    const LatencyHistogram& sampleToSend() const { return sampleToSend_; }

    uint64_t samples() const { return samples_; }
    uint64_t reports() const { return reports_; }
    const std::string& error() const { return error_; }
    int exitStatus() const { return exitStatus_; }

    void connected(TcpServer::ClientId client, const std::string& peer) override;
    void received(TcpServer::ClientId client, std::span<const uint8_t> bytes) override;
    void disconnected(TcpServer::ClientId client, const std::string& reason) override;

private:
    using Clock = std::chrono::steady_clock;

    bool receiversWaiting() const;
    size_t largestQueue() const;
    // One sample through the block; false when the input ended or failed.
    bool step();
    // The sample in in_ through the block.
    bool stepTaken();
    // Steps every sample the live feed holds.
    void drainFeed();
    void broadcast();
    bool fail(int status, const std::string& message);
    int pacedBatch(Clock::time_point now);

    SampleSource& source_;
    BlockDriver& driver_;
    double sampleRate_;
    StreamSettings settings_;
    bool paced_;
    std::function<void(const std::string&)> log_;
    TcpServer* server_ = nullptr;
    ReportFramer framer_;
    struct Client {
        PmuConnection connection;
        std::string peer;
    };
    std::map<TcpServer::ClientId, Client> clients_;

    ModelInputs in_;
    ModelOutputs out_;
    bool havePending_ = false;  // in_ holds a sample not yet stepped
    bool ended_ = false;
    double lastNominal_ = 0.0;
    uint64_t samples_ = 0;
    uint64_t reports_ = 0;
    bool running_ = false;
    Clock::time_point anchorTime_;
    uint64_t anchorSample_ = 0;

    LiveSampleFeed* feed_ = nullptr;
    int wakeFd_ = -1;
    int64_t captureNs_ = 0;
    LatencyHistogram captureToSend_;
    LatencyHistogram sampleToSend_;

    std::vector<uint8_t> reply_;
    std::vector<uint8_t> frameFlagged_;
    std::vector<uint8_t> framePlain_;
    std::vector<std::string> notes_;
    std::string error_;
    int exitStatus_ = 0;
};

#endif  // ORVANE_STREAM_SERVE_STREAM_H
